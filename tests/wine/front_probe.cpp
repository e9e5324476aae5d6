// Looks from outside at whether a window is in front when it matters: waits for a visible
// top-level window holding WAIT (in its caption or a control's text), optionally only after a
// window holding GONE came and went, lets it settle, then prints what lies above it.
//
//   front_probe.exe SECONDS WAIT [GONE]
//
// Output:
//   TARGET x y w h screenW screenH
//   ABOVE "text"        one line per visible window above it in the z-order that overlaps it
//   WINDOW "text"       every visible top-level window, top first (to see what else is up)
//   OK x y w h          the target's control 1 (its OK button), when it has one
//   SCROLL n            a scrolling text control's line count (0 when there is none)
//   TIMEOUT             when the window never came
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// WM_GETTEXT is carried across processes; GetWindowText would read only a caption.
std::string textOf(HWND window) {
  char buf[512] = {};
  DWORD_PTR got = 0;
  SendMessageTimeoutA(window, WM_GETTEXT, sizeof buf, reinterpret_cast<LPARAM>(buf),
                      SMTO_ABORTIFHUNG, 2000, &got);
  return buf;
}

std::string allTexts(HWND window) {
  std::string text = textOf(window);
  for (HWND c = GetWindow(window, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT))
    text += " " + textOf(c).substr(0, 80);
  for (char& ch : text)
    if (ch == '\r' || ch == '\n' || ch == '"') ch = ' ';
  return text;
}

BOOL CALLBACK collectVisible(HWND w, LPARAM out) {
  if (IsWindowVisible(w)) reinterpret_cast<std::vector<HWND>*>(out)->push_back(w);
  return TRUE;
}

// Visible top-level windows, top of the z-order first.
std::vector<HWND> visibleWindows() {
  std::vector<HWND> all;
  EnumWindows(collectVisible, reinterpret_cast<LPARAM>(&all));
  return all;
}

HWND windowHolding(const std::string& text) {
  for (HWND w : visibleWindows())
    if (allTexts(w).find(text) != std::string::npos) return w;
  return nullptr;
}

bool waitFor(const std::string& text, bool present, DWORD until) {
  while (GetTickCount() < until) {
    if ((windowHolding(text) != nullptr) == present) return true;
    Sleep(50);
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  const DWORD until = GetTickCount() + DWORD(std::atoi(argv[1])) * 1000;
  std::printf("WATCHING\n");
  std::fflush(stdout);
  if (argc > 3 && !(waitFor(argv[3], true, until) && waitFor(argv[3], false, until))) {
    std::printf("TIMEOUT\n");
    return 1;
  }
  if (!waitFor(argv[2], true, until)) {
    std::printf("TIMEOUT\n");
    return 1;
  }
  // Whatever else was started with it (a readme, a group window) has time to come up.
  Sleep(1500);
  HWND target = windowHolding(argv[2]);
  if (target == nullptr) {
    std::printf("TIMEOUT\n");
    return 1;
  }
  RECT t;
  GetWindowRect(target, &t);
  std::printf("TARGET %ld %ld %ld %ld %d %d\n", t.left, t.top, t.right - t.left, t.bottom - t.top,
              GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
  for (HWND w : visibleWindows()) {
    if (w == target) break;
    RECT r, overlap;
    GetWindowRect(w, &r);
    if (IntersectRect(&overlap, &r, &t)) std::printf("ABOVE \"%s\"\n", allTexts(w).c_str());
  }
  for (HWND w : visibleWindows())
    std::printf("WINDOW \"%s\"\n", allTexts(w).substr(0, 120).c_str());
  if (HWND ok = GetDlgItem(target, IDOK)) {
    RECT r;
    GetWindowRect(ok, &r);
    std::printf("OK %ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
  }
  long lines = 0;
  for (HWND c = GetWindow(target, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) {
    if ((GetWindowLongA(c, GWL_STYLE) & WS_VSCROLL) == 0) continue;
    DWORD_PTR n = 0;
    SendMessageTimeoutA(c, EM_GETLINECOUNT, 0, 0, SMTO_ABORTIFHUNG, 2000, &n);
    lines = long(n);
  }
  std::printf("SCROLL %ld\n", lines);
  std::fflush(stdout);
  return 0;
}
