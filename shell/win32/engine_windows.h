// The copy's modeless windows on real Windows: the progress dialog and the pop-up messages,
// placed as the main window places them, and the message pump the copy loop runs between blocks.
// The main window's own parts (the intro screen) are added by deriving from this class.
#pragma once

#include <windows.h>

#include "engine/engine.h"
#include "ui/win32/progress_view.h"

namespace qm {

class Win32EngineWindows : public EngineWindows {
 public:
  // holdMs: in a watched run, how long each new pop-up and each file's progress stay on screen;
  // 0 holds nothing. Either way each of them leaves a "shown" line in the trace. Negative: not a
  // watched run, nothing held or traced.
  Win32EngineWindows(Engine& engine, int holdMs = -1);
  ~Win32EngineWindows() override;
  Win32EngineWindows(const Win32EngineWindows&) = delete;
  Win32EngineWindows& operator=(const Win32EngineWindows&) = delete;

  // The main window the progress dialog and the pop-ups belong to.
  void setOwner(HWND owner) { owner_ = owner; }

  void createProgress(int fileCount) override;
  void destroyProgress() override;
  void setProgressTexts(const std::string& prompt, const std::string& name) override;
  void showPercent(int percent) override;
  void placeProgressBelowPopup() override;
  void showPopup(int index) override;
  void bringProgressToFront() override;
  void pumpMessages() override;

  HWND progressWindow() const { return progress_.window(); }
  HWND popupWindow() const { return popup_; }

 private:
  Engine& engine_;
  int holdMs_;
  HWND owner_ = nullptr;
  Win32ProgressView progress_;
  HWND popup_ = nullptr;
  int lastHeldPercent_ = -1;  // the bar last held on screen in a watched run
  // Recorded when a pop-up was placed: the progress dialog opens 24 pixels below it.
  bool popupPlaced_ = false;
  int popupTop_ = 0;
  int popupHeight_ = 0;
};

}  // namespace qm
