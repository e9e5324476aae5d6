#include "engine/install_driver.h"

#include <gtest/gtest.h>

#include <map>

#include "engine/engine_fixture_for_tests.h"

namespace qm {
namespace {

using testing::EngineFixture;
using testing::ScriptedUi;

// Dialogs end as the test says per topic (OK when it says nothing); every one is recorded.
class DriverUi : public ScriptedUi {
 public:
  DialogOutcome runDialog(const DialogSpec& dialog, DialogController&) override {
    dialogs.push_back(dialog.topic);
    auto it = outcomes.find(dialog.topic);
    return it == outcomes.end() ? DialogOutcome::Ok : it->second;
  }
  DiskAnswer diskPrompt(const DiskRequest& request) override {
    disks.push_back(request.message);
    return DiskAnswer::Present;
  }
  std::map<std::string, DialogOutcome> outcomes;
  std::vector<std::string> dialogs, disks;
};

class RecordingWindows : public EngineWindows {
 public:
  void createProgress(int files) override { events.push_back("progress " + std::to_string(files)); }
  void destroyProgress() override { events.push_back("progress end"); }
  void showPopup(int index) override { events.push_back("popup " + std::to_string(index)); }
  void showPercent(int percent) override { lastPercent = percent; }
  std::vector<std::string> events;
  int lastPercent = -1;
};

class CountingConfig : public ConfigurationPhases {
 public:
  void editAutoexec(Engine&) override { calls.push_back("autoexec"); }
  void editConfig(Engine&) override { calls.push_back("config"); }
  void editIniFiles(Engine&) override { calls.push_back("ini"); }
  void addTexts(Engine&) override { calls.push_back("addtext"); }
  void applyRegistry(Engine&) override { calls.push_back("registry"); }
  void createProgramItems(Engine&) override { calls.push_back("items"); }
  std::vector<std::string> calls;
};

// An engine whose destination C:\APP is used without asking, with two files on the disk.
struct Driver {
  explicit Driver(const std::string& machine = SimFixture::kDefaultMachine) : engine(machine) {
    DestinationRecord dest;
    dest.mode = 0;
    dest.path = "C:\\APP";
    state().settings.destinations[kDefaultDirIndex] = dest;
    engine.macros.defaultDir.clear();
    engine.sim.writeFile("C:\\SETUP\\ONE.TXT", "one");
    engine.sim.writeFile("C:\\SETUP\\TWO.TXT", "two");
    engine.engine.setWindows(&windows);
    engine.engine.config = &config;
  }
  InstallState& state() { return engine.state; }
  void addFile(const std::string& name, int group = -1, int popId = -1) {
    FileEntry e;
    e.name = name;
    e.overwrite = Overwrite::Yes;
    if (group >= 0) e.groups[0] = static_cast<uint32_t>(group);
    e.popId = popId;
    state().engine.files.push_back(e);
    state().engine.fileStatements += 1;
  }
  void addDisk(const std::string& name) {
    FileEntry d;
    d.diskMarker = 1;
    d.diskName = name;
    state().engine.files.push_back(d);
  }
  int run() {
    int r = startMessage(engine.engine);
    exitCode = installExitCode(engine.engine, r);
    return r;
  }
  EngineFixture engine;
  RecordingWindows windows;
  CountingConfig config;
  int exitCode = -1;
};

TEST(InstallDriver, ProcessorCheckFailsOnlyIntelProcessorsBelowTheRequirement) {
  struct Case {
    int required, reported;
    bool passes;
  } cases[] = {{586, 486, false}, {586, 586, true}, {486, 386, false}, {486, 486, true},
               {586, 386, false}, {586, 6, true},   {0, 386, true},    {386, 386, true}};
  for (const Case& c : cases) {
    std::string machine = SimFixture::kDefaultMachine;
    size_t at = machine.find("Processor=486");
    ASSERT_NE(at, std::string::npos);
    machine.replace(at, 13, "Processor=" + std::to_string(c.reported));
    Driver d(machine);
    d.state().engine.requiredProcessor = c.required;
    d.addFile("ONE.TXT");
    EXPECT_EQ(d.run(), c.passes ? 0 : 1) << c.required << " on " << c.reported;
    EXPECT_EQ(d.engine.sim.exists("C:\\APP\\ONE.TXT"), c.passes);
    if (!c.passes) {
      ASSERT_EQ(d.engine.ui.boxes.size(), 1u);
      EXPECT_EQ(d.engine.ui.boxes[0].text,
                "This application requires a computer with a processor no less than: " +
                    std::to_string(c.required));
      EXPECT_EQ(d.exitCode, 3);
    }
  }
}

TEST(InstallDriver, DiskSpaceIsComparedWithoutWrapping) {
  struct Case {
    const char* free;
    uint64_t base;
    bool passes;
  } cases[] = {
      {"1500000", 2000000, false},
      {"1500000", 0, true},                  // nothing needed: no check
      {"8589934592", 5000000000ull, true},   // both above 4 GB
      {"4294967296", 5000000000ull, false},  // 4 GB free would read as 0 in 32 bits
  };
  for (const Case& c : cases) {
    std::string machine = SimFixture::kDefaultMachine;
    machine += "\n[FreeSpace]\nC=" + std::string(c.free) + "\n";
    Driver d(machine);
    ASSERT_TRUE(d.engine.sim.ok()) << d.engine.sim.error();
    d.state().engine.baseSpace = c.base;
    d.addFile("ONE.TXT");
    EXPECT_EQ(d.run(), c.passes ? 0 : 1) << c.free << " free, " << c.base << " needed";
    EXPECT_EQ(d.engine.sim.exists("C:\\APP\\ONE.TXT"), c.passes);
    if (!c.passes) {
      ASSERT_FALSE(d.engine.ui.boxes.empty());
      EXPECT_EQ(d.engine.ui.boxes.back().text,
                "Not enough disk space on the destination drive for installation.");
    }
  }
}

TEST(InstallDriver, ProgressTotalFollowsNeededSpaceThenProgressBar) {
  struct Case {
    uint64_t base;
    int64_t bar;
    int32_t total;
  } cases[] = {{50, 0, -1}, {200, 0, 200}, {200, 300, 300}, {200, 90, 200}, {1, 5000, 5000}};
  for (const Case& c : cases) {
    Driver d;
    d.state().engine.baseSpace = c.base;
    d.state().engine.progressSize = c.bar;
    EXPECT_EQ(d.run(), 0);
    EXPECT_EQ(d.engine.engine.progressTotal, c.total) << c.base << "/" << c.bar;
  }
}

TEST(InstallDriver, PhasesRunInOrderAndLogInOrder) {
  Driver d;
  d.engine.sim.writeFile("C:\\APP\\OLD.CFG", "old");
  d.state().engine.renames.push_back({"$DEFAULTDIR$\\OLD.CFG", "$DEFAULTDIR$\\NEW.CFG"});
  d.state().engine.deletes.push_back("ONE.TXT");
  d.state().engine.servers.push_back("MISSING.DLL");
  d.state().finish.runAtExit.push_back("$DEFAULTDIR$\\RUN.EXE");
  d.addFile("ONE.TXT");
  d.engine.sim.writeFile("C:\\SETUP\\SUB\\TWO.TXT", "two");
  d.addFile("SUB\\TWO.TXT");
  ASSERT_EQ(d.run(), 0);
  EXPECT_EQ(d.exitCode, 0);
  EXPECT_EQ(d.engine.log(),
            "DEFAULTDIR: \"C:\\APP\"\r\n\r\n"
            "UNINSTALLBEGINPROMPT: \"Do you want this application removed from your system?\"\r\n"
            "UNINSTALLENDPROMPT: \"This application has been successfully removed from your "
            "system.\"\r\n"
            "UNINSTALLTITLEPROMPT: \"UnInstall\"\r\n"
            "RENAME: C:\\APP\\NEW.CFG, C:\\APP\\OLD.CFG\r\n"
            "FILE: \"C:\\APP\\ONE.TXT\"\r\n"
            "DIRECTORY: \"C:\\APP\\SUB\"\r\n\r\n"
            "FILE: \"C:\\APP\\SUB\\TWO.TXT\"\r\n");
  // The server failed (no RegServer line) and was shown; the deletion ran after the copy.
  ASSERT_EQ(d.engine.ui.boxes.size(), 1u);
  EXPECT_EQ(d.engine.ui.boxes[0].text,
            "C:\\APP\\MISSING.DLL has not been successfully registered.");
  EXPECT_FALSE(d.engine.sim.exists("C:\\APP\\ONE.TXT"));
  EXPECT_EQ(d.config.calls, (std::vector<std::string>{"autoexec", "config", "ini", "addtext",
                                                      "registry", "items"}));
  EXPECT_EQ(d.state().finish.runAtExit[0], "C:\\APP\\RUN.EXE");
  EXPECT_EQ(d.windows.events, (std::vector<std::string>{"progress 2", "progress end"}));
  EXPECT_EQ(d.windows.lastPercent, 100);
}

// A FILE name is expanded once: an answer that holds a macro's name stays as typed, in the
// copied file's name and in its log line.
TEST(InstallDriver, FileNamesAreExpandedOnceSoTypedAnswersStayAsTyped) {
  struct Case {
    const char* answer;
    const char* target;
  } cases[] = {
      {"X$DEFAULTDRIVE$", "C:\\APP\\X$DEFAULTDRIVE$.TXT"},
      {"$WINDIR$", "C:\\APP\\$WINDIR$.TXT"},
      {"PLAIN", "C:\\APP\\PLAIN.TXT"},
  };
  for (const Case& c : cases) {
    Driver d;
    d.engine.macros.ask[0] = c.answer;
    d.engine.sim.writeFile("C:\\SETUP\\" + std::string(c.answer) + ".TXT", "typed");
    d.addFile("$ASK1$.TXT");
    ASSERT_EQ(d.run(), 0) << c.answer;
    EXPECT_EQ(d.engine.sim.readFile(c.target), "typed") << c.answer;
    EXPECT_NE(d.engine.log().find("FILE: \"" + std::string(c.target) + "\"\r\n"), std::string::npos)
        << c.answer;
  }
}

TEST(InstallDriver, ServersAreTakenFromTheDestinationUnlessTheyNameADrive) {
  Driver d;
  std::string library = "MZ" + std::string(100, '\1') + "DllRegisterServer" + '\0';
  d.engine.sim.makeDirectory("C:\\APP");
  d.engine.sim.writeFile("C:\\APP\\A.DLL", library);
  d.engine.sim.writeFile("C:\\WINDOWS\\SYSTEM\\B.OCX", library);
  d.state().engine.servers = {"A.DLL", "$WINSYSDIR$\\B.OCX"};
  ASSERT_EQ(d.run(), 0);
  std::string log = d.engine.log();
  EXPECT_NE(log.find("RegServer: \"C:\\APP\\A.DLL\"\r\n"), std::string::npos);
  EXPECT_NE(log.find("RegServer: \"C:\\WINDOWS\\SYSTEM\\B.OCX\"\r\n"), std::string::npos);
  EXPECT_TRUE(d.engine.ui.boxes.empty());
}

TEST(InstallDriver, CancelledDestinationQuitsAndDropsTheFinish) {
  EngineFixture base;
  DriverUi ui;
  Engine engine(base.sim.sys(), ui, base.state, base.macros, base.startup, base.container);
  CountingConfig config;
  engine.config = &config;
  base.sim.writeFile("C:\\SETUP\\ONE.TXT", "one");
  FileEntry one;
  one.name = "ONE.TXT";
  base.state.engine.files.push_back(one);
  base.state.finish.readme = "README.TXT";
  base.state.finish.runAtExit = {"RUN.EXE"};
  base.state.finish.rebootMode = RebootMode::Windows;
  ui.outcomes["DefaultDir"] = DialogOutcome::Cancel;
  int result = startMessage(engine);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(installExitCode(engine, result), 2);
  EXPECT_EQ(ui.dialogs, (std::vector<std::string>{"DefaultDir"}));
  EXPECT_TRUE(base.state.finish.readme.empty());
  EXPECT_TRUE(base.state.finish.runAtExit.empty());
  EXPECT_EQ(base.state.finish.rebootMode, RebootMode::None);
  EXPECT_TRUE(config.calls.empty());
  EXPECT_FALSE(base.sim.exists("C:\\NEWFILES\\ONE.TXT"));

  // A dialog no one could answer fails the run instead.
  ui.outcomes["DefaultDir"] = DialogOutcome::Failed;
  EXPECT_EQ(installExitCode(engine, startMessage(engine)), 3);
}

TEST(InstallDriver, CancelledLastScreenKeepsTheCopyButSkipsWhatFollows) {
  EngineFixture base;
  DriverUi ui;
  Engine engine(base.sim.sys(), ui, base.state, base.macros, base.startup, base.container);
  CountingConfig config;
  engine.config = &config;
  DestinationRecord dest;
  dest.mode = 0;
  dest.path = "C:\\APP";
  base.state.settings.destinations[kDefaultDirIndex] = dest;
  base.sim.writeFile("C:\\SETUP\\ONE.TXT", "one");
  FileEntry one;
  one.name = "ONE.TXT";
  base.state.engine.files.push_back(one);
  base.state.engine.deletes.push_back("ONE.TXT");
  base.state.screens.lastScreen = DialogTemplate{1, 2, 3};
  base.state.screens.firstScreen = DialogTemplate{1, 2, 3};
  ui.outcomes["LastScreen"] = DialogOutcome::Cancel;
  EXPECT_EQ(startMessage(engine), 1);
  EXPECT_EQ(ui.dialogs, (std::vector<std::string>{"FirstScreen", "LastScreen"}));
  EXPECT_TRUE(base.sim.exists("C:\\APP\\ONE.TXT"));  // copied, and not deleted
  EXPECT_EQ(config.calls, (std::vector<std::string>{"autoexec", "config", "ini", "addtext"}));
  EXPECT_FALSE(base.state.screens.firstScreen);
  EXPECT_FALSE(base.state.screens.lastScreen);
}

TEST(InstallDriver, DisksAreAskedOnlyWhenASelectedFileFollows) {
  EngineFixture base;
  DriverUi ui;
  Engine engine(base.sim.sys(), ui, base.state, base.macros, base.startup, base.container);
  DestinationRecord dest;
  dest.mode = 0;
  dest.path = "C:\\APP";
  base.state.settings.destinations[kDefaultDirIndex] = dest;
  base.state.screens.groups.indexOfNumber[1] = 0;
  base.state.screens.groups.numberOfIndex[0] = 1;
  base.state.screens.groups.count = 1;
  base.sim.writeFile("C:\\SETUP\\ONE.TXT", "one");
  auto disk = [&](const char* name) {
    FileEntry d;
    d.diskMarker = 1;
    d.diskName = name;
    base.state.engine.files.push_back(d);
  };
  auto file = [&](const char* name, bool grouped) {
    FileEntry f;
    f.name = name;
    if (grouped) f.groups[0] = 0;  // group 1, never selected here
    base.state.engine.files.push_back(f);
  };
  disk("Disk 2");  // followed by a selected file: asked
  file("ONE.TXT", false);
  disk("Disk 3");  // followed by another disk: not asked
  disk("Disk 4");  // followed only by an unselected file and the end: not asked
  file("SKIPPED.TXT", true);
  EXPECT_EQ(startMessage(engine), 0);
  ASSERT_EQ(ui.disks.size(), 1u);
  EXPECT_NE(ui.disks[0].find("Disk 2"), std::string::npos);
  EXPECT_EQ(engine.currentDiskEntry, 3);
}

TEST(InstallDriver, PopupsFollowTheirNumbersAndTheProgressWindowComesOnce) {
  Driver d;
  PopupRecord p2, p5;
  p2.number = 2;
  p5.number = 5;
  d.state().screens.popups = {p5, p2};
  d.addFile("ONE.TXT", -1, 2);
  d.addFile("TWO.TXT", -1, 9);  // no such pop-up: nothing changes
  ASSERT_EQ(d.run(), 0);
  EXPECT_EQ(d.windows.events,
            (std::vector<std::string>{"popup 1", "progress 2", "progress end", "popup -1"}));
}

TEST(InstallDriver, DefaultDestinationUsesTheBootDrive) {
  EXPECT_EQ(defaultDestination('C'), "C:\\NEWFILES");
  EXPECT_EQ(defaultDestination('A'), "A:\\NEWFILES");
  EXPECT_EQ(completeDrive("\\APPS"), "C:\\APPS");
  EXPECT_EQ(completeDrive("APPS"), "C:\\APPS");
  EXPECT_EQ(completeDrive("D:\\APPS"), "D:\\APPS");
}

}  // namespace
}  // namespace qm

