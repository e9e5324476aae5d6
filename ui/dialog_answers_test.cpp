#include "ui/dialog_answers.h"

#include <gtest/gtest.h>

#include <map>

#include "script/memory_system_for_tests.h"
#include "ui/dialogs.h"
#include "ui/disk_prompt.h"
#include "ui/memory_controls.h"
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
  DialogOutcome runDialog(const DialogSpec& dialog, DialogController& c) override {
    return answers.run(dialog, c);
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

// A watched run shows the dialog between typing and pressing: fill only types (the controller
// rules on nothing yet), press then rules exactly as an unwatched run would.
TEST_F(AnswersFixture, FillTypesWithoutPressingAndPressRules) {
  struct Case {
    std::string answer;
    std::string typed;  // what the edit holds after fill
    int button;
    DialogOutcome outcome;
    std::string chosen;
  };
  const Case cases[] = {
      {"D:\\APPS, MORE", "D:\\APPS, MORE", kIdOk, DialogOutcome::Ok, "D:\\APPS"},
      {"cancel", "C:\\OLD", kIdCancel, DialogOutcome::Cancel, "C:\\OLD"},
      {"9:\\X", "9:\\X", kIdOk, DialogOutcome::Failed, "C:\\OLD"},
  };
  for (const Case& c : cases) {
    ui.file["DefaultDir"] = c.answer;
    ui.lines.clear();
    made.clear();
    DestinationRecord record;
    record.mode = 3;
    record.path = "C:\\OLD";
    DestinationRequest request = prepareDestination(record, texts);
    DestinationDialog controller(ui, texts, request, maker);
    DialogSpec form;
    form.topic = "DefaultDir";
    form.resourceId = 350;
    MemoryControls controls;
    controller.open(controls);
    int button = ui.answers.fill(form, controls);
    EXPECT_EQ(button, c.button) << c.answer;
    EXPECT_EQ(controls.text(kIdDestinationEdit, 100), c.typed) << c.answer;
    EXPECT_TRUE(made.empty()) << "fill made a directory for " << c.answer;
    EXPECT_EQ(ui.lines.size(), 1u) << c.answer;
    EXPECT_EQ(ui.answers.press(form, controller, controls, button), c.outcome) << c.answer;
    EXPECT_EQ(request.path, c.chosen) << c.answer;
  }
}

TEST_F(AnswersFixture, GroupsNameGroupNumbers) {
  struct Case {
    bool exclusive;
    std::optional<std::string> groups;
    std::vector<int> selectedNumbers;
    DialogOutcome outcome;
    bool defaulted;  // the trace marks the dialog's boxes as the script's own
  };
  const Case cases[] = {
      {false, std::nullopt, {1, 3}, DialogOutcome::Ok, true},  // the [X] marks
      {false, "2, 3", {2, 3}, DialogOutcome::Ok, false},
      {false, "7", {1, 3}, DialogOutcome::Ok, true},  // none of this dialog's: the marks
      {true, "3,2", {2}, DialogOutcome::Ok, false},   // radio buttons: the first named
      {true, std::nullopt, {1}, DialogOutcome::Ok, true},
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
    ui.lines.clear();
    if (c.groups) ui.file["Groups"] = *c.groups;
    EXPECT_EQ(runGroupDialogs(ui, texts, screens), c.outcome);
    ASSERT_FALSE(ui.lines.empty());
    EXPECT_EQ(ui.lines.back().find("(default)") != std::string::npos, c.defaulted)
        << ui.lines.back();
    std::vector<int> selected;
    for (int i = 0; i < screens.groups.count; ++i)
      if (screens.groups.selected[i]) selected.push_back(screens.groups.numberOfIndex[i]);
    EXPECT_EQ(selected, c.selectedNumbers) << c.groups.value_or("-");
  }
}

TEST_F(AnswersFixture, DestinationCancelAsksTheQuitQuestion) {
  struct Case {
    const char* topic;
    int mode;
    std::deque<MsgResult> quit;
    DialogOutcome outcome;
    const char* lastLine;
  };
  const Case cases[] = {
      {"DefaultDir", 3, {MsgResult::Yes}, DialogOutcome::Cancel, "-> Cancel"},
      {"Dir2", 1, {MsgResult::Yes}, DialogOutcome::Cancel, "-> Cancel"},
      {"Dir3", 2, {MsgResult::Yes}, DialogOutcome::Cancel, "-> Cancel"},
      // Quit=No would keep the dialog open for ever.
      {"DefaultDir", 3, {MsgResult::No}, DialogOutcome::Failed, "cancelled"},
  };
  for (const Case& c : cases) {
    ui.file.clear();
    ui.file[answerKey(c.topic)] = "cancel";
    ui.boxes.clear();
    ui.lines.clear();
    made.clear();
    ui.boxAnswers = c.quit;
    DestinationRecord record;
    record.mode = c.mode;
    record.path = "C:\\NEWFILES";
    DestinationRequest r = prepareDestination(record, texts);
    EXPECT_EQ(runDestinationDialog(ui, texts, r, maker, c.topic), c.outcome) << c.topic;
    ASSERT_EQ(ui.boxes.size(), 1u) << c.topic;
    EXPECT_EQ(ui.boxes[0].text, "Do you wish to quit?");
    EXPECT_EQ(ui.boxes[0].topic, "Quit");
    EXPECT_TRUE(made.empty()) << "a cancelled destination makes no directory";
    EXPECT_EQ(r.path, "C:\\NEWFILES");
    ASSERT_FALSE(ui.lines.empty());
    EXPECT_NE(ui.lines.back().find(c.lastLine), std::string::npos) << ui.lines.back();
  }
  // A directory of that name is still reachable with its drive written out.
  ui.file.clear();
  ui.file["DefaultDir"] = "D:\\CANCEL";
  std::string chosen;
  EXPECT_EQ(destination(1, "C:\\NEWFILES", chosen), DialogOutcome::Ok);
  EXPECT_EQ(chosen, "C:\\CANCEL");
}

// One request as promptForDisk makes it.
DiskRequest diskRequest(std::string message, int kind, std::string label = "",
                        std::string missing = "", bool repeated = false) {
  DiskRequest r;
  r.message = std::move(message);
  r.root = "A:\\";
  r.kind = kind;
  r.expectedLabel = std::move(label);
  r.missingFile = std::move(missing);
  r.repeated = repeated;
  return r;
}

TEST_F(AnswersFixture, DiskRequestsThatCanNeverBeMetEndTheRun) {
  const DiskRequest labelled = diskRequest("Please insert Disk 2", 2, "DISK2");
  const DiskRequest labelledAgain = diskRequest("Please insert Disk 2", 2, "DISK2", "", true);
  const DiskRequest plain = diskRequest("Please insert the next disk", 1);
  const std::string missingText =
      "File not found on the installation disk: NOWHERE.TXT. Please insert Disk 2";
  const DiskRequest missing = diskRequest(missingText, 1, "", "NOWHERE.TXT");
  const DiskRequest otherMissing = diskRequest(
      "File not found on the installation disk: LATE.TXT. Please insert Disk 2", 1, "", "LATE.TXT");
  constexpr int kNoInserter = -1;
  using A = DiskAnswer;
  struct Case {
    const char* name;
    std::optional<std::string> disks;
    int media;  // media left to insert, or kNoInserter (a real machine)
    std::vector<DiskRequest> asked;
    std::vector<DiskAnswer> answers;
    const char* why;  // in the last trace line when the run ends
  };
  const Case cases[] = {
      {"real machine: the file stays missing",
       "Yes",
       kNoInserter,
       {missing, missing},
       {A::Inserted, A::Failed},
       "NOWHERE.TXT is on no disk"},
      {"default answer behaves as Yes",
       std::nullopt,
       kNoInserter,
       {missing, missing},
       {A::Inserted, A::Failed},
       "NOWHERE.TXT"},
      {"last medium in, file still missing",
       "Yes",
       1,
       {missing, missing},
       {A::Inserted, A::Failed},
       "NOWHERE.TXT"},
      {"one more medium for the repeat",
       "Yes",
       2,
       {missing, missing, missing},
       {A::Inserted, A::Inserted, A::Failed},
       "NOWHERE.TXT"},
      {"media left: the file may be on the next",
       "Yes",
       5,
       {missing, missing, missing},
       {A::Inserted, A::Inserted, A::Inserted},
       nullptr},
      {"merged source: the file is on no disk",
       "Merged",
       kNoInserter,
       {missing, missing},
       {A::Present, A::Failed},
       "every disk is in the source folder"},
      {"merged source, new requests",
       "Merged",
       kNoInserter,
       {labelled, plain, labelled},
       {A::Present, A::Present, A::Present},
       nullptr},
      {"another missing file is a new request",
       "Yes",
       kNoInserter,
       {missing, otherMissing},
       {A::Inserted, A::Inserted},
       nullptr},
      {"two disks with one description",
       "Yes",
       kNoInserter,
       {plain, plain, plain},
       {A::Inserted, A::Inserted, A::Inserted},
       nullptr},
      {"real machine: wrong label",
       "Yes",
       kNoInserter,
       {labelled, labelledAgain},
       {A::Inserted, A::Failed},
       "the disk labelled DISK2 never came"},
      {"wrong label, no medium left",
       "Yes",
       2,
       {labelled, labelledAgain, labelledAgain},
       {A::Inserted, A::Inserted, A::Failed},
       "DISK2 never came"},
      {"waited for: a wrong medium, then no other came",
       "Wait",
       2,
       {labelled, labelledAgain, labelledAgain},
       {A::Inserted, A::Inserted, A::Failed},
       "DISK2 never came"},
      {"refused and quit refused",
       "No",
       kNoInserter,
       {labelled, labelledAgain},
       {A::Cancel, A::Failed},
       "refused"},
      {"refused with media left", "No", 5, {missing, missing}, {A::Cancel, A::Failed}, "refused"},
      {"labelled disk in, its package volume still missing",
       "Yes",
       kNoInserter,
       {diskRequest("Please insert Disk 3", 2, "DISK3", "LEDGER.PA1"),
        diskRequest("Please insert Disk 3", 2, "DISK3", "LEDGER.PA1")},
       {A::Inserted, A::Failed},
       "LEDGER.PA1 is on no disk"},
  };
  for (const Case& c : cases) {
    ui.file.clear();
    if (c.disks) ui.file["Disks"] = *c.disks;
    ui.lines.clear();
    DialogAnswers answers{[&](const std::string& key) -> std::optional<std::string> {
                            auto it = ui.file.find(key);
                            if (it == ui.file.end()) return std::nullopt;
                            return it->second;
                          },
                          [&](const std::string& line) { ui.lines.push_back(line); }};
    int left = c.media;
    int inserts = 0;
    size_t linesWhenAsked = 0;
    // The drive is noted before the prompt's trace line, which a changer waits for.
    answers.setDiskAsked([&](const std::string&) { linesWhenAsked = ui.lines.size(); });
    if (c.media != kNoInserter)
      answers.setDiskInserter([&](const std::string& root) {
        EXPECT_EQ(root, "A:\\");
        EXPECT_EQ(linesWhenAsked + 1, ui.lines.size()) << c.name;
        ++inserts;
        return left > 0 && left-- > 0;
      });
    std::vector<DiskAnswer> got;
    for (const DiskRequest& r : c.asked) got.push_back(answers.disk(r));
    EXPECT_EQ(got, c.answers) << c.name;
    if (c.media != kNoInserter && c.disks != std::string("No")) {
      EXPECT_EQ(inserts, static_cast<int>(c.asked.size())) << c.name;
    } else {
      EXPECT_EQ(inserts, 0) << c.name << ": refused or merged disks are not inserted";
    }
    ASSERT_FALSE(ui.lines.empty()) << c.name;
    if (c.why) {
      EXPECT_NE(ui.lines.back().find(c.why), std::string::npos)
          << c.name << ": " << ui.lines.back();
      EXPECT_NE(ui.lines.back().find("exit code 3"), std::string::npos) << c.name;
    } else {
      EXPECT_EQ(ui.lines.back().find("exit code 3"), std::string::npos) << c.name;
    }
  }
}

TEST_F(AnswersFixture, EndlessMediaStillEndAfterTheLimit) {
  // An inserter that always finds another medium cannot keep a request going for ever.
  ui.answers.setDiskInserter([](const std::string&) { return true; });
  DiskRequest again = diskRequest("Please insert Disk 2", 2, "DISK2");
  int asks = 0;
  while (ui.answers.disk(again) == DiskAnswer::Inserted && asks < 100) {
    again.repeated = true;
    ++asks;
  }
  EXPECT_EQ(asks, DialogAnswers::kMaxDiskRepeats);
}

// The drive of a simulated machine: the media that can still go in, each with its label and
// files.
class MediaSystem : public testing::MemorySystem {
 public:
  struct Medium {
    std::string label;
    std::vector<std::string> files;
  };
  std::vector<Medium> media;
  size_t in = 0;
  bool insertNext() {
    if (in + 1 >= media.size()) return false;
    ++in;
    return true;
  }
  bool holds(const std::string& file) const {
    const auto& files = media[in].files;
    return std::find(files.begin(), files.end(), file) != files.end();
  }
  std::optional<std::string> volumeLabel(const std::string&) override { return media[in].label; }
};

TEST_F(AnswersFixture, MissingFileLoopEndsOnTheSimulatedDrive) {
  // What the copy does for a file it cannot find: ask for the disk, look again, until the file
  // is there or the prompt gives up.
  struct Case {
    const char* name;
    std::string disks;
    bool inserter;
    DiskEntry entry;
    std::string file;
    int result;
    size_t diskIn;
  };
  const Case cases[] = {
      {"on the next disk", "Yes", true, {"Disk 2", "", 1}, "LATE.TXT", kDiskReady, 2},
      {"on no disk", "Yes", true, {"Disk 2", "", 1}, "NOWHERE.TXT", kDiskFailed, 2},
      {"on no disk, labelled", "Yes", true, {"Disk 2", "DISK2", 2}, "NOWHERE.TXT", kDiskFailed, 2},
      {"real machine", "Yes", false, {"Disk 2", "", 1}, "LATE.TXT", kDiskFailed, 1},
      {"merged", "Merged", true, {"Disk 2", "DISK2", 2}, "NOWHERE.TXT", kDiskFailed, 1},
  };
  for (const Case& c : cases) {
    MediaSystem sys;
    sys.media = {{"DISK2", {"TWO.TXT"}}, {"DISK3", {"LATE.TXT"}}};
    AnsweringUi answering;
    answering.file["Disks"] = c.disks;
    if (c.inserter)
      answering.answers.setDiskInserter([&](const std::string&) { return sys.insertNext(); });
    int result = kDiskReady;
    int asks = 0;
    while (!sys.holds(c.file) && result == kDiskReady && asks++ < 50)
      result = promptForDisk(answering, sys, texts, &c.entry, &c.file, "A:\\SETUP");
    EXPECT_EQ(result, c.result) << c.name;
    EXPECT_LT(asks, 10) << c.name;
    EXPECT_EQ(sys.in + 1, c.diskIn) << c.name;
  }
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
