#include "ui/dialog_answers.h"

#include <gtest/gtest.h>

#include <map>

#include "ui/dialogs.h"
#include "ui/screen_dialogs.h"
#include "ui/screen_templates.h"
#include "ui/scripted_ui_for_tests.h"

namespace qm {
namespace {

// The unattended dialogs with a message-box side from ScriptedUi (Quit= is answered there).
class AnsweringUi : public ScriptedUi {
 public:
  std::map<std::string, std::string> file;
  std::vector<std::string> lines;
  DialogAnswers answers{[this](const std::string& key) -> std::optional<std::string> {
                          auto it = file.find(key);
                          if (it == file.end()) return std::nullopt;
                          return it->second;
                        },
                        [this](const std::string& line) { lines.push_back(line); }};
  DialogOutcome runDialog(const DialogSpec& spec, DialogController& c) override {
    return answers.run(spec, c);
  }
  DiskAnswer diskPrompt(const DiskRequest& r) override { return answers.disk(r); }
};

struct AnswersFixture : ::testing::Test {
  AnsweringUi ui;
  DialogTexts texts;
  std::vector<std::string> made;
  DirectoryMaker maker = [this](const std::string& p) {
    made.push_back(p);
    return p.find('?') == std::string::npos;
  };
  DialogOutcome destination(int mode, const std::string& proposed, std::string& chosen) {
    DestinationRecord record;
    record.mode = mode;
    record.path = proposed;
    DestinationRequest r = prepareDestination(record, texts);
    DialogOutcome o = runDestinationDialog(ui, texts, r, maker, "DefaultDir");
    chosen = r.path;
    return o;
  }
};

TEST_F(AnswersFixture, DestinationAnswersFitEachMode) {
  struct Case {
    int mode;
    std::optional<std::string> answer;
    std::string chosen;
  };
  const Case cases[] = {
      {3, "D:\\APPS\\TOOL", "D:\\APPS\\TOOL"},
      {3, std::nullopt, "C:\\NEWFILES"},  // the proposed directory
      {1, "E:\\APPS", "C:\\APPS"},        // the drive is not the user's to change
      {1, "TOOLS", "C:\\TOOLS"},
      {2, "e:\\ignored", "E:\\NEWFILES"},
  };
  for (const Case& c : cases) {
    ui.file.clear();
    if (c.answer) ui.file["DefaultDir"] = *c.answer;
    std::string chosen;
    EXPECT_EQ(destination(c.mode, "C:\\NEWFILES", chosen), DialogOutcome::Ok);
    EXPECT_EQ(chosen, c.chosen);
  }
  EXPECT_NE(ui.lines[0].find("D:\\APPS\\TOOL"), std::string::npos);
  EXPECT_NE(ui.lines[1].find("(default)"), std::string::npos);
}

TEST_F(AnswersFixture, RefusedDestinationEndsTheRunInsteadOfLooping) {
  const std::string bad[] = {"9:\\X", "C:\\BAD?"};
  for (const std::string& answer : bad) {
    ui.file["DefaultDir"] = answer;
    ui.lines.clear();
    std::string chosen;
    EXPECT_EQ(destination(3, "C:\\NEWFILES", chosen), DialogOutcome::Failed) << answer;
    EXPECT_NE(ui.lines.back().find("exit code 3"), std::string::npos);
  }
}

TEST_F(AnswersFixture, ScreensOkOrCancelWithTheQuitAnswer) {
  struct Case {
    std::optional<std::string> screens;
    std::deque<MsgResult> quit;
    DialogOutcome outcome;
  };
  const Case cases[] = {
      {std::nullopt, {}, DialogOutcome::Ok},
      {"ok", {}, DialogOutcome::Ok},
      {"Cancel", {MsgResult::Yes}, DialogOutcome::Cancel},
      {"Cancel", {MsgResult::No}, DialogOutcome::Failed},  // Quit=No: the screen stays forever
  };
  for (const Case& c : cases) {
    ui.file.clear();
    if (c.screens) ui.file["Screens"] = *c.screens;
    ui.boxAnswers = c.quit;
    EXPECT_EQ(runScreenDialog(ui, texts, DialogTemplate{0}, "LastScreen"), c.outcome);
  }
}

TEST_F(AnswersFixture, AskAnswersAreCleanedLikeTypedOnes) {
  ScreenRecords screens;
  MacroValues macros;
  screens.ask[0] = AskRecord{"default one", "First?", {}};
  screens.ask[1] = AskRecord{"default two", "Second?", {}};
  ui.file["Ask2"] = ", (typed)";
  EXPECT_EQ(runAskDialogs(ui, texts, screens, macros), DialogOutcome::Ok);
  EXPECT_EQ(macros.ask[0], "default one");
  EXPECT_EQ(macros.ask[1], "typed)");
}

TEST_F(AnswersFixture, GroupsNameGroupNumbers) {
  struct Case {
    bool exclusive;
    std::optional<std::string> groups;
    std::vector<int> selectedNumbers;
    DialogOutcome outcome;
  };
  const Case cases[] = {
      {false, std::nullopt, {1, 3}, DialogOutcome::Ok},  // the [X] marks
      {false, "2, 3", {2, 3}, DialogOutcome::Ok},
      {false, "7", {1, 3}, DialogOutcome::Ok},  // none of this dialog's: the marks
      {true, "3,2", {2}, DialogOutcome::Ok},    // radio buttons: the first named, in dialog order
      {true, std::nullopt, {1}, DialogOutcome::Ok},
  };
  for (const Case& c : cases) {
    ScreenRecords screens;
    TextBlock block;
    block.lines = {"01 [X] One", "02 [ ] Two", "03 [X] Three"};
    GroupDialogRecord record;
    record.exclusive = c.exclusive;
    record.dialog = c.exclusive
                        ? buildExclusiveGroupTemplate(block, {}, texts, screens.groups,
                                                      screens.radioGroupStarted)
                        : buildScreenTemplate(block, ScreenKind::Groups, {}, texts, screens.groups);
    record.endIndex = screens.groups.count;
    screens.mainGroup = record;
    ui.file.clear();
    if (c.groups) ui.file["Groups"] = *c.groups;
    EXPECT_EQ(runGroupDialogs(ui, texts, screens), c.outcome);
    std::vector<int> selected;
    for (int i = 0; i < screens.groups.count; ++i)
      if (screens.groups.selected[i]) selected.push_back(screens.groups.numberOfIndex[i]);
    EXPECT_EQ(selected, c.selectedNumbers) << c.groups.value_or("-");
  }
}

TEST_F(AnswersFixture, DisksYesNoMergedAndTheDiskThatNeverComes) {
  // Merged: present, label not read.
  ui.file["Disks"] = "Merged";
  EXPECT_EQ(ui.answers.disk({"m", "A:\\", "DISK2", 2}), DiskAnswer::Present);
  // No: the user's cancel.
  ui.file["Disks"] = "No";
  EXPECT_EQ(ui.answers.disk({"m", "A:\\", "DISK2", 2}), DiskAnswer::Cancel);
  // Yes with a machine that runs out of media: the second ask of the same disk fails.
  ui.file.clear();
  int inserted = 0;
  ui.answers.setDiskInserter([&](const std::string& root) {
    EXPECT_EQ(root, "A:\\");
    return ++inserted < 2;
  });
  EXPECT_EQ(ui.answers.disk({"Please insert Disk 2", "A:\\", "DISK2", 2}), DiskAnswer::Inserted);
  EXPECT_EQ(ui.answers.disk({"Please insert Disk 2", "A:\\", "DISK2", 2}), DiskAnswer::Failed);
  EXPECT_NE(ui.lines.back().find("exit code 3"), std::string::npos);
  // Without an inserter a repeated kind-2 request ends after the limit; kind 1 never repeats.
  DialogAnswers bare{nullptr, nullptr};
  int asks = 0;
  while (bare.disk({"again", "A:\\", "X", 2}) == DiskAnswer::Inserted && asks < 100) ++asks;
  EXPECT_EQ(asks, DialogAnswers::kMaxDiskRepeats);
  for (int i = 0; i < 40; ++i) EXPECT_EQ(bare.disk({"next", "A:\\", "", 1}), DiskAnswer::Inserted);
}

TEST(DialogAnswers, GroupNumberLists) {
  EXPECT_EQ(parseGroupNumbers("1,3"), (std::vector<int>{1, 3}));
  EXPECT_EQ(parseGroupNumbers(" 02 ; 10,x,7 "), (std::vector<int>{2, 10, 7}));
  EXPECT_TRUE(parseGroupNumbers("none").empty());
  EXPECT_EQ(answerKey("Dir2"), "DIR2");
  EXPECT_EQ(answerKey("ExitMessage"), "Screens");
}

}  // namespace
}  // namespace qm
