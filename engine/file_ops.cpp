#include "engine/file_ops.h"

#include <algorithm>

#include "base/text.h"
#include "base/win_path.h"
#include "engine/engine.h"
#include "engine/replaced_files.h"

namespace qm {

namespace {

constexpr size_t kDirectoryRecordChars = 1000;

bool hasDrive(const std::string& path) { return path.size() >= 2 && path[1] == ':'; }
bool isAbsolute(const std::string& path) {
  return hasDrive(path) || (!path.empty() && path[0] == '\\');
}

int driveNumber(char letter) { return toUpperAscii(letter) - 'A' + 1; }

bool isDirectory(FileSystem& fs, const std::string& path) {
  std::optional<uint32_t> a = fs.attributes(path);
  return a && (*a & kAttrDirectory);
}

// Plain files among a wildcard search's matches, in the order the system lists them.
std::vector<FindEntry> fileMatches(FileSystem& fs, const std::string& pattern) {
  std::vector<FindEntry> out;
  for (FindEntry& e : fs.find(pattern))
    if (!(e.attributes & kAttrDirectory)) out.push_back(std::move(e));
  return out;
}

// The installation's own records: install.log, the list of kept files and the folder of their
// copies. A DELETE or RENAME that reaches them would leave the uninstaller nothing to work from.
bool isInstallationRecord(Engine& engine, const std::string& path) {
  if (engine.log.path().empty()) return false;
  const std::optional<WinPath> here =
      resolveWinPath(engine.sys.files().currentDirectory(), WinPath{});
  if (!here) return false;
  const std::optional<WinPath> p = resolveWinPath(path, *here);
  const std::optional<WinPath> log = resolveWinPath(engine.log.path(), *here);
  if (!p || !log) return false;
  const std::string text = upperAscii(p->text());
  const std::string dir = upperAscii(directoryPart(log->text()));
  const std::string backups = dir + upperAscii(kBackupFolderName);
  return text == upperAscii(log->text()) || text == dir + upperAscii(kBackupListName) ||
         text == backups || text.rfind(backups + "\\", 0) == 0;
}

bool guarded(Engine& engine, const char* what, const std::string& path) {
  if (!isInstallationRecord(engine, path)) return false;
  engine.ui.trace(std::string(what) + " skips " + path + ": the uninstaller needs it");
  return true;
}

void deleteOne(FileSystem& fs, const std::string& path) {
  if (fs.deleteFile(path)) return;
  // A read-only file refuses the first attempt.
  fs.setAttributes(path, kAttrNormal);
  fs.deleteFile(path);
}

}  // namespace

int createDirectories(Engine& engine, const std::string& path, const std::string& existingPrefix,
                      bool showFailure) {
  FileSystem& fs = engine.sys;
  if (hasDrive(path)) {
    engine.currentDrive = driveNumber(path[0]);
  } else if (!engine.destination().empty()) {
    engine.currentDrive = driveNumber(engine.destination()[0]);
  }
  std::string record;
  bool recordFull = false;
  auto note = [&](const std::string& dir) {
    std::string line = formatLogRecord(DirectoryRecord{dir}) + "\n";
    if (recordFull || record.size() + line.size() > kDirectoryRecordChars) {
      recordFull = true;
      return;
    }
    record += line;
  };

  size_t pos = existingPrefix.size() <= path.size() ? existingPrefix.size() : path.size();
  int result = 0;
  while (pos < path.size()) {
    size_t next = path.find('\\', pos + 1);
    if (next == std::string::npos) next = path.size();
    std::string prefix = path.substr(0, next);
    pos = next;
    if (prefix.size() == 2 && prefix[1] == ':') prefix += '\\';
    if (prefix.size() <= 3) continue;
    if (fs.setCurrentDirectory(prefix)) continue;
    if (!fs.createDirectory(prefix) || !fs.setCurrentDirectory(prefix)) {
      if (showFailure) {
        MessageRequest box;
        box.text = engine.state.settings.prompts.badDir;
        box.captionDefault = true;
        box.icon = MsgIcon::Warning;
        engine.ui.messageBox(box);
      }
      result = 2;
      break;
    }
    note(prefix);
  }
  // Levels made before a failure are recorded too, so the uninstaller can take them away.
  if (!record.empty()) engine.log.record(record);
  return result;
}

int createPath(Engine& engine, const std::string& path, bool showFailure) {
  return createDirectories(engine, path, path.substr(0, 3), showFailure);
}

bool confirmOverwrite(Engine& engine, const std::string& target) {
  MessageRequest box;
  box.text = engine.state.settings.prompts.fileExist + target + "?";
  box.icon = MsgIcon::Question;
  box.buttons = MsgButtons::YesNo;
  box.owned = true;
  box.topic = "Overwrite";
  const bool replace = engine.ui.messageBox(box) == MsgResult::Yes;
  if (replace && engine.popupShown >= 0) engine.windows().placeProgressBelowPopup();
  return replace;
}

void countSkippedBytes(Engine& engine, int64_t bytes) {
  if (!engine.byteProgress()) return;
  engine.progressCounter =
      static_cast<int32_t>(std::min<int64_t>(int64_t(engine.progressCounter) + bytes, 0x7FFFFFFF));
  engine.progressMessage(0);
}

bool isLibrary(const std::string& path) {
  std::string name = fileNamePart(path);
  size_t dot = name.rfind('.');
  if (dot == std::string::npos) return false;
  std::string_view ext = std::string_view(name).substr(dot + 1);
  return equalsNoCase(ext, "dll") || equalsNoCase(ext, "vbx") || equalsNoCase(ext, "ocx");
}

void renameFile(Engine& engine, const std::string& oldPath, const std::string& newPath) {
  FileSystem& fs = engine.sys;
  if (!fs.attributes(oldPath)) return;
  if (guarded(engine, "RENAME", oldPath) || guarded(engine, "RENAME", newPath)) return;
  // A target the move replaces is kept for the uninstaller, like a deleted file.
  if (!equalsNoCase(oldPath, newPath)) keepDeletedFile(engine, newPath);
  // One step: the old target stays in place if the move cannot be made.
  if (!fs.moveFile(oldPath, newPath, true)) return;
  engine.log.record(RenameRecord{newPath, oldPath});
}

void renameEntry(Engine& engine, const RenameEntry& entry) {
  FileSystem& fs = engine.sys;
  std::string remembered = fs.currentDirectory();
  std::string oldName = entry.oldName;
  std::string newName = entry.newName;
  expandMacros(engine.macros, oldName);
  expandMacros(engine.macros, newName);

  std::string newDir;
  size_t lastSlash = newName.rfind('\\');
  if (lastSlash != std::string::npos) {
    newDir = newName.substr(0, lastSlash);
    if (!newDir.empty() && !(newDir.size() == 2 && newDir[1] == ':')) createPath(engine, newDir);
    newDir += '\\';
    fs.setCurrentDirectory(remembered);
  } else if (hasDrive(newName)) {
    newDir = newName.substr(0, 2);
  }

  size_t star = oldName.find('*');
  if (star == std::string::npos) {
    renameFile(engine, oldName, newName);
    return;
  }
  enum class Form { KeepName, NewExtension, NewBase };
  std::string_view after = std::string_view(oldName).substr(star + 1);
  Form form = Form::NewBase;
  if (after.substr(0, 2) == ".*") {
    form = Form::KeepName;
  } else if (!after.empty() && after[0] == '.') {
    form = Form::NewExtension;
  }

  std::string newFile = fileNamePart(newName);
  size_t newDot = newFile.rfind('.');
  std::string newBase = newDot == std::string::npos ? newFile : newFile.substr(0, newDot);
  std::string newExt = newDot == std::string::npos ? "" : newFile.substr(newDot);

  std::string oldDir = directoryPart(oldName);
  std::string pattern = fileNamePart(oldName);
  if (oldDir.empty() || !fs.setCurrentDirectory(withoutTrailingBackslash(oldDir))) {
    fs.setCurrentDirectory(remembered);
    return;
  }
  // The directory that was made current: a relative target lands in it.
  std::string here = withTrailingBackslash(fs.currentDirectory());
  for (const FindEntry& match : fileMatches(fs, here + pattern)) {
    std::string target;
    switch (form) {
      case Form::KeepName:
        target = match.name;
        break;
      case Form::NewExtension: {
        size_t dot = match.name.rfind('.');
        // A name without a dot simply gains the new extension.
        target = (dot == std::string::npos ? match.name : match.name.substr(0, dot)) + newExt;
        break;
      }
      case Form::NewBase: {
        size_t dot = match.name.rfind('.');
        target = newBase + (dot == std::string::npos ? "" : match.name.substr(dot));
        break;
      }
    }
    target = newDir + target;
    if (!isAbsolute(target)) target = here + target;
    // Both paths go to the log in full: the uninstaller runs elsewhere and must find them.
    renameFile(engine, here + match.name, target);
  }
  fs.setCurrentDirectory(remembered);
}

void deleteEntry(Engine& engine, const std::string& entry) {
  FileSystem& fs = engine.sys;
  std::string path = entry;
  expandMacros(engine.macros, path);
  if (!isAbsolute(path)) path = engine.destination() + "\\" + path;
  if (!hasWildcard(path)) {
    if (isDirectory(fs, path) || guarded(engine, "DELETE", path)) return;
    keepDeletedFile(engine, path);
    deleteOne(fs, path);
    return;
  }
  std::string remembered = fs.currentDirectory();
  std::string dir = directoryPart(path);
  if (!dir.empty() && fs.setCurrentDirectory(withoutTrailingBackslash(dir))) {
    std::string here = withTrailingBackslash(fs.currentDirectory());
    for (const FindEntry& match : fileMatches(fs, here + fileNamePart(path))) {
      if (guarded(engine, "DELETE", here + match.name)) continue;
      keepDeletedFile(engine, here + match.name);
      deleteOne(fs, here + match.name);
    }
  }
  fs.setCurrentDirectory(remembered);
}

int registerServer(Engine& engine, const std::string& path) {
  RegisterResult result = engine.sys.machine().registerServer(path);
  if (result == RegisterResult::Registered) return 1;
  MessageRequest box;
  box.text = path + engine.state.settings.prompts.serverNotRegistered;
  box.caption = path;
  box.icon = MsgIcon::None;
  box.buttons = MsgButtons::Ok;
  engine.ui.messageBox(box);
  return 0;
}

}  // namespace qm
