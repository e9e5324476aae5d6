#include "shell/win32/main_window.h"

#include <algorithm>
#include <cstring>

#include "engine/engine.h"
#include "shell/screen_layout.h"
#include "shell/startup.h"
#include "shell/window_messages.h"

namespace qm {

namespace {

constexpr const char* kMainWindowClass = "QuillmountMain";

COLORREF colourRef(Colour c) { return RGB(c.red, c.green, c.blue); }

// A font made from a description, or the system's GUI font when the face cannot be made at all
// (the system substitutes faces it lacks, but may still refuse).
class Font {
 public:
  Font(int height, int weight, bool italic, bool underline, const std::string& face) {
    LOGFONTA f{};
    f.lfHeight = height;
    f.lfWeight = weight;
    f.lfItalic = italic;
    f.lfUnderline = underline;
    f.lfCharSet = ANSI_CHARSET;
    f.lfOutPrecision = OUT_TT_PRECIS;
    f.lfQuality = PROOF_QUALITY;
    // The face field holds 31 characters and its terminator, however long the script's name.
    std::strncpy(f.lfFaceName, face.c_str(), sizeof f.lfFaceName - 1);
    font_ = CreateFontIndirectA(&f);
    owned_ = font_ != nullptr;
    if (!font_) font_ = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  }
  ~Font() {
    if (owned_) DeleteObject(font_);
  }
  Font(const Font&) = delete;
  Font& operator=(const Font&) = delete;
  HFONT handle() const { return font_; }

 private:
  HFONT font_ = nullptr;
  bool owned_ = false;
};

int textWidth(HDC dc, const std::string& text) {
  SIZE size{0, 0};
  GetTextExtentPoint32A(dc, text.data(), int(text.size()), &size);
  return size.cx;
}

void fillRect(HDC dc, const RECT& r, Colour colour) {
  HBRUSH brush = CreateSolidBrush(colourRef(colour));
  FillRect(dc, &r, brush);
  DeleteObject(brush);
}

}  // namespace

MainWindow::~MainWindow() {
  if (window_) DestroyWindow(window_);
}

bool MainWindow::create(HINSTANCE instance) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = proc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hIcon = LoadIcon(nullptr, IDI_APPLICATION);
  wc.lpszClassName = kMainWindowClass;
  // No class brush: the window paints its own background on every erase.
  RegisterClassA(&wc);
  // Screen-sized even before it is maximised: a display server without a window manager never
  // maximises it, and it is the backdrop either way.
  window_ = CreateWindowExA(0, kMainWindowClass, kMainWindowTitle, WS_OVERLAPPEDWINDOW, 0, 0,
                            GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), nullptr,
                            nullptr, instance, this);
  return window_ != nullptr;
}

