#include "ui/dialogs.h"

#include <gtest/gtest.h>

#include "ui/scripted_ui_for_tests.h"

namespace qm {
namespace {

TEST(SplitPrompt, SplitsAtTheRightBlank) {
  const std::string word44(44, 'x');
  struct Case {
    std::string prompt;
    int state;
    std::string line1, line2;
  };
  const Case cases[] = {
      {std::string(45, 'a'), 1, "", ""},  // exactly 45: one line
      {std::string(45, 'a') + "   tail", 2, std::string(45, 'a'), "tail"},
      {std::string(60, 'z'), 2, std::string(44, 'z'), std::string(16, 'z')},
      {"Please type the name of the folder where the files go now", 2,
       "Please type the name of the folder where the", "files go now"},
      {"x" + std::string(" ") + word44 + "y", 2, "x", word44 + "y"},  // blank at position 1
      {std::string(45, 'a') + "   ", 2, std::string(45, 'a'), ""},
  };
  for (const Case& c : cases) {
    PromptLines lines;
    lines.state = 1;
    splitPrompt(c.prompt, lines);
    EXPECT_EQ(lines.state, c.state) << c.prompt;
    EXPECT_EQ(lines.line1, c.line1) << c.prompt;
    EXPECT_EQ(lines.line2, c.line2) << c.prompt;
  }
  PromptLines none;  // state 0: nothing to split
  splitPrompt(std::string(80, 'q'), none);
  EXPECT_EQ(none.state, 0);
}

TEST(CleanAnswer, DropsLeadingSeparatorsOnly) {
  const std::pair<std::string, std::string> cases[] = {
      {" ,(yes)", "yes)"},
      {"\t\r\n(( no", "no"},
      {"  , ()", ""},
      {"plain (kept) ", "plain (kept) "},
  };
  for (const auto& [typed, stored] : cases) EXPECT_EQ(cleanAnswer(typed), stored) << typed;
}

struct DestinationFixture : ::testing::Test {
  ScriptedUi ui;
  DialogTexts texts;
  std::vector<std::string> made;
  std::string refuse;  // a candidate the directory maker fails on
  DirectoryMaker maker = [this](const std::string& p) {
    made.push_back(p);
    return p != refuse;
  };
  DestinationRequest request(int mode, std::string path) {
    DestinationRecord record;
    record.mode = mode;
    record.path = std::move(path);
    return prepareDestination(record, texts);
  }
};

TEST_F(DestinationFixture, OpeningShowsTheFieldsOfEachMode) {
  struct Case {
    int mode;
    std::string path;
    int field;
    std::string shown;
    int other;
    std::string otherShown;
  };
  const Case cases[] = {
      {1, "d:", kIdDestinationEdit, "", kIdDriveShown, "D:\\"},
      {1, "d:\\apps\\tool", kIdDestinationEdit, "apps\\tool", kIdDriveShown, "D:\\"},
      {2, "C:\\APP", kIdDestinationEdit, "C", kIdRestShown, ":\\APP"},
      // The mode 3 default prompt is 50 characters: it is shown in two lines.
      {3, "C:\\NEWFILES", kIdDestinationEdit, "C:\\NEWFILES", kIdPromptLine1,
       "Please enter the destination drive and"},
  };
  for (const Case& c : cases) {
    DestinationRequest r = request(c.mode, c.path);
    ui.steps = {ScriptedUi::press(kIdOk)};
    EXPECT_EQ(runDestinationDialog(ui, texts, r, maker, "DefaultDir"), DialogOutcome::Ok);
    MemoryControls& opened = ui.openedWith.back();
    EXPECT_EQ(opened.text(c.field, 999), c.shown) << c.path;
    EXPECT_EQ(opened.text(c.other, 999), c.otherShown) << c.path;
    EXPECT_EQ(opened.text(kIdOk, 99), "OK");
    EXPECT_EQ(ui.dialogs.back().resourceId, 200 + 50 * c.mode);
  }
}

TEST_F(DestinationFixture, OkBuildsAndChecksTheCandidate) {
  struct Case {
    int mode;
    std::string proposed, typed;
    std::string chosen;  // empty: refused with the bad-drive text
  };
  const Case cases[] = {
      {1, "D:", "APPS, NEW", "D:\\APPS"},
      {1, "D:\\OLD", "MY APPS", "D:\\MY"},
      {2, "C:\\APP", "e", "E:\\APP"},
      {2, "C:\\APP", "7", ""},
      {2, "C:\\APP", "", ""},
      {3, "C:\\X", "5:\\APP", ""},
      {3, "C:\\X", "C;\\APP", ""},
      {3, "C:\\X", "C:APP", ""},
      {3, "C:\\X", "", ""},
      {3, "C:\\X", "C:\\MY APPS,X", "C:\\MY APPS"},
      {3, "C:\\X", "e:", "e:"},
  };
  for (const Case& c : cases) {
    ui.boxes.clear();
    made.clear();
    DestinationRequest r = request(c.mode, c.proposed);
    ui.steps = {ScriptedUi::type(kIdDestinationEdit, c.typed)};
    DialogOutcome outcome = runDestinationDialog(ui, texts, r, maker, "DefaultDir");
    if (c.chosen.empty()) {
      EXPECT_EQ(outcome, DialogOutcome::Failed) << c.typed;  // stayed open, no more steps
      ASSERT_EQ(ui.boxes.size(), 1u) << c.typed;
      EXPECT_EQ(ui.boxes[0].text, "Invalid drive specification.");
      EXPECT_EQ(ui.boxes[0].caption, "");
      EXPECT_TRUE(made.empty());
    } else {
      EXPECT_EQ(outcome, DialogOutcome::Ok) << c.typed;
      EXPECT_EQ(r.path, c.chosen);
      EXPECT_EQ(made, std::vector<std::string>{c.chosen});
    }
  }
}

TEST_F(DestinationFixture, UncreatableDirectoryKeepsTheDialogOpen) {
  refuse = "C:\\BAD";
  DestinationRequest r = request(3, "C:\\X");
  ui.steps = {ScriptedUi::type(kIdDestinationEdit, "C:\\BAD"),
              ScriptedUi::type(kIdDestinationEdit, "C:\\GOOD")};
  EXPECT_EQ(runDestinationDialog(ui, texts, r, maker, "DefaultDir"), DialogOutcome::Ok);
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].text, "Invalid directory.");
  EXPECT_EQ(r.path, "C:\\GOOD");
}

