// Holds a program at a point while a Wine test looks at the screen or plays another program:
// creates the file READY, then waits (at most 120 seconds) until the file GO exists. With LOCK it
// first takes the machine's installation lock, as another installation that is running would,
// and keeps it until then. A GUI program, so that no console window comes up over the screen
// being looked at.
//
//   pause_gui_probe.exe [LOCK] READY GO
#include <windows.h>

#include <sstream>
#include <string>

#include "platform/win32/win32_system.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
  std::istringstream args(commandLine ? commandLine : "");
  std::string ready, go;
  args >> ready >> go;
  HANDLE lock = nullptr;
  if (ready == "LOCK") {
    lock = CreateMutexA(nullptr, TRUE, qm::kInstallationLockName);
    if (lock == nullptr || GetLastError() == ERROR_ALREADY_EXISTS) return 1;
    ready = go;
    args >> go;
  }
  if (go.empty()) return 2;
  HANDLE h = CreateFileA(ready.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return 1;
  CloseHandle(h);
  int code = 3;
  for (int i = 0; i < 1200 && code != 0; ++i) {
    if (GetFileAttributesA(go.c_str()) != INVALID_FILE_ATTRIBUTES) code = 0;
    else Sleep(100);
  }
  if (lock) ReleaseMutex(lock);
  return code;
}
