#include <gtest/gtest.h>

#include "platform/sim/sim_fixture.h"
#include "tools/script_check.h"

namespace qm::pack {
namespace {

TEST(CheckScript, ReportsEveryErrorWithItsLine) {
  SimFixture machine;
  ASSERT_TRUE(machine.ok()) << machine.error();
  struct Case {
    const char* name;
    const char* script;
    std::vector<ScriptError> errors;
  };
  const Case cases[] = {
      {"clean", "TITLE \"x\"\nREM\n", {}},
      {"two errors read on",
       "JUNK x\nTITLE \"ok\"\n; not a comment\n",
       {{1, "JUNK x"}, {3, "; not a comment"}}},
      {"after a text block",
       "BEGINLASTSCREEN\nThanks\nIF text\nENDLASTSCREEN\nELSE\n",
       {{5, "ELSE"}}},
      {"after a deferred block",
       "REM\nIF $ASK1 = \"y\"\nOKPROMPT \"a\"\nENDIF\nTITLE Large\n",
       {{5, "TITLE Large"}}},
      {"inside a deferred block, both ways",
       "IF $ASK1 = \"y\"\nASK2 \"\" prompt=\"x\"\nELSE\nJUNK else\nENDIF\nJUNK after\n",
       {{6, "JUNK after"}, {2, "ASK2 \"\" prompt=\"x\""}, {4, "JUNK else"}}},
      {"false branch on this machine", "IF winver < 3.0\nJUNK x\nENDIF\n", {}},
      {"open IF at the end", "IF isfile \"C:\\NOPE.TXT\"\nREM\nREM last", {{3, "REM last"}}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(checkScriptText(c.script, machine.sys()), c.errors) << c.name;
  }
}

}  // namespace
}  // namespace qm::pack
