// Machine facts that IF conditions test: memory, display, registry, version resources and the
// locale comparison, each from the matching system call.
#include <windows.h>

#include <cstring>
#include <vector>

#include "platform/win32/win32_system.h"

namespace qm {

uint64_t Win32System::totalPhysicalMemory() {
  // The extended call reports past 4 GiB; it is looked up at run time so that the program still
  // loads on systems that predate it.
  using StatusEx = BOOL(WINAPI*)(LPMEMORYSTATUSEX);
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  // FARPROC goes through void* to its real type: a direct cast between function types warns.
  auto statusEx = kernel ? reinterpret_cast<StatusEx>(reinterpret_cast<void*>(
                               GetProcAddress(kernel, "GlobalMemoryStatusEx")))
                         : nullptr;
  if (statusEx) {
    MEMORYSTATUSEX ms;
    std::memset(&ms, 0, sizeof ms);
    ms.dwLength = sizeof ms;
    if (statusEx(&ms)) return ms.ullTotalPhys;
  }
  MEMORYSTATUS ms;
  std::memset(&ms, 0, sizeof ms);
  ms.dwLength = sizeof ms;
  GlobalMemoryStatus(&ms);
  return ms.dwTotalPhys;
}

DisplayCaps Win32System::displayCaps() {
  DisplayCaps caps;
  HDC ic = CreateICA("DISPLAY", nullptr, nullptr, nullptr);
  if (!ic) return caps;
  caps.bitsPerPixel = GetDeviceCaps(ic, BITSPIXEL);
  caps.planes = GetDeviceCaps(ic, PLANES);
  caps.width = GetDeviceCaps(ic, HORZRES);
  caps.height = GetDeviceCaps(ic, VERTRES);
  DeleteDC(ic);
  return caps;
}

std::optional<RegistryValue> Win32System::readRegistryValue(RegistryRoot root,
                                                            const std::string& key,
                                                            const std::string& name) {
  HKEY opened = nullptr;
  HKEY base = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<uint32_t>(root)));
  if (RegOpenKeyExA(base, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return std::nullopt;
  std::optional<RegistryValue> out;
  const char* valueName = name.empty() ? nullptr : name.c_str();
  DWORD size = 0;
  DWORD type = 0;
  LONG rc = RegQueryValueExA(opened, valueName, nullptr, &type, nullptr, &size);
  // The value may grow between the two calls; try again with the new size.
  for (int attempt = 0; rc == ERROR_SUCCESS && attempt < 4; ++attempt) {
    std::vector<uint8_t> data(size);
    DWORD got = size;
    rc = RegQueryValueExA(opened, valueName, nullptr, &type, data.empty() ? nullptr : data.data(),
                          &got);
    if (rc == ERROR_MORE_DATA) {
      size = got;
      rc = ERROR_SUCCESS;
      continue;
    }
    if (rc == ERROR_SUCCESS) {
      data.resize(got);
      out = RegistryValue{type, std::move(data)};
    }
    break;
  }
  RegCloseKey(opened);
  return out;
}

std::optional<std::string> Win32System::versionText(const std::string& path,
                                                    const std::string& query) {
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
  if (size == 0) return std::nullopt;
  std::vector<char> block(size_t(size) + 1, '\0');
  if (!GetFileVersionInfoA(path.c_str(), 0, size, block.data())) return std::nullopt;
  void* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(block.data(), query.c_str(), &value, &length) || !value) return std::nullopt;
  const char* text = static_cast<const char*>(value);
  const char* blockEnd = block.data() + block.size();
  // The converted text normally lies inside the block; never read past it either way.
  size_t limit = (text >= block.data() && text < blockEnd) ? size_t(blockEnd - text) : length;
  size_t n = 0;
  while (n < limit && text[n] != '\0') ++n;
  return std::string(text, n);
}

int Win32System::localeCompareNoCase(const std::string& a, const std::string& b) {
  return lstrcmpiA(a.c_str(), b.c_str());
}

}  // namespace qm
