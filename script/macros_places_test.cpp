// Which of the three expansions each reader of a script text applies. The probes are chosen so
// that the three give different results: "$RIGHT$..." is only known to the leading expansion and
// to the $LEFT$/$RIGHT$ one, "...$WINDIR$" after the start only to the expansion of stored texts.
#include <gtest/gtest.h>

#include "platform/sim/sim_fixture_for_tests.h"
#include "script/deferred.h"
#include "script/parser.h"

namespace qm {
namespace {

constexpr const char* kMachine =
    "[Machine]\n"
    "WindowsDir=C:\\WINDOWS\n"
    "SystemDir=C:\\WINDOWS\\SYSTEM\n"
    "TempDir=C:\\TEMP\n"
    "[Drives]\n"
    "A=removable disk1\n"
    "C=fixed c\n"
    "D=fixed d\n";

class QuietUi : public Ui {
 public:
  MsgResult messageBox(const MessageRequest&) override { return MsgResult::Ok; }
};

// A first pass over a script on a simulated machine, with the conditions evaluated for real.
struct ScriptRun {
  ScriptRun() {
    EXPECT_TRUE(sim.ok()) << sim.error();
    macros.sourceDir = "A:";
    macros.winDir = "C:\\WINDOWS";
    macros.dir2 = "D:\\DATA";
    macros.ask[0] = "yes";
    macros.left = "C:\\LEFT";
    macros.right = "C:\\RIGHT";
  }
  int parse(const std::string& script) {
    return parseScriptText(script, sim.sys(), ui, macros, startup, state);
  }
  // Whether the IF line holds: its block adds a file entry. Conditions on the answers are
  // decided in the second pass, as during installation.
  bool holds(const std::string& ifLine) {
    size_t before = state.engine.files.size();
    if (parse(ifLine + "\nFILE HELD.TXT\nENDIF\n") != 0) return false;
    if (!state.deferred.blocks.empty() &&
        reparseDeferredBlocks(sim.sys(), ui, macros, startup, state) != 0)
      return false;
    return state.engine.files.size() > before;
  }

