#include <gtest/gtest.h>

#include "script/statement_handlers.h"
#include "sysconfig/statement_fixture_for_tests.h"

namespace qm {
namespace {

using testing::StatementFixture;

TEST(ShowReadmeStatement, QuotedOrBareName) {
  struct Case {
    std::string line;
    int result;
    std::string readme;
  } cases[] = {
      {"SHOWREADME \"READ ME.TXT\"", 0, "READ ME.TXT"},
      {"SHOWREADME README.TXT", 0, "README.TXT"},
      {"SHOWREADME \"$WINDIR$\\README.TXT\"", 0, "$WINDIR$\\README.TXT"},  // expanded when opened
      {"SHOWREADME $SOURCEDIR$\\README.TXT", 0, "A:\\README.TXT"},
      {"SHOWREADME \"" + std::string(498, 'r') + "\"", 0, std::string(498, 'r')},
      {"SHOWREADME \"" + std::string(499, 'r') + "\"", 1, "OLD"},
  };
  for (const Case& c : cases) {
    StatementFixture f;
    f.macros.sourceDir = "A:";
    f.state.finish.readme = "OLD";
    EXPECT_EQ(readShowReadmeStatement(f.statement(c.line)), c.result) << c.line.substr(0, 30);
    EXPECT_EQ(f.state.finish.readme, c.readme) << c.line.substr(0, 30);
  }
}

TEST(RunAtExitStatement, NeedsANonEmptyQuotedCommand) {
  struct Case {
    const char* line;
    int result;
  } cases[] = {
      {"RUNATEXIT \"$DEFAULTDIR$\\APP.EXE /setup\"", 0},
      {"RUNATEXIT \"\"", 1},
      {"RUNATEXIT", 1},
      {"RUNATEXIT notepad.exe", 1},
      {"RUNATEXIT \"notepad.exe", 1},
  };
  for (const Case& c : cases) {
    StatementFixture f;
    EXPECT_EQ(readRunAtExitStatement(f.statement(c.line)), c.result) << c.line;
    EXPECT_EQ(f.state.finish.runAtExit.size(), c.result == 0 ? 1u : 0u) << c.line;
  }
  StatementFixture f;
  ASSERT_EQ(readRunAtExitStatement(f.statement("RUNATEXIT \"first\"")), 0);
  ASSERT_EQ(readRunAtExitStatement(f.statement("RUNATEXIT \"second\"")), 0);
  EXPECT_EQ(f.state.finish.runAtExit, (std::vector<std::string>{"first", "second"}));
}

TEST(RebootStatement, FormsAndWords) {
  struct Case {
    const char* line;
    int form;
    int result;
    RebootMode mode;
  } cases[] = {
      {"REBOOTWINDOWS", 1, 0, RebootMode::Windows},  {"REBOOTSYSTEM", 2, 0, RebootMode::System},
      {"REBOOT Windows", 0, 0, RebootMode::Windows}, {"reboot window", 0, 0, RebootMode::Windows},
      {"REBOOT SYSTEM", 0, 0, RebootMode::System},   {"REBOOT", 0, 1, RebootMode::None},
      {"REBOOT Win", 0, 1, RebootMode::None},        {"REBOOT Systems", 0, 1, RebootMode::None},
      {"REBOOT \"System\"", 0, 1, RebootMode::None},
  };
  for (const Case& c : cases) {
    StatementFixture f;
    EXPECT_EQ(readRebootStatement(f.statement(c.line), c.form), c.result) << c.line;
    EXPECT_EQ(f.state.finish.rebootMode, c.mode) << c.line;
  }
}

TEST(UninstallTextStatement, NonEmptyQuotedTextReplacesItsDefault) {
  const UninstallTexts defaults;
  EXPECT_EQ(defaults.title, "UnInstall");
  struct Case {
    const char* line;
    int which;
    int result;
    const char *begin, *end, *title;
  } cases[] = {
      {"UNINSTALLBEGINPROMPT \"Remove it?\"", 0, 0, "Remove it?", nullptr, nullptr},
      {"UNINSTALLENDPROMPT \"Gone, said \"\"OK\"\".\"", 1, 0, nullptr, "Gone, said \"OK\".",
       nullptr},
      {"UninstallTitlePrompt \"Remove App\"", 2, 0, nullptr, nullptr, "Remove App"},
      {"UNINSTALLBEGINPROMPT \"\"", 0, 1, nullptr, nullptr, nullptr},
      {"UNINSTALLENDPROMPT", 1, 1, nullptr, nullptr, nullptr},
      {"UninstallTitlePrompt Remove", 2, 1, nullptr, nullptr, nullptr},
      {"UninstallTitlePrompt \"Remove", 2, 1, nullptr, nullptr, nullptr},
  };
  for (const Case& c : cases) {
    StatementFixture f;
    EXPECT_EQ(readUninstallTextStatement(f.statement(c.line), c.which), c.result) << c.line;
    const UninstallTexts& t = f.state.finish.uninstall;
    EXPECT_EQ(t.begin, c.begin ? c.begin : defaults.begin) << c.line;
    EXPECT_EQ(t.end, c.end ? c.end : defaults.end) << c.line;
    EXPECT_EQ(t.title, c.title ? c.title : defaults.title) << c.line;
  }
}

}  // namespace
}  // namespace qm
