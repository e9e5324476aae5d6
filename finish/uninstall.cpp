#include "finish/uninstall.h"

#include <algorithm>
#include <cctype>
#include <optional>

#include "base/text.h"
#include "engine/replaced_files.h"
#include "sysconfig/config_values.h"
#include "ui/ui.h"

namespace qm {

namespace {

constexpr const char* kIniMarker = "~Mirn";  // the installer's "absent" marker
constexpr size_t kIniBuffer = 998;
constexpr const char* kTempName = "~qmun.tmp";

std::string withoutTrailingBackslash(std::string path) {
  while (path.size() > 3 && path.back() == '\\') path.pop_back();
  return path;
}

std::optional<std::string> readWhole(FileSystem& fs, const std::string& path) {
  FileHandle h = fs.openRead(path);
  if (h == kInvalidFile) return std::nullopt;
  std::string text;
  char block[8192];
  int32_t n = 0;
  while ((n = fs.read(h, block, sizeof block)) > 0) text.append(block, size_t(n));
  fs.close(h);
  if (n < 0) return std::nullopt;
  return text;
}

// A text file as lines, each with the line end it had, so that an edit leaves every other byte.
struct TextLines {
  std::vector<std::string> lines;
  std::vector<std::string> ends;

  static TextLines split(const std::string& bytes) {
    TextLines t;
    size_t start = 0;
    while (start < bytes.size()) {
      size_t nl = bytes.find('\n', start);
      std::string line =
          bytes.substr(start, nl == std::string::npos ? std::string::npos : nl - start);
      std::string end = nl == std::string::npos ? "" : "\n";
      if (!line.empty() && line.back() == '\r' && !end.empty()) {
        line.pop_back();
        end = "\r\n";
      }
      t.lines.push_back(line);
      t.ends.push_back(end);
      if (nl == std::string::npos) break;
      start = nl + 1;
    }
    return t;
  }
  std::string join() const {
    std::string out;
    for (size_t i = 0; i < lines.size(); ++i) out += lines[i] + ends[i];
    return out;
  }
  // Index of the first (or last) line equal to text.
  std::optional<size_t> find(const std::string& text, bool last) const {
    std::optional<size_t> at;
    for (size_t i = 0; i < lines.size(); ++i) {
      if (lines[i] != text) continue;
      at = i;
      if (!last) break;
    }
    return at;
  }
};

std::string trimmed(const std::string& text) {
  size_t b = text.find_first_not_of(" \t");
  if (b == std::string::npos) return "";
  return text.substr(b, text.find_last_not_of(" \t") - b + 1);
}

bool isDirectory(FileSystem& fs, const std::string& path) {
  std::optional<uint32_t> a = fs.attributes(path);
  return a && (*a & kAttrDirectory);
}

bool directoryIsEmpty(FileSystem& fs, const std::string& dir) {
  for (const FindEntry& e : fs.find(withTrailingBackslash(dir) + "*.*"))
    if (e.name != "." && e.name != "..") return false;
  return true;
}

bool deleteFileForced(FileSystem& fs, const std::string& path) {
  if (fs.deleteFile(path)) return true;
  fs.setAttributes(path, kAttrNormal);
  return fs.deleteFile(path);
}

}  // namespace

std::string uninstallLogPath(const std::string& arguments, const std::string& modulePath) {
  std::string arg = arguments;
  size_t b = arg.find_first_not_of(" \t");
  arg = b == std::string::npos ? "" : arg.substr(b);
  if (!arg.empty() && arg[0] == '"') {
    size_t close = arg.find('"', 1);
    arg = arg.substr(1, close == std::string::npos ? std::string::npos : close - 1);
  } else {
    arg = arg.substr(0, arg.find_first_of(" \t"));
  }
  if (!arg.empty()) return arg;
  return directoryPart(modulePath) + "install.log";
}

std::string unsafePathReason(const std::string& path, const std::string& windowsDir,
                             const std::string& systemDir) {
  if (path.size() < 4 || !std::isalpha(static_cast<unsigned char>(path[0])) || path[1] != ':' ||
      path[2] != '\\')
    return "not a full path on a drive";
  if (path.size() > 259) return "the path is too long";
  if (path.find_first_of("*?\"<>|/") != std::string::npos) return "the path holds a wildcard";
  if (path.find(':', 2) != std::string::npos) return "the path names a stream or a device";
  for (unsigned char c : path)
    if (c < 0x20) return "the path holds control characters";
  size_t start = 3;
  while (start <= path.size()) {
    size_t end = path.find('\\', start);
    if (end == std::string::npos) end = path.size();
    std::string part = path.substr(start, end - start);
    if (part.empty())
      return end == path.size() ? "the path ends in a backslash" : "the path has an empty part";
    if (part == "." || part == "..") return "the path climbs out of its folder";
    // Windows drops trailing dots and blanks, so ".. " climbs as well.
    if (part.back() == '.' || part.back() == ' ')
      return "a part of the path ends in a dot or blank";
    start = end + 1;
  }
  if (equalsNoCase(path, withoutTrailingBackslash(windowsDir)) ||
      equalsNoCase(path, withoutTrailingBackslash(systemDir)))
    return "the path is the Windows or system folder itself";
  return "";
}

struct Uninstaller::Backup {
  BackupRecord record;
  int fileLine = 0;  // the FILE line it belongs to; 0 when none was found
  bool handled = false;
};

struct Uninstaller::Impl {
  Impl(System& s, Ui& u, UninstallReport& r, const std::string& log)
      : sys(s),
        ui(u),
        report(r),
        logPath(log),
        logDir(directoryPart(log)),
        windowsDir(s.windowsDirectory()),
        systemDir(s.systemDirectory()) {}

