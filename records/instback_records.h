// instback.log's lines as typed records, one format and one parse: what the uninstaller needs
// beyond install.log to undo exactly what the installation made (docs/replaced-files.md). The
// installer appends them as it works, so an installation that stops half-way is covered too, and
// the uninstaller reads them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/system.h"

namespace qm {

constexpr const char* kBackupListName = "instback.log";
constexpr const char* kBackupFolderName = "instback";
// Where Windows 4.0 and later count the users of a file in the Windows or system folder: a
// REG_DWORD value per file, named by its full path, under HKEY_LOCAL_MACHINE.
constexpr const char* kSharedFilesKey = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
constexpr uint32_t kMaxSharedKeyLevels = 5;  // the levels of kSharedFilesKey

struct BackupRecord {
  enum class Kind {
    Saved,      // BACKUP: a file the installation wrote over, and its copy
    Kept,       // KEEP: a file it wrote over that could not be copied: the uninstaller leaves it
    Deleted,    // DELETED: a file a DELETE or RENAME removed, and its copy
    Prior,      // PRIOR: an edited file as it was before the installation first changed it
    Absent,     // ABSENT: an edited file that was not there before the installation made it
    Digest,     // DIGEST: a file as the installation left it
    RegSet,     // REGSET: a registry value as the installation left it
    RegGone,    // REGGONE: a registry value the installation deleted
    RegWas,     // REGWAS: a registry value before the installation first changed it
    RegNew,     // REGNEW: a registry value that was not there before
    RegKeyWas,  // REGKEYWAS: a key that was there before the installation deleted it
    RegKeyNew,  // REGKEYNEW: a key the installation made outside its REGKEY lines
    Item,       // ITEM: a program item the installation added, with its command line
    Shared,     // SHARED: a file of the Windows or system folder whose use count it raised
  };
  Kind kind = Kind::Saved;
  // install.log's size when the record was written: changes logged before it are older. A
  // BACKUP's FILE line is the first one for the same path at or after this offset.
  uint64_t logOffset = 0;
  FatTime time;  // the file's own time and attributes (BACKUP, DELETED, PRIOR)
  uint32_t attributes = 0;
  std::string original;  // full path of the file
  std::string copyName;  // its copy's name in the backup folder (BACKUP, DELETED, PRIOR)
  uint64_t size = 0;     // DIGEST
  uint64_t digest = 0;
  RegistryRoot root = RegistryRoot::LocalMachine;  // registry kinds
  std::string key, name;
  RegistryValue value;                // REGSET, REGWAS
  std::string group, title, command;  // ITEM
  // SHARED: the count before the raise (the copy already there counts one when there was no
  // value), whether the value was there, and how many key levels down to the counts' key the
  // raise had to make.
  uint32_t count = 0;
  bool found = false;
  uint32_t keysMade = 0;

  bool isRegistry() const { return kind >= Kind::RegSet && kind <= Kind::RegKeyNew; }
};

// One line of the side file, without its line end.
std::string formatBackupRecord(const BackupRecord& record);
// nullopt for a line that is not exactly one record (the uninstaller then skips it).
std::optional<BackupRecord> parseBackupRecord(const std::string& line);

// The machine's list of replaced files in the Windows folder: one line per file an installation
// replaced and kept a copy of, naming that installation's instback.log, in the order they were
// replaced. An uninstaller that finds the file replaced again since hands its copy on to the
// next installation in this list, so the last one uninstalled puts the user's original back.
constexpr const char* kReplacedIndexName = "INSTBACK.LST";

struct ReplacedIndexLine {
  std::string original;  // the replaced file
  std::string list;      // the instback.log of the installation that replaced it
  bool operator==(const ReplacedIndexLine&) const = default;
};

std::string formatReplacedIndexLine(const ReplacedIndexLine& line);
std::optional<ReplacedIndexLine> parseReplacedIndexLine(const std::string& line);

// The digest a DIGEST record holds: FNV-1a, 64 bits, of the file's bytes.
uint64_t contentDigest(std::string_view bytes);

}  // namespace qm
