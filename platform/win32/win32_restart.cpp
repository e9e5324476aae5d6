// The restart through the real system: the shutdown privilege in this process's token, then
// ExitWindowsEx. The system carries the request out after this program has ended.
#include <windows.h>

#include "platform/win32/win32_system.h"

namespace qm {

bool Win32System::enableShutdownPrivilege() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
    return false;
  TOKEN_PRIVILEGES privileges = {};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  bool ok = LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &privileges.Privileges[0].Luid);
  // AdjustTokenPrivileges succeeds even when the privilege is not held; the last error tells.
  ok = ok && AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr) &&
       GetLastError() == ERROR_SUCCESS;
  CloseHandle(token);
  return ok;
}

bool Win32System::requestRestart() {
  if (ExitWindowsEx(EWX_REBOOT, 0)) return true;
  // Windows NT 4.0 and later refuse the restart while the shutdown privilege is disabled in this
  // process's token, which the finish only enables on 3.5 to 3.6: enabled, then asked again.
  return GetLastError() == ERROR_PRIVILEGE_NOT_HELD && enableShutdownPrivilege() &&
         ExitWindowsEx(EWX_REBOOT, 0) != 0;
}

}  // namespace qm