TEST_F(DestinationFixture, CancelAsksToQuitAndNoKeepsItOpen) {
  DestinationRequest r = request(3, "C:\\X");
  ui.boxAnswers = {MsgResult::No, MsgResult::Yes};
  ui.steps = {ScriptedUi::press(kIdCancel), ScriptedUi::press(kIdCancel)};
  EXPECT_EQ(runDestinationDialog(ui, texts, r, maker, "DefaultDir"), DialogOutcome::Cancel);
  ASSERT_EQ(ui.boxes.size(), 2u);
  EXPECT_EQ(ui.boxes[0].text, "Do you wish to quit?");
  EXPECT_EQ(ui.boxes[0].buttons, MsgButtons::YesNo);
  EXPECT_EQ(ui.boxes[0].caption, "");
  EXPECT_EQ(r.path, "C:\\X");
}

TEST_F(DestinationFixture, ModeZeroShowsNothing) {
  DestinationRequest r = request(0, "C:\\KEEP");
  EXPECT_EQ(runDestinationDialog(ui, texts, r, maker, "DefaultDir"), DialogOutcome::Ok);
  EXPECT_TRUE(ui.dialogs.empty());
  EXPECT_EQ(r.path, "C:\\KEEP");
}

TEST_F(DestinationFixture, PromptIsTheStatementsOrTheModesDefault) {
  DestinationRecord given;
  given.mode = 1;
  given.promptGiven = true;
  given.prompt = "Where should the program and all of its sample files be installed?";
  DestinationRequest r = prepareDestination(given, texts);
  EXPECT_EQ(r.lines.state, 2);
  EXPECT_EQ(r.lines.line1, "Where should the program and all of its");
  EXPECT_EQ(r.lines.line2, "sample files be installed?");
  DestinationRecord plain;
  plain.mode = 2;
  r = prepareDestination(plain, texts);
  EXPECT_EQ(r.prompt, "Please enter the destination drive:");
  EXPECT_EQ(r.lines.state, 1);
  ui.steps = {ScriptedUi::press(kIdOk)};
  r.path = "C:\\A";
  runDestinationDialog(ui, texts, r, maker, "Dir2");
  EXPECT_EQ(ui.openedWith.back().text(kIdPromptLine2, 99), "Please enter the destination drive:");
  EXPECT_FALSE(ui.openedWith.back().hasText(kIdPromptLine1));
}

TEST(AskDialogs, AnswersGoToTheirMacrosInOrderAndCancelStops) {
  ScriptedUi ui;
  DialogTexts texts;
  ScreenRecords screens;
  MacroValues macros;
  screens.ask[0] = AskRecord{"first", "Your name?", {}};
  screens.ask[2] = AskRecord{"third", "", {}};
  screens.ask[4] = AskRecord{"fifth", "Never asked", {}};
  ui.boxAnswers = {MsgResult::Yes};
  ui.steps = {ScriptedUi::type(kIdAskEdit, " , (Ann)"), ScriptedUi::press(kIdOk),
              ScriptedUi::press(kIdCancel)};
  EXPECT_EQ(runAskDialogs(ui, texts, screens, macros), DialogOutcome::Cancel);
  ASSERT_EQ(ui.dialogs.size(), 3u);
  EXPECT_EQ(ui.dialogs[0].topic, "Ask1");
  EXPECT_EQ(ui.dialogs[1].topic, "Ask3");
  EXPECT_EQ(ui.openedWith[0].text(kIdAskEdit, 999), "first");
  EXPECT_EQ(ui.openedWith[0].text(kIdPromptLine2, 999), "Your name?");
  EXPECT_EQ(ui.openedWith[1].text(kIdPromptLine2, 999), "");
  EXPECT_EQ(macros.ask[0], "Ann)");
  EXPECT_EQ(macros.ask[2], "third");
  EXPECT_EQ(macros.ask[4], "");  // the cancelled dialog's answer is not taken
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].caption, " ");  // the ASK dialog's quit question has a blank caption
}

TEST(AskDialogs, TypedAnswerIsCutTo498Characters) {
  ScriptedUi ui;
  ScreenRecords screens;
  MacroValues macros;
  screens.ask[1] = AskRecord{"", "Long?", {}};
  ui.steps = {ScriptedUi::type(kIdAskEdit, std::string(600, 'k'))};
  EXPECT_EQ(runAskDialogs(ui, DialogTexts{}, screens, macros), DialogOutcome::Ok);
  EXPECT_EQ(macros.ask[1].size(), 498u);
}

}  // namespace
}  // namespace qm
