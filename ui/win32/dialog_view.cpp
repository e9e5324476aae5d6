#include "ui/win32/dialog_view.h"

#include <vector>

#include "ui/screen_templates.h"

namespace qm {
namespace {

// Light grey with black text for every dialog; the ASK and progress dialogs use the system
// window colour instead.
constexpr COLORREF kDialogGrey = RGB(192, 192, 192);

class Win32Controls : public DialogControls {
 public:
  explicit Win32Controls(HWND dialog) : dialog_(dialog) {}
  void setText(int id, const std::string& text) override {
    SetDlgItemTextA(dialog_, id, text.c_str());
  }
  std::string text(int id, size_t maxChars) override {
    std::string buffer(maxChars + 1, '\0');
    UINT got = GetDlgItemTextA(dialog_, id, buffer.data(), static_cast<int>(buffer.size()));
    buffer.resize(got);
    return buffer;
  }
  void setChecked(int id, bool checked) override {
    CheckDlgButton(dialog_, id, checked ? BST_CHECKED : BST_UNCHECKED);
  }
  bool checked(int id) override { return IsDlgButtonChecked(dialog_, id) == BST_CHECKED; }

 private:
  HWND dialog_;
};

struct RunContext {
  const DialogSpec* form;
  DialogController* controller;
  HBRUSH background;
  COLORREF colour;
  DialogPilot* pilot;
  int button;  // what the pilot presses
};

// A watched dialog: first a short wait so that it has painted, then the delay before the press.
constexpr UINT_PTR kShownTimer = 1;
constexpr UINT_PTR kPressTimer = 2;
constexpr UINT kShownAfterMs = 100;
// EndDialog's code for an answer the dialog refused.
constexpr INT_PTR kEndFailed = 3;

void pilotTimer(HWND dialog, UINT_PTR timer, RunContext& ctx) {
  KillTimer(dialog, timer);
  if (timer == kShownTimer) {
    UpdateWindow(dialog);
    ctx.pilot->shown(*ctx.form, dialog);
    SetTimer(dialog, kPressTimer, UINT(ctx.pilot->delayMs()), nullptr);
    return;
  }
  Win32Controls controls(dialog);
  switch (ctx.pilot->press(*ctx.form, *ctx.controller, controls, ctx.button)) {
    case DialogOutcome::Ok:
      EndDialog(dialog, IDOK);
      break;
    case DialogOutcome::Cancel:
      EndDialog(dialog, IDCANCEL);
      break;
    case DialogOutcome::Failed:
      EndDialog(dialog, kEndFailed);
      break;
  }
}

void centreOnScreen(HWND dialog) {
  RECT r;
  GetWindowRect(dialog, &r);
  int w = r.right - r.left, h = r.bottom - r.top;
  int x = (GetSystemMetrics(SM_CXSCREEN) - w) / 2;
  int y = (GetSystemMetrics(SM_CYSCREEN) - h) / 2;
  SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

// A screen of text lines taller than the screen (a long licence): its lines move into one
// read-only text that scrolls, the window is cut to the screen's height and the buttons sit at
// its bottom, where they can be pressed. Dialogs with other controls than lines and buttons
// keep their form.
void fitTallScreenToDisplay(HWND dialog) {
  RECT window, client;
  GetWindowRect(dialog, &window);
  GetClientRect(dialog, &client);
  std::vector<HWND> lines, buttons;
  for (HWND c = GetWindow(dialog, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) {
    char cls[16] = {};
    GetClassNameA(c, cls, sizeof cls);
    const int id = GetDlgCtrlID(c);
    if (id == IDOK || id == IDCANCEL)
      buttons.push_back(c);
    else if (lstrcmpiA(cls, "Static") == 0)
      lines.push_back(c);
    else
      return;
  }
  if (buttons.empty() || lines.empty()) return;
  RECT b;
  GetWindowRect(buttons[0], &b);
  const int margin = MulDiv(4, HIWORD(GetDialogBaseUnits()), 8);
  TallScreenLayout layout = fitTallScreen(GetSystemMetrics(SM_CYSCREEN), window.bottom - window.top,
                                          client.bottom, b.bottom - b.top, margin);
  if (!layout.needed) return;
  std::vector<std::pair<int, std::string>> rows;
  int rowHeight = 0;
  for (HWND line : lines) {
    RECT r;
    GetWindowRect(line, &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    char text[1024] = {};
    GetWindowTextA(line, text, sizeof text);
    rows.emplace_back(r.top, text);
    rowHeight = r.bottom - r.top;
    DestroyWindow(line);
  }
  HWND scroller = CreateWindowExA(
      0, "EDIT", scrollingText(rows, rowHeight).c_str(),
      WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL, 0, 0,
      client.right, layout.textHeight, dialog, nullptr, GetModuleHandleA(nullptr), nullptr);
  SendMessageA(scroller, WM_SETFONT, SendMessageA(dialog, WM_GETFONT, 0, 0), FALSE);
  for (HWND button : buttons) {
    RECT r;
    GetWindowRect(button, &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    SetWindowPos(button, nullptr, r.left, layout.buttonTop, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  }
  SetWindowPos(dialog, nullptr, 0, 0, window.right - window.left, layout.windowHeight,
               SWP_NOMOVE | SWP_NOZORDER);
}

INT_PTR CALLBACK dialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* ctx = reinterpret_cast<RunContext*>(GetWindowLongPtrA(dialog, GWLP_USERDATA));
  switch (message) {
    case WM_INITDIALOG: {
      ctx = reinterpret_cast<RunContext*>(lParam);
      SetWindowLongPtrA(dialog, GWLP_USERDATA, lParam);
      fitTallScreenToDisplay(dialog);
      centreOnScreen(dialog);
      // It waits for the user: in front, whatever another program opened meanwhile.
      SetForegroundWindow(dialog);
      Win32Controls controls(dialog);
      ctx->controller->open(controls);
      if (ctx->pilot) {
        ctx->button = ctx->pilot->fill(*ctx->form, controls);
        SetTimer(dialog, kShownTimer, kShownAfterMs, nullptr);
      }
      return TRUE;
    }
    case WM_TIMER:
      if (ctx == nullptr || ctx->pilot == nullptr ||
          (wParam != kShownTimer && wParam != kPressTimer))
        return FALSE;
      pilotTimer(dialog, wParam, *ctx);
      return TRUE;
    case WM_COMMAND: {
      int id = LOWORD(wParam);
      if (ctx == nullptr || (id != IDOK && id != IDCANCEL) || HIWORD(wParam) != BN_CLICKED)
        return FALSE;
      Win32Controls controls(dialog);
      switch (ctx->controller->command(id, controls)) {
        case DialogAction::EndOk:
          EndDialog(dialog, IDOK);
          break;
        case DialogAction::EndCancel:
          EndDialog(dialog, IDCANCEL);
          break;
        case DialogAction::Stay:
          break;
      }
      return TRUE;
    }
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      if (ctx == nullptr) return FALSE;
      SetBkColor(reinterpret_cast<HDC>(wParam), ctx->colour);
      SetTextColor(reinterpret_cast<HDC>(wParam), RGB(0, 0, 0));
      return reinterpret_cast<INT_PTR>(ctx->background);
    default:
      return FALSE;
  }
}

}  // namespace

DialogOutcome runWin32Dialog(HWND owner, const DialogSpec& form, DialogController& controller,
                             DialogPilot* pilot) {
  if (form.templateBytes.empty()) return DialogOutcome::Failed;
  RunContext ctx{&form, &controller, nullptr, kDialogGrey, pilot, IDOK};
  if (form.windowColour) ctx.colour = GetSysColor(COLOR_WINDOW);
  ctx.background = CreateSolidBrush(ctx.colour);
  INT_PTR result = DialogBoxIndirectParamA(
      GetModuleHandleA(nullptr), reinterpret_cast<LPCDLGTEMPLATEA>(form.templateBytes.data()),
      owner, dialogProc, reinterpret_cast<LPARAM>(&ctx));
  DeleteObject(ctx.background);
  if (result == IDOK) return DialogOutcome::Ok;
  if (result == IDCANCEL) return DialogOutcome::Cancel;
  return DialogOutcome::Failed;
}

int win32TextExtent(const std::string& text, const FontSpec& font) {
  HDC dc = GetDC(nullptr);
  HFONT handle = CreateFontA(
      0, 0, 0, 0, FW_NORMAL, font.italic, font.underline, FALSE, static_cast<DWORD>(font.charset),
      OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, font.face.c_str());
  HGDIOBJ old = SelectObject(dc, handle);
  SIZE size{0, 0};
  GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
  SelectObject(dc, old);
  DeleteObject(handle);
  ReleaseDC(nullptr, dc);
  return size.cx;
}

int win32DialogBaseUnitX() { return LOWORD(GetDialogBaseUnits()); }

void holdWindows(int ms) {
  DWORD start = GetTickCount();
  for (;;) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        PostQuitMessage(int(msg.wParam));  // the application's own loop ends on it
        return;
      }
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    DWORD elapsed = GetTickCount() - start;
    if (elapsed >= DWORD(ms)) return;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, DWORD(ms) - elapsed, QS_ALLINPUT);
  }
}

}  // namespace qm
