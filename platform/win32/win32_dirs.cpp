#include <windows.h>

#include "platform/win32/win32_system.h"

namespace qm {

std::optional<uint32_t> Win32System::attributes(const std::string& path) {
  DWORD a = GetFileAttributesA(path.c_str());
  if (a == INVALID_FILE_ATTRIBUTES) return std::nullopt;
  return uint32_t(a);
}

bool Win32System::setAttributes(const std::string& path, uint32_t attrs) {
  return SetFileAttributesA(path.c_str(), attrs) != 0;
}

std::vector<FindEntry> Win32System::find(const std::string& pattern) {
  std::vector<FindEntry> out;
  WIN32_FIND_DATAA data;
  HANDLE h = FindFirstFileA(pattern.c_str(), &data);
  if (h == INVALID_HANDLE_VALUE) return out;
  do {
    FindEntry e;
    e.name = data.cFileName;
    e.attributes = data.dwFileAttributes;
    e.size = uint64_t(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
    WORD date = 0, time = 0;
    if (FileTimeToDosDateTime(&data.ftLastWriteTime, &date, &time)) e.time = FatTime{date, time};
    out.push_back(std::move(e));
  } while (FindNextFileA(h, &data));
  FindClose(h);
  return out;
}

bool Win32System::createDirectory(const std::string& path) {
  return CreateDirectoryA(path.c_str(), nullptr) != 0;
}

bool Win32System::removeDirectory(const std::string& path) {
  return RemoveDirectoryA(path.c_str()) != 0;
}

bool Win32System::deleteFile(const std::string& path) { return DeleteFileA(path.c_str()) != 0; }

bool Win32System::moveFile(const std::string& from, const std::string& to, bool replace) {
  DWORD flags = MOVEFILE_COPY_ALLOWED | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
  if (MoveFileExA(from.c_str(), to.c_str(), flags)) return true;
  if (GetLastError() != ERROR_CALL_NOT_IMPLEMENTED) return false;
  // Windows 95 has no MoveFileEx: set the old target aside, and put it back if the move fails,
  // so that a failed move never loses it.
  if (!replace || GetFileAttributesA(to.c_str()) == INVALID_FILE_ATTRIBUTES)
    return MoveFileA(from.c_str(), to.c_str()) != 0;
  std::string aside = to + ".~qm";
  if (!MoveFileA(to.c_str(), aside.c_str())) return false;
  if (!MoveFileA(from.c_str(), to.c_str())) {
    MoveFileA(aside.c_str(), to.c_str());
    return false;
  }
  DeleteFileA(aside.c_str());
  return true;
}

bool Win32System::copyFile(const std::string& from, const std::string& to, bool failIfExists) {
  return CopyFileA(from.c_str(), to.c_str(), failIfExists) != 0;
}

std::string Win32System::currentDirectory() {
  char buf[MAX_PATH + 1];
  DWORD n = GetCurrentDirectoryA(sizeof buf, buf);
  return n == 0 || n >= sizeof buf ? std::string() : std::string(buf, n);
}

bool Win32System::setCurrentDirectory(const std::string& path) {
  return SetCurrentDirectoryA(path.c_str()) != 0;
}

}  // namespace qm
