#include "ui/screen_dialogs.h"

#include "ui/dialogs.h"

namespace qm {

DialogAction ScreenDialog::command(int id, DialogControls& controls) {
  if (id == kIdOk) return DialogAction::EndOk;
  if (id == kIdCancel)
    return askQuit(ui_, texts_, false) ? DialogAction::EndCancel : DialogAction::Stay;
  return DialogAction::Stay;
}

DialogOutcome runScreenDialog(Ui& ui, const DialogTexts& texts, const DialogTemplate& dialog,
                              const std::string& topic) {
  DialogSpec form;
  form.templateBytes = dialog;
  form.topic = topic;
  ScreenDialog controller(ui, texts);
  return ui.runDialog(form, controller);
}

void GroupDialog::open(DialogControls& controls) {
  for (int i = record_.firstIndex; i < record_.endIndex; ++i) {
    if (!groups_.initialMark[i]) continue;
    controls.setChecked(kFirstGroupBoxId + (i - record_.firstIndex), true);
    if (record_.exclusive) break;  // only the first mark starts selected among radio buttons
  }
}

DialogAction GroupDialog::command(int id, DialogControls& controls) {
  if (id == kIdCancel)
    return askQuit(ui_, texts_, false) ? DialogAction::EndCancel : DialogAction::Stay;
  if (id != kIdOk) return DialogAction::Stay;
  bool any = false;
  for (int i = record_.firstIndex; i < record_.endIndex; ++i)
    any = controls.checked(kFirstGroupBoxId + (i - record_.firstIndex)) || any;
  if (!any) {
    ui_.messageBox(installerBox(texts_.noGroup, MsgIcon::Warning));
    return DialogAction::Stay;
  }
  for (int i = record_.firstIndex; i < record_.endIndex; ++i)
    if (controls.checked(kFirstGroupBoxId + (i - record_.firstIndex))) groups_.selected[i] = true;
  groups_.chosen = true;
  return DialogAction::EndOk;
}

namespace {

DialogOutcome showGroup(Ui& ui, const DialogTexts& texts, GroupTables& groups,
                        GroupDialogRecord& record) {
  if (!record.dialog) return DialogOutcome::Ok;  // already shown and released
  DialogSpec form;
  form.templateBytes = std::move(*record.dialog);
  record.dialog.reset();
  form.topic = "Groups";
  form.exclusive = record.exclusive;
  for (int i = record.firstIndex; i < record.endIndex; ++i)
    form.choices.emplace_back(kFirstGroupBoxId + (i - record.firstIndex), groups.numberOfIndex[i]);
  GroupDialog controller(ui, texts, groups, record);
  return ui.runDialog(form, controller);
}

}  // namespace

DialogOutcome runGroupDialogs(Ui& ui, const DialogTexts& texts, ScreenRecords& screens) {
  GroupTables& groups = screens.groups;
  if (screens.mainGroup) {
    DialogOutcome outcome = showGroup(ui, texts, groups, *screens.mainGroup);
    if (outcome != DialogOutcome::Ok) return outcome;
  }
  // Option dialogs may select further groups; those with higher indexes get their own dialogs
  // as the walk reaches them.
  for (int i = 0; i < groups.count && i < kMaxGroupIndexes; ++i) {
    if (!groups.selected[i]) continue;
    int number = groups.numberOfIndex[i];
    for (GroupDialogRecord& record : screens.optionGroups) {
      if (record.groupNumber != number) continue;
      DialogOutcome outcome = showGroup(ui, texts, groups, record);
      if (outcome != DialogOutcome::Ok) return outcome;
    }
  }
  return DialogOutcome::Ok;
}

}  // namespace qm
