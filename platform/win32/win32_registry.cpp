// Registry writes with the real registry functions. Each call opens its key, does one thing and
// closes it again.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/win32/win32_system.h"

namespace qm {

namespace {

HKEY rootKey(RegistryRoot root) {
  return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<uint32_t>(root)));
}

const char* valueNameArg(const std::string& name) { return name.empty() ? nullptr : name.c_str(); }

// Names of an open key's direct subkeys; nullopt when listing them fails part-way.
std::optional<std::vector<std::string>> subkeyNames(HKEY key) {
  std::vector<std::string> names;
  char name[MAX_PATH + 1];
  for (DWORD i = 0;; ++i) {
    DWORD size = sizeof name;
    LONG rc = RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_NO_MORE_ITEMS) return names;
    if (rc != ERROR_SUCCESS) return std::nullopt;
    names.emplace_back(name, size);
  }
}

// Deletes every subkey of an open key, deepest first: the NT family's RegDeleteKey refuses a key
// that still has subkeys, where the 9x family deletes the whole tree.
bool deleteSubkeys(HKEY key) {
  auto names = subkeyNames(key);
  if (!names) return false;
  bool ok = true;
  for (const auto& n : *names) {
    HKEY sub = nullptr;
    if (RegOpenKeyExA(key, n.c_str(), 0, KEY_READ | KEY_WRITE, &sub) != ERROR_SUCCESS) {
      ok = false;
      continue;
    }
    ok = deleteSubkeys(sub) && ok;
    RegCloseKey(sub);
    ok = RegDeleteKeyA(key, n.c_str()) == ERROR_SUCCESS && ok;
  }
  return ok;
}

}  // namespace

bool Win32System::openRegistryKey(RegistryRoot root, const std::string& key) {
  HKEY opened = nullptr;
  if (RegOpenKeyExA(rootKey(root), key.c_str(), 0, KEY_READ | KEY_WRITE, &opened) != ERROR_SUCCESS)
    return false;
  RegCloseKey(opened);
  return true;
}

RegistryKeyResult Win32System::createRegistryKey(RegistryRoot root, const std::string& key) {
  HKEY created = nullptr;
  DWORD disposition = 0;
  if (RegCreateKeyExA(rootKey(root), key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_READ | KEY_WRITE, nullptr, &created, &disposition) != ERROR_SUCCESS)
    return RegistryKeyResult::Failed;
  RegCloseKey(created);
  return disposition == REG_CREATED_NEW_KEY ? RegistryKeyResult::Created
                                            : RegistryKeyResult::Opened;
}

bool Win32System::setRegistryValue(RegistryRoot root, const std::string& key,
                                   const std::string& name, const RegistryValue& value) {
  HKEY opened = nullptr;
  if (RegOpenKeyExA(rootKey(root), key.c_str(), 0, KEY_WRITE, &opened) != ERROR_SUCCESS)
    return false;
  static const BYTE kNothing = 0;
  LONG rc = RegSetValueExA(opened, valueNameArg(name), 0, value.type,
                           value.data.empty() ? &kNothing : value.data.data(),
                           static_cast<DWORD>(value.data.size()));
  RegCloseKey(opened);
  return rc == ERROR_SUCCESS;
}

bool Win32System::deleteRegistryValue(RegistryRoot root, const std::string& key,
                                      const std::string& name) {
  HKEY opened = nullptr;
  if (RegOpenKeyExA(rootKey(root), key.c_str(), 0, KEY_WRITE, &opened) != ERROR_SUCCESS)
    return false;
  LONG rc = RegDeleteValueA(opened, valueNameArg(name));
  RegCloseKey(opened);
  return rc == ERROR_SUCCESS;
}

bool Win32System::deleteRegistryKey(RegistryRoot root, const std::string& key) {
  if (key.empty()) return false;  // never a whole root
  HKEY opened = nullptr;
  if (RegOpenKeyExA(rootKey(root), key.c_str(), 0, KEY_READ | KEY_WRITE, &opened) != ERROR_SUCCESS)
    return false;
  bool ok = deleteSubkeys(opened);
  RegCloseKey(opened);
  return RegDeleteKeyA(rootKey(root), key.c_str()) == ERROR_SUCCESS && ok;
}

std::optional<std::vector<std::string>> Win32System::registrySubkeys(RegistryRoot root,
                                                                     const std::string& key) {
  HKEY opened = nullptr;
  if (RegOpenKeyExA(rootKey(root), key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
    return std::nullopt;
  auto names = subkeyNames(opened);
  RegCloseKey(opened);
  return names;
}

std::optional<std::vector<std::string>> Win32System::registryValueNames(RegistryRoot root,
                                                                        const std::string& key) {
  HKEY opened = nullptr;
  if (RegOpenKeyExA(rootKey(root), key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
    return std::nullopt;
  std::vector<std::string> names;
  // Value names are at most 16383 characters.
  std::vector<char> name(16384);
  for (DWORD i = 0;; ++i) {
    DWORD size = static_cast<DWORD>(name.size());
    LONG rc = RegEnumValueA(opened, i, name.data(), &size, nullptr, nullptr, nullptr, nullptr);
    if (rc != ERROR_SUCCESS) break;
    names.emplace_back(name.data(), size);
  }
  RegCloseKey(opened);
  return names;
}

}  // namespace qm
