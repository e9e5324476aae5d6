#include "shell/startup.h"

#include <gtest/gtest.h>

#include "platform/sim/sim_fixture_for_tests.h"
#include "script/memory_system_for_tests.h"
#include "tools/container_writer.h"

namespace qm {
namespace {

// Records every message box and trace line.
class RecordingUi : public Ui {
 public:
  std::vector<MessageRequest> boxes;
  std::vector<std::string> traces;
  MsgResult messageBox(const MessageRequest& request) override {
    boxes.push_back(request);
    return MsgResult::Ok;
  }
  void trace(const std::string& line) override { traces.push_back(line); }
};

// Logs the hooks into a shared call list and checks what start-up prepared before each one.
class RecordingHooks : public StartupHooks {
 public:
  explicit RecordingHooks(std::vector<std::string>& calls) : calls_(calls) {}
  int parseResult = 0;
  bool introTakesOver = false;
  std::string runAtStart;
  std::string introPath;
  bool windowExistedAtParse = true;
  bool stateExistedAtParse = false;
  std::string winDirAtParse, sourceDirAtParse;

  void createWindowBrush(Run&) override { calls_.push_back("brush"); }
  void createMainWindow(Run&) override { calls_.push_back("createMainWindow"); }
  void setDialogColours(Run&) override { calls_.push_back("dialogColours"); }
  int parse(Run& run) override {
    calls_.push_back("parse");
    windowExistedAtParse = run.startup.mainWindowExists;
    stateExistedAtParse = run.state != nullptr;
    winDirAtParse = run.macros.winDir;
    sourceDirAtParse = run.macros.sourceDir;
    if (run.state) {
      run.state->settings.runAtStartPending = !runAtStart.empty();
      run.state->settings.runAtStart = runAtStart;
      run.state->settings.introScreenPath = introPath;
    }
    return parseResult;
  }
  void showMainWindow(Run& run) override {
    calls_.push_back(run.startup.mainWindowExists ? "showMainWindow(owner)" : "showMainWindow");
  }
  bool showIntro(Run&) override {
    calls_.push_back("showIntro");
    return introTakesOver;
  }
  void postStart(Run&) override { calls_.push_back("postStart"); }

 private:
  std::vector<std::string>& calls_;
};

struct SimRun {
  SimFixture fx;
  RecordingUi ui;
  std::vector<std::string> calls;
  RecordingHooks hooks{calls};
  std::unique_ptr<Run> run;

