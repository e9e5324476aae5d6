// Watches another program's dialogs from outside, through the window API only: every dialog
// window that comes up is described once, shortly after it appeared (its place on the screen and
// each control's id, class, text, check state and place). The installer runs in a watched
// unattended run beside it; the shell test reads these lines.
//
//   window_watch_probe.exe SECONDS
//
// Output, one window after another:
//   WINDOW n x y w h screenW screenH open=K    (K: dialogs visible at that moment)
//   CONTROL id class x y w h checked "text"    (checked: 1 or 0 for buttons, - otherwise)
//   BAR x y w h                                (the client area of control 102, on the screen)
//   END
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Seen {
  HWND window;
  DWORD firstSeen;
  bool described;
};

struct Found {
  std::vector<HWND> dialogs;
};

BOOL CALLBACK collect(HWND window, LPARAM out) {
  char cls[16] = {};
  GetClassNameA(window, cls, sizeof cls);
  if (std::string(cls) == "#32770" && IsWindowVisible(window))
    reinterpret_cast<Found*>(out)->dialogs.push_back(window);
  return TRUE;
}

// WM_GETTEXT is carried across processes, GetWindowText would read only the window's caption.
std::string textOf(HWND window) {
  char buf[1024] = {};
  DWORD_PTR got = 0;
  SendMessageTimeoutA(window, WM_GETTEXT, sizeof buf, reinterpret_cast<LPARAM>(buf),
                      SMTO_ABORTIFHUNG, 2000, &got);
  return buf;
}

std::string quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) out += (c == '\n' || c == '\r') ? ' ' : c;
  return out + "\"";
}

void describe(HWND dialog, int number, int open) {
  RECT r;
  GetWindowRect(dialog, &r);
  std::printf("WINDOW %d %ld %ld %ld %ld %d %d open=%d\n", number, r.left, r.top, r.right - r.left,
              r.bottom - r.top, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), open);
  for (HWND c = GetWindow(dialog, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) {
    char cls[32] = {};
    GetClassNameA(c, cls, sizeof cls);
    RECT cr;
    GetWindowRect(c, &cr);
    int id = GetDlgCtrlID(c);
    std::string checked = "-";
    if (std::string(cls) == "Button") {
      DWORD_PTR state = 0;
      SendMessageTimeoutA(c, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 2000, &state);
      checked = state == BST_CHECKED ? "1" : "0";
    }
    std::printf("CONTROL %d %s %ld %ld %ld %ld %s %s\n", id == 0xFFFF ? -1 : id, cls, cr.left,
                cr.top, cr.right - cr.left, cr.bottom - cr.top, checked.c_str(),
                quoted(textOf(c)).c_str());
    if (id == 102) {
      RECT bar;
      GetClientRect(c, &bar);
      MapWindowPoints(c, nullptr, reinterpret_cast<POINT*>(&bar), 2);
      std::printf("BAR %ld %ld %ld %ld\n", bar.left, bar.top, bar.right - bar.left,
                  bar.bottom - bar.top);
    }
  }
  std::printf("END\n");
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
  // A window is described once it has been up this long: its controller has filled it and the
  // watched run has typed its answer.
  constexpr DWORD kSettleMs = 300;
  std::vector<Seen> seen;
  int described = 0;
  DWORD start = GetTickCount();
  std::printf("WATCHING\n");
  std::fflush(stdout);
  while (GetTickCount() - start < DWORD(seconds) * 1000) {
    Found found;
    EnumWindows(collect, reinterpret_cast<LPARAM>(&found));
    for (HWND w : found.dialogs) {
      bool known = false;
      for (const Seen& s : seen) known = known || s.window == w;
      if (!known) seen.push_back({w, GetTickCount(), false});
    }
    for (Seen& s : seen) {
      if (s.described || GetTickCount() - s.firstSeen < kSettleMs || !IsWindowVisible(s.window))
        continue;
      s.described = true;
      describe(s.window, ++described, static_cast<int>(found.dialogs.size()));
    }
    Sleep(40);
  }
  std::printf("DONE windows=%d\n", described);
  return 0;
}
