// The intro screen: a borderless pop-up over the main window with its bitmap stretched over the
// whole of it, ended by a key, a mouse button or its display time. Ending it brings the main
// window back and posts the start message; the start message's handler destroys it.
#pragma once

#include <windows.h>

#include <memory>

#include "shell/win32/bitmap_painter.h"
#include "shell/win32/window_object.h"
#include "ui/ui.h"

namespace qm {

class IntroWindow : public WindowObject {
 public:
  // timerMs: how long it stays after each painting (introTimerMs); 0 until the user acts.
  IntroWindow(HWND mainWindow, ScreenBitmap bitmap, unsigned timerMs, Ui& ui);
  ~IntroWindow() override { destroy(); }
  IntroWindow(const IntroWindow&) = delete;
  IntroWindow& operator=(const IntroWindow&) = delete;

  // Creates it and shows it maximised; false when the system refused (start at once then).
  bool show(HINSTANCE instance);
  void destroy();

 private:
  LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam) override;
  void paint();
  void end(const char* by);

  HWND main_;
  std::unique_ptr<BitmapPainter> bitmap_;
  unsigned timerMs_;
  Ui& ui_;
  bool timerSet_ = false;
  bool ended_ = false;
};

}  // namespace qm
