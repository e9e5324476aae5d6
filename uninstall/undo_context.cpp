#include "uninstall/undo_context.h"

#include <algorithm>
#include <cctype>

#include "base/text.h"
#include "base/win_path.h"
#include "ui/ui.h"

namespace qm {

bool isDirectory(FileSystem& fs, const std::string& path) {
  std::optional<uint32_t> a = fs.attributes(path);
  return a && (*a & kAttrDirectory);
}

bool directoryIsEmpty(FileSystem& fs, const std::string& dir) {
  for (const FindEntry& e : fs.find(withTrailingBackslash(dir) + "*.*"))
    if (e.name != "." && e.name != "..") return false;
  return true;
}

std::vector<std::string> linesOf(const std::string& bytes) {
  std::vector<std::string> out;
  size_t start = 0;
  while (start < bytes.size()) {
    size_t nl = bytes.find('\n', start);
    std::string line = bytes.substr(start, nl == std::string::npos ? nl : nl - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    out.push_back(line);
    start = nl == std::string::npos ? bytes.size() : nl + 1;
  }
  return out;
}

bool deleteFileForced(FileSystem& fs, const std::string& path) {
  if (fs.deleteFile(path)) return true;
  fs.setAttributes(path, kAttrNormal);
  return fs.deleteFile(path);
}

std::string uninstallLogPath(const std::string& arguments, const std::string& modulePath) {
  std::string arg = arguments;
  size_t b = arg.find_first_not_of(" \t");
  arg = b == std::string::npos ? "" : arg.substr(b);
  if (!arg.empty() && arg[0] == '"') {
    size_t close = arg.find('"', 1);
    arg = arg.substr(1, close == std::string::npos ? std::string::npos : close - 1);
  } else {
    // Unquoted, the rest of the line is the one path: a program item written as
    // "$WINDIR$\UNSTALL.EXE $DEFAULTDIR$\install.log" puts blanks of the destination in it.
    size_t e = arg.find_last_not_of(" \t\r\n");
    arg = e == std::string::npos ? "" : arg.substr(0, e + 1);
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

UndoContext::UndoContext(System& s, Ui& u, UninstallReport& r, const std::string& log)
    : sys(s),
      ui(u),
      report(r),
      logPath(log),
      logDir(directoryPart(log)),
      windowsDir(s.files().windowsDirectory()),
      systemDir(s.files().systemDirectory()) {}

void UndoContext::done(const std::string& what) {
  report.done.push_back(what);
  ui.trace("uninstall: " + what);
}

void UndoContext::note(const std::string& what) {
  report.notes.push_back(what);
  ui.trace("uninstall: " + what);
}

void UndoContext::problem(const LogLine* line, const std::string& what) {
  std::string text = line ? "line " + std::to_string(line->lineNumber) + ": " + what : what;
  report.problems.push_back(text);
  ui.trace("uninstall: " + text);
}

void UndoContext::left(const std::string& what) {
  report.left.push_back(what);
  ui.trace("uninstall: left: " + what);
}

std::optional<bool> UndoContext::unchangedSinceInstall(const std::string& path) const {
  const std::string key = upperAscii(path);
  for (const auto& [known, same] : unchanged)
    if (known == key) return same;
  return std::nullopt;
}

bool UndoContext::wasRestoredWhole(const std::string& path) const {
  return std::find(restoredWhole.begin(), restoredWhole.end(), upperAscii(path)) !=
         restoredWhole.end();
}

std::optional<std::string> UndoContext::safe(const LogLine& line, const std::string& path) {
  std::string reason = unsafePathReason(path, windowsDir, systemDir);
  if (reason.empty()) return path;
  problem(&line, path + ": " + reason + "; left alone");
  return std::nullopt;
}

bool UndoContext::isSafe(const std::string& path) const {
  return unsafePathReason(path, windowsDir, systemDir).empty();
}

std::string UndoContext::inDestination(const LogLine& line, const std::string& path) const {
  return absolute(path, line.destination.empty() ? logDir : line.destination);
}

std::string UndoContext::absolute(const std::string& path, const std::string& folder) {
  bool rooted = (!path.empty() && path[0] == '\\') || (path.size() > 1 && path[1] == ':');
  if (rooted || folder.empty()) return path;
  return withTrailingBackslash(folder) + path;
}

std::string UndoContext::copyPath(const BackupRecord& record) const {
  return logDir + kBackupFolderName + "\\" + record.copyName;
}

}  // namespace qm
