#include "ui/answers_ui.h"

#include <gtest/gtest.h>

#include "script/install_state.h"
#include "script/memory_system_for_tests.h"

namespace qm {
namespace {

class LinesSink : public TraceSink {
 public:
  std::vector<std::string> lines;
  void write(const std::string& line) override { lines.push_back(line); }
};

TEST(AnswersFile, ReadsKeysValuesAndComments) {
  std::string error;
  auto file = AnswersFile::parse(
      "\xEF\xBB\xBF; unattended\r\n[setup]\r\nDefaultDir=D:\\APPS\\TOOL      ; where\r\n"
      "  ask1 = Yes;really \r\nGroups=1,3\r\nDisks=merged\r\nOVERWRITE=no\r\n\r\nScreens=OK",
      "a.ini", error);
  ASSERT_TRUE(file) << error;
  EXPECT_EQ(file->get("DEFAULTDIR"), "D:\\APPS\\TOOL");
  EXPECT_EQ(file->get("Ask1"), "Yes;really");
  EXPECT_EQ(file->get("groups"), "1,3");
  EXPECT_EQ(file->get("DISKS"), "merged");
  EXPECT_EQ(file->get("Overwrite"), "no");
  EXPECT_EQ(file->get("Screens"), "OK");
  EXPECT_EQ(file->get("Reboot"), std::nullopt);
}

TEST(AnswersFile, ErrorsNameFileAndLine) {
  struct Case {
    const char* text;
    const char* error;
  };
  const Case cases[] = {
      {"[Setup]\nOverwrite=Maybe\n", "a.ini:2: Overwrite must be Yes or No, not \"Maybe\""},
      {"[Setup]\nDisks=Maybe\n", "a.ini:2: Disks must be Yes, No, Merged or Wait, not \"Maybe\""},
      {"[Setup]\nScreens=Yes\n", "a.ini:2: Screens must be OK or Cancel, not \"Yes\""},
      {"[Other]\n", "a.ini:1: unknown section [Other] (the answers file has one section, [Setup])"},
      {"Reboot=No\n", "a.ini:1: a key before the [Setup] section"},
      {"[Setup]\n\nRebot=No\n", "a.ini:3: unknown key \"Rebot\""},
      {"[Setup]\nQuit=No\nquit=Yes\n", "a.ini:3: \"quit\" is given twice"},
      {"[Setup]\nDefaultDir\n", "a.ini:2: expected Key=Value, found \"DefaultDir\""},
      {"[Setup]\nShow=On\n", "a.ini:2: Show must be Yes or No, not \"On\""},
      {"[Setup]\nShowDelay=1.5s\n",
       "a.ini:2: ShowDelay must be a number of milliseconds from 0 to 60000, not \"1.5s\""},
      {"[Setup]\nShowDelay=60001\n",
       "a.ini:2: ShowDelay must be a number of milliseconds from 0 to 60000, not \"60001\""},
      {"[Setup]\nShowDelay=\n",
       "a.ini:2: ShowDelay must be a number of milliseconds from 0 to 60000, not \"\""},
      {"[Setup]\nShowDelay=-5\n",
       "a.ini:2: ShowDelay must be a number of milliseconds from 0 to 60000, not \"-5\""},
      {"[Setup]\nDiskWait=soon\n",
       "a.ini:2: DiskWait must be a number of seconds from 0 to 86400, not \"soon\""},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_FALSE(AnswersFile::parse(c.text, "a.ini", error)) << c.text;
    EXPECT_EQ(error, c.error);
  }
  testing::MemorySystem sys;
  std::string error;
  EXPECT_FALSE(loadAnswersFile(sys, "C:\\NONE.INI", error));
  EXPECT_EQ(error, "C:\\NONE.INI: cannot open the answers file");
  sys.put("C:\\A.INI", "[Setup]\nReboot=Yes\n");
  sys.failReadsOf = "C:\\A.INI";
  EXPECT_FALSE(loadAnswersFile(sys, "C:\\A.INI", error));
  EXPECT_EQ(error, "C:\\A.INI: cannot read the answers file");
  sys.failReadsOf.clear();
  auto loaded = loadAnswersFile(sys, "C:\\A.INI", error);
  ASSERT_TRUE(loaded);
  EXPECT_EQ(loaded->get("Reboot"), "Yes");
}

TEST(AnswersFile, WatchedRunNeedsShowYesAndTakesItsDelay) {
  struct Case {
    const char* text;
    bool show;
    int delayMs;
  };
  const Case cases[] = {
      {"[Setup]\n", false, 0},
      {"[Setup]\nShowDelay=500\n", false, 0},  // a delay alone shows nothing
      {"[Setup]\nShow=No\nShowDelay=500\n", false, 0},
      {"[Setup]\nShow=yes\n", true, kDefaultShowDelayMs},
      {"[Setup]\nShow=Yes\nShowDelay=0\n", true, 0},
      {"[Setup]\nShow=Yes\nShowDelay=2500 ; for the screenshots\n", true, 2500},
      {"[Setup]\nShow=Yes\nShowDelay=60000\n", true, 60000},
  };
  for (const Case& c : cases) {
    std::string error;
    auto file = AnswersFile::parse(c.text, "a.ini", error);
    ASSERT_TRUE(file) << error;
    WatchSettings watch = watchSettings(*file);
    EXPECT_EQ(watch.show, c.show) << c.text;
    EXPECT_EQ(watch.delayMs, c.delayMs) << c.text;
  }
  // A file built in code skips the parser's check: an unreadable delay takes the default.
  AnswersFile set;
  set.set("Show", "Yes");
  set.set("ShowDelay", "9999999");
  EXPECT_EQ(watchSettings(set).delayMs, kDefaultShowDelayMs);
}

TEST(AnswersUi, BoxesAnsweredFromFileOrDefaultAndTraced) {
  AnswersFile file;
  file.set("Overwrite", "Yes");
  file.set("Reboot", "Yes");
  file.set("Quit", "No");
  file.set("Config", "No");
  LinesSink sink;
  AnswersUi ui(file, &sink);
  struct Case {
    std::string topic;
    MsgButtons buttons;
    MsgResult expected;
  };
  const Case cases[] = {
      {"", MsgButtons::Ok, MsgResult::Ok},
      {"", MsgButtons::OkCancel, MsgResult::Ok},
      {"", MsgButtons::YesNo, MsgResult::Yes},
      {"Overwrite", MsgButtons::YesNo, MsgResult::Yes},
      {"Reboot", MsgButtons::YesNo, MsgResult::Yes},
      {"Quit", MsgButtons::YesNo, MsgResult::No},
      {"Config", MsgButtons::YesNoCancel, MsgResult::No},
      {"Config", MsgButtons::OkCancel, MsgResult::Cancel},
      {"Autoexec", MsgButtons::YesNo, MsgResult::Yes},  // default Yes
      {"IniFile", MsgButtons::YesNo, MsgResult::Yes},   // default Yes
      {"Disks", MsgButtons::OkCancel, MsgResult::Ok},   // default Yes
  };
  for (const Case& c : cases) {
    MessageRequest box;
    box.text = "text";
    box.topic = c.topic;
    box.buttons = c.buttons;
    EXPECT_EQ(ui.messageBox(box), c.expected) << c.topic;
  }
  AnswersUi silent(AnswersFile{}, &sink);
  MessageRequest question;
  question.buttons = MsgButtons::YesNo;
  for (const char* topic : {"Overwrite", "Reboot"}) {
    question.topic = topic;
    EXPECT_EQ(silent.messageBox(question), MsgResult::No) << topic;
  }
  question.topic = "Quit";
  EXPECT_EQ(silent.messageBox(question), MsgResult::Yes);

  sink.lines.clear();
  MessageRequest info;
  info.text = "Invalid\r\ndirectory.";
  info.caption = " ";
  ui.messageBox(info);
  question.text = "Do you wish to reboot?";
  question.topic = "Reboot";
  silent.messageBox(question);
  ui.trace("phase: copy");
  EXPECT_EQ(sink.lines,
            (std::vector<std::string>{
                "message \" \": Invalid\r\ndirectory. -> OK",
                "message [Reboot] \"\": Do you wish to reboot? -> No (default)", "phase: copy"}));
}

TEST(AnswersUi, TraceFileAppendsOneLinePerEntry) {
  testing::MemorySystem sys;
  sys.put("C:\\RUN.LOG", "earlier run\n");
  FileTraceSink sink(sys, "C:\\RUN.LOG");
  sink.write("message: two\r\nlines");
  sink.write("second");
  EXPECT_EQ(sys.text("C:\\RUN.LOG"), "earlier run\nmessage: two lines\nsecond\n");
}

// A script with option groups 1 and 2, ASK1, DEFAULTDIR C:\APP asked by mode, and DIR2 only
// where a case says so; each answer either fits it or names its line and why it cannot.
TEST(AnswersThatCannotApply, AreNamedWithTheirLineBeforeTheRunStarts) {
  struct Case {
    const char* answers;
    int defaultDirMode;
    const char* problem;  // "" when every answer applies
  };
  const Case cases[] = {
      {"Groups=1,2\nAsk1=x\nDefaultDir=D:\\OTHER", 3, ""},
      {"Groups=1,2,13", 3,
       "a.ini:2: Groups=1,2,13 cannot apply: no group dialog of the script "
       "has a box numbered 13"},
      {"DefaultDir=C:\\APP", 0,
       "a.ini:2: DefaultDir=C:\\APP cannot apply: the script asks for "
       "no destination (NOASKDRIVE NOASKDIR)"},
      {"DefaultDir=D:\\APP", 2, ""},
      {"DefaultDir=C:\\ELSEWHERE", 2, "the directory stays \\APP"},
      {"DefaultDir=C:\\ELSEWHERE", 1, ""},
      {"DefaultDir=D:\\APP", 1, "the drive stays C:"},
      {"DefaultDir=Cancel", 2, ""},
      {"DIR2=C:\\DATA", 3, "DIR2=C:\\DATA cannot apply: the script has no such destination"},
      {"Ask2=yes", 3, "a.ini:2: Ask2=yes cannot apply: the script has no ASK2 statement"},
  };
  for (const Case& c : cases) {
    InstallState state;
    state.screens.groups.indexOfNumber[1] = 0;
    state.screens.groups.indexOfNumber[2] = 1;
    state.screens.ask[0] = AskRecord{};
    DestinationRecord dest;
    dest.mode = c.defaultDirMode;
    dest.path = "C:\\APP";
    state.settings.destinations[kDefaultDirIndex] = dest;
    std::string error;
    auto file = AnswersFile::parse(std::string("[Setup]\n") + c.answers, "a.ini", error);
    ASSERT_TRUE(file) << error;
    AnswersUi ui(std::move(*file), nullptr);
    std::string problem = inapplicableAnswer(state, ui);
    if (*c.problem == '\0')
      EXPECT_EQ(problem, "") << c.answers;
    else
      EXPECT_NE(problem.find(c.problem), std::string::npos) << c.answers << ": " << problem;
  }
}

}  // namespace
}  // namespace qm
