#include <windows.h>

#include "platform/win32/win32_system.h"

namespace qm {

namespace {

// Calls one of the "fill a buffer, return the length" functions, growing the buffer when the
// first try was too small.
template <typename Call>
std::string fetchText(Call call) {
  std::string buf(MAX_PATH + 1, '\0');
  DWORD n = call(buf.data(), DWORD(buf.size()));
  if (n >= buf.size()) {
    buf.assign(n + 1, '\0');
    n = call(buf.data(), DWORD(buf.size()));
    if (n >= buf.size()) return std::string();
  }
  buf.resize(n);
  return buf;
}

}  // namespace

DriveType Win32System::driveType(const std::string& root) {
  return static_cast<DriveType>(GetDriveTypeA(root.c_str()));
}

std::optional<std::string> Win32System::volumeLabel(const std::string& root) {
  char label[MAX_PATH + 1] = {};
  if (!GetVolumeInformationA(root.c_str(), label, sizeof label, nullptr, nullptr, nullptr, nullptr,
                             0))
    return std::nullopt;
  return std::string(label);
}

std::optional<uint64_t> Win32System::freeSpace(const std::string& root) {
  // GetDiskFreeSpaceExA is missing from the first Windows 95, so it is looked up, and the old
  // call (which stops near 2 GB) is the fallback.
  using FreeEx = BOOL(WINAPI*)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);
  auto freeEx = reinterpret_cast<FreeEx>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetDiskFreeSpaceExA")));
  if (freeEx) {
    ULARGE_INTEGER available, total, free;
    if (!freeEx(root.c_str(), &available, &total, &free)) return std::nullopt;
    return uint64_t(available.QuadPart);
  }
  DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
  if (!GetDiskFreeSpaceA(root.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters,
                         &clusters))
    return std::nullopt;
  return uint64_t(sectorsPerCluster) * bytesPerSector * freeClusters;
}

uint32_t Win32System::logicalDrives() { return uint32_t(GetLogicalDrives()); }

std::optional<std::string> Win32System::shortPathName(const std::string& path) {
  std::string s =
      fetchText([&](char* buf, DWORD size) { return GetShortPathNameA(path.c_str(), buf, size); });
  if (s.empty()) return std::nullopt;
  return s;
}

std::string Win32System::tempDirectory() {
  return fetchText([](char* buf, DWORD size) { return GetTempPathA(size, buf); });
}

std::string Win32System::windowsDirectory() {
  return fetchText([](char* buf, DWORD size) { return GetWindowsDirectoryA(buf, size); });
}

std::string Win32System::systemDirectory() {
  return fetchText([](char* buf, DWORD size) { return GetSystemDirectoryA(buf, size); });
}

}  // namespace qm
