#include "shell/win32/engine_windows.h"

#include "shell/screen_layout.h"
#include "ui/win32/dialog_view.h"

namespace qm {

Win32EngineWindows::Win32EngineWindows(Engine& engine, int holdMs)
    : engine_(engine), holdMs_(holdMs), progress_(engine.progress(), engine.texts, engine.ui) {}

Win32EngineWindows::~Win32EngineWindows() {
  progress_.destroy();
  if (popup_ != nullptr) DestroyWindow(popup_);
}

void Win32EngineWindows::createProgress(int fileCount) {
  if (!progress_.create(owner_, popupPlaced_, popupTop_, popupHeight_)) {
    engine_.ui.trace("progress window: the system refused its template");
    return;
  }
}

void Win32EngineWindows::destroyProgress() { progress_.destroy(); }

void Win32EngineWindows::setProgressTexts(const std::string&, const std::string&) {
  progress_.refresh();
  // A watched run holds the window once for every step the bar moved (a file's name comes
  // twice, from the copy loop and from the copy); half the delay keeps a long list moving.
  int percent = engine_.progress().percent();
  bool moved = percent != lastHeldPercent_;
  if (holdMs_ >= 0 && moved && progress_.window() != nullptr) {
    lastHeldPercent_ = percent;
    engine_.ui.trace("shown Progress " + std::to_string(percent) + "%");
    if (holdMs_ > 0) holdWindows(holdMs_ / 2);
  }
}

void Win32EngineWindows::showPercent(int) { progress_.refresh(); }

void Win32EngineWindows::placeProgressBelowPopup() {
  progress_.place(popupPlaced_, popupTop_, popupHeight_);
}

void Win32EngineWindows::showPopup(int index) {
  if (popup_ != nullptr) DestroyWindow(popup_);
  popup_ = nullptr;
  const std::vector<PopupRecord>& popups = engine_.state.screens.popups;
  if (index < 0 || index >= static_cast<int>(popups.size())) return;
  const PopupRecord& record = popups[size_t(index)];
  popup_ = createPopupWindow(owner_, record.dialog);
  if (popup_ == nullptr) {
    engine_.ui.trace("popup " + std::to_string(record.number) + ": the system refused it");
    return;
  }
  RECT r;
  GetWindowRect(popup_, &r);
  PopupPlacement p = placePopup(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                                Rect{r.left, r.top, r.right, r.bottom});
  SetWindowPos(popup_, nullptr, p.x, p.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  popupPlaced_ = true;
  popupTop_ = p.recordedTop;
  popupHeight_ = p.recordedBottom;
  engine_.ui.trace("popup " + std::to_string(record.number) + " placed " + std::to_string(p.y) +
                   " " + std::to_string(p.recordedBottom));
  UpdateWindow(popup_);
  if (holdMs_ >= 0) {
    if (progress_.window() != nullptr) placeProgressBelowPopup();
    engine_.ui.trace("shown Popup" + std::to_string(record.number));
    if (holdMs_ > 0) holdWindows(holdMs_);
  }
}

void Win32EngineWindows::bringProgressToFront() {
  // Owned windows above the main window, the progress window on top and active for its Cancel.
  if (popup_ != nullptr)
    SetWindowPos(popup_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  progress_.bringToFront();
}

void Win32EngineWindows::pumpMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(int(msg.wParam));  // for the application's own loop
      return;
    }
    HWND progress = progress_.window();
    if (progress != nullptr && IsDialogMessageA(progress, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

}  // namespace qm
