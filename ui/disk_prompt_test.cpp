#include "ui/disk_prompt.h"

#include <gtest/gtest.h>

#include "script/memory_system_for_tests.h"
#include "ui/scripted_ui_for_tests.h"

namespace qm {
namespace {

// A machine whose drive labels change as disks are "inserted".
class LabelledSystem : public testing::MemorySystem {
 public:
  std::deque<std::optional<std::string>> labels;  // one per label read; last one repeats
  std::vector<std::string> roots;
  std::optional<std::string> volumeLabel(const std::string& root) override {
    roots.push_back(root);
    if (labels.empty()) return std::nullopt;
    auto label = labels.front();
    if (labels.size() > 1) labels.pop_front();
    return label;
  }
};

TEST(DiskMessage, NamesTheFileUnlessTheLabelIsChecked) {
  DialogTexts texts;
  DiskEntry plain{"Disk 2", "", 1};
  DiskEntry labelled{"Disk 3", "DISK3", 2};
  DiskEntry silent{"Disk 4", "", 0};
  std::string file = "APP.EXE";
  EXPECT_EQ(diskMessage(texts, &plain, nullptr), "Please insert Disk 2");
  EXPECT_EQ(diskMessage(texts, &plain, &file),
            "File not found on the installation disk: APP.EXE. Please insert Disk 2");
  EXPECT_EQ(diskMessage(texts, &labelled, &file), "Please insert Disk 3");
  EXPECT_EQ(diskMessage(texts, &silent, nullptr), "Please insert the next disk");
  EXPECT_EQ(diskMessage(texts, nullptr, &file),
            "File not found on the installation disk: APP.EXE. Please insert the next disk");
}

TEST(PromptForDisk, ResultsByKindAndAnswer) {
  DiskEntry labelled{"Disk 2", "DISK2", 2};
  DiskEntry plain{"Disk 2", "", 1};
  DiskEntry silent{"Disk 2", "", 0};
  struct Case {
    const char* name;
    const DiskEntry* entry;
    std::deque<DiskAnswer> answers;
    std::deque<std::optional<std::string>> labels;
    std::deque<MsgResult> quit;
    int result;
    size_t asked;
  };
  const Case cases[] = {
      {"plain ok", &plain, {DiskAnswer::Inserted}, {}, {}, kDiskReady, 1},
      {"no entry", nullptr, {DiskAnswer::Inserted}, {}, {}, kDiskNone, 1},
      {"kind 0", &silent, {DiskAnswer::Inserted}, {}, {}, kDiskNone, 1},
      {"label any case", &labelled, {DiskAnswer::Inserted}, {"disk2"}, {}, kDiskReady, 1},
      {"wrong then right",
       &labelled,
       {DiskAnswer::Inserted, DiskAnswer::Inserted},
       {"DISK1", "DISK2"},
       {},
       kDiskReady,
       2},
      {"unreadable label",
       &labelled,
       {DiskAnswer::Inserted, DiskAnswer::Inserted},
       {std::nullopt, "DISK2"},
       {},
       kDiskReady,
       2},
      {"merged source", &labelled, {DiskAnswer::Present}, {"OTHER"}, {}, kDiskReady, 1},
      {"quit", &plain, {DiskAnswer::Cancel}, {}, {MsgResult::Yes}, kDiskQuit, 1},
      {"quit refused",
       &plain,
       {DiskAnswer::Cancel, DiskAnswer::Inserted},
       {},
       {MsgResult::No},
       kDiskReady,
       2},
      {"unattended stuck",
       &labelled,
       {DiskAnswer::Inserted, DiskAnswer::Failed},
       {"DISK9"},
       {},
       kDiskFailed,
       2},
  };
  for (const Case& c : cases) {
    ScriptedUi ui;
    LabelledSystem sys;
    ui.diskAnswers = c.answers;
    ui.boxAnswers = c.quit;
    sys.labels = c.labels;
    EXPECT_EQ(promptForDisk(ui, sys, DialogTexts{}, c.entry, nullptr, "E:\\SETUP"), c.result)
        << c.name;
    EXPECT_EQ(ui.diskRequests.size(), c.asked) << c.name;
    EXPECT_EQ(ui.beeps, 1) << c.name;
    for (const std::string& root : sys.roots) EXPECT_EQ(root, "E:\\") << c.name;
  }
}

TEST(PromptForDisk, TellsTheViewWhatIsAskedAgain) {
  // A view answering unattended can only tell a disk that never comes from a new request by
  // these marks.
  struct Case {
    const char* name;
    DiskEntry entry;
    const char* file;
    std::deque<DiskAnswer> answers;
    std::deque<std::optional<std::string>> labels;
    std::deque<MsgResult> quit;
    std::vector<bool> repeated;
  };
  const Case cases[] = {
      {"one ask", {"Disk 2", "", 1}, "LATE.TXT", {DiskAnswer::Inserted}, {}, {}, {false}},
      {"wrong label",
       {"Disk 2", "DISK2", 2},
       nullptr,
       {DiskAnswer::Inserted, DiskAnswer::Inserted, DiskAnswer::Inserted},
       {"DISK3", "DISK3", "DISK2"},
       {},
       {false, true, true}},
      {"quit refused",
       {"Disk 2", "", 1},
       "LATE.TXT",
       {DiskAnswer::Cancel, DiskAnswer::Inserted},
       {},
       {MsgResult::No},
       {false, true}},
  };
  for (const Case& c : cases) {
    ScriptedUi ui;
    LabelledSystem sys;
    ui.diskAnswers = c.answers;
    ui.boxAnswers = c.quit;
    sys.labels = c.labels;
    std::string file = c.file ? c.file : "";
    EXPECT_EQ(promptForDisk(ui, sys, DialogTexts{}, &c.entry, c.file ? &file : nullptr, "A:\\"),
              kDiskReady)
        << c.name;
    std::vector<bool> repeated;
    for (const DiskRequest& r : ui.diskRequests) {
      repeated.push_back(r.repeated);
      EXPECT_EQ(r.missingFile, file) << c.name;
      EXPECT_EQ(r.message, ui.diskRequests[0].message) << c.name;
    }
    EXPECT_EQ(repeated, c.repeated) << c.name;
  }
}

TEST(MediumWatch, WaitsForAnotherMediumNotedFromTheAskOn) {
  LabelledSystem fs;
  fs.labels = {"DISK1"};
  int pauses = 0;
  MediumWatch watch(
      fs,
      [&] {
        if (++pauses == 3) fs.labels = {"DISK2"};
      },
      5);
  watch.asked("A:\\");
  EXPECT_TRUE(watch.waitForOther("A:\\"));
  EXPECT_EQ(pauses, 4) << "seen at the third look, one more to let the drive settle";
  // Nobody swaps again: DISK2 stays, and the watch gives up after its polls.
  EXPECT_FALSE(watch.waitForOther("A:\\"));
  EXPECT_EQ(pauses, 9);
  // A swap made between the ask and the wait (the changer was quick) still counts.
  watch.asked("A:\\");
  fs.labels = {"DISK3"};
  EXPECT_TRUE(watch.waitForOther("A:\\"));
  EXPECT_EQ(pauses, 11);
}

}  // namespace
}  // namespace qm
