// The registry block read through the real parser, in both passes: records land in the state and
// a faulty block is reported on the line that is at fault.
#include <gtest/gtest.h>

#include "script/parser_fixture_for_tests.h"

namespace qm {
namespace {

using testing::ParseRun;

const char kBlock[] =
    "BEGINREGISTRY\n"
    "KEY NEW \"HKEY_LOCAL_MACHINE\\Software\\App\"\n"
    "REM the path\n"
    "VALUE STRING NEW \"Path\" \"$DEFAULTDIR$\"\n"
    "ENDREGISTRY\n";

TEST(RegistryBlockParse, ErrorLinesAndRecordsInTheFirstPass) {
  struct Case {
    const char* name;
    std::string script;
    int errorLine;
    size_t blocks;
  } cases[] = {
      {"good block, statement after it", std::string("TITLE \"x\"\n") + kBlock + "JUNK x\n", 7, 1},
      {"bad value line",
       "TITLE \"x\"\nBEGINREGISTRY\nKEY NEW \"HKEY_USERS\\A\"\nVALUE STRING NEW \"a\"\n"
       "ENDREGISTRY\n",
       4, 0},
      {"no ENDREGISTRY", "BEGINREGISTRY\nKEY NEW \"HKEY_USERS\\A\"\n\nREM x\n", 4, 0},
      {"two blocks", std::string(kBlock) + kBlock, 0, 2},
  };
  for (const Case& c : cases) {
    ParseRun run;
    EXPECT_EQ(run.parse(c.script), c.errorLine ? 1 : 0) << c.name;
    EXPECT_EQ(run.errorLine(), c.errorLine) << c.name;
    EXPECT_EQ(run.state.config.registry.size(), c.blocks) << c.name;
  }
}

TEST(RegistryBlockParse, DeferredBlockIsReadInTheSecondPass) {
  ParseRun good;
  ASSERT_EQ(good.parse(std::string("IF defer yes\n") + kBlock + "ENDIF\n"), 0);
  EXPECT_TRUE(good.state.config.registry.empty());
  ASSERT_EQ(good.reparse(), 0);
  ASSERT_EQ(good.state.config.registry.size(), 1u);
  EXPECT_EQ(good.state.config.registry[0].values.at(0).data, "$DEFAULTDIR$");

  // ENDIF arrives before ENDREGISTRY: the block is refused on the ENDIF line.
  ParseRun bad;
  ASSERT_EQ(bad.parse("REM\nIF defer yes\nBEGINREGISTRY\nKEY NEW \"HKEY_USERS\\A\"\nENDIF\n"), 0);
  EXPECT_NE(bad.reparse(), 0);
  EXPECT_EQ(bad.errorLine(), 5);
  EXPECT_TRUE(bad.state.config.registry.empty());
}

}  // namespace
}  // namespace qm
