// The text edits on a simulated machine: backups, questions, install-log lines, INI entries,
// text additions, and what every write failure leaves behind.
#include "sysconfig/text_edits.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "engine/engine_fixture_for_tests.h"

namespace qm {
namespace {

using testing::EngineFixture;

std::vector<std::string> logLines(EngineFixture& f, const char* kind) {
  std::vector<std::string> out;
  const std::string text = f.log();
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find("\r\n", start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (line.rfind(kind, 0) == 0 || (std::string(kind) == "INI" && line.rfind("FILE:", 0) == 0))
      out.push_back(line);
    start = end + 2;
  }
  return out;
}

const char* const kAutoexec =
    "@ECHO OFF\r\nPROMPT $p$g\r\nPATH C:\\WINDOWS;C:\\DOS\r\nSET TEMP=C:\\TEMP\r\nWIN\r\n";

TEST(AutoexecEdit, BackupLogAndQuestion) {
  struct Case {
    const char* name;
    unsigned mode;
    MsgResult answer;
    bool asked;
    bool kept;
  };
  const Case cases[] = {
      {"no question", 1, MsgResult::Yes, false, true},
      {"asked, Yes", 2, MsgResult::Yes, true, true},
      {"asked, No", 2, MsgResult::No, true, false},
  };
  const std::string edited =
      "@ECHO OFF\r\nPROMPT $p$g\r\nPATH C:\\APP;C:\\WINDOWS;C:\\DOS\r\nSET TEMP=C:\\TEMP\r\n"
      "SET APP=C:\\APP\r\nWIN\r\n";
  for (const Case& c : cases) {
    EngineFixture f;
    f.settleDestination();
    f.sim.writeFile("C:\\AUTOEXEC.BAT", kAutoexec);
    f.sim.writeFile("C:\\AUTOEXEC.BAK", "stale");
    AutoexecRequest& r = f.state.config.autoexec;
    r.mode = c.mode;
    r.addDestination = true;
    r.addedLines.push_back({true, "SET APP=$DEFAULTDIR$"});
    f.ui.answers.push_back(c.answer);
    editAutoexecFile(f.engine);
    EXPECT_EQ(f.sim.readFile("C:\\AUTOEXEC.BAT"), c.kept ? edited : kAutoexec) << c.name;
    EXPECT_EQ(f.sim.readFile("C:\\AUTOEXEC.BAK"), kAutoexec) << c.name;
    // The lines stay in the log even when the change is declined.
    EXPECT_EQ(logLines(f, "AUTOEXEC"),
              (std::vector<std::string>{
                  "AUTOEXEC: \"PATH C:\\WINDOWS;C:\\DOS\", \"PATH C:\\APP;C:\\WINDOWS;C:\\DOS\"",
                  "AUTOEXEC: \"\", \"SET APP=C:\\APP\""}))
        << c.name;
    ASSERT_EQ(f.ui.boxes.size(), c.asked ? 1u : 0u) << c.name;
    if (c.asked) {
      EXPECT_EQ(f.ui.boxes[0].text, "Do you wish this program to modify your AUTOEXEC.BAT?");
      EXPECT_EQ(f.ui.boxes[0].topic, "Autoexec");
      EXPECT_EQ(f.ui.boxes[0].caption, "");
      EXPECT_EQ(f.ui.boxes[0].icon, MsgIcon::Question);
      EXPECT_EQ(f.ui.boxes[0].buttons, MsgButtons::YesNo);
    }
  }
}

TEST(AutoexecEdit, NothingToChangeAsksNothingButRefreshesTheBackup) {
  EngineFixture f;
  f.settleDestination();
  f.sim.writeFile("C:\\AUTOEXEC.BAT", "PATH C:\\APP\nWIN");
  f.state.config.autoexec.mode = 2;
  f.state.config.autoexec.pathEntries.push_back({true, "C:\\APP"});
  editAutoexecFile(f.engine);
  EXPECT_TRUE(f.ui.boxes.empty());
  // Written back as it was: the lone line feed stays one.
  EXPECT_EQ(f.sim.readFile("C:\\AUTOEXEC.BAT"), "PATH C:\\APP\nWIN");
  EXPECT_EQ(f.sim.readFile("C:\\AUTOEXEC.BAK"), "PATH C:\\APP\nWIN");
  EXPECT_TRUE(logLines(f, "AUTOEXEC").empty());
}

TEST(AutoexecEdit, MissingFileOnTheBootDriveIsCreatedWithTheAdditions) {
  EngineFixture f(
      "[Machine]\nWindowsDir=C:\\WINDOWS\nSystemDir=C:\\WINDOWS\\SYSTEM\nTempDir=C:\\TEMP\n"
      "[Drives]\nA=fixed a\nC=fixed c\n");
  f.settleDestination();
  f.startup.bootDrive = 'A';
  f.state.config.autoexec.mode = 1;
  f.state.config.autoexec.shareWanted = true;
  editAutoexecFile(f.engine);
  EXPECT_EQ(f.sim.readFile("A:\\AUTOEXEC.BAT"), "SHARE\r\n");
  EXPECT_FALSE(f.sim.exists("A:\\AUTOEXEC.BAK"));
  EXPECT_FALSE(f.sim.exists("C:\\AUTOEXEC.BAT"));
  EXPECT_EQ(logLines(f, "AUTOEXEC"), std::vector<std::string>{"AUTOEXEC: \"\", \"SHARE\""});
}

TEST(ConfigEdit, DeclinedChangePutsTheOldFileBack) {
  EngineFixture f;
  f.settleDestination();
  const std::string config = "DEVICE=C:\\DOS\\HIMEM.SYS\r\nFILES=20\r\nBUFFERS=15\r\n";
  f.sim.writeFile("C:\\CONFIG.SYS", config);
  f.state.config.config.mode = 2;
  f.state.config.config.filesWanted = 40;
  f.ui.answers.push_back(MsgResult::No);
  editConfigFile(f.engine);
  EXPECT_EQ(f.sim.readFile("C:\\CONFIG.SYS"), config);
  EXPECT_EQ(f.sim.readFile("C:\\CONFIG.BAK"), config);
  ASSERT_EQ(f.ui.boxes.size(), 1u);
  EXPECT_EQ(f.ui.boxes[0].text, "Do you wish this program to modify file CONFIG.SYS?");
  EXPECT_EQ(f.ui.boxes[0].topic, "Config");
  EXPECT_EQ(logLines(f, "CONFIG"), std::vector<std::string>{"CONFIG: \"FILES=20\", \"FILES=40\""});
}

struct IniCase {
  const char* name;
  const char* before;  // WIN.INI's text; nullptr: no such file
  IniEntry entry;
  const char* after;
  std::vector<std::string> log;
};

IniEntry ini(const char* section, const char* key, const char* value, const char* file = "WIN.INI",
             bool add = false, int mode = 1) {
  IniEntry e;
  e.section = section;
  e.key = key;
  e.value = value;
  e.file = file;
  e.add = add;
  e.mode = mode;
  return e;
}

TEST(IniEntries, ChangesAndTheirLogLines) {
  const char* const win = "[windows]\r\nload=a.exe\r\nrun=\r\n[Desktop]\r\nWallpaper=(None)\r\n";
  const IniCase cases[] = {
      {"new key",
       win,
       ini("windows", "Beep", "yes"),
       "[windows]\r\nload=a.exe\r\nrun=\r\nBeep=yes\r\n[Desktop]\r\nWallpaper=(None)\r\n",
       {"INIFILE: \"windows\", \"Beep\", \"yes\", \"WIN.INI\""}},
      {"replaced value",
       win,
       ini("Desktop", "Wallpaper", "$DEFAULTDIR$\\APP.BMP"),
       "[windows]\r\nload=a.exe\r\nrun=\r\n[Desktop]\r\nWallpaper=C:\\APP\\APP.BMP\r\n",
       {"INIFILE: \"Desktop\", \"Wallpaper\", \"C:\\APP\\APP.BMP\", \"WIN.INI\", \"(None)\""}},
      {"same value in another case", win, ini("WINDOWS", "LOAD", "A.EXE"), win, {}},
      {"word added",
       win,
       ini("windows", "load", "c.exe", "WIN.INI", true),
       "[windows]\r\nload=a.exe c.exe\r\nrun=\r\n[Desktop]\r\nWallpaper=(None)\r\n",
       {"INIFILE: \"windows\", \"load\", \"c.exe\", \"WIN.INI\", \"a.exe c.exe\""}},
      {"word already there", win, ini("windows", "load", "A.EXE", "WIN.INI", true), win, {}},
      {"word added to a missing key",
       win,
       ini("windows", "device", "x", "WIN.INI", true),
       "[windows]\r\nload=a.exe\r\nrun=\r\ndevice=x\r\n[Desktop]\r\nWallpaper=(None)\r\n",
       {"INIFILE: \"windows\", \"device\", \"x\", \"WIN.INI\""}},
      {"new section",
       win,
       ini("Tool", "Dir", "C:\\APP"),
       "[windows]\r\nload=a.exe\r\nrun=\r\n[Desktop]\r\nWallpaper=(None)\r\n[Tool]\r\n"
       "Dir=C:\\APP\r\n",
       {"INIFILE: \"Tool\", \"Dir\", \"C:\\APP\", \"WIN.INI\"", "INIFILE: \"Tool\", \"WIN.INI\""}},
      {"empty value replaces",
       win,
       ini("windows", "load", ""),
       "[windows]\r\nload=\r\nrun=\r\n[Desktop]\r\nWallpaper=(None)\r\n",
       {"INIFILE: \"windows\", \"load\", \"\", \"WIN.INI\", \"a.exe\""}},
      {"declined", win, ini("windows", "Beep", "yes", "WIN.INI", false, 2), win, {}},
  };
  for (const IniCase& c : cases) {
    EngineFixture f;
    f.settleDestination();
    f.sim.writeFile("C:\\WINDOWS\\WIN.INI", c.before);
    f.state.config.iniEntries.push_back(c.entry);
    f.ui.answers.push_back(MsgResult::No);
    applyIniEntries(f.engine);
    EXPECT_EQ(f.sim.readFile("C:\\WINDOWS\\WIN.INI"), c.after) << c.name;
    EXPECT_EQ(logLines(f, "INI"), c.log) << c.name;
  }
}

TEST(IniEntries, NewFileIsRecordedWithItsFullPathFirst) {
  EngineFixture f;
  f.settleDestination();
  f.state.config.iniEntries.push_back(ini("Options", "Dir", "$DEFAULTDIR$", "TOOL.INI", false, 2));
  f.state.config.iniEntries.push_back(ini("Options", "Sound", "1", "C:\\APP\\APP.INI"));
  f.ui.answers.push_back(MsgResult::Yes);
  applyIniEntries(f.engine);
  ASSERT_EQ(f.ui.boxes.size(), 1u);
  EXPECT_EQ(f.ui.boxes[0].text, "Do you wish this program to modify file TOOL.INI?");
  EXPECT_EQ(f.ui.boxes[0].topic, "IniFile");
  EXPECT_EQ(f.sim.readFile("C:\\WINDOWS\\TOOL.INI"), "[Options]\r\nDir=C:\\APP\r\n");
  EXPECT_EQ(f.sim.readFile("C:\\APP\\APP.INI"), "[Options]\r\nSound=1\r\n");
  EXPECT_EQ(
      logLines(f, "INI"),
      (std::vector<std::string>{"FILE: \"C:\\WINDOWS\\TOOL.INI\"",
                                "INIFILE: \"Options\", \"Dir\", \"C:\\APP\", \"TOOL.INI\"",
                                "INIFILE: \"Options\", \"TOOL.INI\"", "FILE: \"C:\\APP\\APP.INI\"",
                                "INIFILE: \"Options\", \"Sound\", \"1\", \"C:\\APP\\APP.INI\"",
                                "INIFILE: \"Options\", \"C:\\APP\\APP.INI\""}));
}

TEST(IniEntries, LongValueIsExtendedWhole) {
  EngineFixture f;
  f.settleDestination();
  const std::string drivers(1500, 'd');
  f.sim.writeFile("C:\\WINDOWS\\SYSTEM.INI", "[boot]\r\ndrivers=" + drivers + "\r\n");
  f.state.config.iniEntries.push_back(ini("boot", "drivers", "x.drv", "SYSTEM.INI", true));
  applyIniEntries(f.engine);
  EXPECT_EQ(f.sim.readFile("C:\\WINDOWS\\SYSTEM.INI"),
            "[boot]\r\ndrivers=" + drivers + " x.drv\r\n");
}

TEST(IniEntries, RefusedWriteRecordsNothing) {
  EngineFixture f;
  f.settleDestination();
  f.sim.writeFile("C:\\WINDOWS\\LOCKED.INI", "[a]\r\nk=1\r\n", std::nullopt, kAttrReadOnly);
  f.state.config.iniEntries.push_back(ini("a", "k", "2", "LOCKED.INI"));
  f.state.config.iniEntries.push_back(ini("a", "k", "2", "NODIR\\NEW.INI"));
  applyIniEntries(f.engine);
  EXPECT_EQ(f.sim.readFile("C:\\WINDOWS\\LOCKED.INI"), "[a]\r\nk=1\r\n");
  EXPECT_TRUE(logLines(f, "INI").empty());
  EXPECT_EQ(std::count_if(f.ui.traced.begin(), f.ui.traced.end(),
                          [](const std::string& t) {
                            return t.find("could not be written") != std::string::npos;
                          }),
            2);
}

struct AddTextCase {
  const char* name;
  const char* before;  // nullptr: no such file
  const char* text;
  const char* position;
  bool replace;
  const char* after;
  std::vector<std::string> log;
};

TEST(TextAdditions, Positions) {
  const char* const five = "one\r\ntwo\r\nDEVICE=C:\\X.SYS\r\nfour\r\nfive\r\n";
  const AddTextCase cases[] = {
      {"line 1",
       five,
       "new",
       "1",
       false,
       "new\r\none\r\ntwo\r\nDEVICE=C:\\X.SYS\r\nfour\r\nfive\r\n",
       {"ADDTEXT: \"\", T.TXT, \"new\""}},
      {"line 3",
       five,
       "new",
       "3",
       false,
       "one\r\ntwo\r\nnew\r\nDEVICE=C:\\X.SYS\r\nfour\r\nfive\r\n",
       {"ADDTEXT: \"\", T.TXT, \"new\""}},
      {"-1 is after the last",
       five,
       "new",
       "-1",
       false,
       "one\r\ntwo\r\nDEVICE=C:\\X.SYS\r\nfour\r\nfive\r\nnew\r\n",
       {"ADDTEXT: \"\", T.TXT, \"new\""}},
      {"-2 is before the last",
       five,
       "new",
       "-2",
       false,
       "one\r\ntwo\r\nDEVICE=C:\\X.SYS\r\nfour\r\nnew\r\nfive\r\n",
       {"ADDTEXT: \"\", T.TXT, \"new\""}},
      {"-99 is the first",
       five,
       "new",
       "-99",
       false,
       "new\r\none\r\ntwo\r\nDEVICE=C:\\X.SYS\r\nfour\r\nfive\r\n",
       {"ADDTEXT: \"\", T.TXT, \"new\""}},
      {"99 is after the last",
       five,
       "new",
       "99",
       false,
       "one\r\ntwo\r\nDEVICE=C:\\X.SYS\r\nfour\r\nfive\r\nnew\r\n",
       {"ADDTEXT: \"\", T.TXT, \"new\""}},
      {"9999 is a line number too",
       five,
       "new",
       "9999",
       false,
       "one\r\ntwo\r\nDEVICE=C:\\X.SYS\r\nfour\r\nfive\r\nnew\r\n",
       {"ADDTEXT: \"\", T.TXT, \"new\""}},
      {"replace -1 is the last line",
       five,
       "new",
       "-1",
       true,
       "one\r\ntwo\r\nDEVICE=C:\\X.SYS\r\nfour\r\nnew\r\n",
       {"ADDTEXT: \"five\", T.TXT, \"new\""}},
      {"replace 2",
       five,
       "new",
       "2",
       true,
       "one\r\nnew\r\nDEVICE=C:\\X.SYS\r\nfour\r\nfive\r\n",
       {"ADDTEXT: \"two\", T.TXT, \"new\""}},
      {"after the first line a search with * matches",
       five,
       "new",
       "device=*",
       false,
       "one\r\ntwo\r\nDEVICE=C:\\X.SYS\r\nnew\r\nfour\r\nfive\r\n",
       {"ADDTEXT: \"\", T.TXT, \"new\""}},
      {"search with * replaced",
       five,
       "DEVICE=C:\\Y.SYS",
       "device=*",
       true,
       "one\r\ntwo\r\nDEVICE=C:\\Y.SYS\r\nfour\r\nfive\r\n",
       {"ADDTEXT: \"DEVICE=C:\\X.SYS\", T.TXT, \"DEVICE=C:\\Y.SYS\""}},
      {"whole-line search, any case",
       five,
       "new",
       "FOUR",
       false,
       "one\r\ntwo\r\nDEVICE=C:\\X.SYS\r\nfour\r\nnew\r\nfive\r\n",
       {"ADDTEXT: \"\", T.TXT, \"new\""}},
      {"unmatched search appends",
       five,
       "new",
       "nothing",
       false,
       "one\r\ntwo\r\nDEVICE=C:\\X.SYS\r\nfour\r\nfive\r\nnew\r\n",
       {"ADDTEXT: \"\", T.TXT, \"new\""}},
      {"unmatched search with replace changes nothing", five, "new", "nothing", true, five, {}},
      {"text already there", five, "TWO", "1", false, five, {}},
      {"replace joins text and old line",
       "SHARE\r\nWIN\r\n",
       "rem *",
       "share",
       true,
       "rem SHARE\r\nWIN\r\n",
       {"ADDTEXT: \"SHARE\", T.TXT, \"rem SHARE\""}},
      {"empty position finds the first empty line",
       "a\r\n\r\nb\r\n",
       "new",
       "",
       false,
       "a\r\n\r\nnew\r\nb\r\n",
       {"ADDTEXT: \"\", T.TXT, \"new\""}},
      {"last line gets its line end",
       "a\r\nb",
       "new",
       "-1",
       false,
       "a\r\nb\r\nnew\r\n",
       {"ADDTEXT: \"\", T.TXT, \"new\""}},
      {"new file",
       nullptr,
       "$DEFAULTDIR$",
       "",
       true,
       "C:\\APP\r\n",
       {"FILE: \"T.TXT\"", "ADDTEXT: \"\", T.TXT, \"C:\\APP\""}},
  };
  for (const AddTextCase& c : cases) {
    EngineFixture f;
    f.settleDestination();
    if (c.before) f.sim.writeFile("C:\\APP\\T.TXT", c.before);
    f.state.config.textAdditions.push_back(TextAddition{c.text, "T.TXT", c.position, c.replace});
    applyTextAdditions(f.engine);
    EXPECT_EQ(f.sim.readFile("C:\\APP\\T.TXT"), c.after) << c.name;
    std::vector<std::string> log = logLines(f, "ADDTEXT");
    for (const std::string& line : logLines(f, "FILE:")) log.insert(log.begin(), line);
    EXPECT_EQ(log, c.log) << c.name;
    EXPECT_FALSE(f.sim.exists("C:\\APP\\~Mirn.tmp")) << c.name;
  }
}

// Every write the edit makes fails in turn, the install log's among them (and the disk is full
// once): each file is then either exactly as before or exactly as a clean run leaves it, never
// missing or half written; a change stays only when every one of its log lines was written whole,
// and a change whose lines could not be written is undone and the log says it failed.
TEST(TextEdits, WriteFailuresLeaveOriginalsIntact) {
  struct Kind {
    const char* name;
    const char* path;
    const char* before;
    const char* logKind;
    std::function<void(EngineFixture&)> request;
    std::function<void(Engine&)> apply;
  };
  const Kind kinds[] = {
      {"autoexec", "C:\\AUTOEXEC.BAT", kAutoexec, "AUTOEXEC",
       [](EngineFixture& f) {
         f.state.config.autoexec.mode = 1;
         f.state.config.autoexec.pathEntries.push_back({true, "C:\\APP"});
         f.state.config.autoexec.addedLines.push_back({true, "SET APP=1"});
       },
       editAutoexecFile},
      {"config", "C:\\CONFIG.SYS", "FILES=20\r\nBUFFERS=10\r\n", "CONFIG",
       [](EngineFixture& f) {
         f.state.config.config.mode = 1;
         f.state.config.config.filesWanted = 40;
         f.state.config.config.addedLines.push_back({true, "DEVICE=C:\\APP\\APP.SYS"});
       },
       editConfigFile},
      {"ini", "C:\\WINDOWS\\SYSTEM.INI", "[boot]\r\nshell=progman.exe\r\n", "INI",
       [](EngineFixture& f) {
         f.state.config.iniEntries.push_back(ini("boot", "shell", "x", "SYSTEM.INI"));
       },
       applyIniEntries},
      {"addtext", "C:\\APP\\README.TXT", "first\r\nsecond\r\n", "ADDTEXT",
       [](EngineFixture& f) {
         f.state.config.textAdditions.push_back(TextAddition{"added", "README.TXT", "1", false});
       },
       applyTextAdditions},
  };
  for (const Kind& k : kinds) {
    // The clean run gives the one acceptable new text.
    EngineFixture clean;
    clean.settleDestination();
    clean.sim.writeFile(k.path, k.before);
    k.request(clean);
    k.apply(clean.engine);
    const std::string after = *clean.sim.readFile(k.path);
    ASSERT_NE(after, k.before) << k.name;
    // Every byte count around the file's own write, then steps through the log's writes; the
    // last round fills the disk instead.
    std::vector<size_t> budgets;
    for (size_t n = 0; n <= after.size() + 2; ++n) budgets.push_back(n);
    const size_t logged = after.size() + clean.log().size() + 8;
    for (size_t n = after.size() + 3; n <= logged; n += 5) budgets.push_back(n);
    const size_t diskFull = budgets.size();
    budgets.push_back(0);
    for (size_t round = 0; round < budgets.size(); ++round) {
      const size_t n = budgets[round];
      EngineFixture f;
      f.settleDestination();
      f.sim.writeFile(k.path, k.before);
      k.request(f);
      if (round == diskFull)
        f.sim.sys().setDiskFull('C', true);
      else
        f.sim.sys().failWritesAfter(n);
      k.apply(f.engine);
      f.sim.sys().clearFaults();
      const std::optional<std::string> now = f.sim.readFile(k.path);
      ASSERT_TRUE(now.has_value()) << k.name << " budget " << n;
      EXPECT_TRUE(*now == k.before || *now == after) << k.name << " budget " << n << ": " << *now;
      if (*now == k.before) {
        EXPECT_TRUE(logLines(f, k.logKind).empty() || f.engine.log.failed())
            << k.name << " budget " << n;
      } else {
        EXPECT_EQ(logLines(f, k.logKind), logLines(clean, k.logKind)) << k.name << " budget " << n;
        EXPECT_TRUE(f.log().size() >= 2 && f.log().substr(f.log().size() - 2) == "\r\n")
            << k.name << " budget " << n;
      }
      EXPECT_EQ(f.sim.sys().openFileCount(), 0) << k.name;
      for (const char* temp : {"C:\\APP\\~Mirn.tmp", "C:\\APP\\~Mirn.old",
                               "C:\\WINDOWS\\~qmprof.tmp", "C:\\WINDOWS\\~qmini.old"})
        EXPECT_FALSE(f.sim.exists(temp)) << k.name << " budget " << n;
    }
  }
}

}  // namespace
}  // namespace qm
