#include "script/deferred.h"

#include <gtest/gtest.h>

#include "script/parser_fixture_for_tests.h"

namespace qm {
namespace {

using testing::ParseRun;

std::string lines(const std::string& text, int count) {
  std::string out;
  for (int i = 0; i < count; ++i) out += text + "\n";
  return out;
}

TEST(DeferBlock, SavesTheBlockAndKeepsLineNumbers) {
  ParseRun run;
  // The block starts on line 3 and holds 5 lines; the error on line 12 keeps its number.
  std::string script = "REM 1\nREM 2\nIF defer yes\nTITLE \"in\"\nJUNK in block\nREM 6\nENDIF\n" +
                       lines("REM", 4) + "JUNK x\n";
  EXPECT_EQ(run.parse(script), 1);
  EXPECT_EQ(run.errorLine(), 12);
  ASSERT_EQ(run.state.deferred.blocks.size(), 1u);
  EXPECT_EQ(run.state.deferred.count, 1);
  const DeferredBlock& block = run.state.deferred.blocks[0];
  EXPECT_EQ(block.firstLineNumber, 3);
  ASSERT_EQ(block.lines.size(), 5u);
  EXPECT_EQ(block.lines[0], "IF defer yes");
  EXPECT_EQ(block.lines[2], "JUNK in block");  // not examined in the first pass
  EXPECT_EQ(block.lines[4], "ENDIF");
  EXPECT_EQ(run.state.settings.title, "");
}

TEST(DeferBlock, EndsAtTheFirstWordEndif) {
  struct Case {
    std::string body;
    size_t slots;
  };
  const Case cases[] = {
      {"A\n  endif\nB\n", 3},
      {"A\n\tENDIF: x\nB\n", 3},
      {"A\nENDIFX\nB\n", 4},  // a longer word is not ENDIF; the script's end stops the block
      {"A\nREM ENDIF\n", 3},
  };
  for (const Case& c : cases) {
    ParseRun run;
    run.parse("IF defer yes\n" + c.body);
    ASSERT_EQ(run.state.deferred.blocks.size(), 1u) << c.body;
    EXPECT_EQ(run.state.deferred.blocks[0].lines.size(), c.slots) << c.body;
  }
}

TEST(DeferBlock, SixtySlotsAtMost) {
  struct Case {
    int between;  // lines between IF and ENDIF
    int result;
  };
  for (Case c : {Case{58, 0}, Case{59, 1}, Case{0, 0}}) {
    ParseRun run;
    int result = run.parse("REM\nIF defer yes\n" + lines("REM inside", c.between) + "ENDIF\n");
    EXPECT_EQ(result, c.result) << c.between;
    if (c.result) {
      EXPECT_EQ(run.errorLine(), 2) << c.between;
      EXPECT_TRUE(run.state.deferred.blocks.empty());
      EXPECT_EQ(run.state.deferred.count, 0);
    } else {
      ASSERT_EQ(run.state.deferred.blocks.size(), 1u);
      EXPECT_EQ(run.state.deferred.blocks[0].lines.size(), static_cast<size_t>(c.between + 2));
    }
  }
}

TEST(SecondPass, FirstPassSettingsAreSkippedListsAreFilled) {
  ParseRun run;
  ASSERT_EQ(run.parse("TITLE \"first\"\nIF defer yes\nTITLE \"second\"\nOKPROMPT \"Fine\"\n"
                      "DEFAULTDIR D:\\X\nSCREENCOLOR Red\nRUNATSTART \"x.exe\"\nrem hi\nENDIF\n"),
            0);
  EXPECT_EQ(run.state.settings.prompts.ok, "OK");
  ASSERT_EQ(run.reparse(), 0);
  EXPECT_EQ(run.state.settings.title, "first");
  EXPECT_EQ(run.state.settings.prompts.ok, "Fine");
  EXPECT_FALSE(run.state.settings.destinations[kDefaultDirIndex]);
  EXPECT_EQ(run.state.settings.screenColour1, (Colour{0, 0, 255}));
  EXPECT_FALSE(run.state.settings.runAtStartPending);
  EXPECT_TRUE(run.ui.boxes.empty());
}

TEST(SecondPass, ListEntriesComeAfterTheFirstPasses) {
  ParseRun run;
  ASSERT_EQ(run.parse("FILE A.TXT\nIF defer yes\nFILE B.TXT\nENDIF\nFILE C.TXT\n"), 0);
  ASSERT_EQ(run.state.engine.files.size(), 2u);
  ASSERT_EQ(run.reparse(), 0);
  ASSERT_EQ(run.state.engine.files.size(), 3u);
  EXPECT_EQ(run.state.engine.files[0].name, "A.TXT");
  EXPECT_EQ(run.state.engine.files[1].name, "C.TXT");
  EXPECT_EQ(run.state.engine.files[2].name, "B.TXT");
}

TEST(SecondPass, ConditionsAndBlocksInOrder) {
  struct Case {
    const char* script;
    const char* ok;
  };
  const Case cases[] = {
      {"IF defer no\nOKPROMPT \"A\"\nELSE\nOKPROMPT \"B\"\nENDIF\n", "B"},
      {"IF defer yes\nOKPROMPT \"A\"\nELSE\nOKPROMPT \"B\"\nENDIF\n", "A"},
      {"IF defer yes\nOKPROMPT \"1\"\nENDIF\nIF defer yes\nOKPROMPT \"2\"\nENDIF\n", "2"},
      {"IF defer no\nJUNK x\nENDIF\n", "OK"},  // a false branch is not examined
  };
  for (const Case& c : cases) {
    ParseRun run;
    ASSERT_EQ(run.parse(c.script), 0) << c.script;
    EXPECT_EQ(run.reparse(), 0) << c.script;
    EXPECT_EQ(run.state.settings.prompts.ok, c.ok) << c.script;
  }
}

TEST(SecondPass, ErrorsCarryTheScriptsLineNumbers) {
  struct Case {
    const char* script;
    int errorLine;
  };
  const Case cases[] = {
      {"REM\nREM\nREM\nREM\nIF defer yes\nOKPROMPT \"x\"\nJUNK y\nENDIF\n", 7},
      {"IF defer yes\nASK1 \"\" prompt=\"Name?\"\nENDIF\n", 2},
      {"IF defer yes\n\nBEGINGROUP 1\nENDGROUP\nENDIF\n", 3},
      {"IF defer no\nELSE\nELSE\nENDIF\n", 3},
      {"IF defer no\nOKPROMPT \"x\"\n", 2},  // a false block without ENDIF
  };
  for (const Case& c : cases) {
    ParseRun run;
    ASSERT_EQ(run.parse(c.script), 0) << c.script;
    EXPECT_EQ(run.reparse(), -1) << c.script;
    EXPECT_EQ(run.errorLine(), c.errorLine) << c.script;
  }
}

TEST(SecondPass, FirstScreenBlocksArePassedOver) {
  ParseRun run;
  ASSERT_EQ(run.parse("IF defer yes\nBEGINFIRSTSCREEN\nJUNK text\nENDFIRSTSCREEN\nOKPROMPT \"y\"\n"
                      "ENDIF\n"),
            0);
  EXPECT_EQ(run.reparse(), 0);
  EXPECT_EQ(run.state.settings.prompts.ok, "y");

  ParseRun missing;
  ASSERT_EQ(missing.parse("REM\nIF defer yes\nOKPROMPT \"y\"\nBEGINFIRSTSCREEN\ntext\nENDIF\n"), 0);
  EXPECT_EQ(missing.reparse(), -1);
  ASSERT_EQ(missing.ui.boxes.size(), 2u);
  EXPECT_EQ(missing.ui.boxes[0].text, "Missing EndFirstScreen ");
  EXPECT_TRUE(missing.ui.boxes[0].captionDefault);
  EXPECT_EQ(missing.ui.boxes[1].caption, "Syntax error, line: 4");
  EXPECT_EQ(missing.ui.boxes[1].text, "BEGINFIRSTSCREEN");
  EXPECT_TRUE(missing.state.syntaxError);
}

TEST(SecondPass, CountMustMatchTheBlocks) {
  ParseRun run;
  ASSERT_EQ(run.parse("IF defer yes\nOKPROMPT \"y\"\nENDIF\n"), 0);
  run.state.deferred.count = 2;
  EXPECT_EQ(run.reparse(), -1);
  EXPECT_EQ(run.state.settings.prompts.ok, "OK");

  ParseRun none;
  ASSERT_EQ(none.parse("REM\n"), 0);
  EXPECT_EQ(none.reparse(), 0);
}

}  // namespace
}  // namespace qm
