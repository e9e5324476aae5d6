// Reading install.log for the uninstaller. Every line is taken apart into its kind and texts; a
// line that is not exactly one of the installer's formats is kept aside with the reason, never
// guessed at. Texts are written unescaped by the installer, so a text holding the separator can
// be read more than one way: such a line keeps every reading, and the undo picks the one the
// machine confirms (or skips the line).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "records/finish_records.h"

namespace qm {

enum class LogKind {
  DefaultDir,   // destination
  Directory,    // directory created
  BeginPrompt,  // the uninstaller's texts
  EndPrompt,
  TitlePrompt,
  Rename,      // new path, old path
  File,        // path
  Autoexec,    // old line, new line
  Config,      // old line, new line
  IniKey,      // section, key, value, file [, old or combined value]
  IniSection,  // section, file
  RegServer,   // path
  AddText,     // old line, file, new text
  RegKey,      // root name, key path
  WinItem      // group, item title
};

struct LogLine {
  LogKind kind = LogKind::File;
  int lineNumber = 0;   // 1-based, as an editor counts
  uint64_t offset = 0;  // of the line's first byte in the file
  // The destination of the installation the line belongs to (the last DEFAULTDIR before it).
  std::string destination;
  // Every way the line can be read; exactly one for most lines.
  std::vector<std::vector<std::string>> readings;
  const std::vector<std::string>& fields() const { return readings.front(); }
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
