#include "ui/win32/progress_view.h"

namespace qm {
namespace {

constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kWhite = RGB(255, 255, 255);

// FALSE to WM_INITDIALOG too: a pop-up message never takes the focus from the progress dialog.
// Like the other screens it is light grey (the stock brush is red, green and blue 192) with
// black text.
INT_PTR CALLBACK popupProc(HWND, UINT message, WPARAM wParam, LPARAM) {
  if (message != WM_CTLCOLORDLG && message != WM_CTLCOLORSTATIC) return FALSE;
  SetBkColor(reinterpret_cast<HDC>(wParam), RGB(192, 192, 192));
  SetTextColor(reinterpret_cast<HDC>(wParam), RGB(0, 0, 0));
  return reinterpret_cast<INT_PTR>(GetStockObject(LTGRAY_BRUSH));
}

}  // namespace

bool Win32ProgressView::create(HWND owner, bool popupPlaced, int popupTop, int popupHeight) {
  if (window_ != nullptr) return true;
  template_ = buildFixedDialogTemplate(100);
  background_ = CreateSolidBrush(GetSysColor(COLOR_WINDOW));
  window_ = CreateDialogIndirectParamA(GetModuleHandleA(nullptr),
                                       reinterpret_cast<LPCDLGTEMPLATEA>(template_.data()), owner,
                                       proc, reinterpret_cast<LPARAM>(this));
  if (window_ == nullptr) {
    DeleteObject(background_);
    background_ = nullptr;
    return false;
  }
  SetDlgItemTextA(window_, 2, texts_.cancel.c_str());
  place(popupPlaced, popupTop, popupHeight);
  ShowWindow(window_, SW_SHOW);
  refresh();
  return true;
}

void Win32ProgressView::place(bool popupPlaced, int popupTop, int popupHeight) {
  if (window_ == nullptr) return;
  RECT r;
  GetWindowRect(window_, &r);
  WindowPoint p =
      progressPosition(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                       r.right - r.left, r.bottom - r.top, popupPlaced, popupTop, popupHeight);
  SetWindowPos(window_, nullptr, p.x, p.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  SetActiveWindow(window_);
}

void Win32ProgressView::bringToFront() {
  if (window_ == nullptr) return;
  SetWindowPos(window_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
  SetForegroundWindow(window_);
  SetActiveWindow(window_);
}

void Win32ProgressView::refresh() {
  if (window_ == nullptr) return;
  SetDlgItemTextA(window_, kIdProgressPrompt, dialog_.promptLine().c_str());
  SetDlgItemTextA(window_, kIdProgressFile, dialog_.fileLine().c_str());
  // The bar is painted over the black frame's area; the frame is redrawn after it (children
  // paint after their parent) so that it stays visible round the bar.
  RedrawWindow(window_, &bar_, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void Win32ProgressView::destroy() {
  if (window_ != nullptr) DestroyWindow(window_);
  window_ = nullptr;
  if (background_ != nullptr) DeleteObject(background_);
  background_ = nullptr;
}

void Win32ProgressView::paintBar(HDC dc) {
  std::string text = dialog_.percentText();
  HGDIOBJ oldFont =
      SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(window_, WM_GETFONT, 0, 0)));
  SIZE size{0, 0};
  GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
  int x = bar_.left + (bar_.right - bar_.left - size.cx) / 2;
  int y = bar_.top + (bar_.bottom - bar_.top - size.cy) / 2;
  int split = progressSplit(bar_.left, bar_.right, dialog_.percent());
  // The same text is drawn twice, each time clipped to its part, so it changes colour where the
  // filled part ends.
  RECT filled{bar_.left, bar_.top, split, bar_.bottom};
  RECT rest{split, bar_.top, bar_.right, bar_.bottom};
  SetBkColor(dc, kBlue);
  SetTextColor(dc, kWhite);
  ExtTextOutA(dc, x, y, ETO_OPAQUE | ETO_CLIPPED, &filled, text.c_str(),
              static_cast<UINT>(text.size()), nullptr);
  SetBkColor(dc, kWhite);
  SetTextColor(dc, kBlue);
  ExtTextOutA(dc, x, y, ETO_OPAQUE | ETO_CLIPPED, &rest, text.c_str(),
              static_cast<UINT>(text.size()), nullptr);
  SelectObject(dc, oldFont);
}

INT_PTR CALLBACK Win32ProgressView::proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<Win32ProgressView*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  switch (message) {
    case WM_INITDIALOG: {
      self = reinterpret_cast<Win32ProgressView*>(lParam);
      SetWindowLongPtrA(window, GWLP_USERDATA, lParam);
      self->window_ = window;
      // The bar is the client area of the black frame, in the dialog's client coordinates.
      HWND frame = GetDlgItem(window, kIdProgressBar);
      GetClientRect(frame, &self->bar_);
      MapWindowPoints(frame, window, reinterpret_cast<POINT*>(&self->bar_), 2);
      return TRUE;
    }
    case WM_PAINT: {
      if (self == nullptr) return FALSE;
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(window, &ps);
      self->paintBar(dc);
      EndPaint(window, &ps);
      return TRUE;
    }
    case WM_COMMAND:
      if (self != nullptr && LOWORD(wParam) == IDCANCEL &&
          self->dialog_.cancel(self->ui_, self->texts_))
        self->destroy();
      return TRUE;
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      if (self == nullptr) return FALSE;
      SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_WINDOW));
      return reinterpret_cast<INT_PTR>(self->background_);
    default:
      return FALSE;
  }
}

HWND createPopupWindow(HWND owner, const DialogTemplate& popup) {
  if (popup.empty()) return nullptr;
  return CreateDialogIndirectParamA(GetModuleHandleA(nullptr),
                                    reinterpret_cast<LPCDLGTEMPLATEA>(popup.data()), owner,
                                    popupProc, 0);
}

}  // namespace qm
