#include "script/parser.h"

#include <gtest/gtest.h>

#include "script/parser_fixture_for_tests.h"

namespace qm {
namespace {

using testing::ParseRun;

std::string repeat(char c, size_t n) { return std::string(n, c); }

TEST(ParseLoop, SkippingAndErrorLines) {
  struct Case {
    const char* name;
    std::string script;
    int errorLine;  // 0: parses cleanly
  };
  const Case cases[] = {
      {"empty script", "", 0},
      {"blank lines, blanks and commas", "\n   \n , ,\t\n", 0},
      {"a lone unknown keyword", "FROBNICATE\n", 0},
      {"comments", "REM\nrem anything \"at all\nRem: x\n", 0},
      {"semicolon comment", "TITLE \"a\"\n; comment\n", 2},
      {"unknown keyword with argument", "TITLE \"a\"\n\nFROBNICATE now\n", 3},
      {"digit first", "3D=1\n", 1},
      {"ignored keywords", "SCREENFILLCHAR 1 2\nYesNoKey x\nescprompt \"x\"\n", 0},
      {"false branch is not examined", "IF false\nFROBNICATE x\n; junk\nENDIF\n", 0},
      {"IF inside a false branch", "IF false\nJUNK x\nIF true\nENDIF\n", 3},
      {"second ELSE", "IF true\nELSE\nELSE\nENDIF\n", 3},
      {"ELSE after a false IF then a second", "IF false\nELSE\nELSE\n", 3},
      {"ENDIF without IF", "TITLE \"x\"\nENDIF\n", 2},
      {"ELSE without IF", "ELSE\n", 1},
      {"no nesting: second ENDIF", "IF true\nIF false\nENDIF\nENDIF\n", 4},
      {"IF without condition", "IF\n", 1},
      {"bad condition", "REM\nIF bad\n", 2},
      {"false IF left open", "IF false\nTITLE \"x\"\n\n", 3},
      {"true IF left open is fine", "IF true\nTITLE \"x\"\n", 0},
      {"CR LF line ends", "TITLE \"a\"\r\nREM\r\nJUNK x\r\n", 3},
      {"last line without line feed", "REM\nJUNK x", 2},
      {"a 999-character line", "TITLE \"" + repeat('t', 991) + "\"\nJUNK x\n", 2},
      {"an over-long comment", "REM " + repeat('r', 3000) + "\nJUNK x\n", 2},
      {"an over-long statement", "REM\nTITLE \"" + repeat('t', 1200) + "\"\n", 2},
      {"a NUL inside a line ends it", std::string("TITLE \"a\"\0 junk\nJUNK x\n", 23), 2},
  };
  for (const Case& c : cases) {
    ParseRun run;
    int result = run.parse(c.script);
    EXPECT_EQ(result, c.errorLine ? 1 : 0) << c.name;
    EXPECT_EQ(run.errorLine(), c.errorLine) << c.name;
    EXPECT_EQ(run.state.syntaxError, c.errorLine != 0) << c.name;
  }
}

TEST(ParseLoop, ErrorBoxShowsTheLineWithoutOwner) {
  ParseRun run;
  EXPECT_EQ(run.parse("REM first\n  Junk here, too\nTITLE \"after\"\n"), 1);
  ASSERT_EQ(run.ui.boxes.size(), 1u);
  const MessageRequest& box = run.ui.boxes[0];
  EXPECT_EQ(box.caption, "Syntax error, line: 2");
  EXPECT_EQ(box.text, "  Junk here, too");
  EXPECT_FALSE(box.captionDefault);
  EXPECT_FALSE(box.owned);
  EXPECT_EQ(box.icon, MsgIcon::Warning);
  EXPECT_EQ(run.state.settings.title, "");  // nothing after the failing line is read
  EXPECT_EQ(run.macros.defaultDir, "");     // nor is the default destination worked out
}

TEST(ParseLoop, OpenIfIsReportedWithTheLastLineRead) {
  ParseRun run;
  EXPECT_EQ(run.parse("IF false\nTITLE \"x\"\nREM last one"), 1);
  ASSERT_EQ(run.ui.boxes.size(), 1u);
  EXPECT_EQ(run.ui.boxes[0].caption, "Syntax error, line: 3");
  EXPECT_EQ(run.ui.boxes[0].text, "REM last one");
}

TEST(ParseLoop, BranchesTakeTheirStatements) {
  struct Case {
    const char* script;
    const char* title;
  };
  const Case cases[] = {
      {"IF true\nTITLE \"yes\"\nELSE\nTITLE \"no\"\nENDIF\n", "yes"},
      {"IF false\nTITLE \"yes\"\nELSE\nTITLE \"no\"\nENDIF\n", "no"},
      {"IF false\nTITLE \"yes\"\nENDIF\nTITLE \"after\"\n", "after"},
      {"IF true\nIF false\nTITLE \"inner\"\nENDIF\n", ""},  // a new IF replaces the first
      // An exit message inside a false branch may hold ELSE lines of its own.
      {"IF false\nEXITMESSAGE\nELSE\nEXIT\nELSE\nTITLE \"t\"\nENDIF\n", "t"},
      {"if false\nexitmessage\nENDIF\nIF\nexit\nelse\ntitle \"lower\"\nendif\n", "lower"},
  };
  for (const Case& c : cases) {
    ParseRun run;
    EXPECT_EQ(run.parse(c.script), 0) << c.script;
    EXPECT_EQ(run.state.settings.title, c.title) << c.script;
  }
}

TEST(ParseLoop, CheckingRunReportsEveryError) {
  ParseRun run;
  run.collectErrors();
  EXPECT_EQ(run.parse("JUNK x\nTITLE \"ok\"\n;bad\nIF bad\nELSE\nENDIF\nENDIF\nIF false\n"), 1);
  std::vector<std::pair<int, std::string>> expected = {
      {1, "JUNK x"}, {3, ";bad"}, {4, "IF bad"}, {7, "ENDIF"}, {8, "IF false"}};
  EXPECT_EQ(run.errors, expected);
  EXPECT_EQ(run.state.settings.title, "ok");
  EXPECT_TRUE(run.ui.boxes.empty());
}

TEST(ParseLoop, StatementKeywordsInAnyCaseAndWithColon) {
  ParseRun run;
  EXPECT_EQ(run.parse("title: \"a\"\nOkPrompt \"Fine\"\nfontname,\"Arial\"\n"), 0);
  EXPECT_EQ(run.state.settings.title, "a");
  EXPECT_EQ(run.state.settings.prompts.ok, "Fine");
  EXPECT_EQ(run.state.settings.screenFont, "Arial");
}

TEST(DefaultDestination, FilledAtTheEndOfTheFirstPass) {
  struct Case {
    const char* script;
    const char* currentDir;
    char bootDrive;
    const char* defaultDir;
    const char* drive;
  };
  const Case cases[] = {
      {"", "D:\\WORK", 'C', "D:\\WORK", "D"},
      {"", "A:\\", 'C', "C:\\NEWFILES", "C"},  // started from the distribution's drive
      {"", "a:\\setup", 'A', "A:\\NEWFILES", "A"},
      {"DEFAULTDIR E:\\APP\n", "A:\\", 'C', "E:\\APP", "E"},
  };
  for (const Case& c : cases) {
    ParseRun run;
    run.sys.currentDir = c.currentDir;
    run.startup.bootDrive = c.bootDrive;
    EXPECT_EQ(run.parse(c.script), 0);
    EXPECT_EQ(run.macros.defaultDir, c.defaultDir) << c.currentDir;
    EXPECT_EQ(run.macros.defaultDrive, c.drive) << c.currentDir;
    EXPECT_FALSE(run.macros.defaultDir8.empty()) << c.currentDir;
  }
}

TEST(RunAtStart, StoredAsWrittenAndExpandedAtTheEnd) {
  ParseRun run;
  EXPECT_EQ(run.parse("RUNATSTART \"$DEFAULTDIR$\\pre.exe $SYSTEM$\"\nDEFAULTDIR D:\\APP\n"), 0);
  EXPECT_TRUE(run.state.settings.runAtStartPending);
  EXPECT_EQ(run.state.settings.runAtStart, "D:\\APP\\pre.exe ");

  for (const char* bad : {"RUNATSTART\n", "RUNATSTART \"\"\n", "RUNATSTART pre.exe\n"}) {
    ParseRun r;
    EXPECT_EQ(r.parse(bad), 1) << bad;
    EXPECT_FALSE(r.state.settings.runAtStartPending) << bad;
  }
}

TEST(IntroScreen, PathRuleAndSeconds) {
  struct Case {
    const char* script;
    const char* path;
    int seconds;
  };
  const Case cases[] = {
      {"INTROSCREEN intro.bmp 5", "A:\\DISK1\\intro.bmp", 5},
      {"INTROSCREEN \"\\PICS\\i.bmp\"", "\\PICS\\i.bmp", 0},
      {"INTROSCREEN \"D:i.bmp\" 0", "D:i.bmp", 0},
      {"INTROSCREEN \"$WINDIR$\\i.bmp\" 12", "C:\\WINDOWS\\i.bmp", 12},
      {"INTROSCREEN a.bmp 3\nINTROSCREEN b.bmp", "A:\\DISK1\\b.bmp", 0},  // the last one wins
  };
  for (const Case& c : cases) {
    ParseRun run;
    run.macros.sourceDir = "A:\\DISK1";
    EXPECT_EQ(run.parse(c.script), 0) << c.script;
    EXPECT_EQ(run.state.settings.introScreenPath, c.path) << c.script;
    EXPECT_EQ(run.state.settings.introScreenSeconds, c.seconds) << c.script;
  }
}

TEST(ParseScriptFile, OpensThroughTheSourceReader) {
  ParseRun run;
  Container container(run.sys);
  EXPECT_EQ(
      parseScript("A:\\SETUP.CFG", run.sys, run.ui, container, run.macros, run.startup, run.state),
      1);
  ASSERT_EQ(run.ui.boxes.size(), 1u);
  EXPECT_EQ(run.ui.boxes[0].text, "File not found on the installation disk: A:\\SETUP.CFG. ");
  EXPECT_TRUE(run.ui.boxes[0].captionDefault);
  EXPECT_FALSE(run.ui.boxes[0].owned);

  // Lines longer than the reader's pieces still count once each.
  ParseRun file;
  file.sys.put("A:\\SETUP.CFG", "REM " + repeat('x', 994) + "\r\nREM " + repeat('y', 2100) +
                                    "\nTITLE \"t\"\nJUNK x\n");
  Container reader(file.sys);
  EXPECT_EQ(parseScript("A:\\SETUP.CFG", file.sys, file.ui, reader, file.macros, file.startup,
                        file.state, file.options),
            1);
  EXPECT_EQ(file.errorLine(), 4);
  EXPECT_EQ(file.state.settings.title, "t");
}

TEST(ParseScriptFile, RefusesCarriageReturnsAloneAsLineEnds) {
  // Read as one line, such a script would install nothing and report success.
  struct Case {
    const char* bytes;
    int result;
  };
  const Case cases[] = {
      {"TITLE \"t\"\rFILE A.TXT\r", 1},
      {"TITLE \"t\"\r\nFILE A.TXT\r\n", 0},
  };
  for (const Case& c : cases) {
    ParseRun run;
    run.sys.put("A:\\SETUP.CFG", c.bytes);
    Container container(run.sys);
    EXPECT_EQ(parseScript("A:\\SETUP.CFG", run.sys, run.ui, container, run.macros, run.startup,
                          run.state),
              c.result)
        << c.bytes;
    if (c.result == 0) continue;
    ASSERT_EQ(run.ui.boxes.size(), 1u);
    EXPECT_EQ(run.errorLine(), 1);
    EXPECT_EQ(run.ui.boxes[0].text,
              "The script ends its lines with a carriage return alone, so it reads as one line. "
              "Save it with CR LF line ends.");
    EXPECT_TRUE(run.state.engine.files.empty());
  }
}

TEST(BlockLineNumbers, ErrorsAfterTextBlocksKeepTheirLines) {
  struct Case {
    const char* script;
    int errorLine;
  };
  const Case cases[] = {
      {"BEGINLASTSCREEN\nThanks.\n\nIF this is text\nENDLASTSCREEN\nTITLE \"t\"\nJUNK x\n", 7},
      {"REM\nPOPMESSAGE 1 \"\" 0\nline one\nENDPOP\nTITLE \"t\"\nJUNK x\n", 6},
      // Without its end keyword the rest of the script is the block's text.
      {"BEGINLASTSCREEN\nno end keyword\nJUNK x\nTITLE \"t\"\n", 0},
      {"BEGINFIRSTSCREEN\nJUNK x\nTITLE \"t\"\n", 0},
  };
  for (const Case& c : cases) {
    ParseRun run;
    run.parse(c.script);
    EXPECT_EQ(run.errorLine(), c.errorLine) << c.script;
    EXPECT_EQ(run.state.settings.title, c.errorLine ? "t" : "") << c.script;
  }
}

}  // namespace
}  // namespace qm