  System& sys;
  Ui& ui;
  UninstallReport& report;
  std::string logPath;
  std::string logDir;  // with its backslash
  std::string windowsDir, systemDir;
  std::vector<Backup> backups;
  std::vector<std::string> backupFolderLeft;  // copies that could not be put back
  std::vector<std::string> directories;       // created folders still there, deepest first
  std::vector<std::string> textBackedUp;      // AUTOEXEC.BAT / CONFIG.SYS saved in this run
  std::vector<std::string> groupsLeft;        // groups the shell could not say were empty
  struct Original {
    std::string path, text;
    FatTime time;
  };
  std::vector<Original> startupOriginals;    // AUTOEXEC.BAK / CONFIG.BAK as the installer left them
  std::vector<std::string> madeByInstaller;  // startup files that had no backup beside them
  struct Section {
    std::string section, file;
  };
  std::vector<Section> newSections;

  void done(const std::string& what) {
    report.done.push_back(what);
    ui.trace("uninstall: " + what);
  }
  void note(const std::string& what) {
    report.notes.push_back(what);
    ui.trace("uninstall: " + what);
  }
  void problem(const LogLine* line, const std::string& what) {
    std::string text = line ? "line " + std::to_string(line->lineNumber) + ": " + what : what;
    report.problems.push_back(text);
    ui.trace("uninstall: " + text);
  }

  // The path when it is safe to touch, else nullopt after reporting why.
  std::optional<std::string> safe(const LogLine& line, const std::string& path) {
    std::string reason = unsafePathReason(path, windowsDir, systemDir);
    if (reason.empty()) return path;
    problem(&line, path + ": " + reason + "; left alone");
    return std::nullopt;
  }

  // The path of a text the log names as written: a relative one lies in the destination.
  static std::string inDestination(const LogLine& line, const std::string& path) {
    bool rooted = (!path.empty() && path[0] == '\\') || (path.size() > 1 && path[1] == ':');
    if (rooted || line.destination.empty()) return path;
    return withTrailingBackslash(line.destination) + path;
  }

