#include <gtest/gtest.h>

#include "script/install_state.h"
#include "script/memory_system_for_tests.h"
#include "script/parser.h"
#include "script/script_reader.h"
#include "script/statement_handlers.h"
#include "ui/dialog_template.h"
#include "ui/dialogs.h"
#include "ui/scripted_ui_for_tests.h"
#include "ui/text_block.h"

namespace qm {
namespace {

class LinesReader : public ScriptReader {
 public:
  std::vector<std::string> lines;
  size_t next = 0;
  std::vector<int> modes;  // deferral mode at each call
  int nextScriptLine(std::string& line) override {
    modes.push_back(deferralMode());
    if (next >= lines.size()) return 0;
    line = lines[next++];
    return static_cast<int>(next) + 1;
  }
};

struct StatementFixture : ::testing::Test {
  InstallState state;
  MacroValues macros;
  StatementLine line{&macros};
  StartupValues startup;
  testing::MemorySystem sys;
  ScriptedUi ui;
  LinesReader reader;
  StatementContext ctx{state, line, macros, startup, sys, ui, reader};

  // Loads a statement line, steps over its keyword and hands it to the reader.
  template <typename Handler>
  int run(Handler handler, const std::string& text, std::vector<std::string> block = {}) {
    line.load(text);
    line.readKeyword();
    reader.lines = std::move(block);
    reader.next = 0;
    ctx.consumedLines = 0;
    return handler(ctx);
  }
  int ask(int n, const std::string& text) {
    return run([n](StatementContext& c) { return readAskStatement(c, n); }, text);
  }
};

TEST_F(StatementFixture, AskForms) {
  struct Case {
    std::string text;
    bool good;
    std::string answer, prompt;
  };
  const Case cases[] = {
      {"ASK1 \"C:\\GAME\" prompt=\"Where to?\"", true, "C:\\GAME", "Where to?"},
      {"ASK1 \"\" PROMPT = \"Name\"", true, "", "Name"},
      {"ASK1 \"x\" prompt=\"\"", true, "x", ""},
      {"ASK1 x prompt=\"Where to?\"", false, "", ""},
      {"ASK1", false, "", ""},
      {"ASK1 \"x\"", false, "", ""},
      {"ASK1 \"x\" prompt \"p\"", false, "", ""},
      {"ASK1 \"x\" prompt=p", false, "", ""},
      {"ASK1 \"x\" question=\"p\"", false, "", ""},
      {"ASK1 \"" + std::string(499, 'a') + "\" prompt=\"p\"", false, "", ""},
      {"ASK1 \"x\" prompt=\"" + std::string(499, 'p') + "\"", false, "", ""},
  };
  for (const Case& c : cases) {
    state.screens.ask[0].reset();
    EXPECT_EQ(ask(1, c.text) == 0, c.good) << c.text;
    if (!c.good) continue;
    ASSERT_TRUE(state.screens.ask[0]) << c.text;
    EXPECT_EQ(state.screens.ask[0]->answer, c.answer);
    EXPECT_EQ(state.screens.ask[0]->prompt, c.prompt);
    EXPECT_EQ(state.screens.ask[0]->lines.state, 1);
    EXPECT_EQ(macros.ask[0], c.answer);
  }
}

TEST_F(StatementFixture, AskRepeatReplacesAndSecondPassRefuses) {
  ASSERT_EQ(ask(3, "ASK3 \"one\" prompt=\"First\""), 0);
  ASSERT_EQ(ask(3, "ASK3 \"two\" prompt=\"Second\""), 0);
  EXPECT_EQ(state.screens.ask[2]->prompt, "Second");
  EXPECT_EQ(macros.ask[2], "two");
  ctx.secondPass = true;
  EXPECT_NE(ask(3, "ASK3 \"three\" prompt=\"Third\""), 0);
  EXPECT_EQ(macros.ask[2], "two");
}

TEST_F(StatementFixture, PopMessageArgumentsAndFontDefaults) {
  struct Case {
    std::string text;
    bool good;
    int number;
    std::string face;
    int size;
  };
  const Case cases[] = {
      {"POPMESSAGE 1 \"\" 0", true, 1, "MS Sans Serif", 10},
      {"POPMESSAGE 2", true, 2, "MS Sans Serif", 10},
      {"POPMESSAGE 12 \"Arial\" 14", true, 12, "Arial", 14},
      {"POPMESSAGE A1 \"Arial\" 14", false, 0, "", 0},
      {"POPMESSAGE", false, 0, "", 0},
      {"POPMESSAGE 3 \"" + std::string(31, 'f') + "\" 10", false, 0, "", 0},
      {"POPMESSAGE 3 \"Arial\" -4", false, 0, "", 0},
  };
  for (const Case& c : cases) {
    state.screens.popups.clear();
    int r = run(readPopMessageStatement, c.text, {"Copying the files", "ENDPOP", "FILE x"});
    EXPECT_EQ(r == 0, c.good) << c.text;
    if (!c.good) continue;
    ASSERT_EQ(state.screens.popups.size(), 1u);
    const PopupRecord& p = state.screens.popups[0];
    EXPECT_EQ(p.number, c.number);
    EXPECT_EQ(p.font.face, c.face);
    EXPECT_EQ(p.font.size, c.size);
    ParsedTemplate t;
    ASSERT_TRUE(parseDialogTemplate(p.dialog, t));
    EXPECT_EQ(t.header.fontFace, c.face);
    EXPECT_EQ(t.header.fontSize, c.size);
    // "Copying the files": 17 characters, 136 pixels / 8 - 6 = 11 columns, rounded to 12.
    EXPECT_EQ(t.header.cx, 48);
    EXPECT_EQ(ctx.consumedLines, 2);
  }
}

TEST_F(StatementFixture, PopMessagesAreLimitedTo16) {
  for (int i = 1; i <= 16; ++i)
    ASSERT_EQ(run(readPopMessageStatement, "POPMESSAGE " + std::to_string(i), {"x", "ENDPOP"}), 0);
  EXPECT_NE(run(readPopMessageStatement, "POPMESSAGE 17", {"x", "ENDPOP"}), 0);
  EXPECT_EQ(state.screens.popups.size(), 16u);
}

TEST_F(StatementFixture, BlockLinesAreCollectedInCollectingMode) {
  reader.setDeferralMode(kDeferralDeferred);
  ASSERT_EQ(run(readLastScreenStatement, "BEGINLASTSCREEN", {"Done.", "  endLastScreen now"}), 0);
  EXPECT_EQ(reader.modes, (std::vector<int>{kDeferralCollecting, kDeferralCollecting}));
  EXPECT_EQ(reader.deferralMode(), kDeferralDeferred);
  EXPECT_EQ(ctx.consumedLines, 2);
  EXPECT_TRUE(state.screens.lastScreen);
}

TEST_F(StatementFixture, FirstScreenWithoutEndTakesTheRestAndIsFirstPassOnly) {
  ASSERT_EQ(run(readFirstScreenStatement, "BEGINFIRSTSCREEN \"Arial\" 14",
                {"Welcome", "", "FILE a.exe", "DEFAULTDIR C:\\X"}),
            0);
  EXPECT_EQ(ctx.consumedLines, 4);
  ParsedTemplate t;
  ASSERT_TRUE(parseDialogTemplate(*state.screens.firstScreen, t));
  EXPECT_EQ(t.header.fontFace, "Arial");
  EXPECT_EQ(t.header.fontSize, 14);
  ASSERT_EQ(t.items.size(), 5u);  // three text lines, OK, Cancel
  EXPECT_EQ(t.items[2].text, "DEFAULTDIR C:\\X");
  EXPECT_EQ(t.items[2].y, 24);
  ctx.secondPass = true;
  EXPECT_NE(run(readFirstScreenStatement, "BEGINFIRSTSCREEN", {"x", "ENDFIRSTSCREEN"}), 0);
}

TEST_F(StatementFixture, ExitMessageIsShownAtOnceWithOkOnly) {
  EXPECT_EQ(run(readExitMessageStatement, "EXITMESSAGE", {"This disk is damaged.", "EXIT"}), 1);
  ASSERT_EQ(ui.dialogs.size(), 1u);
  EXPECT_EQ(ui.dialogs[0].topic, "ExitMessage");
  ParsedTemplate t;
  ASSERT_TRUE(parseDialogTemplate(ui.dialogs[0].templateBytes, t));
  ASSERT_EQ(t.items.size(), 2u);
  EXPECT_EQ(t.items[1].id, 1);
  EXPECT_EQ(t.items[1].x, 60);  // centred: 2W - 20 with W = 40
  EXPECT_EQ(ctx.consumedLines, 2);
}

TEST_F(StatementFixture, BeginGroupForms) {
  struct Case {
    std::string text;
    bool good;
    int number;  // -1: the main group
    bool exclusive;
  };
  const Case cases[] = {
      {"BEGINGROUP", true, -1, false},         {"BEGINGROUP EXCLUSIVE", true, -1, true},
      {"BEGINGROUP 3", true, 3, false},        {"BEGINGROUP exclusive 4", true, 4, true},
      {"BEGINGROUP 99", true, 99, false},      {"BEGINGROUP 100", false, 0, false},
      {"BEGINGROUP OPTIONS", false, 0, false}, {"BEGINGROUP EXCLUSIVE OPTIONS", false, 0, false},
  };
  for (const Case& c : cases) {
    state.screens = ScreenRecords{};
    int r =
        run(readBeginGroupStatement, c.text, {"Pick:", "01 [X] Files", "02 [ ] Docs", "ENDGROUP"});
    EXPECT_EQ(r == 0, c.good) << c.text;
    if (!c.good) continue;
    const GroupDialogRecord* g =
        c.number < 0 ? &*state.screens.mainGroup : &state.screens.optionGroups.at(0);
    EXPECT_EQ(g->groupNumber, c.number) << c.text;
    EXPECT_EQ(g->exclusive, c.exclusive) << c.text;
    EXPECT_EQ(g->firstIndex, 0);
    EXPECT_EQ(g->endIndex, 2);
    EXPECT_TRUE(g->dialog);
    EXPECT_EQ(ctx.consumedLines, 4);
  }
}

TEST_F(StatementFixture, BeginGroupRejections) {
  EXPECT_NE(run(readBeginGroupStatement, "BEGINGROUP", {"01 Files", "ENDGROUP"}), 0);
  for (int i = 0; i < 16; ++i)
    ASSERT_EQ(run(readBeginGroupStatement, "BEGINGROUP " + std::to_string(i), {"ENDGROUP"}), 0);
  EXPECT_NE(run(readBeginGroupStatement, "BEGINGROUP 20", {"ENDGROUP"}), 0);
  ctx.secondPass = true;
  state.screens = ScreenRecords{};
  EXPECT_NE(run(readBeginGroupStatement, "BEGINGROUP", {"ENDGROUP"}), 0);
}

TEST(TextBlock, EndKeywordEmptyLinesAndWidth) {
  struct Case {
    std::vector<std::string> lines;
    int consumed;
    std::vector<std::string> stored;
    int width;
  };
  const Case cases[] = {
      {{"Hello there, reader", " ,\t", "\tENDPOP"}, 3, {"Hello there, reader", ""}, 13},
      {{"ENDPOPUP is not the end", "endpop"}, 2, {"ENDPOPUP is not the end"}, 17},
      {{"short", "ENDPOP2"}, 2, {"short"}, 0},  // letters only: ENDPOP2 ends the block
      {{"no end", "at all"}, 2, {"no end", "at all"}, 0},
      {{std::string(1200, 'w'), "ENDPOP"}, 2, {std::string(998, 'w')}, 992},
  };
  for (const Case& c : cases) {
    LinesReader reader;
    reader.lines = c.lines;
    ScriptedUi ui;
    TextBlock block;
    EXPECT_EQ(readTextBlock(reader, ui, "ENDPOP", FontSpec{}, block), c.consumed);
    EXPECT_EQ(block.lines, c.stored);
    EXPECT_EQ(block.width, c.width);
  }
}

class FailingReader : public ScriptReader {
 public:
  int nextScriptLine(std::string& line) override { return -1; }
};

TEST(TextBlock, ReaderErrorIsPassedOn) {
  FailingReader reader;
  ScriptedUi ui;
  TextBlock block;
  EXPECT_EQ(readTextBlock(reader, ui, "EXIT", FontSpec{}, block), -1);
}

}  // namespace
}  // namespace qm

