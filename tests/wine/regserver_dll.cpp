// A self-registering library for the installer's Wine test: DllRegisterServer writes a value
// under HKEY_CURRENT_USER\Software\QuillmountTest so the test can see that it ran.
#include <windows.h>

// Plain C linkage and no stdcall decoration, so the export is named exactly DllRegisterServer;
// with no arguments both calling conventions are the same call.
extern "C" __declspec(dllexport) HRESULT DllRegisterServer() {
  HKEY key;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\QuillmountTest", 0, nullptr, 0, KEY_WRITE,
                      nullptr, &key, nullptr) != ERROR_SUCCESS)
    return E_FAIL;
  const char value[] = "registered";
  LONG r =
      RegSetValueExA(key, "Server", 0, REG_SZ, reinterpret_cast<const BYTE*>(value), sizeof value);
  RegCloseKey(key);
  return r == ERROR_SUCCESS ? S_OK : E_FAIL;
}