  bool writeText(const std::string& path, const TextLines& text) {
    std::optional<uint32_t> attributes = sys.attributes(path);
    const std::string temp = directoryPart(path) + kTempName;
    FileHandle h = sys.create(temp);
    if (h == kInvalidFile) return false;
    std::string bytes = text.join();
    bool ok = sys.write(h, bytes.data(), uint32_t(bytes.size())) == int32_t(bytes.size());
    sys.close(h);
    if (attributes && (*attributes & kAttrReadOnly)) sys.setAttributes(path, kAttrNormal);
    // One step from the old text to the new: a failure leaves the old file whole.
    if (!ok || !sys.moveFile(temp, path, true)) {
      sys.deleteFile(temp);
      if (attributes) sys.setAttributes(path, *attributes);
      return false;
    }
    if (attributes) sys.setAttributes(path, *attributes);
    return true;
  }

  void undoFile(const LogLine& line) {
    // A text file made by a text addition is logged as the statement named it, relative to the
    // destination.
    auto path = safe(line, inDestination(line, line.fields()[0]));
    if (!path) return;
    if (isDirectory(sys, *path)) return problem(&line, *path + " is a folder now; left alone");
    for (Backup& b : backups) {
      if (b.fileLine != line.lineNumber || b.handled) continue;
      b.handled = true;
      if (b.record.kind == BackupRecord::Kind::Kept)
        return note(*path + " was there before the installation and is left in place");
      return restore(&line, b);
    }
    if (!sys.attributes(*path)) return note(*path + " is already gone");
    if (!deleteFileForced(sys, *path)) return problem(&line, *path + " could not be deleted");
    done("deleted " + *path);
  }

  // Puts a replaced file back from its copy: bytes, time and attributes.
  void restore(const LogLine* line, Backup& b) {
    const std::string copy = logDir + kBackupFolderName + "\\" + b.record.copyName;
    const std::string& target = b.record.original;
    if (!sys.attributes(copy)) {
      backupFolderLeft.push_back(copy);
      return problem(line, "the saved copy " + copy + " of " + target + " is missing");
    }
    if (sys.attributes(target)) sys.setAttributes(target, kAttrNormal);
    if (!sys.copyFile(copy, target, false)) {
      backupFolderLeft.push_back(copy);
      return problem(line, target + " could not be put back from " + copy);
    }
    FileHandle h = sys.openReadWrite(target);
    if (h != kInvalidFile) {
      sys.setFileTime(h, b.record.time);
      sys.close(h);
    }
    sys.setAttributes(target, b.record.attributes ? b.record.attributes : kAttrNormal);
    deleteFileForced(sys, copy);
    done("put back " + target);
  }

  void undoDirectory(const LogLine& line) {
    auto path = safe(line, line.fields()[0]);
    if (!path) return;
    if (!isDirectory(sys, *path)) return note(*path + " is already gone");
    directories.push_back(*path);  // removed at the end, once the log itself is gone
  }

  void removeDirectories() {
    for (const std::string& dir : directories) {
      if (!isDirectory(sys, dir)) continue;
      if (!directoryIsEmpty(sys, dir)) {
        note(dir + " is not empty and stays");
      } else if (sys.removeDirectory(dir)) {
        done("removed " + dir);
      } else {
        problem(nullptr, dir + " could not be removed");
      }
    }
  }

  void undoRename(const LogLine& line) {
    std::vector<const std::vector<std::string>*> movable, undone;
    for (const auto& r : line.readings) {
      if (!unsafePathReason(r[0], windowsDir, systemDir).empty() ||
          !unsafePathReason(r[1], windowsDir, systemDir).empty())
        continue;
      bool newThere = sys.attributes(r[0]).has_value(), oldThere = sys.attributes(r[1]).has_value();
      if (newThere && !oldThere) movable.push_back(&r);
      if (!newThere && oldThere) undone.push_back(&r);
    }
    if (movable.size() == 1) {
      const auto& r = *movable.front();
      if (isDirectory(sys, r[0])) return problem(&line, r[0] + " is a folder now; left alone");
      if (!sys.moveFile(r[0], r[1], false))
        return problem(&line, r[0] + " could not be moved back to " + r[1]);
      return done("moved " + r[0] + " back to " + r[1]);
    }
    if (movable.empty() && undone.size() == 1)
      return note(undone.front()->at(1) + " is back already");
    if (movable.empty() && line.readings.size() == 1) {
      const auto& r = line.fields();
      std::string reason = unsafePathReason(r[0], windowsDir, systemDir);
      if (reason.empty()) reason = unsafePathReason(r[1], windowsDir, systemDir);
      if (!reason.empty())
        return problem(&line, r[0] + ", " + r[1] + ": " + reason + "; left alone");
      if (sys.attributes(r[1]))
        return problem(&line, r[1] + " exists again; " + r[0] + " is not moved over it");
      return problem(&line, r[0] + " is missing; nothing to move back");
    }
    problem(&line, "the two paths cannot be told apart; nothing moved");
  }

