// The start-up steps that belong to the windows on real Windows (the main window, the screen
// graphic, the intro screen, the start message) and the application's message loop, in which the
// start message runs the installation.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>

#include "shell/startup.h"
#include "shell/win32/intro_window.h"
#include "shell/win32/main_window.h"
#include "shell/window_messages.h"

namespace qm {

class Win32Shell : public StartupHooks {
 public:
  // unattendedMs: as introTimerMs takes it (-1 when a person runs the installation). windows:
  // false for an unattended run that nobody watches, which shows no main window at all.
  Win32Shell(HINSTANCE instance, Run& run, int unattendedMs, bool windows);
  ~Win32Shell() override;

  void createWindowBrush(Run& run) override;
  void createMainWindow(Run& run) override;
  int parse(Run& run) override;
  void showMainWindow(Run& run) override;
  bool showIntro(Run& run) override;
  void postStart(Run& run) override;

  // Told the main window once it exists (the checking-system box may be drawn on it while the
  // script is read), and again once it owns message boxes and dialogs.
  void setCreatedHook(std::function<void(HWND)> hook) { onCreated_ = std::move(hook); }
  void setOwnerHook(std::function<void(HWND)> hook) { onOwner_ = std::move(hook); }
  MainWindow& mainWindow() { return main_; }
  HBRUSH windowBrush() const { return windowBrush_; }

  // Dispatches messages until the quit message and returns its code. Without a main window the
  // start message has nowhere to go, so a posted start runs the installation here directly.
  int runMessageLoop();

 private:
  HINSTANCE instance_;
  Run& run_;
  int unattendedMs_;
  bool windows_;
  MainWindow main_;
  std::unique_ptr<IntroWindow> intro_;
  HBRUSH windowBrush_ = nullptr;
  std::function<void(HWND)> onCreated_, onOwner_;
  bool startPending_ = false;
};

// A view that also draws the checking-system box on the main window, for any of the Ui views.
template <class View>
class WithCheckingBox : public View {
 public:
  using View::View;
  // The window that draws the box.
  void setMainWindow(HWND mainWindow) { main_ = mainWindow; }
  // From now on the main window also owns the view's boxes and dialogs.
  void attach(HWND mainWindow) {
    View::setOwner(mainWindow);
    main_ = mainWindow;
  }
  void showCheckingSystem() override {
    if (main_) SendMessageA(main_, kMsgCheckingSystem, 0, 0);
  }

 private:
  HWND main_ = nullptr;
};

}  // namespace qm
