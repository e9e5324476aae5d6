#include "sysconfig/program_items.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "engine/engine_fixture_for_tests.h"
#include "sysconfig/system_configuration.h"

namespace qm {
namespace {

using testing::EngineFixture;

ProgramItem item(std::string group, std::string command = "", std::string title = "",
                 std::string dir = "", std::string icon = "", std::string index = "",
                 int mode = 0) {
  return ProgramItem{group, command, title, dir, icon, index, mode};
}

TEST(ProgramItems, AddItemCommandForEveryForm) {
  MacroValues m;
  m.defaultDir = "C:\\APP";
  struct Case {
    ProgramItem item;
    const char* command;
  } cases[] = {
      {item("G", "C:\\APP\\APP.EXE", "App"), "[AddItem(C:\\APP\\APP.EXE, App)]"},
      {item("G", "C:\\APP\\APP.EXE"), "[AddItem(C:\\APP\\APP.EXE)]"},
      // Without a title nothing else is sent, whatever else the statement gave.
      {item("G", "C:\\APP\\APP.EXE", "", "C:\\APP\\", "C:\\APP\\APP.ICO", "2"),
       "[AddItem(C:\\APP\\APP.EXE)]"},
      {item("G", "C:\\APP\\APP.EXE", "App", "", "C:\\APP\\APP.ICO"),
       "[AddItem(C:\\APP\\APP.EXE, App, C:\\APP\\APP.ICO)]"},
      {item("G", "C:\\APP\\APP.EXE", "App", "", "C:\\APP\\APP.ICO", "2"),
       "[AddItem(C:\\APP\\APP.EXE, App, C:\\APP\\APP.ICO, 2)]"},
      {item("G", "C:\\APP\\APP.EXE", "App", "C:\\APP\\", "C:\\APP\\APP.ICO", "2"),
       "[AddItem(C:\\APP\\APP.EXE, App, C:\\APP\\APP.ICO, 2, -1, -1,C:\\APP\\)]"},
      {item("G", "C:\\APP\\APP.EXE", "App", "C:\\APP\\", "C:\\APP\\APP.ICO"),
       "[AddItem(C:\\APP\\APP.EXE, App, C:\\APP\\APP.ICO, , -1, -1,C:\\APP\\)]"},
      {item("G", "C:\\APP\\APP.EXE", "App", "C:\\APP\\"),
       "[AddItem(C:\\APP\\APP.EXE, App, , , -1, -1,C:\\APP\\)]"},
      // An icon index without an icon file has no place of its own.
      {item("G", "C:\\APP\\APP.EXE", "App", "", "", "3"), "[AddItem(C:\\APP\\APP.EXE, App)]"},
      {item("G", "$DEFAULTDIR$\\APP.EXE /x", "App $DEFAULTDIR$", "$DEFAULTDIR$\\",
            "$DEFAULTDIR$\\A.ICO", "$DEFAULTDIR$"),
       "[AddItem(C:\\APP\\APP.EXE /x, App C:\\APP, C:\\APP\\A.ICO, $DEFAULTDIR$, -1, "
       "-1,C:\\APP\\)]"},
  };
  for (const auto& c : cases) EXPECT_EQ(addItemCommand(c.item, m), c.command) << c.command;
}

// A shell that writes down every call; a command text is "connect|execute|disconnect" in one.
class RecordingShell : public ProgramGroups {
 public:
  bool startShellClient() override { return clientStarts; }
  bool connectShell() override {
    connected = shellRuns;
    return shellRuns;
  }
  bool executeShellCommand(const std::string& command) override {
    EXPECT_TRUE(connected) << command;
    sent.push_back(command);
    return command.find(refuse) == std::string::npos;
  }
  void disconnectShell() override { connected = false; }
  bool clientStarts = true;
  bool shellRuns = true;
  bool connected = false;
  std::string refuse = "\x01";  // commands holding this text are refused
  std::vector<std::string> sent;
};

TEST(ProgramItems, CommandsAndLogLinesInScriptOrder) {
  struct Case {
    const char* what;
    std::vector<ProgramItem> items;
    std::vector<std::string> sent;
    std::string log;
  } cases[] = {
      {"one group for a run of equal groups",
       {item("Tools", "A.EXE", "A"), item("tools", "B.EXE", "B")},
       {"[CreateGroup(Tools)]", "[AddItem(A.EXE, A)]", "[AddItem(B.EXE, B)]"},
       "WINITEM: \"Tools\", \"A\"\r\nWINITEM: \"tools\", \"B\"\r\n"},
      {"a group coming back is created again",
       {item("A", "1.EXE", "1"), item("B", "2.EXE", "2"), item("A", "3.EXE", "3")},
       {"[CreateGroup(A)]", "[AddItem(1.EXE, 1)]", "[CreateGroup(B)]", "[AddItem(2.EXE, 2)]",
        "[CreateGroup(A)]", "[AddItem(3.EXE, 3)]"},
       "WINITEM: \"A\", \"1\"\r\nWINITEM: \"B\", \"2\"\r\nWINITEM: \"A\", \"3\"\r\n"},
      {"remove without a command deletes the group, unlogged",
       {item("Old", "", "", "", "", "", 2)},
       {"[DeleteGroup(Old)]"},
       ""},
      {"remove with a command deletes the item, unlogged",
       {item("G", "X.EXE", "X", "", "", "", 2)},
       {"[CreateGroup(G)]", "[DeleteItem(X)]"},
       ""},
      {"replace removes by title, then adds",
       {item("G", "X.EXE", "X", "", "", "", 1)},
       {"[CreateGroup(G)]", "[ReplaceItem(X)]", "[AddItem(X.EXE, X)]"},
       "WINITEM: \"G\", \"X\"\r\n"},
      {"group only is created and logged",
       {item("G")},
       {"[CreateGroup(G)]"},
       "WINITEM: \"G\", \"\"\r\n"},
      {"a deleted group is created again by the next entry",
       {item("G", "A.EXE", "A"), item("G", "", "", "", "", "", 2), item("G", "B.EXE", "B")},
       {"[CreateGroup(G)]", "[AddItem(A.EXE, A)]", "[DeleteGroup(G)]", "[CreateGroup(G)]",
        "[AddItem(B.EXE, B)]"},
       "WINITEM: \"G\", \"A\"\r\nWINITEM: \"G\", \"B\"\r\n"},
      {"leading macro of the group expanded; the logged title is as written",
       {item("$DEFAULTDIR$ Tools", "$DEFAULTDIR$\\A.EXE", "A $DEFAULTDIR$")},
       {"[CreateGroup(C:\\APP Tools)]", "[AddItem(C:\\APP\\A.EXE, A C:\\APP)]"},
       "WINITEM: \"C:\\APP Tools\", \"A $DEFAULTDIR$\"\r\n"},
  };
  for (const auto& c : cases) {
    EngineFixture f;
    f.settleDestination();
    RecordingShell shell;
    runProgramItems(shell, f.engine, c.items);
    EXPECT_EQ(shell.sent, c.sent) << c.what;
    EXPECT_EQ(f.log(), c.log) << c.what;
  }
}

TEST(ProgramItems, MissingShellOrDdeClient) {
  const std::vector<ProgramItem> items = {item("G", "A.EXE", "A"), item("G")};
  {
    EngineFixture f;
    f.settleDestination();
    RecordingShell shell;
    shell.clientStarts = false;
    runProgramItems(shell, f.engine, items);
    EXPECT_TRUE(shell.sent.empty());
    EXPECT_EQ(f.log(), "");
  }
  {
    // No shell answers: nothing is carried out, but the entries are logged as always.
    EngineFixture f;
    f.settleDestination();
    RecordingShell shell;
    shell.shellRuns = false;
    runProgramItems(shell, f.engine, items);
    EXPECT_TRUE(shell.sent.empty());
    EXPECT_EQ(f.log(), "WINITEM: \"G\", \"A\"\r\nWINITEM: \"G\", \"\"\r\n");
  }
  {
    // The shell refuses an item: it is not logged as made; the next one still is.
    EngineFixture f;
    f.settleDestination();
    RecordingShell shell;
    shell.refuse = "A.EXE";
    runProgramItems(shell, f.engine, {item("G", "A.EXE", "A"), item("G", "B.EXE", "B")});
    EXPECT_EQ(shell.sent.size(), 3u);
    EXPECT_EQ(f.log(), "WINITEM: \"G\", \"B\"\r\n");
  }
}

TEST(ProgramItems, SimulatedProgramManagerKeepsGroupsIni) {
  EngineFixture f;
  f.settleDestination();
  auto& items = f.state.config.programItems;
  items = {item("Tools", "$DEFAULTDIR$\\A.EXE", "Alpha", "$DEFAULTDIR$\\"),
           item("Tools", "C:\\B.EXE", "Beta", "", "C:\\B.ICO", "1"),
           item("Tools", "C:\\A2.EXE", "Alpha", "", "", "", 1),
           item("Gone", "C:\\G.EXE", "G"),
           item("Gone", "", "", "", "", "", 2),
           item("Tools", "C:\\B.EXE", "Beta", "", "", "", 2)};
  applyProgramItems(f.engine);
  auto groups = f.sim.root() / "groups.ini";
  std::ifstream in(groups, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text, "[Tools]\r\nItem=Alpha|C:\\A2.EXE|||\r\n");
}

TEST(ProgramItems, GroupWindowNoClosesTheFolderWindowsTheShellOpened) {
  const std::string closedTools =
      "program items: closed the window the shell opened for Tools (GroupWindow=No)";
  struct Case {
    const char* what;
    const char* windows;  // the version the machine reports
    const char* groupWindow;
    std::vector<std::string> windowLines, stillOpen;
  } cases[] = {
      // The deleted group's window went with it; the created one is closed, named once.
      {"95 shell, GroupWindow=No", "4.0", "No", {closedTools}, {}},
      {"95 shell, the key in another case", "4.0", "no", {closedTools}, {}},
      {"95 shell, no key: the window stays for the user", "4.0", nullptr, {}, {"Tools"}},
      {"95 shell, GroupWindow=Yes", "4.0", "Yes", {}, {"Tools"}},
      {"Program Manager keeps groups in its own window",
       "3.10",
       "No",
       {"program items: no window came up for Tools (GroupWindow=No)"},
       {}},
  };
  for (const auto& c : cases) {
    std::string machine = SimFixture::kDefaultMachine;
    machine.replace(machine.find("Windows=3.95"), 12, std::string("Windows=") + c.windows);
    EngineFixture f(machine);
    f.settleDestination();
    if (c.groupWindow) f.ui.given["GroupWindow"] = c.groupWindow;
    f.state.config.programItems = {item("Tools", "C:\\A.EXE", "A"), item("Gone", "C:\\G.EXE", "G"),
                                   item("Gone", "", "", "", "", "", 2),
                                   item("tools", "C:\\B.EXE", "B")};
    applyProgramItems(f.engine);
    std::vector<std::string> windowLines;
    for (const std::string& line : f.ui.traced)
      if (line.find("GroupWindow") != std::string::npos) windowLines.push_back(line);
    EXPECT_EQ(windowLines, c.windowLines) << c.what;
    EXPECT_EQ(f.sim.sys().closeShellGroupWindows({"Tools", "Gone"}, 0), c.stillOpen) << c.what;
  }
}

TEST(ProgramItems, MachineWithoutShellChangesNoGroupsButLogs) {
  std::string machine = SimFixture::kDefaultMachine;
  machine.insert(std::string("[Machine]\n").size(), "Shell=none\n");
  EngineFixture f(machine);
  f.settleDestination();
  f.state.config.programItems = {item("Tools", "C:\\A.EXE", "A")};
  applyProgramItems(f.engine);
  EXPECT_FALSE(std::filesystem::exists(f.sim.root() / "groups.ini"));
  EXPECT_EQ(f.log(), "WINITEM: \"Tools\", \"A\"\r\n");
}

}  // namespace
}  // namespace qm