  char bootDrive() { return sys.driveType("A:\\") == DriveType::Fixed ? 'A' : 'C'; }

  // Old line back for a changed line; an added line removed. The text file is saved beside
  // itself first (AUTOEXEC.BAK, CONFIG.BAK) when startupFile is set.
  void undoLineChange(const LogLine& line, const std::string& path, bool startupFile,
                      bool removeLastMatch) {
    std::optional<std::string> bytes = readWhole(sys, path);
    if (!bytes) return note(path + " is gone; nothing to put back");
    TextLines text = TextLines::split(*bytes);
    // old, new: the readings whose new line is in the file.
    std::vector<std::pair<const std::vector<std::string>*, size_t>> found;
    for (const auto& r : line.readings) {
      const std::string& oldLine = r.front();
      const std::string& newLine = r.back();
      if (auto at = text.find(newLine, oldLine.empty() && removeLastMatch))
        found.push_back({&r, *at});
    }
    if (found.empty()) {
      // The change is not there: undone already (an edit answered No puts the old file back but
      // keeps its log lines) when the old line is, else changed by someone since.
      const std::string& oldLine = line.readings.front().front();
      if (line.readings.size() == 1 && (oldLine.empty() || text.find(oldLine, false)))
        return note("\"" + line.readings.front().back() + "\" is not in " + path +
                    "; nothing to undo");
      return problem(&line, "the line \"" + line.readings.front().back() + "\" is no longer in " +
                                path + "; nothing changed");
    }
    if (found.size() > 1)
      return problem(&line, "the line can be read more than one way in " + path);
    const std::vector<std::string>& r = *found.front().first;
    size_t at = found.front().second;
    if (r.front().empty()) {
      text.lines.erase(text.lines.begin() + long(at));
      text.ends.erase(text.ends.begin() + long(at));
    } else {
      text.lines[at] = r.front();
    }
    if (startupFile &&
        std::find(textBackedUp.begin(), textBackedUp.end(), path) == textBackedUp.end()) {
      const std::string bak = path.substr(0, path.size() - 3) + "BAK";
      // The installer's own backup is the file as it was: once the text is that again, the file
      // gets its time back too.
      if (std::optional<std::string> before = readWhole(sys, bak)) {
        FileHandle h = sys.openRead(bak);
        std::optional<FatTime> time = h == kInvalidFile ? std::nullopt : sys.fileTime(h);
        if (h != kInvalidFile) sys.close(h);
        if (time) startupOriginals.push_back({path, *before, *time});
      } else {
        // No backup: the installer found no file and made this one from its additions alone.
        madeByInstaller.push_back(path);
      }
      if (sys.attributes(bak)) sys.setAttributes(bak, kAttrNormal);
      if (!sys.copyFile(path, bak, false))
        return problem(&line, path + " could not be saved as " + bak + "; nothing changed");
      textBackedUp.push_back(path);
    }
    if (!writeText(path, text)) return problem(&line, path + " could not be rewritten");
    if (text.lines.empty() &&
        std::find(madeByInstaller.begin(), madeByInstaller.end(), path) != madeByInstaller.end()) {
      // Nothing is left of a file the installation made: it goes, with the copy saved above.
      const std::string bak = path.substr(0, path.size() - 3) + "BAK";
      if (deleteFileForced(sys, path)) {
        deleteFileForced(sys, bak);
        return done("deleted " + path + ", which the installation had made");
      }
    }
    for (const Original& o : startupOriginals) {
      if (o.path != path) continue;
      // An addition terminated the old last line first; with the additions gone, that line end is
      // the only difference from the file as it was.
      std::string now = text.join();
      if (!text.ends.empty() && !text.ends.back().empty() && now == o.text + text.ends.back()) {
        text.ends.back().clear();
        if (!writeText(path, text)) break;
        now = text.join();
      }
      if (o.text != now) continue;
      FileHandle h = sys.openReadWrite(path);
      if (h == kInvalidFile) break;
      sys.setFileTime(h, o.time);
      sys.close(h);
    }
    done(std::string(r.front().empty() ? "removed \"" + r.back() + "\" from "
                                       : "put \"" + r.front() + "\" back into ") +
         path);
  }