void MainWindow::show() {
  if (!window_) return;
  SetWindowTextA(window_, kMainWindowTitle);
  ShowWindow(window_, SW_SHOWMAXIMIZED);
  InvalidateRect(window_, nullptr, TRUE);
  UpdateWindow(window_);
  SetWindowTextA(window_, kMainWindowTitle);
  RECT client;
  GetClientRect(window_, &client);
  POINT origin{0, 0};
  ClientToScreen(window_, &origin);
  run_.ui.trace("main window: client " + std::to_string(client.right) + "x" +
                std::to_string(client.bottom) + " at " + std::to_string(origin.x) + "," +
                std::to_string(origin.y));
  // The window's own pending messages are handled now, so that its new size and what was painted
  // reach the screen even when a start-up program is waited for next (a system that draws
  // through a display server applies both only while messages are read).
  MSG msg;
  while (PeekMessageA(&msg, window_, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  GdiFlush();
}

void MainWindow::setScreenGraphic(ScreenBitmap bitmap) {
  graphic_ = bitmap.loaded() ? std::make_unique<BitmapPainter>(std::move(bitmap)) : nullptr;
}

void MainWindow::eraseBackground(HDC dc) {
  RECT client;
  GetClientRect(window_, &client);
  // The bitmap takes the last pixel's coordinates, the bands the client height.
  const int right = client.right - 1, bottom = client.bottom - 1;
  const bool covered = graphic_ && graphic_->bitmap().covers(right, bottom);
  if (!covered) {
    Settings defaults;
    const Settings& s = run_.state ? run_.state->settings : defaults;
    for (const Band& band : backgroundBands(s.screenColour1, s.screenColour2, client.bottom))
      fillRect(dc, RECT{0, band.top, client.right, band.bottom}, band.colour);
  }
  if (graphic_) graphic_->draw(dc, right, bottom);
}

void MainWindow::paintTitle(HDC dc) {
  if (!run_.state || run_.state->settings.title.empty()) return;
  const Settings& s = run_.state->settings;
  const TitleFont& tf = s.titleFont;
  const std::string& title = s.title;
  TitleFontChoice choice = chooseTitleFont(tf, run_.startup.screenWidth, [&](int height) {
    Font trial(height, kFontWeightBold, tf.italic, tf.underline, tf.face);
    HGDIOBJ old = SelectObject(dc, trial.handle());
    int width = textWidth(dc, title);
    SelectObject(dc, old);
    return width;
  });
  Font font(choice.height, choice.weight, tf.italic, tf.underline, tf.face);
  HGDIOBJ old = SelectObject(dc, font.handle());
  SetBkMode(dc, TRANSPARENT);
  // The shadow is in the text colour the device context starts with.
  TextOutA(dc, kTitleShadowAt.x, kTitleShadowAt.y, title.data(), int(title.size()));
  SetTextColor(dc, colourRef(s.titleColour));
  TextOutA(dc, kTitleAt.x, kTitleAt.y, title.data(), int(title.size()));
  SelectObject(dc, old);
}

void MainWindow::drawCheckingSystem() {
  if (!window_) return;
  ShowWindow(window_, SW_SHOWMAXIMIZED);
  InvalidateRect(window_, nullptr, TRUE);
  UpdateWindow(window_);

  RECT client;
  GetClientRect(window_, &client);
  CheckingBoxLayout box = checkingBoxLayout(client.right, client.bottom, run_.startup.screenWidth);
  HDC dc = GetDC(window_);
  Font font(box.fontHeight, kCheckingFontWeight, false, false, kCheckingFontFace);
  HBRUSH grey = CreateSolidBrush(colourRef(kCheckingFrameColour));
  HGDIOBJ oldBrush = SelectObject(dc, grey);
  Rectangle(dc, box.frame.left, box.frame.top, box.frame.right, box.frame.bottom);
  SelectObject(dc, GetStockObject(WHITE_BRUSH));
  Rectangle(dc, box.box.left, box.box.top, box.box.right, box.box.bottom);
  HGDIOBJ oldPen = SelectObject(dc, GetStockObject(BLACK_PEN));
  MoveToEx(dc, box.line[0].x, box.line[0].y, nullptr);
  LineTo(dc, box.line[1].x, box.line[1].y);
  LineTo(dc, box.line[2].x, box.line[2].y);

  Prompts defaults;
  const std::string& text = run_.state ? run_.state->settings.prompts.locate : defaults.locate;
  HGDIOBJ oldFont = SelectObject(dc, font.handle());
  SetTextAlign(dc, TA_CENTER | TA_BASELINE);
  SetTextColor(dc, RGB(0, 0, 0));
  SetBkMode(dc, TRANSPARENT);
  TextOutA(dc, box.textAt.x, box.textAt.y, text.data(), int(text.size()));

  SelectObject(dc, oldFont);
  SelectObject(dc, oldPen);
  SelectObject(dc, oldBrush);
  DeleteObject(grey);
  ReleaseDC(window_, dc);
  UpdateWindow(window_);
  GdiFlush();
}

void MainWindow::runStart() {
  // A second start message (a key and a click on the intro screen) must not install twice.
  if (started_) return;
  started_ = true;
  if (beforeStart_) beforeStart_();
  installing_ = true;
  int code = onStart_ ? onStart_() : 0;
  installing_ = false;
  PostQuitMessage(code);
}

LRESULT MainWindow::handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ERASEBKGND:
      eraseBackground(reinterpret_cast<HDC>(wParam));
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(window_, &ps);
      paintTitle(dc);
      EndPaint(window_, &ps);
      return 0;
    }
    case kMsgProgress:
      if (engine_) engine_->progressMessage(int(wParam));
      return 0;
    case kMsgStart:
      runStart();
      return 0;
    case kMsgInsertDisk:
      return engine_ ? engine_->insertDiskRequest(wParam != 0,
                                                  reinterpret_cast<const std::string*>(lParam))
                     : 1;
    case kMsgCopyFile:
      if (engine_ && lParam) engine_->copyFileMessage(reinterpret_cast<const char*>(lParam));
      return 0;
    case kMsgCheckingSystem:
      drawCheckingSystem();
      return 0;
    case WM_CLOSE:
      // The installation runs inside this window's handler; it ends through its own questions.
      if (!installing_) DestroyWindow(window_);
      return 0;
    case WM_DESTROY:
      window_ = nullptr;
      if (!started_) PostQuitMessage(kClosedBeforeStartCode);
      return 0;
  }
  return DefWindowProcA(window_, message, wParam, lParam);
}

}  // namespace qm
