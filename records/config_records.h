// Records the script fills for system configuration: AUTOEXEC and CONFIG requests, INI entries,
// text additions, registry blocks, program items. Texts keep their path macros unexpanded (only
// the leading macros known while reading are replaced); the apply steps expand them when the
// destination is final.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/system.h"

namespace qm {

// Field limits: a statement whose argument does not fit its field is refused when read.
constexpr size_t kLineEntryChars = 1000;
constexpr size_t kNameFieldChars = 499;   // INI section/key/file, ADDTEXT file, group fields
constexpr size_t kValueFieldChars = 999;  // INI value, ADDTEXT text, item command line
constexpr size_t kPositionFieldChars = 502;
constexpr size_t kIconIndexChars = 1001;
constexpr size_t kRegistryTextChars = 1023;
constexpr size_t kMaxRegistryValues = 50;
constexpr size_t kMaxRegistryKeyLevels = 50;

// A text waiting to be put to work, with the flag that says whether it still has to be done.
struct LineEntry {
  bool pending = true;
  std::string text;
};

struct AutoexecRequest {
  unsigned mode = 0;  // 0 no edit, 1 edit, 2 edit and ask
  bool addDestination = false;
  std::vector<LineEntry> pathEntries;
  std::vector<LineEntry> addedLines;
  bool shareWanted = false;
  int shareFiles = 0;  // 0 = none given
  int shareLocks = 0;
};

struct ConfigRequest {
  unsigned mode = 0;
  int buffersWanted = -1;  // -1 = not given
  int filesWanted = -1;
  std::vector<LineEntry> addedLines;
};

struct IniEntry {
  int mode = 1;  // 1 apply, 2 ask first
  bool add = false;
  std::string section;
  std::string key;
  std::string value;
  std::string file = "WIN.INI";
};

struct TextAddition {
  std::string text;      // $LEFT$ / $RIGHT$ already replaced
  std::string file;      // relative names are taken relative to the destination
  std::string position;  // line number or search text, $SEARCH$ already replaced; may be empty
  bool replace = false;
};

// RegistryRoot and the kReg* value types come from the OS seam (platform/system.h).

enum class RegistryKeyOp { None = 0, New = 1, Delete = 2, Rename = 3, Query = 4 };
enum class RegistryValueOp {
  New = 5,
  Delete = 6,
  Rename = 7,
  Replace = 8,
  Max = 9,
  Min = 10,
  Increment = 11
};

struct RegistryValueRequest {
  uint32_t type = 0;
  RegistryValueOp operation = RegistryValueOp::New;
  std::optional<std::string> name;     // nullopt: the key's default (unnamed) value
  std::string data;                    // as written; numbers are converted when written
  std::vector<uint8_t> binary;         // REG_BINARY: the data's bytes, all of them
  std::optional<std::string> newName;  // RENAME: nullopt for the default value
};

struct RegistryKeyRequest {
  RegistryRoot root = RegistryRoot::LocalMachine;
  RegistryKeyOp operation = RegistryKeyOp::None;
  std::string rootName;  // as written
  std::string keyPath;   // after the first backslash
  std::string newKeyName;
  std::vector<RegistryValueRequest> values;
};

struct ProgramItem {
  std::string group;
  std::string command;  // empty: the statement concerns the group only
  std::string title;
  std::string workingDir;
  std::string iconFile;
  std::string iconIndex;
  int mode = 0;  // 0 add, 1 replace, 2 remove
};

struct ConfigRecords {
  AutoexecRequest autoexec;
  ConfigRequest config;
  std::vector<IniEntry> iniEntries;
  std::vector<TextAddition> textAdditions;
  std::vector<RegistryKeyRequest> registry;
  std::vector<ProgramItem> programItems;
};

}  // namespace qm