  explicit SimRun(const std::string& machine = SimFixture::kDefaultMachine) : fx(machine) {}
  StartupResult start(const std::string& module, const std::string& arguments) {
    fx.sys().setModulePath(module);
    fx.sys().setCommandLineArguments(arguments);
    run = std::make_unique<Run>(fx.sys(), ui);
    return startUp(*run, hooks);
  }
};

std::string programBytes(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = char(i * 31 + i / 251);
  return bytes;
}

const std::string kBatch =
    "@ECHO OFF\r\ndel C:\\TEMP\\~0000.exe\r\ndel C:\\TEMP\\~0000.pif\r\ndel "
    "C:\\TEMP\\~0000.bat\r\n";

TEST(StartupCommandLine, OptionsAndScriptTokens) {
  const std::string dir = "A:\\";
  struct Case {
    std::string args;
    std::vector<std::string> options;
    std::string script;
  };
  const Case cases[] = {
      {"", {}, ""},
      {"MY.CFG", {}, "A:\\MY.CFG"},
      {"D:\\X\\MY.CFG", {}, "D:\\X\\MY.CFG"},
      {"sub\\my.cfg", {}, "sub\\my.cfg"},
      {"B:MY.CFG", {}, "B:MY.CFG"},
      {"C:\\A.CFG D:\\B.CFG", {}, "D:\\B.CFG"},
      {"-a -b -c -d MY.CFG", {"a", "b", "c"}, ""},
      {"MY.CFG -a -b -c -d OTHER.CFG", {"a", "b", "c"}, "A:\\MY.CFG"},
      {"\t-x\tMY.CFG\n-y  ", {"x", "y"}, "A:\\MY.CFG"},
      {"- -z", {"", "z"}, ""},
      {std::string(990, ' ') + "-abcdefghijkl", {"abcdefgh"}, ""},
  };
  for (const Case& c : cases) {
    CommandLine cl = parseCommandLine(c.args, dir);
    std::vector<std::string> options(cl.options, cl.options + cl.optionCount);
    EXPECT_EQ(options, c.options) << c.args;
    EXPECT_EQ(cl.scriptPath, c.script) << c.args;
  }
}

TEST(StartupCommandLine, DeploymentSwitchesAreTakenOutAndPassedOn) {
  struct Case {
    std::string args;
    std::string answers, log, script;
    std::vector<std::string> options;
    std::string passedOn;
  };
  const Case cases[] = {
      {"/ANSWERS=C:\\A.INI /LOG=C:\\T.LOG",
       "C:\\A.INI",
       "C:\\T.LOG",
       "",
       {},
       " /ANSWERS=C:\\A.INI /LOG=C:\\T.LOG"},
      {"-x /answers=\"C:\\MY DIR\\A.INI\" MY.CFG /Log=T.LOG",
       "C:\\MY DIR\\A.INI",
       "T.LOG",
       "A:\\MY.CFG",
       {"x"},
       " /ANSWERS=\"C:\\MY DIR\\A.INI\" /LOG=T.LOG"},
      // Only the two switches: any other token is read as before, "/S" as a script name.
      {"/S", "", "", "A:\\/S", {}, ""},
      {"/ANSWERSX=1 /LOGS", "", "", "A:\\/LOGS", {}, ""},
      // Switches do not count among the three options, wherever they stand.
      {"-a /LOG=L -b -c -d X.CFG", "", "L", "", {"a", "b", "c"}, " /LOG=L"},
  };
  for (const Case& c : cases) {
    CommandLine cl = parseCommandLine(c.args, "A:\\");
    EXPECT_EQ(cl.answersFile, c.answers) << c.args;
    EXPECT_EQ(cl.logFile, c.log) << c.args;
    EXPECT_EQ(cl.scriptPath, c.script) << c.args;
    EXPECT_EQ(std::vector<std::string>(cl.options, cl.options + cl.optionCount), c.options)
        << c.args;
    EXPECT_EQ(deploymentSwitches(cl), c.passedOn) << c.args;
  }
}

TEST(StartupCommandLine, AProgramOnANetworkShareKeepsItsOrdinaryPath) {
  const std::pair<const char*, const char*> cases[] = {
      {"\\\\?\\UNC\\server\\share\\SETUP.EXE", "\\\\server\\share\\SETUP.EXE"},
      {"\\\\?\\unc\\server\\share\\SETUP.EXE", "\\\\server\\share\\SETUP.EXE"},
      {"\\\\?\\C:\\DIST\\SETUP.EXE", "C:\\DIST\\SETUP.EXE"},
      {"\\\\server\\share\\SETUP.EXE", "\\\\server\\share\\SETUP.EXE"},
  };
  for (const auto& [given, ordinary] : cases) EXPECT_EQ(withoutLongPathPrefix(given), ordinary);
  // The script is looked for beside it, and the message names that path.
  SimRun r;
  EXPECT_EQ(r.start("\\\\?\\UNC\\server\\share\\SETUP.EXE", ""), StartupResult::Failed);
  EXPECT_EQ(r.run->startup.scriptPath, "\\\\server\\share\\SETUP.cfg");
  ASSERT_EQ(r.ui.boxes.size(), 1u);
  EXPECT_EQ(r.ui.boxes[0].text,
            "File not found on the installation disk: \\\\server\\share\\SETUP.cfg. ");
}

TEST(StartupCommandLine, DerivedValues) {
  EXPECT_EQ(defaultScriptPath("A:\\SETUP.EXE"), "A:\\SETUP.cfg");
  EXPECT_EQ(defaultScriptPath("C:\\TEMP\\~0000.exe"), "C:\\TEMP\\~0000.cfg");
  EXPECT_EQ(defaultScriptPath("C:\\MY.DIR\\SETUP"), "C:\\MY.cfg");
  EXPECT_EQ(defaultScriptPath("SETUP"), "SETUP.cfg");
  struct Version {
    uint32_t word;
    double windows, dos;
  };
  const Version versions[] = {
      {0x070A5F03, 3.95, 7.10}, {0x06160A03, 3.10, 6.22}, {0x05000004, 4.0, 5.0}, {0, 0.0, 0.0},
      {0x14050B05, 5.11, 20.5},
  };
  for (const Version& v : versions) {
    EXPECT_DOUBLE_EQ(windowsVersionOf(v.word), v.windows) << std::hex << v.word;
    EXPECT_DOUBLE_EQ(dosVersionOf(v.word), v.dos) << std::hex << v.word;
  }
  struct Line {
    const char* text;
    bool insertDisk;
  };
  const Line lines[] = {
      {"INSERTDISK: \"Disk 2\"\n", true},
      {"insertdisk:\n", true},
      {"InsertDisk:x", true},
      {" INSERTDISK: \"Disk 2\"\n", false},
      {"\tINSERTDISK:", false},
      {"INSERTDISK \"x\"", false},
      {"INSERTDISK", false},
      {"; INSERTDISK:", false},
  };
  for (const Line& l : lines) EXPECT_EQ(isInsertDiskLine(l.text), l.insertDisk) << l.text;
}

TEST(StartupRelaunch, RemovableDiskWithInsertDiskLineRelaunches) {
  struct Case {
    const char* what;
    size_t programSize;
  };
  // Block boundaries: shorter than a block, exactly two blocks, and a partial third block.
  for (const Case& c : {Case{"small", 1000}, Case{"two blocks", 65536}, Case{"partial", 70001}}) {
    SimRun r;
    const std::string program = programBytes(c.programSize);
    r.fx.writeFile("A:\\SETUP.EXE", program);
    r.fx.writeFile("A:\\SETUP.cfg", "TITLE \"x\"\r\ninsertdisk: \"Disk 2\"\r\nFILE a\r\n");
    ASSERT_EQ(r.start("A:\\SETUP.EXE", ""), StartupResult::Relaunched) << c.what;
    EXPECT_EQ(r.fx.readFile("C:\\TEMP\\~0000.exe"), program) << c.what;
    EXPECT_EQ(r.fx.readFile("C:\\TEMP\\~0000.bat"), kBatch) << c.what;
    EXPECT_FALSE(r.fx.exists("C:\\TEMP\\~0000.pif")) << c.what;
    EXPECT_EQ(r.fx.processesLog(), "start show=5 wait=0 C:\\TEMP\\~0000.exe A:\\SETUP.cfg\n");
    EXPECT_TRUE(r.ui.boxes.empty());
    EXPECT_TRUE(r.calls.empty()) << "no window or parse before a relaunch";
    EXPECT_EQ(startupExitCode(StartupResult::Relaunched, *r.run), 0);
  }
}

TEST(StartupRelaunch, OnlyFromRemovableDisksWithAColumnOneInsertDisk) {
  struct Case {
    const char* what;
    std::string module;
    std::string script;
    bool relaunch;
  };
  const Case cases[] = {
      {"fixed disk", "C:\\DIST\\SETUP.EXE", "INSERTDISK: \"Disk 2\"\n", false},
      {"indented keyword", "A:\\SETUP.EXE", " INSERTDISK: \"Disk 2\"\n", false},
      {"keyword without colon", "A:\\SETUP.EXE", "INSERTDISK \"Disk 2\"\n", false},
      {"no INSERTDISK", "A:\\SETUP.EXE", "FILE a\n", false},
      {"temporary copy on a removable disk", "A:\\~0000.exe", "INSERTDISK: \"Disk 2\"\n", false},
      {"keyword after a long line", "A:\\SETUP.EXE",
       std::string(5000, 'x') + "\nINSERTDISK: \"Disk 2\"\n", true},
  };
  for (const Case& c : cases) {
    SimRun r;
    std::string dir = c.module.substr(0, c.module.rfind('\\') + 1);
    r.fx.writeFile(c.module, "MZ");
    r.fx.writeFile(defaultScriptPath(c.module), c.script);
    StartupResult result = r.start(c.module, "");
    EXPECT_EQ(result, c.relaunch ? StartupResult::Relaunched : StartupResult::Started) << c.what;
    EXPECT_EQ(r.fx.exists("C:\\TEMP\\~0000.bat"), c.relaunch) << c.what;
    if (!c.relaunch) {
      EXPECT_EQ(r.fx.processesLog(), "") << c.what;
      EXPECT_EQ(r.calls.back(), "postStart") << c.what;
    }
  }
}

TEST(StartupRelaunch, CopiesInstallPifAndPassesOptionsOn) {
  // Script and install.pif inside the program's container; nothing loose on the disk.
  SimRun r;
  PackItem script, pif;
  script.name = "SETUP.CFG";
  script.data = "INSERTDISK: \"Disk 2\"\n";
  pif.name = "INSTALL.PIF";
  pif.data = programBytes(40000);
  r.fx.writeFile("A:\\SETUP.EXE", containerImage(programBytes(5000), {script, pif}));
  ASSERT_EQ(r.start("A:\\SETUP.EXE", "-x - -z"), StartupResult::Relaunched);
  EXPECT_EQ(r.fx.readFile("C:\\TEMP\\~0000.pif"), pif.data);
  EXPECT_EQ(r.fx.readFile("C:\\TEMP\\~0000.exe"), r.fx.readFile("A:\\SETUP.EXE"));
  EXPECT_EQ(r.fx.processesLog(), "start show=5 wait=0 C:\\TEMP\\~0000.exe A:\\SETUP.cfg -x -z\n");
  EXPECT_EQ(r.run->startup.options[1], "");

  SimRun loose;
  loose.fx.writeFile("A:\\INST\\SETUP.EXE", "MZ");
  loose.fx.writeFile("A:\\INST\\install.pif", "pif bytes");
  loose.fx.writeFile("A:\\INST\\MY.CFG", "INSERTDISK: \"Disk 2\"\n");
  ASSERT_EQ(loose.start("A:\\INST\\SETUP.EXE", "MY.CFG -opt"), StartupResult::Relaunched);
  EXPECT_EQ(loose.fx.readFile("C:\\TEMP\\~0000.pif"), "pif bytes");
  EXPECT_EQ(loose.fx.processesLog(),
            "start show=5 wait=0 C:\\TEMP\\~0000.exe A:\\INST\\MY.CFG -opt\n");
}

// The machine reports the waited-for copy's exit code as a real one does.
class FinishedCopyMachine : public SimSystem {
 public:
  using SimSystem::SimSystem;
  long lastExitCode() const override { return code; }
  long code = -1;
};

TEST(StartupRelaunch, AnUnattendedRelaunchWaitsAndEndsWithTheCopysCode) {
  struct Case {
    bool unattended;
    long copyEnded;  // -1: its end could not be read
    const char* started;
    int exitCode;
  };
  const Case cases[] = {
      {false, 3010, "wait=0", 0},
      {true, 3010, "wait=1", 3010},
      {true, 2, "wait=1", 2},
      {true, -1, "wait=1", kCopyLost},
  };
  for (const Case& c : cases) {
    SimRun r;
    std::string error;
    std::optional<MachineConfig> config = readMachineFile(r.fx.machineFile().string(), error);
    ASSERT_TRUE(config) << error;
    FinishedCopyMachine sys(std::move(*config));
    sys.code = c.copyEnded;
    r.fx.writeFile("A:\\SETUP.EXE", "MZ");
    r.fx.writeFile("A:\\SETUP.cfg", "INSERTDISK: \"Disk 2\"\n");
    sys.setModulePath("A:\\SETUP.EXE");
    sys.setCommandLineArguments("/ANSWERS=A:\\A.INI");
    qm::Run run(sys, r.ui);
    run.waitForCopy = c.unattended;
    ASSERT_EQ(startUp(run, r.hooks), StartupResult::Relaunched);
    EXPECT_EQ(r.fx.processesLog(), std::string("start show=5 wait=") + (c.unattended ? "1" : "0") +
                                       " C:\\TEMP\\~0000.exe A:\\SETUP.cfg /ANSWERS=A:\\A.INI\n");
    EXPECT_EQ(startupExitCode(StartupResult::Relaunched, run), c.exitCode);
  }
}

TEST(StartupFailures, MessagesWithBlankCaptionAndWarningIcon) {
  struct Case {
    const char* what;
    std::string machine;
    std::string module;
    bool writeScript;
    std::string text;
  };
  const Case cases[] = {
      {"program path without a backslash", SimFixture::kDefaultMachine, "SETUP.EXE", true,
       "Invalid directory."},
      {"script missing", SimFixture::kDefaultMachine, "A:\\SETUP.EXE", false,
       "File not found on the installation disk: A:\\SETUP.cfg. "},
      {"batch file cannot be created", SimFixture::kDefaultMachine, "A:\\SETUP.EXE", true,
       "File not found on the installation disk: C:\\TEMP\\~0000.bat. "},
  };
  for (const Case& c : cases) {
    SimRun r(c.machine);
    // A folder in the way of the batch file: creating it fails.
    r.fx.makeDirectory("C:\\TEMP\\~0000.bat");
    r.fx.writeFile("A:\\SETUP.EXE", "MZ");
    if (c.writeScript) r.fx.writeFile("A:\\SETUP.cfg", "INSERTDISK: \"Disk 2\"\n");
    EXPECT_EQ(r.start(c.module, ""), StartupResult::Failed) << c.what;
    ASSERT_EQ(r.ui.boxes.size(), 1u) << c.what;
    const MessageRequest& box = r.ui.boxes[0];
    EXPECT_EQ(box.text, c.text) << c.what;
    EXPECT_EQ(box.caption, " ") << c.what;
    EXPECT_FALSE(box.captionDefault) << c.what;
    EXPECT_EQ(box.icon, MsgIcon::Warning) << c.what;
    EXPECT_EQ(box.buttons, MsgButtons::Ok) << c.what;
    EXPECT_FALSE(box.owned) << c.what;
    EXPECT_EQ(r.fx.processesLog(), "") << c.what;
    EXPECT_TRUE(r.calls.empty()) << c.what;
    EXPECT_EQ(startupExitCode(StartupResult::Failed, *r.run), 1);
  }
}

TEST(StartupNormal, ValuesForTheRestOfTheRun) {
  std::string machine = SimFixture::kDefaultMachine;
  machine.replace(machine.find("A=removable disk1 disk2 disk3"), 29, "A=fixed disk1");
  machine.erase(machine.find("disk2=DISK2"));
  machine.replace(machine.find("Windows=3.95"), 12, "Windows=4.10");
  SimRun r(machine);
  r.fx.writeFile("A:\\LONGDIRECTORY\\SETUP.EXE", "MZ");
  r.fx.writeFile("A:\\LONGDIRECTORY\\INSTALLATION.CFG", "INSERTDISK: \"Disk 2\"\n");
  ASSERT_EQ(r.start("A:\\LONGDIRECTORY\\SETUP.EXE", "-one INSTALLATION.CFG -two -three -four"),
            StartupResult::Started);
  const StartupValues& s = r.run->startup;
  const MacroValues& m = r.run->macros;
  EXPECT_EQ(s.programDir, "A:\\LONGDIRECTORY\\");
  EXPECT_EQ(s.programPath, "A:\\LONGDIRECTORY\\SETUP.EXE");
  EXPECT_EQ(s.scriptPath, "A:\\LONGDIRECTORY\\INSTALLATION.CFG");
  EXPECT_EQ(m.sourceDir, "A:\\LONGDIRECTORY");
  EXPECT_EQ(m.sourceDir8, r.fx.sys().shortPathName("A:\\LONGDIRECTORY").value());
  EXPECT_NE(m.sourceDir8, m.sourceDir);
  EXPECT_EQ(m.sourceDrive, "A");
  EXPECT_EQ(m.defaultDrive, "");
  EXPECT_EQ(m.system, "one");
  EXPECT_EQ(m.sys2, "two");
  EXPECT_EQ(m.sys3, "three");
  EXPECT_EQ(m.winDir, "C:\\WINDOWS");
  EXPECT_EQ(m.winHelpDir, "C:\\WINDOWS\\help");
  EXPECT_EQ(m.winSysDir, "C:\\WINDOWS\\SYSTEM");
  EXPECT_EQ(s.bootDrive, 'A');
  EXPECT_DOUBLE_EQ(s.windowsVersion, 4.10);
  EXPECT_DOUBLE_EQ(s.dosVersion, 7.10);
  EXPECT_EQ(s.screenWidth, 640);
  EXPECT_EQ(s.screenHeight, 480);
  EXPECT_EQ(r.fx.sys().currentDirectory(), "A:\\LONGDIRECTORY");
  EXPECT_EQ(r.hooks.sourceDirAtParse, "A:\\LONGDIRECTORY");
  EXPECT_TRUE(r.hooks.stateExistedAtParse);

  SimRun c;
  c.fx.writeFile("C:\\SETUP.EXE", "MZ");
  c.fx.writeFile("C:\\SETUP.cfg", "");
  ASSERT_EQ(c.start("C:\\SETUP.EXE", ""), StartupResult::Started);
  EXPECT_EQ(c.run->startup.bootDrive, 'C');
  EXPECT_EQ(c.run->macros.sourceDir, "C:");
  EXPECT_EQ(c.fx.sys().currentDirectory(), "C:\\");
}

TEST(StartupNormal, StepsRunInOrder) {
  struct Case {
    const char* what;
    int parseResult;
    std::string runAtStart, intro;
    bool introTakesOver;
    std::vector<std::string> calls;
    StartupResult result;
  };
  const std::vector<std::string> head = {"brush", "disableCriticalErrorBoxes", "createMainWindow",
                                         "dialogColours", "parse"};
  auto with = [&](std::vector<std::string> tail) {
    std::vector<std::string> all = head;
    all.insert(all.end(), tail.begin(), tail.end());
    return all;
  };
  const Case cases[] = {
      {"plain", 0, "", "", false, with({"showMainWindow(owner)", "postStart"}),
       StartupResult::Started},
      {"parse fails", 1, "", "", false, head, StartupResult::Failed},
      {"start-up command", 0, "C:\\RUN.EXE /q", "", false,
       with({"showMainWindow(owner)", "start C:\\RUN.EXE /q", "postStart"}),
       StartupResult::Started},
      {"intro posts the start itself", 0, "", "A:\\INTRO.BMP", true,
       with({"showMainWindow(owner)", "showIntro"}), StartupResult::Started},
      {"intro could not be shown", 0, "", "A:\\INTRO.BMP", false,
       with({"showMainWindow(owner)", "showIntro", "postStart"}), StartupResult::Started},
  };
  for (const Case& c : cases) {
    testing::MemorySystem sys;
    sys.moduleFile = "C:\\DIST\\SETUP.EXE";
    sys.put("C:\\DIST\\SETUP.cfg", "INSERTDISK: \"x\"\n");
    RecordingUi ui;
    RecordingHooks hooks(sys.calls);
    hooks.parseResult = c.parseResult;
    hooks.runAtStart = c.runAtStart;
    hooks.introPath = c.intro;
    hooks.introTakesOver = c.introTakesOver;
    qm::Run run(sys, ui);
    EXPECT_EQ(startUp(run, hooks), c.result) << c.what;
    std::vector<std::string> calls;
    for (const std::string& call : sys.calls)
      if (call.rfind("chdir", 0) != 0 && call.rfind("driveType", 0) != 0) calls.push_back(call);
    EXPECT_EQ(calls, c.calls) << c.what;
    EXPECT_FALSE(hooks.windowExistedAtParse) << c.what;
    EXPECT_EQ(hooks.winDirAtParse, "C:\\WINDOWS") << c.what;
    if (!c.runAtStart.empty()) {
      EXPECT_EQ(sys.started, std::vector<std::string>{"5|wait|" + c.runAtStart}) << c.what;
    }
  }
}

}  // namespace
}  // namespace qm
