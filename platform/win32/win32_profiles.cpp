// INI files through the system's own private-profile functions.
#include <windows.h>

#include <algorithm>
#include <vector>

#include "platform/win32/win32_system.h"

namespace qm {

namespace {

// GetPrivateProfileString with or without a key; the count it returns covers the NULs between
// the names of a key list.
std::string readProfile(const std::string& file, const std::string& section, const char* key,
                        const std::string& fallback, size_t bufferChars) {
  if (bufferChars == 0) return {};
  const DWORD size = DWORD(std::min<size_t>(bufferChars, 0x7FFFFFFF));
  std::vector<char> buffer(size + 2, '\0');
  DWORD n = GetPrivateProfileStringA(section.c_str(), key, fallback.c_str(), buffer.data(), size,
                                     file.c_str());
  return std::string(buffer.data(), std::min<DWORD>(n, size));
}

}  // namespace

std::string Win32System::profileString(const std::string& file, const std::string& section,
                                       const std::string& key, const std::string& fallback,
                                       size_t bufferChars) {
  return readProfile(file, section, key.c_str(), fallback, bufferChars);
}

std::string Win32System::profileKeys(const std::string& file, const std::string& section,
                                     const std::string& fallback, size_t bufferChars) {
  return readProfile(file, section, nullptr, fallback, bufferChars);
}

bool Win32System::writeProfileString(const std::string& file, const std::string& section,
                                     const std::string& key, const std::string& value) {
  return WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), file.c_str()) !=
         FALSE;
}

bool Win32System::deleteProfileKey(const std::string& file, const std::string& section,
                                   const std::string& key) {
  return WritePrivateProfileStringA(section.c_str(), key.c_str(), nullptr, file.c_str()) != FALSE;
}

bool Win32System::deleteProfileSection(const std::string& file, const std::string& section) {
  return WritePrivateProfileStringA(section.c_str(), nullptr, nullptr, file.c_str()) != FALSE;
}

// The flush form reports failure even when it flushed, so its answer means nothing.
void Win32System::flushProfile(const std::string& file) {
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, file.c_str());
}

}  // namespace qm
