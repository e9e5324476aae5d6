// A Ui for tests: message boxes and disk prompts answered from queues, dialogs run against
// controls in memory with scripted steps. Everything asked is recorded.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "ui/memory_controls.h"
#include "ui/ui.h"

namespace qm {

class ScriptedUi : public Ui {
 public:
  // One user action in a dialog: change the controls, then press a button.
  struct Step {
    std::function<void(MemoryControls&)> edit;
    int button = 1;
  };

  std::deque<MsgResult> boxAnswers;  // empty: Ok / Yes
  std::vector<MessageRequest> boxes;
  std::deque<Step> steps;  // consumed across dialogs; a dialog with none left fails
  std::vector<DialogSpec> dialogs;
  std::vector<MemoryControls> openedWith;  // the controls as each dialog opened
  std::deque<DiskAnswer> diskAnswers;      // empty: Failed (so no test loops forever)
  std::vector<DiskRequest> diskRequests;
  int beeps = 0;

  MsgResult messageBox(const MessageRequest& request) override {
    boxes.push_back(request);
    if (!boxAnswers.empty()) {
      MsgResult r = boxAnswers.front();
      boxAnswers.pop_front();
      return r;
    }
    return request.buttons == MsgButtons::YesNo ? MsgResult::Yes : MsgResult::Ok;
  }

  DialogOutcome runDialog(const DialogSpec& dialog, DialogController& controller) override {
    dialogs.push_back(dialog);
    MemoryControls controls;
    controller.open(controls);
    openedWith.push_back(controls);
    while (!steps.empty()) {
      Step step = steps.front();
      steps.pop_front();
      if (step.edit) step.edit(controls);
      DialogAction action = controller.command(step.button, controls);
      if (action == DialogAction::EndOk) return DialogOutcome::Ok;
      if (action == DialogAction::EndCancel) return DialogOutcome::Cancel;
    }
    return DialogOutcome::Failed;
  }

  DiskAnswer diskPrompt(const DiskRequest& request) override {
    diskRequests.push_back(request);
    if (diskAnswers.empty()) return DiskAnswer::Failed;
    DiskAnswer a = diskAnswers.front();
    diskAnswers.pop_front();
    return a;
  }

  void beep() override { ++beeps; }

  // Steps for the common cases.
  static Step press(int button) { return Step{nullptr, button}; }
  static Step type(int id, std::string text, int button = 1) {
    return Step{[id, text](MemoryControls& c) { c.setText(id, text); }, button};
  }
};

}  // namespace qm
