// The full-screen main window: the background in the script's colours with its screen graphic,
// the title with its shadow, the checking-system box, and the installer's own messages, which it
// hands to the engine.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>

#include "shell/run.h"
#include "shell/win32/bitmap_painter.h"
#include "shell/win32/window_object.h"

namespace qm {

class Engine;

class MainWindow : public WindowObject {
 public:
  explicit MainWindow(Run& run) : run_(run) {}
  ~MainWindow() override;
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // Creates the window, not yet shown; false when the system refused.
  bool create(HINSTANCE instance);
  HWND handle() const { return window_; }

  // Titles the window, shows it maximised and paints all of it.
  void show();
  void setScreenGraphic(ScreenBitmap bitmap);
  // The engine whose messages the window passes on; null before the installation exists.
  void setEngine(Engine* engine) { engine_ = engine; }
  // Runs the installation when the start message arrives (once); its result is the code the
  // message loop ends with.
  void setStartHandler(std::function<int()> handler) { onStart_ = std::move(handler); }
  // Called before the installation runs, to take the intro screen away.
  void setBeforeStart(std::function<void()> hook) { beforeStart_ = std::move(hook); }

  // Draws the checking-system box on the window at once.
  void drawCheckingSystem();
  // The start message's handling: the intro screen goes, the installation runs (once), and the
  // quit message is posted with its code.
  void runStart();

 private:
  LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam) override;
  void eraseBackground(HDC dc);
  void paintTitle(HDC dc);

  Run& run_;
  Engine* engine_ = nullptr;
  std::unique_ptr<BitmapPainter> graphic_;
  std::function<int()> onStart_;
  std::function<void()> beforeStart_;
  bool started_ = false;
  bool installing_ = false;
};

// The exit code the message loop ends with when the window is closed before any installation.
constexpr int kClosedBeforeStartCode = 2;

}  // namespace qm
