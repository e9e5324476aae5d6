// The watched unattended view (answers file with Show=Yes): the answers are the file's, as in
// any unattended run, but every dialog and message box really opens, paints and stays up for the
// delay before its answer is typed and its button pressed. Each window that comes up leaves a
// "shown NAME" line in the trace, which is what the screenshot script waits for.
#pragma once

#include <windows.h>

#include <vector>

#include "ui/answers_ui.h"
#include "ui/win32/dialog_view.h"

namespace qm {

class WatchedUi : public AnswersUi, private DialogPilot {
 public:
  // trace may be null (no QUILLMOUNT_LOG).
  WatchedUi(AnswersFile answers, TraceSink* trace, int delayMs);
  ~WatchedUi() override;

  // The main window: dialogs and the boxes asked for with owned set belong to it from now on.
  void setOwner(HWND owner) { owner_ = owner; }
  HWND owner() const { return owner_; }
  int delay() const { return delayMs_; }

  MsgResult messageBox(const MessageRequest& request) override;
  DialogOutcome runDialog(const DialogSpec& dialog, DialogController& controller) override;
  DiskAnswer diskPrompt(const DiskRequest& request) override;
  // Real metrics: the screens are shown, so they are sized as a person would see them.
  int textExtent(const std::string& text, const FontSpec& font) override;
  int dialogBaseUnitX() override;

 private:
  int fill(const DialogSpec& form, DialogControls& controls) override;
  void shown(const DialogSpec& form, HWND dialog) override;
  int delayMs() const override { return delayMs_; }
  DialogOutcome press(const DialogSpec& form, DialogController& controller,
                      DialogControls& controls, int button) override;

  // Shows the box and presses answer's button once it has been up for the delay.
  void showAnswered(const MessageRequest& request, MsgResult answer);
  static LRESULT CALLBACK timerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void onTimer(UINT_PTR timer);

  int delayMs_;
  HWND owner_ = nullptr;
  HWND timers_ = nullptr;  // message-only window receiving the box timers
  // The box being shown: the dialogs that were open before it, and its answer.
  std::vector<HWND> before_;
  HWND box_ = nullptr;
  MsgResult boxAnswer_ = MsgResult::Ok;
  std::string boxTopic_;  // what the box asks (named in its "shown" line), empty for a notice
};

}  // namespace qm