namespace qm {
namespace {

// An AUTOEXEC edit whose log line meets a full disk.
class FullDiskConfig : public CountingConfig {
 public:
  void editAutoexec(Engine& engine) override {
    CountingConfig::editAutoexec(engine);
    static_cast<SimSystem&>(engine.sys).setDiskFull('C', true);
    engine.log.record("AUTOEXEC: \"\", \"SET APP=1\"");
  }
};

TEST(InstallDriver, AnInstallLogThatCannotBeWrittenStopsTheRunAndSaysSo) {
  Driver d;
  FullDiskConfig config;
  d.engine.engine.config = &config;
  d.addFile("ONE.TXT");
  EXPECT_EQ(d.run(), 1);
  EXPECT_EQ(d.exitCode, 3);
  EXPECT_EQ(config.calls, std::vector<std::string>{"autoexec"});
  ASSERT_EQ(d.engine.ui.boxes.size(), 1u);
  EXPECT_NE(d.engine.ui.boxes[0].text.find("C:\\APP\\install.log"), std::string::npos);
  EXPECT_EQ(d.engine.log().find("SET APP"), std::string::npos);
}

TEST(InstallDriver, DestinationsAreMadeCanonicalOrRefused) {
  struct Case {
    std::string path;
    const char* logged;  // the DEFAULTDIR line's path; nullptr: refused
    const char* file;    // where ONE.TXT goes, as the log names it
  };
  const Case cases[] = {
      {"C:\\QNOTES\\..\\..\\..\\USER", "C:\\USER", "C:\\USER\\ONE.TXT"},
      {"C:\\APP.\\DATA. \\.", "C:\\APP\\DATA", "C:\\APP\\DATA\\ONE.TXT"},
      {"c:/tools/", "C:\\tools", "C:\\tools\\ONE.TXT"},
      {"C:\\", "C:\\", "C:\\ONE.TXT"},
      {"C:", "C:\\", "C:\\ONE.TXT"},
      {"C:\\APP\\NUL", nullptr, nullptr},
      {"C:\\COM1.DIR\\APP", nullptr, nullptr},
      {"C:\\LONG\\" + std::string(240, 'D'), nullptr, nullptr},
  };
  for (const Case& c : cases) {
    Driver d;
    d.state().settings.destinations[kDefaultDirIndex]->path = c.path;
    d.addFile("ONE.TXT");
    const int result = d.run();
    if (!c.logged) {
      EXPECT_EQ(d.exitCode, 3) << c.path;
      EXPECT_FALSE(d.engine.sim.exists("C:\\APP")) << c.path;
      EXPECT_FALSE(d.engine.sim.exists("C:\\LONG")) << c.path;
      EXPECT_FALSE(d.engine.sim.exists("C:\\COM1.DIR")) << c.path;
      continue;
    }
    ASSERT_EQ(result, 0) << c.path;
    const std::string log =
        d.engine.sim
            .readFile(std::string(c.logged) + (std::string(c.logged).back() == '\\' ? "" : "\\") +
                      "install.log")
            .value_or("");
    EXPECT_EQ(log.substr(0, log.find('\r')), "DEFAULTDIR: \"" + std::string(c.logged) + "\"")
        << c.path;
    EXPECT_NE(log.find("FILE: \"" + std::string(c.file) + "\"\r\n"), std::string::npos)
        << c.path << ": " << log;
    EXPECT_TRUE(d.engine.sim.exists(c.file)) << c.path;
  }
}

TEST(InstallDriver, DeleteAndRenameNeverTouchTheInstallationsOwnRecords) {
  Driver d;
  d.addFile("ONE.TXT");
  d.engine.sim.writeFile("C:\\APP\\OLD.LOG", "old");
  d.engine.sim.writeFile("C:\\APP\\instback\\X.1", "kept copy");
  d.engine.sim.writeFile("C:\\APP\\instback.log", "list");
  d.state().engine.renames.push_back({"$DEFAULTDIR$\\instback.log", "$DEFAULTDIR$\\MOVED.LOG"});
  d.state().engine.deletes = {"*.LOG", "$DEFAULTDIR$\\INSTALL.LOG", "INSTBACK\\*.*",
                              "c:\\app\\sub\\..\\Install.Log", "instback"};
  ASSERT_EQ(d.run(), 0);
  EXPECT_FALSE(d.engine.sim.exists("C:\\APP\\OLD.LOG"));
  EXPECT_FALSE(d.engine.sim.exists("C:\\APP\\MOVED.LOG"));
  // The list grows by the deleted OLD.LOG; what it held stays.
  EXPECT_EQ(d.engine.sim.readFile("C:\\APP\\instback.log").value_or("").substr(0, 4), "list");
  EXPECT_EQ(d.engine.sim.readFile("C:\\APP\\instback\\X.1"), "kept copy");
  EXPECT_NE(d.engine.log().find("FILE: \"C:\\APP\\ONE.TXT\""), std::string::npos);
}

}  // namespace
}  // namespace qm