  SimFixture sim{kMachine};
  QuietUi ui;
  MacroValues macros;
  StartupValues startup;
  InstallState state;
};

struct ConditionCase {
  const char* line;
  bool holds;
};

void expectConditions(ScriptRun& run, std::initializer_list<ConditionCase> cases) {
  for (const ConditionCase& c : cases) EXPECT_EQ(run.holds(c.line), c.holds) << c.line;
}

TEST(MacroPlaces, IsFilePathTakesTheLeadingExpansion) {
  ScriptRun run;
  run.sim.writeFile("C:\\RIGHT\\F.TXT", "x");
  run.sim.writeFile("C:\\LEFT\\F.TXT", "x");
  run.sim.writeFile("C:\\W\\$DIR2$.TXT", "x");  // a name that merely looks like a macro
  expectConditions(run, {
                            {"IF isfile \"$RIGHT$\\F.TXT\"", true},
                            {"IF isfile \"$left$\\F.TXT\"", true},
                            {"IF isfile \"C:\\W\\$DIR2$.TXT\"", true},  // not expanded inside
                            {"IF isfile \"X$RIGHT$\\F.TXT\"", false},
                        });
}

TEST(MacroPlaces, LocateDriveTakesTheLeadingExpansion) {
  ScriptRun run;
  run.sim.writeFile("D:\\GAMES\\DOOM.EXE", "x");
  run.macros.right = "D";
  run.macros.left = "C";
  expectConditions(run, {
                            {"IF locate DOOM.EXE $RIGHT$", true},
                            {"IF locate DOOM.EXE $LEFT$", false},
                        });
  EXPECT_EQ(run.macros.locateDir, "D:\\GAMES");
}

TEST(MacroPlaces, AnswerComparisonTextTakesOnlyLeftAndRight) {
  struct Case {
    const char* answer;
    const char* line;
    bool holds;
  } cases[] = {
      {"L-R", "IF $ASK1$ = \"$LEFT$-$RIGHT$\"", true},
      {"L-R", "IF $ASK1$ = \"$left$-$right$\"", true},
      {"$WINDIR$", "IF $ASK1$ = \"$WINDIR$\"", true},  // the stored-text macros stay
      {"C:\\WINDOWS", "IF $ASK1$ = \"$WINDIR$\"", false},
      {"$DIR2$", "IF $ASK1$ = \"$DIR2$\"", true},
  };
  for (const auto& c : cases) {
    ScriptRun run;
    run.macros.left = "L";
    run.macros.right = "R";
    run.macros.ask[0] = c.answer;
    EXPECT_EQ(run.holds(c.line), c.holds) << c.line << " with " << c.answer;
  }
}

TEST(MacroPlaces, SearchFileTakesTheLeadingExpansionAndItsTextEveryStoredMacro) {
  ScriptRun run;
  run.sim.writeFile("C:\\RIGHT\\F.INI", "path=C:\\WINDOWS\\SYSTEM\r\nkeep $RIGHT$ here\r\n");
  run.sim.writeFile("C:\\W\\$DIR2$.INI", "D:\\DATA\r\n");
  struct Case {
    const char* line;
    bool holds;
  } cases[] = {
      {"IF search \"=$WINDIR$\" \"$RIGHT$\\F.INI\"", true},
      {"IF search \"SYSTEM\" \"$RIGHT$\\F.INI\"", true},
      {"IF search \"$RIGHT$ HERE\" \"C:\\RIGHT\\F.INI\"", true},  // the text keeps $RIGHT$
      {"IF search \"$DIR2$\" \"C:\\W\\$DIR2$.INI\"", true},       // the file is not expanded inside
      {"IF search \"x\" \"X$RIGHT$\\F.INI\"", false},
  };
  for (const auto& c : cases) {
    run.macros.right = "C:\\RIGHT";
    EXPECT_EQ(run.holds(c.line), c.holds) << c.line;
  }
}

TEST(MacroPlaces, DestinationStatementsTakeTheLeadingExpansion) {
  struct Case {
    const char* statement;
    const char* defaultDir;
    const char* dir2;
  } cases[] = {
      {"DEFAULTDIR \"$RIGHT$\\APP\"", "C:\\RIGHT\\APP", "D:\\DATA"},
      {"DEFAULTDIR \"$LEFT$\"", "C:\\LEFT", "D:\\DATA"},
      {"DEFAULTDIR \"C:\\APP\\$WINDIR$\"", "C:\\APP\\$WINDIR$", "D:\\DATA"},
      {"DIR2 \"$RIGHT$\\DATA\"", "", "C:\\RIGHT\\DATA"},
      {"DIR2 \"$ASK1$\\$DIR2$\"", "", "C:\\yes\\$DIR2$"},
  };
  for (const Case& c : cases) {
    ScriptRun run;
    ASSERT_EQ(run.parse(std::string(c.statement) + "\n"), 0) << c.statement;
    EXPECT_EQ(run.macros.dir2, c.dir2) << c.statement;
    if (*c.defaultDir) {
      EXPECT_EQ(run.macros.defaultDir, c.defaultDir) << c.statement;
    }
  }
}

TEST(MacroPlaces, StartupCommandTakesEveryStoredMacroButNotLeftOrRight) {
  struct Case {
    const char* command;
    const char* expanded;
  } cases[] = {
      {"$WINDIR$\\TOOL.EXE $DIR2$", "C:\\WINDOWS\\TOOL.EXE D:\\DATA"},
      {"$RIGHT$\\TOOL.EXE", "$RIGHT$\\TOOL.EXE"},
      {"TOOL.EXE /a=$ASK1$ $LEFT$", "TOOL.EXE /a=yes $LEFT$"},
  };
  for (const Case& c : cases) {
    ScriptRun run;
    ASSERT_EQ(run.parse(std::string("RUNATSTART \"") + c.command + "\"\n"), 0) << c.command;
    EXPECT_EQ(run.state.settings.runAtStart, c.expanded) << c.command;
  }
}

}  // namespace
}  // namespace qm