  void undoStartupLine(const LogLine& line, const char* name) {
    std::string path = std::string(1, bootDrive()) + ":\\" + name;
    undoLineChange(line, path, true, true);
  }

  void undoAddText(const LogLine& line) {
    // Every reading names its file; they must agree on one that is safe.
    std::optional<std::string> file;
    for (const auto& r : line.readings) {
      std::string path = inDestination(line, r[1]);
      if (file && !equalsNoCase(*file, path))
        return problem(&line, "the text's file cannot be told apart; nothing changed");
      file = path;
    }
    auto path = safe(line, *file);
    if (!path) return;
    LogLine pairs = line;
    pairs.readings.clear();
    for (const auto& r : line.readings) pairs.readings.push_back({r[0], r[2]});
    undoLineChange(pairs, *path, false, false);
  }

  bool iniPathSafe(const LogLine& line, const std::string& file) {
    // A bare name lies in the Windows folder, as the profile functions take it.
    bool bare = file.find_first_of("\\:/") == std::string::npos;
    std::string full = bare ? withTrailingBackslash(windowsDir) + file : file;
    return safe(line, full).has_value();
  }

  void undoIniKey(const LogLine& line) {
    std::vector<std::pair<const std::vector<std::string>*, std::string>> matches;
    for (const auto& r : line.readings) {
      const std::string &section = r[0], &key = r[1], &value = r[2], &file = r[3];
      std::string current = sys.profileString(file, section, key, kIniMarker, kIniBuffer);
      if (equalsNoCase(current, kIniMarker)) continue;
      // The profile functions trim what they read, so an added word reads back without the blank
      // that joined it to an empty value.
      bool added = r.size() == 5 && r[4].size() > value.size() &&
                   equalsNoCase(r[4].substr(r[4].size() - value.size() - 1), " " + value) &&
                   equalsNoCase(current, trimmed(r[4]));
      if (added) {
        matches.push_back({&r, trimmed(r[4].substr(0, r[4].size() - value.size() - 1))});
      } else if (equalsNoCase(current, value)) {
        matches.push_back({&r, r.size() == 5 ? r[4] : ""});  // new key, or the old value back
      }
    }
    if (matches.empty()) {
      const auto& r = line.fields();
      std::string current = sys.profileString(r[3], r[0], r[1], kIniMarker, kIniBuffer);
      if (equalsNoCase(current, kIniMarker))
        return note("[" + r[0] + "] " + r[1] + " in " + r[3] + " is already gone");
      return problem(&line, "[" + r[0] + "] " + r[1] + " in " + r[3] +
                                " was changed after the installation; left alone");
    }
    if (matches.size() > 1) return problem(&line, "the INI line can be read more than one way");
    const auto& r = *matches.front().first;
    if (!iniPathSafe(line, r[3])) return;
    bool ok = r.size() == 4 ? sys.deleteProfileKey(r[3], r[0], r[1])
                            : sys.writeProfileString(r[3], r[0], r[1], matches.front().second);
    sys.flushProfile(r[3]);
    if (!ok)
      return problem(&line, "[" + r[0] + "] " + r[1] + " in " + r[3] + " could not be changed");
    done(r.size() == 4
             ? "deleted [" + r[0] + "] " + r[1] + " from " + r[3]
             : "put [" + r[0] + "] " + r[1] + "=" + matches.front().second + " back into " + r[3]);
    removeEmptySections(r[0], r[3]);
  }

