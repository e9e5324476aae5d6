#include "ui/progress_dialog.h"

#include <gtest/gtest.h>

#include "ui/scripted_ui_for_tests.h"

namespace qm {
namespace {

TEST(ProgressDialog, FilesThenKeepAlivesHalveTheirStep) {
  ProgressDialog p;
  p.open(4);
  p.update(true, -1, 0, false);
  p.update(true, -1, 0, false);
  EXPECT_EQ(p.percent(), 50);
  std::vector<int> seen;
  for (int i = 0; i < 5; ++i) {
    p.update(false, -1, 0, false);
    seen.push_back(p.percent());
  }
  EXPECT_EQ(seen, (std::vector<int>{62, 68, 71, 72, 72}));
  p.update(true, -1, 0, false);  // a finished file resets the step
  EXPECT_EQ(p.percent(), 75);
  p.update(false, -1, 0, false);
  EXPECT_EQ(p.percent(), 87);
}

TEST(ProgressDialog, BytePercentages) {
  struct Case {
    int64_t total, done;
    bool countFiles;
    int percent;
  };
  const Case cases[] = {
      {200000, 150000, false, 75},
      {200000, 250000, false, 100},
      {250, 100, false, 50},  // the coarse form for totals of 100 and more
      {50, 20, false, 40},    // below 100: done x 100 / total, no division by zero
      {1, 0, false, 0},
      {99, 99, false, 100},
      {200000, 150000, true, 25},  // compressed files: counted as files (1 of 4)
  };
  for (const Case& c : cases) {
    ProgressDialog p;
    p.open(4);
    p.update(true, c.total, c.done, c.countFiles);
    EXPECT_EQ(p.percent(), c.percent) << c.total << " " << c.done;
  }
}

TEST(ProgressDialog, NeverDividesByZeroOrPassesHundred) {
  ProgressDialog none;
  none.open(0);
  none.update(false, -1, 0, false);
  EXPECT_EQ(none.percent(), 0);
  none.update(true, -1, 0, false);
  EXPECT_EQ(none.percent(), 100);
  ProgressDialog one;
  one.open(1);
  one.update(true, -1, 0, false);
  one.update(true, -1, 0, false);  // more files than counted
  EXPECT_EQ(one.percent(), 100);
  for (int i = 0; i < 40; ++i) one.update(false, -1, 0, false);  // doubling stops in time
  EXPECT_EQ(one.percent(), 100);
}

TEST(ProgressDialog, FirstOpeningResetsLaterOnesKeep) {
  ProgressDialog p;
  p.open(2);
  p.update(true, -1, 0, false);
  p.open(2);
  EXPECT_EQ(p.percent(), 50);
  EXPECT_EQ(p.percentText(), " 50%");
  EXPECT_EQ(p.filledWidth(140), 70);
}

TEST(ProgressDialog, FileLineAndCancel) {
  ProgressDialog p;
  DialogTexts texts;
  p.showFile(texts, "c:\\apps\\t\xE9st.exe");
  EXPECT_EQ(p.promptLine(), "Installing file: ");
  EXPECT_EQ(p.fileLine(), "C:\\APPS\\T\xE9ST.EXE");  // ASCII letters only
  ScriptedUi ui;
  ui.boxAnswers = {MsgResult::No, MsgResult::Yes};
  EXPECT_FALSE(p.cancel(ui, texts));
  EXPECT_FALSE(p.abortRequested());
  EXPECT_TRUE(p.cancel(ui, texts));
  EXPECT_TRUE(p.abortRequested());
  EXPECT_EQ(ui.boxes[0].text, "Do you wish to quit?");
}

TEST(ProgressDialog, PlacementAndBarSplit) {
  EXPECT_EQ(progressPosition(800, 600, 270, 110, false, 0, 0), (WindowPoint{265, 245}));
  EXPECT_EQ(progressPosition(800, 600, 270, 110, true, 238, 64), (WindowPoint{265, 326}));
  EXPECT_EQ(progressSplit(30, 240, 0), 30);
  EXPECT_EQ(progressSplit(30, 240, 50), 135);
  EXPECT_EQ(progressSplit(30, 240, 100), 240);
  EXPECT_EQ(progressSplit(30, 240, 130), 240);
}

}  // namespace
}  // namespace qm
