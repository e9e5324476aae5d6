#include "ui/screen_dialogs.h"

#include <gtest/gtest.h>

#include "ui/dialogs.h"
#include "ui/screen_templates.h"
#include "ui/scripted_ui_for_tests.h"

namespace qm {
namespace {

// Builds a group block into screens the way the BEGINGROUP reader does.
void addGroup(ScreenRecords& screens, int number, bool exclusive, std::vector<std::string> lines) {
  TextBlock block;
  block.lines = std::move(lines);
  GroupDialogRecord record;
  record.groupNumber = number;
  record.exclusive = exclusive;
  record.firstIndex = screens.groups.count;
  record.dialog =
      exclusive
          ? buildExclusiveGroupTemplate(block, {}, {}, screens.groups, screens.radioGroupStarted)
          : buildScreenTemplate(block, ScreenKind::Groups, {}, {}, screens.groups);
  ASSERT_TRUE(record.dialog);
  record.endIndex = screens.groups.count;
  if (number < 0)
    screens.mainGroup = std::move(record);
  else
    screens.optionGroups.push_back(std::move(record));
}

ScriptedUi::Step check(std::vector<std::pair<int, bool>> boxes, int button = 1) {
  return ScriptedUi::Step{[boxes](MemoryControls& c) {
                            for (auto [id, on] : boxes) c.setChecked(id, on);
                          },
                          button};
}

TEST(GroupDialogs, InitialMarksAndChosenOptionDialogs) {
  ScriptedUi ui;
  ScreenRecords screens;
  addGroup(screens, 5, false, {"51 [X] Extra A", "52 [ ] Extra B"});  // before the main group
  addGroup(screens, -1, false,
           {"Choose:", "05 [X] Program files", "07 [ ] Samples", "09 [X] Help"});
  addGroup(screens, 9, true, {"91 [ ] Small help", "92 [X] Full help", "93 [X] Huge help"});
  addGroup(screens, 7, false, {"71 [X] Never shown"});
  // Main: uncheck Help, keep Program files. Group 5's dialog: keep the marks. Nothing else.
  ui.steps = {check({{102, false}}), ScriptedUi::press(kIdOk)};
  EXPECT_EQ(runGroupDialogs(ui, DialogTexts{}, screens), DialogOutcome::Ok);
  ASSERT_EQ(ui.dialogs.size(), 2u);
  // The main dialog covers the indexes its own lines got (2, 3, 4), not 0 onwards.
  EXPECT_TRUE(ui.openedWith[0].checked(100));
  EXPECT_FALSE(ui.openedWith[0].checked(101));
  EXPECT_TRUE(ui.openedWith[0].checked(102));
  EXPECT_EQ(ui.dialogs[0].choices,
            (std::vector<std::pair<int, int>>{{100, 5}, {101, 7}, {102, 9}}));
  const GroupTables& g = screens.groups;
  EXPECT_TRUE(g.selected[g.indexOfNumber[5]]);
  EXPECT_FALSE(g.selected[g.indexOfNumber[9]]);
  EXPECT_TRUE(g.selected[g.indexOfNumber[51]]);
  EXPECT_FALSE(g.selected[g.indexOfNumber[52]]);
  EXPECT_TRUE(g.chosen);
  EXPECT_FALSE(screens.optionGroups[0].dialog);  // released after use
  EXPECT_TRUE(screens.optionGroups[1].dialog);   // group 9 not chosen: never shown
}

TEST(GroupDialogs, ExclusiveDialogStartsWithTheFirstMarkOnly) {
  ScriptedUi ui;
  ScreenRecords screens;
  addGroup(screens, -1, true, {"01 [ ] Small", "02 [X] Medium", "03 [X] Large"});
  ui.steps = {ScriptedUi::press(kIdOk)};
  EXPECT_EQ(runGroupDialogs(ui, DialogTexts{}, screens), DialogOutcome::Ok);
  EXPECT_FALSE(ui.openedWith[0].checked(100));
  EXPECT_TRUE(ui.openedWith[0].checked(101));
  EXPECT_FALSE(ui.openedWith[0].checked(102));
  EXPECT_TRUE(ui.dialogs[0].exclusive);
  EXPECT_TRUE(screens.groups.selected[1]);
  EXPECT_FALSE(screens.groups.selected[2]);
}

TEST(GroupDialogs, NothingCheckedCannotBeConfirmed) {
  ScriptedUi ui;
  ScreenRecords screens;
  addGroup(screens, -1, false, {"01 [X] Program files", "02 [ ] Samples"});
  ui.steps = {check({{100, false}}), check({{101, true}})};
  EXPECT_EQ(runGroupDialogs(ui, DialogTexts{}, screens), DialogOutcome::Ok);
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].text, "No group is selected.");
  EXPECT_EQ(ui.boxes[0].caption, " ");
  EXPECT_FALSE(screens.groups.selected[0]);
  EXPECT_TRUE(screens.groups.selected[1]);
}

TEST(GroupDialogs, CancelConfirmedStopsBeforeOptionDialogs) {
  ScriptedUi ui;
  ScreenRecords screens;
  addGroup(screens, -1, false, {"01 [X] Program files"});
  addGroup(screens, 1, false, {"11 [X] Sub"});
  ui.boxAnswers = {MsgResult::Yes};
  ui.steps = {ScriptedUi::press(kIdCancel)};
  EXPECT_EQ(runGroupDialogs(ui, DialogTexts{}, screens), DialogOutcome::Cancel);
  EXPECT_EQ(ui.dialogs.size(), 1u);
  EXPECT_FALSE(screens.groups.chosen);
}

TEST(ScreenDialog, OkEndsCancelAsksToQuit) {
  struct Case {
    std::vector<int> buttons;
    std::deque<MsgResult> quitAnswers;
    DialogOutcome outcome;
    size_t questions;
  };
  const Case cases[] = {
      {{kIdOk}, {}, DialogOutcome::Ok, 0},
      {{kIdCancel}, {MsgResult::Yes}, DialogOutcome::Cancel, 1},
      {{kIdCancel, kIdOk}, {MsgResult::No}, DialogOutcome::Ok, 1},
      {{kIdCancel}, {MsgResult::No}, DialogOutcome::Failed, 1},  // stays open forever
  };
  for (const Case& c : cases) {
    ScriptedUi ui;
    ui.boxAnswers = c.quitAnswers;
    for (int b : c.buttons) ui.steps.push_back(ScriptedUi::press(b));
    EXPECT_EQ(runScreenDialog(ui, DialogTexts{}, DialogTemplate{1, 2, 3}, "FirstScreen"),
              c.outcome);
    EXPECT_EQ(ui.boxes.size(), c.questions);
    EXPECT_EQ(ui.dialogs[0].topic, "FirstScreen");
  }
}

}  // namespace
}  // namespace qm