  void removeEmptySections(const std::string& section, const std::string& file) {
    for (auto it = newSections.begin(); it != newSections.end();) {
      bool same =
          section.empty() || (equalsNoCase(it->section, section) && equalsNoCase(it->file, file));
      if (!same) {
        ++it;
        continue;
      }
      if (equalsNoCase(sys.profileKeys(it->file, it->section, kIniMarker, kIniBuffer),
                       kIniMarker)) {
        if (sys.deleteProfileSection(it->file, it->section)) {
          sys.flushProfile(it->file);
          done("removed the empty section [" + it->section + "] from " + it->file);
        }
      } else {
        note("[" + it->section + "] of " + it->file + " still holds keys and stays");
      }
      it = newSections.erase(it);
    }
  }

  void undoRegServer(const LogLine& line) {
    auto path = safe(line, line.fields()[0]);
    if (!path) return;
    switch (sys.unregisterServer(*path)) {
      case RegisterResult::Registered:
        return done("unregistered " + *path);
      case RegisterResult::LoadFailed:
        return note(*path + " cannot be loaded; nothing to unregister");
      case RegisterResult::NoExport:
        return note(*path + " has no DllUnregisterServer; nothing to unregister");
      case RegisterResult::Failed:
        return problem(&line, *path + " refused to unregister");
    }
  }

  void undoRegKey(const LogLine& line) {
    if (line.readings.size() != 1) return problem(&line, "the key cannot be told apart");
    const std::string &rootName = line.fields()[0], &key = line.fields()[1];
    std::optional<RegistryRoot> root = findRegistryRoot(rootName);
    if (!root) return problem(&line, rootName + " is no registry root; left alone");
    if (key.empty() || key.front() == '\\' || key.back() == '\\' ||
        key.find("\\\\") != std::string::npos)
      return problem(&line, rootName + "\\" + key + " is no key path; left alone");
    if (!sys.openRegistryKey(*root, key)) return note(rootName + "\\" + key + " is already gone");
    if (!sys.deleteRegistryKey(*root, key))
      return problem(&line, rootName + "\\" + key + " could not be deleted");
    done("deleted " + rootName + "\\" + key);
  }

  // DeleteGroup removes a group with whatever it holds, so it is sent only for a group the
  // shell reports empty.
  void removeGroupIfEmpty(const std::string& group) {
    std::optional<size_t> count = sys.shellGroupItemCount(group);
    if (!count) {
      if (std::find(groupsLeft.begin(), groupsLeft.end(), upperAscii(group)) == groupsLeft.end()) {
        groupsLeft.push_back(upperAscii(group));
        note("the group " + group + " stays: the shell does not say whether it is empty");
      }
      return;
    }
    if (*count != 0) return;
    if (!sys.startShellClient() || !sys.connectShell()) return;
    bool deleted = sys.executeShellCommand("[DeleteGroup(" + group + ")]");
    sys.disconnectShell();
    if (deleted) done("removed the empty group " + group);
  }

  void undoWinItem(const LogLine& line) {
    if (line.readings.size() != 1) return problem(&line, "the item cannot be told apart");
    const std::string &group = line.fields()[0], &title = line.fields()[1];
    if (group.find_first_of("()[]\"") != std::string::npos ||
        title.find_first_of("()[]\"") != std::string::npos)
      return problem(&line, "the item " + group + "\\" + title + " cannot be named to the shell");
    if (title.empty()) return removeGroupIfEmpty(group);
    // Without a shell there is nothing to ask: the installer logged the item all the same.
    if (!sys.startShellClient() || !sys.connectShell())
      return note("no shell answers; the item " + group + "\\" + title + " is left to it");
    bool shown = sys.executeShellCommand("[ShowGroup(" + group + ",1)]");
    bool deleted = shown && sys.executeShellCommand("[DeleteItem(" + title + ")]");
    sys.disconnectShell();
    if (!shown) return note("the group " + group + " is already gone");
    if (deleted) {
      done("deleted the item " + group + "\\" + title);
    } else {
      note("the item " + group + "\\" + title + " is already gone");
    }
    removeGroupIfEmpty(group);
  }

