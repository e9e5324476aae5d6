#include "shell/win32/intro_window.h"

#include "shell/window_messages.h"

namespace qm {

namespace {

constexpr const char* kIntroWindowClass = "QuillmountIntro";
constexpr UINT_PTR kIntroTimer = 1;

}  // namespace

IntroWindow::IntroWindow(HWND mainWindow, ScreenBitmap bitmap, unsigned timerMs, Ui& ui)
    : main_(mainWindow),
      bitmap_(std::make_unique<BitmapPainter>(std::move(bitmap))),
      timerMs_(timerMs),
      ui_(ui) {}

bool IntroWindow::show(HINSTANCE instance) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = proc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  wc.lpszClassName = kIntroWindowClass;
  RegisterClassA(&wc);
  window_ = CreateWindowExA(0, kIntroWindowClass, "", WS_POPUP, 0, 0, GetSystemMetrics(SM_CXSCREEN),
                            GetSystemMetrics(SM_CYSCREEN), main_, nullptr, instance, this);
  if (!window_) return false;
  ShowWindow(window_, SW_SHOWMAXIMIZED);
  UpdateWindow(window_);
  ui_.trace("intro: shown" + std::string(bitmap_->bitmap().loaded() ? "" : " without its bitmap"));
  return true;
}

void IntroWindow::destroy() {
  if (window_) DestroyWindow(window_);
  window_ = nullptr;
}

void IntroWindow::paint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window_, &ps);
  // The display time counts from the latest painting.
  if (timerMs_ > 0 && !ended_) timerSet_ = SetTimer(window_, kIntroTimer, timerMs_, nullptr) != 0;
  if (bitmap_) {
    RECT client;
    GetClientRect(window_, &client);
    bitmap_->drawStretched(dc, client.right - 1, client.bottom - 1);
  }
  EndPaint(window_, &ps);
}

void IntroWindow::end(const char* by) {
  // Later keys and clicks reach a window that has already handed over.
  if (ended_) return;
  ended_ = true;
  ui_.trace(std::string("intro: ended by ") + by);
  ShowWindow(main_, SW_SHOWMAXIMIZED);
  UpdateWindow(main_);
  PostMessageA(main_, kMsgStart, 0, 0);
  if (timerSet_) KillTimer(window_, kIntroTimer);
  timerSet_ = false;
  bitmap_.reset();
}

LRESULT IntroWindow::handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      paint();
      return 0;
    case WM_CHAR:
      end("key");
      return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
      end("click");
      return 0;
    case WM_TIMER:
      if (wParam == kIntroTimer) end("timer");
      return 0;
    case WM_DESTROY:
      window_ = nullptr;
      return 0;
  }
  return DefWindowProcA(window_, message, wParam, lParam);
}

}  // namespace qm
