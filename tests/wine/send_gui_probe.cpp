// Plays the user for a Wine test: waits (at most 60 seconds) for a visible window of the class
// CLASS and posts it a typed key or a left mouse click. A GUI program, so that no console window
// comes up over the window it talks to.
//
//   send_gui_probe.exe CLASS key|click
#include <windows.h>

#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
  std::string args = commandLine ? commandLine : "";
  size_t blank = args.find(' ');
  if (blank == std::string::npos) return 2;
  std::string windowClass = args.substr(0, blank);
  std::string what = args.substr(blank + 1);
  for (int i = 0; i < 600; ++i) {
    HWND window = FindWindowA(windowClass.c_str(), nullptr);
    if (window && IsWindowVisible(window)) {
      if (what == "key") return PostMessageA(window, WM_CHAR, 'x', 1) ? 0 : 1;
      if (what == "click") return PostMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, 0) ? 0 : 1;
      return 2;
    }
    Sleep(100);
  }
  return 1;
}