  void undo(const LogLine& line) {
    switch (line.kind) {
      case LogKind::File:
        return undoFile(line);
      case LogKind::Directory:
        return undoDirectory(line);
      case LogKind::Rename:
        return undoRename(line);
      case LogKind::Autoexec:
        return undoStartupLine(line, "AUTOEXEC.BAT");
      case LogKind::Config:
        return undoStartupLine(line, "CONFIG.SYS");
      case LogKind::AddText:
        return undoAddText(line);
      case LogKind::IniKey:
        return undoIniKey(line);
      case LogKind::IniSection:
        if (line.readings.size() == 1) newSections.push_back({line.fields()[0], line.fields()[1]});
        return;
      case LogKind::RegServer:
        return undoRegServer(line);
      case LogKind::RegKey:
        return undoRegKey(line);
      case LogKind::WinItem:
        return undoWinItem(line);
      case LogKind::DefaultDir:
      case LogKind::BeginPrompt:
      case LogKind::EndPrompt:
      case LogKind::TitlePrompt:
        return;
    }
  }

  void readBackups(const InstallLogContents& log) {
    std::optional<std::string> bytes = readWhole(sys, logDir + kBackupListName);
    if (!bytes) return;
    TextLines text = TextLines::split(*bytes);
    for (size_t i = 0; i < text.lines.size(); ++i) {
      if (text.lines[i].empty()) continue;
      std::optional<BackupRecord> record = parseBackupRecord(text.lines[i]);
      if (!record || (i + 1 == text.lines.size() && text.ends[i].empty())) {
        problem(nullptr, std::string(kBackupListName) + " line " + std::to_string(i + 1) +
                             " cannot be read; skipped");
        continue;
      }
      backups.push_back({*record});
    }
    // Each copy belongs to the first FILE line for its path written after it was made.
    for (Backup& b : backups) {
      if (b.record.kind == BackupRecord::Kind::Deleted) continue;
      for (const LogLine& line : log.lines) {
        if (line.kind != LogKind::File || line.offset < b.record.logOffset ||
            !equalsNoCase(line.fields()[0], b.record.original))
          continue;
        bool taken = std::any_of(backups.begin(), backups.end(), [&](const Backup& o) {
          return &o != &b && o.fileLine == line.lineNumber;
        });
        if (taken) continue;
        b.fileLine = line.lineNumber;
        break;
      }
    }
  }

  // Files a DELETE statement removed come back at their place in time: after every change
  // logged later is undone, before the earlier ones (so a file the installation itself wrote and
  // then deleted is put back only to be deleted again by its own FILE line).
  void restoreDeleted(std::optional<uint64_t> after) {
    for (Backup& b : backups) {
      if (b.handled || b.record.kind != BackupRecord::Kind::Deleted) continue;
      if (after && b.record.logOffset <= *after) continue;
      b.handled = true;
      const std::string copy = logDir + kBackupFolderName + "\\" + b.record.copyName;
      if (!unsafePathReason(b.record.original, windowsDir, systemDir).empty()) {
        backupFolderLeft.push_back(copy);
        problem(nullptr, b.record.original + ": not a safe path; its copy " + copy + " stays");
      } else if (sys.attributes(b.record.original)) {
        backupFolderLeft.push_back(copy);
        note(b.record.original + " exists again; the deleted file's copy " + copy + " stays");
      } else {
        restore(nullptr, b);
      }
    }
  }

