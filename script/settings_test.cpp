#include "script/settings.h"

#include <gtest/gtest.h>

#include "sysconfig/statement_fixture_for_tests.h"

namespace qm {
namespace {

using testing::StatementFixture;

TEST(PromptStatement, MaximaAndKeywords) {
  struct Case {
    const char* keyword;
    std::string Prompts::*text;
    size_t max;
  };
  const Case cases[] = {
      {"COPYFILEPROMPT", &Prompts::copyFile, 499},
      {"autoexecprompt", &Prompts::autoexec, 999},
      {"BadDirPrompt", &Prompts::badDir, 499},
      {"OKPROMPT", &Prompts::ok, 499},
      {"CANCELPROMPT", &Prompts::cancel, 499},
      {"BADDRIVEPROMPT", &Prompts::badDrive, 499},
      {"CONFIGPROMPT", &Prompts::config, 999},
      {"CPUPROMPT", &Prompts::cpu, 999},
      {"FILEEXISTPROMPT", &Prompts::fileExist, 499},
      {"INIFILEPROMPT", &Prompts::iniFile, 999},
      {"INSERTDISKPROMPT", &Prompts::insertDisk, 499},
      {"LOCATEPROMPT", &Prompts::locate, 499},
      {"NOGROUPPROMPT", &Prompts::noGroup, 499},
      {"NOSPACEPROMPT", &Prompts::noSpace, 999},
      {"QUITPROMPT", &Prompts::quit, 499},
      {"REBOOTPROMPT", &Prompts::reboot, 499},
      {"FILENOTFOUNDPROMPT", &Prompts::fileNotFound, 499},
  };
  for (const Case& c : cases) {
    const PromptKeyword* prompt = findPromptKeyword(c.keyword);
    ASSERT_NE(prompt, nullptr) << c.keyword;
    EXPECT_EQ(prompt->text, c.text) << c.keyword;
    EXPECT_EQ(prompt->maxChars, c.max) << c.keyword;

    if (c.max < 999) {
      StatementFixture f;
      std::string atMax(c.max, 'x');
      EXPECT_EQ(
          readPromptStatement(f.statement(std::string(c.keyword) + " \"" + atMax + "\""), *prompt),
          0);
      EXPECT_EQ(f.state.settings.prompts.*c.text, atMax);
      EXPECT_NE(
          readPromptStatement(f.statement(std::string(c.keyword) + " \"" + atMax + "y\""), *prompt),
          0)
          << c.keyword;
    }
  }
  EXPECT_EQ(findPromptKeyword("UNINSTALLBEGINPROMPT"), nullptr);
  EXPECT_EQ(findPromptKeyword("PROMPT"), nullptr);

  StatementFixture f;
  EXPECT_EQ(readPromptStatement(f.statement("OKPROMPT Fine"), *findPromptKeyword("OKPROMPT")), 0);
  EXPECT_EQ(f.state.settings.prompts.ok, "");  // unquoted: the empty text
}

TEST(IgnoredKeywords, Table) {
  for (const char* word : {"SCREENFILLCHAR", "yesnokey", "YESNOKEY", "EnterKeyPrompt",
                           "PROMPTFOREGROUND", "ReadmePrompt", "TitleBackground"})
    EXPECT_TRUE(isIgnoredKeyword(word)) << word;
  for (const char* word : {"", "REM", "TITLE", "YESNO", "SCREENFILLCHARS", "OKPROMPT"})
    EXPECT_FALSE(isIgnoredKeyword(word)) << word;
}

TEST(FontNameStatement, QuotedUpToThirtyCharacters) {
  StatementFixture f;
  EXPECT_EQ(readFontNameStatement(f.statement("FONTNAME \"Courier New\"")), 0);
  EXPECT_EQ(f.state.settings.screenFont, "Courier New");
  EXPECT_EQ(readFontNameStatement(f.statement("FONTNAME Arial")), 0);
  EXPECT_EQ(f.state.settings.screenFont, "");
  EXPECT_EQ(readFontNameStatement(f.statement("FONTNAME \"" + std::string(30, 'F') + "\"")), 0);
  EXPECT_NE(readFontNameStatement(f.statement("FONTNAME \"" + std::string(31, 'F') + "\"")), 0);
}

TEST(TitleStatement, FontWords) {
  StatementFixture f;
  const Settings& s = f.state.settings;
  EXPECT_EQ(readTitleStatement(f.statement("TITLE \"My App\" Bold \"Times\" 24")), 0);
  EXPECT_EQ(s.title, "My App");
  EXPECT_EQ(s.titleFont.face, "Times");
  EXPECT_EQ(s.titleFont.size, 24);
  EXPECT_TRUE(s.titleFont.bold);
  EXPECT_FALSE(s.titleFont.italic);

  EXPECT_EQ(readTitleStatement(f.statement("TITLE \"Other\" italic")), 0);
  EXPECT_EQ(s.title, "Other");
  EXPECT_EQ(s.titleFont.face, "Times");
  EXPECT_EQ(s.titleFont.size, 24);
  EXPECT_FALSE(s.titleFont.bold);
  EXPECT_TRUE(s.titleFont.italic);

  EXPECT_EQ(readTitleStatement(f.statement("TITLE \"T\" UNDERLINE,12")), 0);
  EXPECT_TRUE(s.titleFont.underline);
  EXPECT_EQ(s.titleFont.size, 12);

  struct Case {
    const char* text;
    int result;
  };
  const Case cases[] = {
      {"TITLE", 1},
      {"TITLE \"x\" Large", 1},
      {"TITLE Plain", 1},  // an unquoted title is read as a font word
      {"TITLE \"x\" Bold Bold Bold Bold Bold Large", 0},  // five words at most are read
      {"TITLE \"x\" \"\" Large", 0},                      // an empty word ends the list
      {"TITLE \"\"", 0},
  };
  for (const Case& c : cases) {
    StatementFixture g;
    EXPECT_EQ(readTitleStatement(g.statement(c.text)) != 0, c.result != 0) << c.text;
  }

  StatementFixture g;
  EXPECT_EQ(readTitleStatement(g.statement("TITLE \"" + std::string(600, 't') + "\" \"" +
                                           std::string(40, 'f') + "\"")),
            0);
  EXPECT_EQ(g.state.settings.title.size(), kMaxTitleChars);
  EXPECT_EQ(g.state.settings.titleFont.face.size(), kMaxTitleFaceChars);
}

TEST(ColourStatements, TitleAndScreen) {
  struct Case {
    const char* text;
    Colour one, two;
  };
  const Colour blue{0, 0, 255}, black{0, 0, 0}, red{255, 0, 0};
  const Case cases[] = {
      {"SCREENCOLOR Red", red, red},
      {"SCREENCOLOR Blue Black", blue, black},
      {"SCREENCOLOR (255,0,0) (0,0,255)", red, blue},
      {"SCREENCOLOR (10, 20, 30)", {10, 20, 30}, {10, 20, 30}},
      {"SCREENCOLOR Orange", blue, blue},  // unknown: colour 1 stays, colour 2 follows it
      {"SCREENCOLOR Red Orange", red, black},
  };
  for (const Case& c : cases) {
    StatementFixture f;
    EXPECT_EQ(readScreenColourStatement(f.statement(c.text)), 0);
    EXPECT_EQ(f.state.settings.screenColour1, c.one) << c.text;
    EXPECT_EQ(f.state.settings.screenColour2, c.two) << c.text;
  }
  StatementFixture f;
  EXPECT_EQ(f.state.settings.titleColour, (Colour{128, 128, 255}));
  EXPECT_EQ(readTitleColourStatement(f.statement("TITLECOLOR (1,2,3)")), 0);
  EXPECT_EQ(f.state.settings.titleColour, (Colour{1, 2, 3}));
  EXPECT_EQ(readTitleColourStatement(f.statement("TITLECOLOR white")), 0);
  EXPECT_EQ(f.state.settings.titleColour, (Colour{255, 255, 255}));
}

TEST(ScreenGraphicStatement, PathAndPlacement) {
  struct Case {
    const char* sourceDir;
    const char* text;
    int result;
    const char* path;
    int placement;
  };
  const Case cases[] = {
      {"A:\\DISK1", "SCREENGRAPHIC \"logo.bmp\"", 0, "A:\\DISK1\\logo.bmp", 0},
      {"A:", "SCREENGRAPHIC logo.bmp TILE", 0, "A:\\logo.bmp", 9},
      {"A:\\", "SCREENGRAPHIC logo.bmp fullscreen", 0, "A:\\logo.bmp", 10},
      {"A:", "SCREENGRAPHIC \"$WINDIR$\\x.bmp\" TopLeft", 0, "A:\\$WINDIR$\\x.bmp", 1},
      {"A:", "SCREENGRAPHIC \"logo.bmp\" MIDDLELEFT", 0, "A:\\logo.bmp", 8},
      {"A:", "SCREENGRAPHIC \"logo.bmp\" CENTER", 1, "A:\\logo.bmp", 0},
  };
  for (const Case& c : cases) {
    StatementFixture f;
    f.macros.sourceDir = c.sourceDir;
    f.macros.winDir = "C:\\WINDOWS";
    EXPECT_EQ(readScreenGraphicStatement(f.statement(c.text)) != 0, c.result != 0) << c.text;
    EXPECT_EQ(f.state.settings.screenGraphicPath, c.path) << c.text;
    EXPECT_EQ(f.state.settings.screenGraphicPlacement, c.placement) << c.text;
  }
}

TEST(DestinationStatement, PathsAndModes) {
  struct Case {
    const char* text;
    int result;
    const char* path;
    int mode;
  };
  const Case cases[] = {
      {"DEFAULTDIR \\APPS\\TOOL", 0, "C:\\APPS\\TOOL", 3},
      {"DEFAULTDIR APPS", 0, "C:\\APPS", 3},
      {"DEFAULTDIR D:", 0, "D:\\", 3},
      {"DEFAULTDIR \"D:\\My Apps\" NOASKDRIVE", 0, "D:\\My Apps", 1},
      {"DEFAULTDIR \"D:\\X\" noaskdir", 0, "D:\\X", 2},
      {"DEFAULTDIR \"D:\\X\" NOASKDRIVE NOASKDIR", 0, "D:\\X", 0},
      {"DEFAULTDIR $WINDIR$\\APP", 0, "C:\\WINDOWS\\APP", 3},
      {"DEFAULTDIR $NOSUCH$", 0, "$NOSUCH$", 3},
      {"DEFAULTDIR $SOURCEDRIVE$:", 0, "A:\\", 3},
      {"DEFAULTDIR \"D:\\X\" prompt \"Where?\"", 1, "D:\\X", 3},
      {"DEFAULTDIR \"D:\\X\" ASKALL", 1, "D:\\X", 3},
      {"DEFAULTDIR", 1, "", 3},
  };
  for (const Case& c : cases) {
    StatementFixture f;
    f.startup.bootDrive = 'A';  // never used for the drive a path lacks
    f.macros.winDir = "C:\\WINDOWS";
    f.macros.sourceDrive = "A";
    int result = readDestinationStatement(f.statement(c.text), kDefaultDirIndex);
    EXPECT_EQ(result != 0, c.result != 0) << c.text;
    if (c.result != 0) continue;
    ASSERT_TRUE(f.state.settings.destinations[kDefaultDirIndex]) << c.text;
    const DestinationRecord& record = *f.state.settings.destinations[kDefaultDirIndex];
    EXPECT_EQ(record.path, c.path) << c.text;
    EXPECT_EQ(record.mode, c.mode) << c.text;
    EXPECT_EQ(f.macros.defaultDir, c.path) << c.text;
    EXPECT_EQ(f.macros.defaultDrive, std::string(1, c.path[0])) << c.text;
  }
}

TEST(DestinationStatement, PromptRecordReuseAndMacros) {
  StatementFixture f;
  Settings& s = f.state.settings;
  ASSERT_EQ(
      readDestinationStatement(f.statement("DIR2 \"E:\\DATA\" prompt=\"Data files:\""), kDir2Index),
      0);
  ASSERT_TRUE(s.destinations[kDir2Index]);
  EXPECT_EQ(s.destinations[kDir2Index]->prompt, "Data files:");
  EXPECT_TRUE(s.destinations[kDir2Index]->promptGiven);
  EXPECT_EQ(f.macros.dir2, "E:\\DATA");
  EXPECT_FALSE(s.destinations[kDefaultDirIndex]);
  EXPECT_EQ(f.macros.defaultDir, "");

  // A repeated statement reuses its record: the prompt is emptied, "given" stays.
  ASSERT_EQ(readDestinationStatement(f.statement("DIR2 F:\\D NOASKDIR"), kDir2Index), 0);
  EXPECT_EQ(s.destinations[kDir2Index]->prompt, "");
  EXPECT_TRUE(s.destinations[kDir2Index]->promptGiven);
  EXPECT_EQ(s.destinations[kDir2Index]->mode, 2);
  EXPECT_EQ(f.macros.dir2, "F:\\D");

  ASSERT_EQ(readDestinationStatement(f.statement("DIR3 G:\\three"), kDir3Index), 0);
  EXPECT_EQ(f.macros.dir3, "G:\\three");

  // The short form comes from the system (the test machine upper-cases).
  ASSERT_EQ(readDestinationStatement(f.statement("DEFAULTDIR d:\\apps"), kDefaultDirIndex), 0);
  EXPECT_EQ(f.macros.defaultDir, "d:\\apps");
  EXPECT_EQ(f.macros.defaultDir8, "D:\\APPS");
  EXPECT_EQ(f.macros.defaultDrive, "d");

  ASSERT_EQ(readDestinationStatement(f.statement("DEFAULTDIR \\" + std::string(700, 'p')),
                                     kDefaultDirIndex),
            0);
  EXPECT_EQ(f.macros.defaultDir.size(), kMaxPathChars);
}

}  // namespace
}  // namespace qm