namespace qm {
namespace {

struct ParsedScript {
  InstallState state;
  MacroValues macros;
  StartupValues startup;
  testing::MemorySystem sys;
  ScriptedUi ui;
  std::vector<int> errorLines;
  int parse(const std::string& text) {
    ParseOptions options;
    options.onError = [this](int line, const std::string&) { errorLines.push_back(line); };
    return parseScriptText(text, sys, ui, macros, startup, state, options);
  }
};

TEST(ScreenStatementsInScripts, BlocksKeepLineNumbersAndFillTheState) {
  ParsedScript s;
  EXPECT_EQ(s.parse("BEGINGROUP\nChoose\n01 [X] Files\n\nENDGROUP\n"
                    "POPMESSAGE 1 \"\" 0\nCopying\nENDPOP\n"
                    "ASK1 \"x\" prompt=\"p\"\nBOGUS arg\n"),
            1);
  EXPECT_EQ(s.errorLines, std::vector<int>{10});
  EXPECT_TRUE(s.state.screens.mainGroup);
  EXPECT_EQ(s.state.screens.popups.size(), 1u);
  EXPECT_EQ(s.macros.ask[0], "x");
}

TEST(ScreenStatementsInScripts, ExitMessageEndsTheParseWithoutASyntaxError) {
  ParsedScript s;
  EXPECT_EQ(s.parse("EXITMESSAGE\nThis version has expired.\nEXIT\nFILE a.exe\n"), 1);
  EXPECT_TRUE(s.errorLines.empty());
  ASSERT_EQ(s.ui.dialogs.size(), 1u);
  EXPECT_EQ(s.ui.dialogs[0].topic, "ExitMessage");
}

}  // namespace
}  // namespace qm
