// Holds the installer at its start-up command while a Wine test looks at the screen: creates the
// file READY, then waits (at most 120 seconds) until the file GO exists. A GUI program, so that no
// console window comes up over the screen being looked at.
//
//   pause_gui_probe.exe READY GO
#include <windows.h>

#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
  std::string args = commandLine ? commandLine : "";
  size_t blank = args.find(' ');
  if (blank == std::string::npos) return 2;
  std::string ready = args.substr(0, blank);
  std::string go = args.substr(args.find_first_not_of(' ', blank));
  HANDLE h = CreateFileA(ready.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return 1;
  CloseHandle(h);
  for (int i = 0; i < 1200; ++i) {
    if (GetFileAttributesA(go.c_str()) != INVALID_FILE_ATTRIBUTES) return 0;
    Sleep(100);
  }
  return 3;
}
