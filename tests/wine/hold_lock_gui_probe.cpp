// Plays another installation that is running: takes the machine's installation lock, creates the
// file READY, and keeps the lock until the file GO exists (at most 120 seconds).
//
//   hold_lock_gui_probe.exe READY GO
#include <windows.h>

#include <string>

#include "platform/win32/win32_system.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
  std::string args = commandLine ? commandLine : "";
  size_t blank = args.find(' ');
  if (blank == std::string::npos) return 2;
  std::string ready = args.substr(0, blank);
  std::string go = args.substr(args.find_first_not_of(' ', blank));
  HANDLE lock = CreateMutexA(nullptr, TRUE, qm::kInstallationLockName);
  if (lock == nullptr || GetLastError() == ERROR_ALREADY_EXISTS) return 1;
  HANDLE h = CreateFileA(ready.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return 1;
  CloseHandle(h);
  for (int i = 0; i < 1200; ++i) {
    if (GetFileAttributesA(go.c_str()) != INVALID_FILE_ATTRIBUTES) break;
    Sleep(100);
  }
  ReleaseMutex(lock);
  return 0;
}
