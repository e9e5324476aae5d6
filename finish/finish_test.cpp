#include "finish/finish.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "platform/sim/sim_fixture_for_tests.h"
#include "script/install_state.h"
#include "script/macros.h"
#include "script/source.h"
#include "ui/scripted_ui_for_tests.h"

namespace qm {
namespace {

std::string machineWithWindows(const std::string& version) {
  std::string text = SimFixture::kDefaultMachine;
  text.replace(text.find("Windows=3.95"), 12, "Windows=" + version);
  return text;
}

TEST(Finish, ReadmeCommandPutsTheDestinationBeforeRelativePathsOnly) {
  struct Case {
    const char* readme;
    const char* command;
  } cases[] = {
      {"README.TXT", "notepad C:\\APP\\README.TXT"},
      {"DOCS\\README.TXT", "notepad C:\\APP\\DOCS\\README.TXT"},
      {"\\README.TXT", "notepad \\README.TXT"},
      {"D:README.TXT", "notepad D:README.TXT"},
      {"C:\\WINDOWS\\README.TXT", "notepad C:\\WINDOWS\\README.TXT"},
      {"\"\\MY DOCS\\READ ME.TXT\"", "notepad \"\\MY DOCS\\READ ME.TXT\""},
      {"\"C:\\MY DOCS\\READ ME.TXT\"", "notepad \"C:\\MY DOCS\\READ ME.TXT\""},
      // A quote before a relative name does not make it rooted.
      {"\"READ ME.TXT\"", "notepad C:\\APP\\\"READ ME.TXT\""},
  };
  for (const Case& c : cases) EXPECT_EQ(readmeCommand(c.readme, "C:\\APP"), c.command) << c.readme;
}

TEST(Finish, ShutdownPrivilegeOnlyFromVersion35To36) {
  struct Case {
    double version;
    bool needed;
  } cases[] = {{3.1, false}, {3.49, false}, {3.5, true},   {3.51, true},
               {3.6, true},  {3.61, false}, {3.95, false}, {4.0, false}};
  for (const Case& c : cases) EXPECT_EQ(needsShutdownPrivilege(c.version), c.needed) << c.version;
}

TEST(Finish, RestartDeletesTheTemporaryFilesAndAsksWithThePrivilegeWhereNeeded) {
  struct Case {
    const char* windows;
    RebootMode mode;
    int result;
    const char* log;
  } cases[] = {
      {"3.51", RebootMode::System, 1, "privilege SeShutdownPrivilege\nrestart\n"},
      {"4.0", RebootMode::Windows, 1, "restart\n"},
      {"3.95", RebootMode::None, 0, ""},
  };
  for (const Case& c : cases) {
    SimFixture f(machineWithWindows(c.windows));
    f.writeFile("C:\\TEMP\\~0000.BAT", "del x\n");
    f.writeFile("C:\\TEMP\\~0000.PIF", "pif");
    f.writeFile("C:\\TEMP\\~0000.EXE", "exe");
    EXPECT_EQ(restart(f.sys(), c.mode), c.result) << c.windows;
    EXPECT_EQ(f.processesLog(), c.log) << c.windows;
    bool asked = c.mode != RebootMode::None;
    EXPECT_EQ(f.exists("C:\\TEMP\\~0000.BAT"), !asked);
    EXPECT_EQ(f.exists("C:\\TEMP\\~0000.PIF"), !asked);
    EXPECT_TRUE(f.exists("C:\\TEMP\\~0000.EXE"));  // the batch removes the program itself
  }
}

class RefusingMachine : public SimSystem {
 public:
  using SimSystem::SimSystem;
  bool enableShutdownPrivilege() override { return false; }
  bool requestRestart() override {
    ++requests;
    return false;
  }
  int requests = 0;
};

TEST(Finish, RefusedPrivilegeMakesNoRestartRequest) {
  SimFixture f(machineWithWindows("3.51"));
  std::string error;
  RefusingMachine sys(*readMachineFile(f.machineFile().string(), error));
  EXPECT_EQ(restart(sys, RebootMode::Windows), 0);
  EXPECT_EQ(sys.requests, 0);
}

struct ExitRun {
  SimFixture f;
  InstallState state;
  MacroValues macros;
  ScriptedUi ui;
  ExitRun() {
    macros.defaultDir = "C:\\APP";
    macros.winDir = "C:\\WINDOWS";
  }
};

TEST(Finish, ExitHandlerStartsReadmeAndProgramsShownNormallyWithoutWaiting) {
  ExitRun run;
  run.state.finish.readme = "$WINDIR$\\README.TXT";
  run.state.finish.runAtExit = {"C:\\APP\\FIRST.EXE", "", "C:\\APP\\SECOND.EXE -x"};
  run.f.writeFile("C:\\APP\\FIRST.EXE", "exe");
  run.f.writeFile("C:\\APP\\SECOND.EXE", "exe");
  EXPECT_EQ(exitHandler(run.f.sys(), run.ui, &run.state, run.macros), RestartOutcome::NotAsked);
  EXPECT_EQ(run.f.processesLog(),
            "start show=5 wait=0 notepad C:\\WINDOWS\\README.TXT\n"
            "start show=5 wait=0 C:\\APP\\FIRST.EXE\n"
            "start show=5 wait=0 C:\\APP\\SECOND.EXE -x\n");
  EXPECT_TRUE(run.ui.boxes.empty());
}

TEST(Finish, RestartQuestionDecidesOutcomeAndExitCode) {
  struct Case {
    MsgResult answer;
    RestartOutcome outcome;
    int exitCode;
    const char* log;
  } cases[] = {
      {MsgResult::Yes, RestartOutcome::Requested, 0, "restart\n"},
      {MsgResult::No, RestartOutcome::Declined, kExitRestartPending, ""},
  };
  for (const Case& c : cases) {
    ExitRun run;
    run.state.finish.rebootMode = RebootMode::System;
    run.state.settings.prompts.reboot = "Restart now?";
    run.ui.boxAnswers.push_back(c.answer);
    RestartOutcome outcome = exitHandler(run.f.sys(), run.ui, &run.state, run.macros);
    EXPECT_EQ(outcome, c.outcome);
    EXPECT_EQ(finishExitCode(0, outcome), c.exitCode);
    EXPECT_EQ(run.f.processesLog(), c.log);
    ASSERT_EQ(run.ui.boxes.size(), 1u);
    const MessageRequest& box = run.ui.boxes[0];
    EXPECT_EQ(box.text, "Restart now?");
    EXPECT_EQ(box.caption, " ");
    EXPECT_EQ(box.icon, MsgIcon::Question);
    EXPECT_EQ(box.buttons, MsgButtons::YesNo);
    EXPECT_EQ(box.topic, "Reboot");
    EXPECT_TRUE(box.owned);
  }
}

TEST(Finish, RefusedRestartReportsThePendingCode) {
  ExitRun run;
  std::string error;
  RefusingMachine sys(*readMachineFile(run.f.machineFile().string(), error));
  run.state.finish.rebootMode = RebootMode::Windows;
  RestartOutcome outcome = exitHandler(sys, run.ui, &run.state, run.macros);
  EXPECT_EQ(outcome, RestartOutcome::Refused);
  EXPECT_EQ(finishExitCode(0, outcome), kExitRestartPending);
  // A failed installation keeps its own code whatever the restart did.
  EXPECT_EQ(finishExitCode(3, outcome), 3);
  EXPECT_EQ(finishExitCode(2, RestartOutcome::NotAsked), 2);
}

TEST(Finish, NothingStartsWithoutAnInstallation) {
  ExitRun run;
  EXPECT_EQ(exitHandler(run.f.sys(), run.ui, nullptr, run.macros), RestartOutcome::NotAsked);
  EXPECT_EQ(run.f.processesLog(), "");
}

TEST(Finish, ApplicationEndCopiesTheUninstallerOnlyWithLogging) {
  for (bool logging : {true, false}) {
    ExitRun run;
    run.f.writeFile("C:\\APP\\UNSTALL.EXE", "new uninstaller");
    run.f.writeFile("C:\\WINDOWS\\UNSTALL.EXE", "old uninstaller");
    run.state.engine.logging = logging;
    Container container(run.f.sys());
    run.f.sys().setModulePath("A:\\SETUP.EXE");
    applicationEnd(run.f.sys(), run.ui, &run.state, run.macros, container);
    EXPECT_EQ(run.f.readFile("C:\\WINDOWS\\UNSTALL.EXE"),
              logging ? "new uninstaller" : "old uninstaller");
    EXPECT_EQ(run.f.processesLog(), "");  // not the temporary copy: no clean-up
  }
}

std::string peFile(const char* name) {
  std::ifstream in(std::string(QM_SOURCE_DIR) + "/tests/data/pe/" + name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The shared uninstaller serves every installation: only a whole copy that is not older replaces
// it, and a copy that breaks off on the way leaves it as it was.
TEST(Finish, TheSharedUninstallerIsReplacedOnlyByAWholeCopyThatIsNotOlder) {
  const std::string v471 = peFile("ver_e4.dll"), v10 = peFile("ver_b0.dll");
  ASSERT_FALSE(v471.empty() || v10.empty());
  struct Case {
    const char* name;
    std::string installed, shared;
    bool brokenOff = false;
    bool diskFills = false;
    std::string after;
  };
  const Case cases[] = {
      {"an older copy is replaced", v10, v471, false, false, v10},
      {"a newer copy stays", v471, v10, false, false, v10},
      {"a copy that broke off stays out", v10.substr(0, 700), v471, true, false, v471},
      {"a copy the disk cannot take leaves the old one", v10, v471, false, true, v471},
      {"without versions the installed one wins", "new uninstaller", "old", false, false,
       "new uninstaller"},
  };
  for (const Case& c : cases) {
    ExitRun run;
    run.f.writeFile("C:\\APP\\UNSTALL.EXE", c.installed);
    run.f.writeFile("C:\\WINDOWS\\UNSTALL.EXE", c.shared);
    run.state.engine.logging = true;
    if (c.brokenOff) run.state.engine.brokenFiles.push_back("C:\\APP\\unstall.exe");
    if (c.diskFills) run.f.sys().failWritesAfter(100);
    Container container(run.f.sys());
    run.f.sys().setModulePath("A:\\SETUP.EXE");
    applicationEnd(run.f.sys(), run.ui, &run.state, run.macros, container);
    run.f.sys().clearFaults();
    EXPECT_EQ(run.f.readFile("C:\\WINDOWS\\UNSTALL.EXE"), c.after) << c.name;
    EXPECT_FALSE(run.f.exists("C:\\WINDOWS\\~qmunst.tmp")) << c.name;
  }
}

TEST(Finish, TemporaryCopyStartsItsHiddenCleanUp) {
  ExitRun run;
  Container container(run.f.sys());
  run.f.sys().setModulePath("C:\\TEMP\\~0000.EXE");
  run.f.writeFile("C:\\TEMP\\~0000.pif", "pif");
  // No uninstaller in the destination: the copy fails and nothing is said.
  run.state.engine.logging = true;
  applicationEnd(run.f.sys(), run.ui, &run.state, run.macros, container);
  EXPECT_FALSE(run.f.exists("C:\\WINDOWS\\UNSTALL.EXE"));
  EXPECT_EQ(run.f.processesLog(),
            "start show=0 wait=0 C:\\TEMP\\~0000.pif /C C:\\TEMP\\~0000.bat\n");
}

}  // namespace
}  // namespace qm
