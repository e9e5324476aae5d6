#include <gtest/gtest.h>

#include <climits>

#include "script/statement_handlers.h"
#include "sysconfig/statement_fixture_for_tests.h"

namespace qm {
namespace {

using testing::StatementFixture;

std::vector<std::string> texts(const std::vector<LineEntry>& entries) {
  std::vector<std::string> out;
  for (const LineEntry& e : entries) {
    EXPECT_TRUE(e.pending);
    out.push_back(e.text);
  }
  return out;
}

TEST(AutoexecStatement, OptionForms) {
  using V = std::vector<std::string>;
  struct Case {
    const char* line;
    int result;
    // A rejected line gives only its result; the rest is not looked at.
    unsigned mode = 0;
    bool addDestination = false, shareWanted = false;
    int files = 0, locks = 0;
    V paths = {}, added = {};
  } cases[] = {
      {"AUTOEXEC", 0, 1, false, false, 0, 0, {}, {}},
      {"AUTOEXEC ADDPATH", 0, 1, true, false, 0, 0, {}, {}},
      {"AUTOEXEC ASK, ADDPATH=\"c:\\app\"", 0, 2, false, false, 0, 0, {"c:\\app"}, {}},
      {"autoexec addpath = \"C:\\A\",AddPath=\"C:\\B\"",
       0,
       1,
       false,
       false,
       0,
       0,
       {"C:\\A", "C:\\B"},
       {}},
      {"AUTOEXEC SHARE", 0, 1, false, true, 0, 0, {}, {}},
      {"AUTOEXEC SHARE=\"/f: 2048 /l:40\"", 0, 1, false, true, 2048, 40, {}, {}},
      {"AUTOEXEC SHARE=\"/L:20\" ASK", 0, 2, false, true, 0, 20, {}, {}},
      {"AUTOEXEC ADD=\"SET TEMP=C:\\TEMP\" ADD=\"\"",
       0,
       1,
       false,
       false,
       0,
       0,
       {},
       {"SET TEMP=C:\\TEMP", ""}},
      {"AUTOEXEC ADDPATH=\"$DEFAULTDIR$\\BIN\"",
       0,
       1,
       false,
       false,
       0,
       0,
       {"$DEFAULTDIR$\\BIN"},
       {}},
      {"AUTOEXEC ADDPATH=\"$SOURCEDIR$\\BIN\"", 0, 1, false, false, 0, 0, {"A:\\BIN"}, {}},
      {"AUTOEXEC ADD", 1},
      {"AUTOEXEC ADD \"x\"", 1},
      {"AUTOEXEC ADD=x", 1},
      {"AUTOEXEC ADDPATH=\"C:\\APP", 1},
      {"AUTOEXEC SHARE=", 1},
      {"AUTOEXEC PATH=\"C:\\APP\"", 1},
      {"AUTOEXEC ASK=", 1},
  };
  for (const Case& c : cases) {
    StatementFixture f;
    f.macros.sourceDir = "A:";
    EXPECT_EQ(readAutoexecStatement(f.statement(c.line)), c.result) << c.line;
    if (c.result != 0) continue;
    const AutoexecRequest& r = f.state.config.autoexec;
    EXPECT_EQ(r.mode, c.mode) << c.line;
    EXPECT_EQ(r.addDestination, c.addDestination) << c.line;
    EXPECT_EQ(r.shareWanted, c.shareWanted) << c.line;
    EXPECT_EQ(r.shareFiles, c.files) << c.line;
    EXPECT_EQ(r.shareLocks, c.locks) << c.line;
    EXPECT_EQ(texts(r.pathEntries), c.paths) << c.line;
    EXPECT_EQ(texts(r.addedLines), c.added) << c.line;
  }
}

TEST(AutoexecStatement, StatementsAccumulateAndLaterShareValuesWin) {
  StatementFixture f;
  ASSERT_EQ(readAutoexecStatement(f.statement("AUTOEXEC ASK SHARE=\"/F:500 /L:9\" ADD=\"A\"")), 0);
  ASSERT_EQ(readAutoexecStatement(f.statement("AUTOEXEC SHARE=\"/F:100\" ADD=\"B\"")), 0);
  const AutoexecRequest& r = f.state.config.autoexec;
  EXPECT_EQ(r.mode, 2u);  // a plain statement does not undo an earlier ASK
  EXPECT_EQ(r.shareFiles, 100);
  EXPECT_EQ(r.shareLocks, 0);
  EXPECT_EQ(texts(r.addedLines), (std::vector<std::string>{"A", "B"}));
}

TEST(ConfigStatement, OptionForms) {
  struct Case {
    const char* line;
    int result;
    unsigned mode = 0;
    int files = 0, buffers = 0;
    std::vector<std::string> added = {};
  } cases[] = {
      {"CONFIG FILEMIN=30 BUFFERMIN=20", 0, 1, 30, 20, {}},
      {"config buffermin = -5", 0, 1, -1, -5, {}},
      {"CONFIG FILEMIN=abc", 0, 1, 0, -1, {}},
      {"CONFIG FILEMIN=99999999999", 0, 1, INT_MAX, -1, {}},
      {"CONFIG FILEMIN BOGUS \"x", 0, 1, -1, -1, {}},  // no "=": the rest is ignored
      {"CONFIG ASK, ADD=\"DEVICE=C:\\X.SYS\"", 0, 2, -1, -1, {"DEVICE=C:\\X.SYS"}},
      {"CONFIG", 0, 1, -1, -1, {}},
      {"CONFIG ADD", 1},
      {"CONFIG ADD \"x\"", 1},
      {"CONFIG FILES=30", 1},
      {"CONFIG ADD=\"x", 1},
  };
  for (const Case& c : cases) {
    StatementFixture f;
    EXPECT_EQ(readConfigStatement(f.statement(c.line)), c.result) << c.line;
    if (c.result != 0) continue;
    const ConfigRequest& r = f.state.config.config;
    EXPECT_EQ(r.mode, c.mode) << c.line;
    EXPECT_EQ(r.filesWanted, c.files) << c.line;
    EXPECT_EQ(r.buffersWanted, c.buffers) << c.line;
    EXPECT_EQ(texts(r.addedLines), c.added) << c.line;
  }
}

TEST(IniFileStatement, ArgumentForms) {
  struct Case {
    const char* line;
    int result;
    const char *section = "", *key = "", *value = "", *file = "";
    int mode = 0;
    bool add = false;
  } cases[] = {
      {"INIFILE \"windows\" \"load\" \"app.exe\"", 0, "windows", "load", "app.exe", "WIN.INI", 1,
       false},
      {"INIFILE \"boot\" \"drv\" \"x.drv\" SYSTEM.INI ADD", 0, "boot", "drv", "x.drv", "SYSTEM.INI",
       1, true},
      {"inifile \"s\" \"k\" \"v\" \"C:\\APP\\APP.INI\" ask overwrite add", 0, "s", "k", "v",
       "C:\\APP\\APP.INI", 2, true},
      {"INIFILE \"s\" \"k\"", 0, "s", "k", "", "WIN.INI", 1, false},
      {"INIFILE", 0, "", "", "", "WIN.INI", 1, false},
      {"INIFILE \"s\" \"k\" \"v\" ASK", 0, "s", "k", "v", "ASK", 1, false},  // fourth = file
      {"INIFILE \"s\" \"k\" \"$SOURCEDIR$\\X\" \"\"", 0, "s", "k", "A:\\X", "WIN.INI", 1, false},
      {"INIFILE \"s\" \"k\" \"v\" WIN.INI BOGUS", 1},
      {"INIFILE \"s\" \"k\" \"v\" WIN.INI ASK=", 1},
  };
  for (const Case& c : cases) {
    StatementFixture f;
    f.macros.sourceDir = "A:";
    EXPECT_EQ(readIniFileStatement(f.statement(c.line)), c.result) << c.line;
    const auto& list = f.state.config.iniEntries;
    ASSERT_EQ(list.size(), c.result == 0 ? 1u : 0u) << c.line;
    if (c.result != 0) continue;
    EXPECT_EQ(list[0].section, c.section) << c.line;
    EXPECT_EQ(list[0].key, c.key) << c.line;
    EXPECT_EQ(list[0].value, c.value) << c.line;
    EXPECT_EQ(list[0].file, c.file) << c.line;
    EXPECT_EQ(list[0].mode, c.mode) << c.line;
    EXPECT_EQ(list[0].add, c.add) << c.line;
  }
}

TEST(AddTextStatement, ArgumentFormsAndReadTimeReplacements) {
  struct Case {
    const char* line;
    int result;
    const char *text = "", *file = "", *position = "";
    bool replace = false;
  } cases[] = {
      {"ADDTEXT \"rem $LEFT$x$right$\" C:\\CONFIG.SYS", 0, "rem LxR", "C:\\CONFIG.SYS", "", false},
      {"ADDTEXT \"x\" \"C:\\A B\\f.txt\" \"$SEARCH$\" REPLACE", 0, "x", "C:\\A B\\f.txt", "12",
       true},
      {"ADDTEXT \"x\" f \"line $search$ and $SEARCH$\"", 0, "x", "f", "line 12 and 12", false},
      {"ADDTEXT \"x\" f \"device=*\" replace", 0, "x", "f", "device=*", true},
      {"ADDTEXT \"x\" f \"-1\" OTHER", 0, "x", "f", "-1", false},
      {"ADDTEXT \"x\" f REPLACE", 0, "x", "f", "", true},
      {"ADDTEXT \"$DEFAULTDIR$\\x\" f", 0, "$DEFAULTDIR$\\x", "f", "", false},
      {"ADDTEXT \"x\"", 1},
      {"ADDTEXT \"x\"  ", 1},
      {"ADDTEXT", 1},
  };
  for (const Case& c : cases) {
    StatementFixture f;
    f.macros.left = "L";
    f.macros.right = "R";
    f.macros.search = "12";
    EXPECT_EQ(readAddTextStatement(f.statement(c.line)), c.result) << c.line;
    const auto& list = f.state.config.textAdditions;
    ASSERT_EQ(list.size(), c.result == 0 ? 1u : 0u) << c.line;
    if (c.result != 0) continue;
    EXPECT_EQ(list[0].text, c.text) << c.line;
    EXPECT_EQ(list[0].file, c.file) << c.line;
    EXPECT_EQ(list[0].position, c.position) << c.line;
    EXPECT_EQ(list[0].replace, c.replace) << c.line;
  }
}

TEST(WinItemStatement, ArgumentOrderAndOptionComma) {
  struct Case {
    const char* line;
    const char *group, *command, *title, *workingDir, *iconFile, *iconIndex;
    int mode;
  } cases[] = {
      {"WINITEM \"Apps\"", "Apps", "", "", "", "", "", 0},
      {"WINITEM", "", "", "", "", "", "", 0},
      {"WINITEM \"Apps\" \"C:\\APP\\APP.EXE\" \"App\" \"C:\\APP\\\" \"C:\\APP\\APP.ICO\" 2", "Apps",
       "C:\\APP\\APP.EXE", "App", "C:\\APP\\", "C:\\APP\\APP.ICO", "2", 0},
      {"WINITEM \"Apps\" \"C:\\APP\\APP.EXE\" \"App\" \"C:\\APP\\APP.ICO\" 2", "Apps",
       "C:\\APP\\APP.EXE", "App", "", "C:\\APP\\APP.ICO", "2", 0},
      {"WINITEM \"Apps\" \"C:\\APP\\APP.EXE\" \"App\" \"C:\\APP\\\"", "Apps", "C:\\APP\\APP.EXE",
       "App", "C:\\APP\\", "", "", 0},
      {"WINITEM \"Apps\" \"c\" \"App\", replace", "Apps", "c", "App", "", "", "", 1},
      {"WINITEM \"Apps\",REMOVE", "Apps", "", "", "", "", "", 2},
      {"WINITEM \"Apps\" \"c\" \"t\",  Remove it", "Apps", "c", "t", "", "", "", 2},
      {"WINITEM \"Apps\" \"c\" \"t\", other", "Apps", "c", "t", "", "", "other", 0},
      // A comma inside a quoted text is not the option comma.
      {"WINITEM \"Add, Remove Programs\" \"c\" \"t\"", "Add, Remove Programs", "c", "t", "", "", "",
       0},
      {"WINITEM \"A, remove\" \"c\" \"t, Replace\", replace", "A, remove", "c", "t, Replace", "",
       "", "", 1},
  };
  for (const Case& c : cases) {
    StatementFixture f;
    EXPECT_EQ(readWinItemStatement(f.statement(c.line)), 0) << c.line;
    const auto& list = f.state.config.programItems;
    ASSERT_EQ(list.size(), 1u) << c.line;
    EXPECT_EQ(list[0].group, c.group) << c.line;
    EXPECT_EQ(list[0].command, c.command) << c.line;
    EXPECT_EQ(list[0].title, c.title) << c.line;
    EXPECT_EQ(list[0].workingDir, c.workingDir) << c.line;
    EXPECT_EQ(list[0].iconFile, c.iconFile) << c.line;
    EXPECT_EQ(list[0].iconIndex, c.iconIndex) << c.line;
    EXPECT_EQ(list[0].mode, c.mode) << c.line;
  }
}

TEST(ConfigStatements, TextsLongerThanTheirFieldAreRefused) {
  const std::string name(500, 'n');
  const std::string lines[] = {
      "INIFILE \"" + name + "\" \"k\" \"v\"",
      "INIFILE \"s\" \"k\" \"v\" \"" + name + "\"",
      "ADDTEXT \"x\" \"" + name + "\"",
      "ADDTEXT \"x\" f \"" + std::string(503, '1') + "\"",
      "WINITEM \"" + name + "\"",
      "WINITEM \"g\" \"c\" \"" + name + "\"",
  };
  for (const std::string& line : lines) {
    StatementFixture f;
    const std::string keyword = line.substr(0, 7);
    const int result = keyword == "INIFILE"   ? readIniFileStatement(f.statement(line))
                       : keyword == "ADDTEXT" ? readAddTextStatement(f.statement(line))
                                              : readWinItemStatement(f.statement(line));
    EXPECT_EQ(result, 1) << line.substr(0, 40);
    EXPECT_TRUE(f.state.config.iniEntries.empty() && f.state.config.textAdditions.empty() &&
                f.state.config.programItems.empty());
  }
  // The longest texts that fit are taken.
  StatementFixture f;
  EXPECT_EQ(readIniFileStatement(f.statement("INIFILE \"" + std::string(499, 's') + "\"")), 0);
}

}  // namespace
}  // namespace qm
