// AUTOEXEC.BAT and CONFIG.SYS: the search path, the file-sharing program, the FILES and BUFFERS
// minimums and whole lines added. Both files are kept under their ".BAK" name while the new text
// is written; whatever goes wrong, the machine keeps a start-up file.
#include <algorithm>
#include <cctype>
#include <climits>

#include "base/dos_text.h"
#include "base/text.h"
#include "engine/engine.h"
#include "engine/replaced_files.h"
#include "sysconfig/config_values.h"
#include "sysconfig/text_edits.h"

namespace qm {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isWhite(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

size_t skipWhile(std::string_view s, size_t i, const char* set) {
  while (i < s.size() && std::string_view(set).find(s[i]) != std::string_view::npos) ++i;
  return i;
}

template <class Change>
std::string changeLine(std::string_view oldLine, std::string_view newLine) {
  return formatLogRecord(Change{std::string(oldLine), std::string(newLine)});
}

template <class Change>
std::string addLine(std::string_view line) {
  return changeLine<Change>("", line);
}

// The directory is on the path when it occurs followed by a separator, white space or the end.
bool onPath(std::string_view upperLine, std::string_view directory) {
  for (size_t at = upperLine.find(directory); at != std::string_view::npos;
       at = upperLine.find(directory, at + 1)) {
    const size_t after = at + directory.size();
    if (after >= upperLine.size() || upperLine[after] == ';' || isWhite(upperLine[after]))
      return true;
  }
  return false;
}

// The first SHARE line met: upper-cased, and rebuilt with the wanted values when it offers fewer.
// The values it already has raise the wanted ones, so the rebuilt line keeps the larger of both.
bool handleShareLine(std::string& line, size_t programEnd, AutoexecRequest& request) {
  line = upperAscii(line);
  const ShareValues current = readShareValues(line);
  bool change = false;
  if (current.files < request.shareFiles)
    change = true;
  else
    request.shareFiles = current.files;
  if (current.locks < request.shareLocks)
    change = true;
  else
    request.shareLocks = current.locks;
  request.shareWanted = false;
  if (!change) return false;
  std::string rebuilt = line.substr(0, programEnd);
  if (request.shareFiles != 0) rebuilt += " /F:" + std::to_string(request.shareFiles);
  if (request.shareLocks != 0) rebuilt += " /L:" + std::to_string(request.shareLocks);
  line = rebuilt;
  return true;
}

// Puts the path entries at the front of a PATH line's value, the last entry first.
bool insertPathEntries(std::string& line, size_t offset, AutoexecRequest& request,
                       const MacroValues& macros, TextEdit& edit) {
  bool changed = false;
  for (LineEntry& entry : request.pathEntries) {
    expandMacros(macros, entry.text);
    const std::string directory = upperAscii(entry.text);
    if (directory.size() > kPathDirectoryChars) {
      edit.notes.push_back("path entry longer than " + std::to_string(kPathDirectoryChars) +
                           " characters not added: " + entry.text);
      continue;
    }
    if (onPath(upperAscii(line), directory)) continue;
    std::string insert = directory + ";";
    // A bare "PATH" shows the path; it takes an "=" so that the line sets one.
    const bool bare = offset > 0 && !isBlank(line[offset - 1]) && line[offset - 1] != '=';
    if (bare) insert = "=" + insert;
    // One character for the line end, as the line was counted when it was read in pieces.
    if (line.size() + 1 + insert.size() > kPathLineChars) {
      edit.notes.push_back("PATH line too long to take " + directory + ", left as it is: " + line);
      continue;
    }
    line.insert(offset, insert);
    if (bare) ++offset;
    changed = true;
  }
  return changed;
}

void markAddedLines(std::vector<LineEntry>& added, std::string_view line) {
  for (LineEntry& entry : added)
    if (entry.pending && line.find(entry.text) != std::string_view::npos) entry.pending = false;
}

// FILES and BUFFERS: a number below the minimum is replaced, with whatever followed it.
bool raiseMinimum(std::string& line, size_t offset, int wanted) {
  const long current =
      std::clamp<long>(parseLeadingInt(std::string_view(line).substr(offset)), INT_MIN, INT_MAX);
  if (wanted == -1 || current >= wanted) return false;
  line = line.substr(0, offset) + std::to_string(wanted);
  return true;
}

std::string bootPath(const Engine& engine, const char* path) {
  std::string out = path;
  out[0] = engine.startup.bootDrive;
  return out;
}

struct StartupFile {
  const char* path;
  const char* backup;
  const char* topic;  // of the question, for unattended answers
};

// Gives the file the backup's bytes again. The backup stays: it holds the same text.
void putBackup(FileSystem& fs, const std::string& path, const std::string& backup, bool existed,
               std::optional<uint32_t> attributes) {
  fs.setAttributes(path, kAttrNormal);
  fs.deleteFile(path);
  if (existed && !fs.copyFile(backup, path, true)) fs.moveFile(backup, path, false);
  restoreAttributes(fs, path, attributes);
}

// Backs the file up, works out its new bytes, writes them and asks about them when told to. On
// any failure the old file is back under its own name, with its attributes; a change whose
// install-log line cannot be written is undone at once.
template <typename Rewrite>
void editStartupFile(Engine& engine, const StartupFile& names, unsigned mode,
                     const std::string& question, Rewrite rewrite) {
  if (mode == 0) return;
  FileSystem& fs = engine.sys;
  const std::string path = bootPath(engine, names.path);
  const std::string backup = bootPath(engine, names.backup);
  const std::optional<uint32_t> attributes = fs.attributes(path);
  if (attributes && (*attributes & kAttrDirectory)) {
    engine.ui.trace(path + " is a folder; it is left alone");
    return;
  }
  keepPriorState(engine, backup);
  keepPriorState(engine, path);
  if (fs.attributes(backup)) {
    fs.setAttributes(backup, kAttrNormal);
    fs.deleteFile(backup);
  }
  const bool existed = attributes.has_value();
  std::string oldBytes;
  if (existed) {
    if (!fs.moveFile(path, backup, false)) {
      engine.ui.trace(path + " could not be renamed to " + backup + "; it is left unchanged");
      return;
    }
    std::optional<std::string> bytes = readAll(fs, backup);
    if (!bytes) {
      fs.moveFile(backup, path, false);
      engine.ui.trace(backup + " could not be read; " + path + " is left unchanged");
      return;
    }
    oldBytes = std::move(*bytes);
  }
  TextEdit edit = rewrite(oldBytes);
  for (const std::string& note : edit.notes) engine.ui.trace(path + ": " + note);
  if (!writeFileBytes(fs, path, edit.bytes)) {
    if (existed) fs.moveFile(backup, path, true);
    engine.ui.trace(path + " could not be written; " +
                    (existed ? "the old file is back" : "nothing was added"));
    return;
  }
  restoreAttributes(fs, path, attributes);
  for (const std::string& line : edit.log) {
    if (engine.log.record(line) >= 0) continue;
    putBackup(fs, path, backup, existed, attributes);
    engine.ui.trace(path + ": its change could not be recorded in install.log and is undone");
    return;
  }
  auto keepDigests = [&] {
    keepDigest(engine, path);
    keepDigest(engine, backup);
  };
  keepDigests();
  if (!edit.changed || mode != 2) return;
  MessageRequest box;
  box.text = question;
  box.icon = MsgIcon::Question;
  box.buttons = MsgButtons::YesNo;
  box.owned = true;
  box.topic = names.topic;
  if (engine.ui.messageBox(box) != MsgResult::No) return;
  // Undone by a copy, so that the backup still holds the same text as the file.
  putBackup(fs, path, backup, existed, attributes);
  keepDigests();
  engine.ui.trace(path + " changes declined; the old file is back");
}

// Lines DOS reads as text: a line with a NUL or another control byte is binary data, left
// exactly as it is and never taken for a command.
bool readable(const DosLine& line) { return !hasControlByte(line.text); }

// A UTF-16 file is not DOS text: no line of it can be read, so nothing is added to it either.
bool leftAsUtf16(std::string_view oldBytes, TextEdit& edit) {
  if (!isUtf16Text(oldBytes)) return false;
  edit.bytes = oldBytes;
  edit.notes.push_back("a UTF-16 file, which DOS cannot read; left as it is");
  return true;
}

// New lines go before the last line when it has no line end, so that it keeps none; otherwise
// at the given place.
size_t placeForAdditions(const DosText& text, size_t wanted) {
  return text.lastLineEnded() ? wanted : text.lines.size() - 1;
}

}  // namespace

size_t pathValueOffset(std::string_view line) {
  size_t i = skipWhile(line, 0, " \t=");
  std::string_view rest = line.substr(i);
  if (startsWithNoCase(rest, "PATH")) {
    const size_t after = i + 4;
    // PATHFINDER.EXE is a program, not the PATH command.
    if (after < line.size() && !isBlank(line[after]) && line[after] != '=' && line[after] != '\n')
      return 0;
    return skipWhile(line, after, " \t=");
  }
  if (startsWithNoCase(rest, "SET") && rest.size() > 3 && isBlank(rest[3])) {
    i = skipWhile(line, i + 3, " \t");
    return startsWithNoCase(line.substr(i), "PATH=") ? i + 5 : 0;
  }
  return 0;
}

size_t shareProgramEnd(std::string_view line) {
  auto wordEnd = [&](size_t i) {
    while (i < line.size() && !isWhite(line[i]) && line[i] != '/') ++i;
    return i;
  };
  size_t start = skipWhile(line, 0, " \t");
  size_t end = wordEnd(start);
  std::string_view word = line.substr(start, end - start);
  if (equalsNoCase(word, "LH") || equalsNoCase(word, "LOADHIGH")) {
    // The loader's own switches (/L:1,16384 /S) stand before the program.
    for (;;) {
      start = skipWhile(line, end, " \t");
      if (start < line.size() && line[start] == '/') {
        end = start + 1;
        while (end < line.size() && !isWhite(line[end])) ++end;
        continue;
      }
      end = wordEnd(start);
      break;
    }
    word = line.substr(start, end - start);
  }
  const size_t folder = word.find_last_of("\\:");
  const size_t nameStart = folder == std::string_view::npos ? 0 : folder + 1;
  const std::string_view name = word.substr(nameStart);
  if (!equalsNoCase(name, "SHARE") && !equalsNoCase(name, "SHARE.EXE"))
    return std::string_view::npos;
  return start + nameStart + 5;
}

size_t configValueOffset(std::string_view line, std::string_view keyword) {
  if (!startsWithNoCase(line, keyword)) return std::string_view::npos;
  // FILESHIGH= and BUFFERSHIGH= are other directives.
  const size_t after = keyword.size();
  if (after >= line.size() || (!isBlank(line[after]) && line[after] != '='))
    return std::string_view::npos;
  return skipWhile(line, after, " \t=");
}

TextEdit rewriteAutoexec(std::string_view oldBytes, AutoexecRequest& request,
                         const MacroValues& macros, const std::optional<std::string>& configName) {
  TextEdit edit;
  if (leftAsUtf16(oldBytes, edit)) return edit;
  if (request.addDestination) {
    std::string directory = macros.defaultDir;
    if (directory.size() == 2 && directory[1] == ':') directory += "\\";
    request.pathEntries.push_back(LineEntry{true, directory});
  }
  for (LineEntry& entry : request.addedLines) expandMacros(macros, entry.text);

  DosText text = DosText::parse(oldBytes);
  bool outsideSection = configName.has_value();
  bool pathDone = false;
  for (DosLine& dosLine : text.lines) {
    std::string& line = dosLine.text;
    if (!readable(dosLine)) {
      markAddedLines(request.addedLines, line);
      continue;
    }
    const std::string original = line;
    bool changed = false;
    if (request.shareWanted) {
      if (size_t end = shareProgramEnd(line); end != std::string_view::npos)
        changed = handleShareLine(line, end, request);
    }
    if (!line.empty() && line[0] == ':' && configName)
      outsideSection = !startsWithNoCase(std::string_view(line).substr(1), *configName);
    if (!pathDone && !request.pathEntries.empty() && !outsideSection) {
      if (size_t offset = pathValueOffset(line); offset != 0) {
        pathDone = true;
        changed = insertPathEntries(line, offset, request, macros, edit) || changed;
      }
    }
    markAddedLines(request.addedLines, line);
    if (changed) {
      edit.log.push_back(changeLine<AutoexecRecord>(original, line));
      edit.changed = true;
    }
  }

  // Additions land before the old last line, as the file is written one line behind.
  std::vector<std::string> added;
  auto add = [&](const std::string& line) {
    edit.log.push_back(addLine<AutoexecRecord>(line));
    added.push_back(line);
    edit.changed = true;
  };
  if (!pathDone && !request.pathEntries.empty()) {
    std::string pathLine = "PATH=";
    for (LineEntry& entry : request.pathEntries) {
      expandMacros(macros, entry.text);
      pathLine += entry.text + ";";
    }
    add(pathLine);
  }
  for (LineEntry& entry : request.addedLines)
    if (entry.pending) add(entry.text);
  if (request.shareWanted) {
    std::string shareLine = "SHARE";
    if (request.shareFiles != 0) shareLine += " /F:" + std::to_string(request.shareFiles);
    if (request.shareLocks != 0) shareLine += " /L:" + std::to_string(request.shareLocks);
    add(shareLine);
  }
  const size_t at = placeForAdditions(text, text.lines.empty() ? 0 : text.lines.size() - 1);
  text.insertLines(at, added);
  edit.bytes = text.bytes();
  return edit;
}

TextEdit rewriteConfig(std::string_view oldBytes, ConfigRequest& request,
                       const MacroValues& macros) {
  TextEdit edit;
  if (leftAsUtf16(oldBytes, edit)) return edit;
  for (LineEntry& entry : request.addedLines) expandMacros(macros, entry.text);
  DosText text = DosText::parse(oldBytes);
  bool filesFound = false;
  bool buffersFound = false;
  for (DosLine& dosLine : text.lines) {
    std::string& line = dosLine.text;
    if (!readable(dosLine)) {
      markAddedLines(request.addedLines, line);
      continue;
    }
    const std::string original = line;
    bool changed = false;
    if (!filesFound) {
      if (size_t at = configValueOffset(line, "FILES"); at != std::string_view::npos) {
        filesFound = true;
        changed = raiseMinimum(line, at, request.filesWanted);
      }
    }
    if (!buffersFound) {
      if (size_t at = configValueOffset(line, "BUFFERS"); at != std::string_view::npos) {
        buffersFound = true;
        changed = raiseMinimum(line, at, request.buffersWanted) || changed;
      }
    }
    markAddedLines(request.addedLines, line);
    if (changed) {
      edit.log.push_back(changeLine<ConfigRecord>(original, line));
      edit.changed = true;
    }
  }
  std::vector<std::string> added;
  auto append = [&](const std::string& line) {
    edit.log.push_back(addLine<ConfigRecord>(line));
    added.push_back(line);
    edit.changed = true;
  };
  if (!filesFound && request.filesWanted != 0 && request.filesWanted != -1)
    append("FILES = " + std::to_string(request.filesWanted));
  if (!buffersFound && request.buffersWanted != 0 && request.buffersWanted != -1)
    append("BUFFERS = " + std::to_string(request.buffersWanted));
  for (LineEntry& entry : request.addedLines) {
    if (entry.pending) append(entry.text);
  }
  const size_t at = placeForAdditions(text, text.lines.size());
  text.insertLines(at, added);
  edit.bytes = text.bytes();
  return edit;
}

void editAutoexecFile(Engine& engine) {
  AutoexecRequest& request = engine.state.config.autoexec;
  const std::optional<std::string> configName = engine.sys.machine().environment("CONFIG");
  editStartupFile(engine, {"C:\\AUTOEXEC.BAT", "C:\\AUTOEXEC.BAK", "Autoexec"}, request.mode,
                  engine.state.settings.prompts.autoexec, [&](const std::string& text) {
                    return rewriteAutoexec(text, request, engine.macros, configName);
                  });
}

void editConfigFile(Engine& engine) {
  ConfigRequest& request = engine.state.config.config;
  editStartupFile(engine, {"C:\\CONFIG.SYS", "C:\\CONFIG.BAK", "Config"}, request.mode,
                  engine.state.settings.prompts.config, [&](const std::string& text) {
                    return rewriteConfig(text, request, engine.macros);
                  });
}

}  // namespace qm
