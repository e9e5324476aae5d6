#include "platform/sim/program_manager.h"

#include <gtest/gtest.h>

#include "platform/sim/machine_file.h"

namespace qm {
namespace {

TEST(ProgramManager, CommandTextsAreSplitAsTheShellReadsThem) {
  struct Case {
    const char* text;
    std::optional<std::vector<ShellCommand>> parsed;
  };
  using C = ShellCommand;
  const Case cases[] = {
      {"[CreateGroup(Tools)]", std::vector<C>{{"CreateGroup", {"Tools"}}}},
      {"[AddItem(C:\\A.EXE, A, , , -1, -1,C:\\)]",
       std::vector<C>{{"AddItem", {"C:\\A.EXE", "A", "", "", "-1", "-1", "C:\\"}}}},
      {" [ExitProgman] [ShowGroup( G , 1 )]",
       std::vector<C>{{"ExitProgman", {}}, {"ShowGroup", {"G", "1"}}}},
      {"[AddItem(\"C:\\A B\\X.EXE, y\", \"T (1)\")]",
       std::vector<C>{{"AddItem", {"C:\\A B\\X.EXE, y", "T (1)"}}}},
      {"", std::nullopt},
      {"CreateGroup(Tools)", std::nullopt},
      {"[CreateGroup(Tools)", std::nullopt},
      {"[CreateGroup(Tools]", std::nullopt},
      {"[AddItem(\"open)]", std::nullopt},
      {"[(x)]", std::nullopt},
      {"[A(x)] junk", std::nullopt},
  };
  for (const auto& c : cases) {
    auto got = parseShellCommands(c.text);
    ASSERT_EQ(got.has_value(), c.parsed.has_value()) << c.text;
    if (!got) continue;
    ASSERT_EQ(got->size(), c.parsed->size()) << c.text;
    for (size_t i = 0; i < got->size(); ++i) {
      EXPECT_EQ((*got)[i].name, (*c.parsed)[i].name) << c.text;
      EXPECT_EQ((*got)[i].args, (*c.parsed)[i].args) << c.text;
    }
  }
}

TEST(ProgramManager, CommandsChangeTheGroupsAsTheShellDoes) {
  struct Step {
    const char* command;
    bool accepted;
    const char* groupsAfter;
  } steps[] = {
      {"[AddItem(C:\\A.EXE, A)]", false, ""},  // no active group yet
      {"[CreateGroup(Tools)]", true, "[Tools]\r\n"},
      {"[AddItem(C:\\A.EXE, A, C:\\A.ICO, 2, -1, -1,C:\\)]", true,
       "[Tools]\r\nItem=A|C:\\A.EXE|C:\\|C:\\A.ICO|2\r\n"},
      {"[AddItem(C:\\DIR\\BETA.EXE /q)]", true,
       "[Tools]\r\nItem=A|C:\\A.EXE|C:\\|C:\\A.ICO|2\r\nItem=BETA|C:\\DIR\\BETA.EXE /q|||\r\n"},
      // A folder names no program to take the title from.
      {"[AddItem(C:\\TOOLS\\)]", false,
       "[Tools]\r\nItem=A|C:\\A.EXE|C:\\|C:\\A.ICO|2\r\nItem=BETA|C:\\DIR\\BETA.EXE /q|||\r\n"},
      {"[ReplaceItem(a)]", true, "[Tools]\r\nItem=BETA|C:\\DIR\\BETA.EXE /q|||\r\n"},
      {"[AddItem(C:\\NEW.EXE, A)]", true,
       "[Tools]\r\nItem=A|C:\\NEW.EXE|||\r\nItem=BETA|C:\\DIR\\BETA.EXE /q|||\r\n"},
      {"[DeleteItem(Missing)]", false,
       "[Tools]\r\nItem=A|C:\\NEW.EXE|||\r\nItem=BETA|C:\\DIR\\BETA.EXE /q|||\r\n"},
      {"[DeleteItem(beta)]", true, "[Tools]\r\nItem=A|C:\\NEW.EXE|||\r\n"},
      {"[CreateGroup(Games)][AddItem(C:\\G.EXE, G|H)]", false,
       "[Tools]\r\nItem=A|C:\\NEW.EXE|||\r\n[Games]\r\n"},
      {"[CreateGroup(TOOLS)][AddItem(C:\\X.EXE, X)]", true,
       "[Tools]\r\nItem=A|C:\\NEW.EXE|||\r\nItem=X|C:\\X.EXE|||\r\n[Games]\r\n"},
      {"[DeleteGroup(tools)]", true, "[Games]\r\n"},
      {"[AddItem(C:\\X.EXE, X)]", false, "[Games]\r\n"},  // the active group is gone
      {"[DeleteGroup(Tools)]", false, "[Games]\r\n"},
      {"[Frobnicate(x)]", false, "[Games]\r\n"},
  };
  ProgramManagerGroups groups;
  ShellSession session;
  for (const auto& s : steps) {
    EXPECT_EQ(groups.execute(s.command, session), s.accepted) << s.command;
    EXPECT_EQ(groups.save(), s.groupsAfter) << s.command;
  }
}

TEST(ProgramManager, GroupsFileReadsBackAndNamesTheBadLine) {
  ProgramManagerGroups groups;
  std::string error;
  const std::string good =
      "; written by hand\n[Main]\nItem=Cmd|C:\\CMD.EXE /c a|b||C:\\I.ICO|0\n\n[Empty]\n";
  ASSERT_TRUE(groups.load(good, error)) << error;
  ASSERT_EQ(groups.groups().size(), 2u);
  const ShellItem want{"Cmd", "C:\\CMD.EXE /c a|b", "", "C:\\I.ICO", "0"};
  EXPECT_EQ(groups.groups()[0].items.at(0), want);
  ProgramManagerGroups again;
  ASSERT_TRUE(again.load(groups.save(), error)) << error;
  EXPECT_EQ(again.save(), groups.save());

  struct Bad {
    const char* text;
    const char* error;
  } bad[] = {
      {"Item=A|B|||\n", "1: Item= before the first [group]"},
      {"[G]\n[g]\n", "2: group \"g\" appears twice"},
      {"[G]\nItem=A|B|C\n", "2: Item= wants TITLE|COMMAND|WORKDIR|ICONFILE|ICONINDEX"},
      {"[G]\nItem=|B|||\n", "2: an item needs a title and a command"},
      {"[G\n", "1: bad group line \"[G\""},
      {"[G]\nName=x\n", "2: expected Item= or [group], got \"Name=x\""},
  };
  for (const auto& b : bad) {
    ProgramManagerGroups g;
    std::string e;
    EXPECT_FALSE(g.load(b.text, e)) << b.text;
    EXPECT_EQ(e, b.error) << b.text;
  }
}

TEST(ProgramManager, MachineFileSaysWhetherAShellRuns) {
  struct Case {
    const char* line;
    std::optional<bool> running;  // nullopt: the machine file is refused
  } cases[] = {
      {"", true}, {"Shell=progman\n", true}, {"shell=NONE\n", false}, {"Shell=explorer\n", {}}};
  for (const auto& c : cases) {
    std::string error;
    auto m = parseMachineText(std::string("[Machine]\n") + c.line + "[Drives]\nC=fixed tmp\n",
                              "m.ini", "/", error);
    ASSERT_EQ(m.has_value(), c.running.has_value()) << c.line << error;
    if (m) {
      EXPECT_EQ(m->shellRunning, *c.running) << c.line;
    } else {
      EXPECT_EQ(error, "m.ini:2: Shell= wants progman or none, got \"explorer\"");
    }
  }
}

}  // namespace
}  // namespace qm
