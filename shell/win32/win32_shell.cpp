#include "shell/win32/win32_shell.h"

#include "script/parser.h"
#include "shell/screen_layout.h"

namespace qm {

Win32Shell::Win32Shell(HINSTANCE instance, Run& run, int unattendedMs, bool windows)
    : instance_(instance), run_(run), unattendedMs_(unattendedMs), windows_(windows), main_(run) {
  main_.setBeforeStart([this] { intro_.reset(); });
}

Win32Shell::~Win32Shell() {
  intro_.reset();
  if (windowBrush_) DeleteObject(windowBrush_);
}

void Win32Shell::createWindowBrush(Run&) {
  if (!windowBrush_) windowBrush_ = CreateSolidBrush(GetSysColor(COLOR_WINDOW));
}

void Win32Shell::createMainWindow(Run& run) {
  if (!windows_) return;
  if (!main_.create(instance_))
    run.ui.trace("main window: the system refused to create it");
  else if (onCreated_)
    onCreated_(main_.handle());
}

int Win32Shell::parse(Run& run) {
  return parseScript(run.startup.scriptPath, run.sys, run.ui, run.container, run.macros,
                     run.startup, *run.state);
}

void Win32Shell::showMainWindow(Run& run) {
  if (!main_.handle()) return;
  const Settings& settings = run.state->settings;
  if (!settings.screenGraphicPath.empty()) {
    std::string why;
    ScreenBitmap graphic = loadScreenBitmap(run.container, settings.screenGraphicPath,
                                            settings.screenGraphicPlacement, &why);
    // A graphic that cannot be used leaves the screen colours; the trace says why.
    if (!graphic.loaded())
      run.ui.trace("screen graphic " + settings.screenGraphicPath + ": " + why);
    main_.setScreenGraphic(std::move(graphic));
  }
  if (onOwner_) onOwner_(main_.handle());
  main_.show();
}

bool Win32Shell::showIntro(Run& run) {
  if (!main_.handle()) return false;
  const Settings& settings = run.state->settings;
  std::string why;
  ScreenBitmap bitmap =
      loadScreenBitmap(run.container, settings.introScreenPath, kPlacementFullScreen, &why);
  if (!bitmap.loaded()) run.ui.trace("intro screen " + settings.introScreenPath + ": " + why);
  intro_ = std::make_unique<IntroWindow>(main_.handle(), std::move(bitmap),
                                         introTimerMs(settings.introScreenSeconds, unattendedMs_),
                                         run.ui);
  if (intro_->show(instance_)) return true;
  intro_.reset();
  return false;
}

void Win32Shell::postStart(Run&) {
  if (main_.handle())
    PostMessageA(main_.handle(), kMsgStart, 0, 0);
  else
    startPending_ = true;
}

int Win32Shell::runMessageLoop() {
  if (!main_.handle()) {
    if (!startPending_) return kClosedBeforeStartCode;
    PostMessageA(nullptr, kMsgStart, 0, 0);  // handled below, not dispatched
  }
  MSG msg{};
  for (;;) {
    BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got == 0) return int(msg.wParam);
    if (got < 0) return kClosedBeforeStartCode;
    if (msg.hwnd == nullptr && msg.message == kMsgStart) {
      main_.runStart();
      continue;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

}  // namespace qm
