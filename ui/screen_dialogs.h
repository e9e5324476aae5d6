// Showing the script's screens: first screen, last screen, exit message, and the option-group
// dialogs with their selection rules.
#pragma once

#include <string>

#include "records/screen_records.h"
#include "ui/dialog_template.h"
#include "ui/dialog_texts.h"
#include "ui/ui.h"

namespace qm {

// Shows a screen template modally: OK ends it, Cancel asks the quit question. topic:
// "FirstScreen", "LastScreen" or "ExitMessage".
DialogOutcome runScreenDialog(Ui& ui, const DialogTexts& texts, const DialogTemplate& dialog,
                              const std::string& topic);

// The main group dialog, then the option dialog of every selected group, each released after
// use. Ok when every shown dialog ended with OK (or there were none).
DialogOutcome runGroupDialogs(Ui& ui, const DialogTexts& texts, ScreenRecords& screens);

// One group dialog: marks the initial choices on opening, refuses OK with nothing checked.
class GroupDialog : public DialogController {
 public:
  GroupDialog(Ui& ui, const DialogTexts& texts, GroupTables& groups,
              const GroupDialogRecord& record)
      : ui_(ui), texts_(texts), groups_(groups), record_(record) {}
  void open(DialogControls& controls) override;
  DialogAction command(int id, DialogControls& controls) override;

 private:
  Ui& ui_;
  const DialogTexts& texts_;
  GroupTables& groups_;
  const GroupDialogRecord& record_;
};

// The screen controller (OK ends; Cancel asks the quit question).
class ScreenDialog : public DialogController {
 public:
  ScreenDialog(Ui& ui, const DialogTexts& texts) : ui_(ui), texts_(texts) {}
  void open(DialogControls& controls) override {}
  DialogAction command(int id, DialogControls& controls) override;

 private:
  Ui& ui_;
  const DialogTexts& texts_;
};

constexpr int kFirstGroupBoxId = 100;

}  // namespace qm