  // Copies no FILE line claimed: the file was kept but never written over. Put back only what
  // is missing; an existing file is not touched.
  void settleUnclaimedBackups() {
    for (Backup& b : backups) {
      if (b.handled) continue;
      b.handled = true;
      if (b.record.kind == BackupRecord::Kind::Kept) continue;
      const std::string copy = logDir + kBackupFolderName + "\\" + b.record.copyName;
      if (!unsafePathReason(b.record.original, windowsDir, systemDir).empty()) {
        backupFolderLeft.push_back(copy);
        problem(nullptr, b.record.original + ": not a safe path; its copy " + copy + " stays");
      } else if (!sys.attributes(b.record.original)) {
        restore(nullptr, b);
      } else {
        backupFolderLeft.push_back(copy);
        note(b.record.original + " was not replaced after all; its copy " + copy + " stays");
      }
    }
  }

  void removeBackupFolder() {
    const std::string folder = logDir + kBackupFolderName;
    if (backupFolderLeft.empty() && report.problems.empty()) {
      if (sys.attributes(logDir + kBackupListName) &&
          deleteFileForced(sys, logDir + kBackupListName))
        done("deleted " + logDir + kBackupListName);
    }
    if (isDirectory(sys, folder) && directoryIsEmpty(sys, folder) && sys.removeDirectory(folder))
      done("removed " + folder);
  }
};

int Uninstaller::run(const std::string& logPath) {
  report_ = {};
  std::optional<std::string> bytes = readWhole(sys_, logPath);
  UninstallTexts defaults;
  if (!bytes) {
    MessageRequest box;
    box.text = "The install log " + logPath + " cannot be read.";
    box.caption = defaults.title;
    box.icon = MsgIcon::Warning;
    ui_.messageBox(box);
    ui_.trace("exit " + std::to_string(kUninstallCannotStart));
    return kUninstallCannotStart;
  }
  InstallLogContents log = readInstallLog(*bytes);

  MessageRequest ask;
  ask.text = log.texts.begin;
  ask.caption = log.texts.title;
  ask.icon = MsgIcon::Question;
  ask.buttons = MsgButtons::YesNo;
  ask.topic = "Uninstall";
  if (ui_.messageBox(ask) != MsgResult::Yes) {
    ui_.trace("exit " + std::to_string(kUninstallDeclined));
    return kUninstallDeclined;
  }

  Impl impl(sys_, ui_, report_, logPath);
  for (const SkippedLine& s : log.skipped)
    impl.problem(nullptr, "line " + std::to_string(s.lineNumber) + ": " + s.reason + "; skipped");
  impl.readBackups(log);

  // Newest first. Keys were logged deepest first, so a run of REGKEY lines keeps its order.
  for (size_t i = log.lines.size(); i-- > 0;) {
    impl.restoreDeleted(log.lines[i].offset);
    if (log.lines[i].kind == LogKind::RegKey) {
      size_t first = i;
      while (first > 0 && log.lines[first - 1].kind == LogKind::RegKey) --first;
      for (size_t k = first; k <= i; ++k) impl.undo(log.lines[k]);
      i = first;
      continue;
    }
    impl.undo(log.lines[i]);
  }
  impl.restoreDeleted(std::nullopt);
  impl.removeEmptySections("", "");
  impl.settleUnclaimedBackups();
  impl.removeBackupFolder();
  // The log goes last, and only when everything in it was dealt with, so a second run can try
  // again what this one could not do.
  if (report_.problems.empty()) {
    if (deleteFileForced(sys_, logPath)) {
      impl.done("deleted " + logPath);
    } else {
      impl.problem(nullptr, logPath + " could not be deleted");
    }
  } else {
    impl.note(logPath + " is kept: some changes were not undone");
  }
  impl.removeDirectories();

  MessageRequest end;
  end.caption = log.texts.title;
  if (report_.problems.empty()) {
    end.text = log.texts.end;
    end.icon = MsgIcon::Information;
  } else {
    end.text = "These changes were not undone:";
    size_t shown = 0;
    for (const std::string& p : report_.problems) {
      if (++shown > 15) {
        end.text += "\n...";
        break;
      }
      end.text += "\n" + p;
    }
    end.icon = MsgIcon::Warning;
  }
  ui_.messageBox(end);
  int code = report_.problems.empty() ? kUninstallDone : kUninstallIncomplete;
  ui_.trace("exit " + std::to_string(code));
  return code;
}

}  // namespace qm
