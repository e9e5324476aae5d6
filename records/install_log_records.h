// install.log's lines as typed records: one struct per kind of line, one format and one parse.
// Every writer formats through formatLogRecord and the uninstaller reads through readInstallLog,
// so the format lives here only. The installer writes texts unescaped, so a text holding the
// separator can be read more than one way: a parsed line keeps every reading, and the undo picks
// the one the machine confirms (or skips the line).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "records/finish_records.h"

namespace qm {

// In the order of LogRecord's alternatives.
enum class LogKind {
  DefaultDir,
  Directory,
  BeginPrompt,
  EndPrompt,
  TitlePrompt,
  Rename,
  File,
  Autoexec,
  Config,
  IniKey,
  IniSection,
  RegServer,
  AddText,
  RegKey,
  WinItem
};

// DEFAULTDIR: the destination. The unasked form has always been followed by an empty line.
struct DefaultDirRecord {
  std::string path;
  bool blankLineAfter = false;
  bool operator==(const DefaultDirRecord&) const = default;
};
// One quoted path: DIRECTORY (created), FILE (written), RegServer (registered).
template <LogKind K>
struct PathRecord {
  std::string path;
  bool operator==(const PathRecord&) const = default;
};
using DirectoryRecord = PathRecord<LogKind::Directory>;
using FileRecord = PathRecord<LogKind::File>;
using RegServerRecord = PathRecord<LogKind::RegServer>;
// The uninstaller's three texts; they may hold anything.
template <LogKind K>
struct PromptRecord {
  std::string text;
  bool operator==(const PromptRecord&) const = default;
};
using BeginPromptRecord = PromptRecord<LogKind::BeginPrompt>;
using EndPromptRecord = PromptRecord<LogKind::EndPrompt>;
using TitlePromptRecord = PromptRecord<LogKind::TitlePrompt>;
// RENAME: two paths without quotes.
struct RenameRecord {
  std::string newPath, oldPath;
  bool operator==(const RenameRecord&) const = default;
};
// AUTOEXEC / CONFIG: a line changed (old text) or added (old text empty).
template <LogKind K>
struct LineChangeRecord {
  std::string oldLine, newLine;
  bool operator==(const LineChangeRecord&) const = default;
};
using AutoexecRecord = LineChangeRecord<LogKind::Autoexec>;
using ConfigRecord = LineChangeRecord<LogKind::Config>;
// INIFILE with four texts (a new key) or five (the value before, or the combined value when a
// word was added).
struct IniKeyRecord {
  std::string section, key, value, file;
  std::optional<std::string> previous;
  bool operator==(const IniKeyRecord&) const = default;
};
// INIFILE with two texts: a section the installation created.
struct IniSectionRecord {
  std::string section, file;
  bool operator==(const IniSectionRecord&) const = default;
};
// ADDTEXT: the old line (empty when added), the file (not quoted), the new text.
struct AddTextRecord {
  std::string oldLine, file, newText;
  bool operator==(const AddTextRecord&) const = default;
};
// REGKEY: a key the installation created.
struct RegKeyRecord {
  std::string rootName, keyPath;
  bool operator==(const RegKeyRecord&) const = default;
};
// WINITEM: a program item (title empty: the group itself).
struct WinItemRecord {
  std::string group, title;
  bool operator==(const WinItemRecord&) const = default;
};

using LogRecord = std::variant<DefaultDirRecord, DirectoryRecord, BeginPromptRecord,
                               EndPromptRecord, TitlePromptRecord, RenameRecord, FileRecord,
                               AutoexecRecord, ConfigRecord, IniKeyRecord, IniSectionRecord,
                               RegServerRecord, AddTextRecord, RegKeyRecord, WinItemRecord>;

inline LogKind kindOf(const LogRecord& record) { return LogKind(record.index()); }

// The record's text without the final line end (the unasked DEFAULTDIR holds its empty line).
std::string formatLogRecord(const LogRecord& record);

struct LogLine {
  LogKind kind = LogKind::File;
  int lineNumber = 0;   // 1-based, as an editor counts
  uint64_t offset = 0;  // of the line's first byte in the file
  // The destination of the installation the line belongs to (the last DEFAULTDIR before it).
  std::string destination;
  // Every way the line can be read, each of the line's kind; exactly one for most lines.
  std::vector<LogRecord> readings;

  template <class T>
  const T& record() const {
    return std::get<T>(readings.front());
  }
  template <class T>
  std::vector<const T*> all() const {
    std::vector<const T*> out;
    for (const LogRecord& r : readings) out.push_back(&std::get<T>(r));
    return out;
  }
};

struct SkippedLine {
  int lineNumber = 0;
  std::string text;
  std::string reason;
};

struct InstallLogContents {
  std::vector<LogLine> lines;  // in file order
  std::vector<SkippedLine> skipped;
  UninstallTexts texts;  // the last installation's texts (defaults when the log has none)
};

// Takes the file's bytes apart. Never fails: what cannot be read is listed in skipped.
InstallLogContents readInstallLog(const std::string& bytes);

// Every way "QaSEPQb..." can be split into count quoted texts joined by separator: the text
// between the outer quotes is cut at count - 1 of the separator's occurrences.
std::vector<std::vector<std::string>> splitQuotedTexts(const std::string& text, size_t count);

}  // namespace qm
