#include "uninstall/uninstaller.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "base/text.h"
#include "engine/replaced_files.h"
#include "platform/sim/sim_fixture_for_tests.h"
#include "ui/scripted_ui_for_tests.h"

namespace qm {
namespace {

constexpr const char* kLog = "C:\\APP\\install.log";
constexpr FatTime kOldTime{0x2A43, 0x6000};

std::string head(const std::string& title = "UnInstall") {
  return "DIRECTORY: \"C:\\APP\"\n\nDEFAULTDIR: \"C:\\APP\"\n"
         "UNINSTALLBEGINPROMPT: \"Remove it?\"\nUNINSTALLENDPROMPT: \"Gone.\"\n"
         "UNINSTALLTITLEPROMPT: \"" +
         title + "\"\n";
}

struct UninstallRun {
  SimFixture f;
  ScriptedUi ui;
  UninstallReport report;
  int run(const std::string& log) {
    f.writeFile(kLog, toCrLf(log));
    Uninstaller u(f.sys(), ui);
    int code = u.run(kLog);
    report = u.report();
    return code;
  }
};

TEST(Uninstall, AsksWithTheLogsTextsAndUndoesNewestFirst) {
  UninstallRun r;
  r.f.writeFile("C:\\APP\\BIN\\A.EXE", "a");
  r.f.writeFile("C:\\APP\\B.TXT", "b");
  EXPECT_EQ(
      r.run(head("Quill Remover") + "DIRECTORY: \"C:\\APP\\BIN\"\n\nFILE: \"C:\\APP\\BIN\\A.EXE\"\n"
                                    "FILE: \"C:\\APP\\B.TXT\"\n"),
      kUninstallDone);
  EXPECT_EQ(r.report.problems, std::vector<std::string>{});
  EXPECT_EQ(r.report.done,
            (std::vector<std::string>{"deleted C:\\APP\\B.TXT", "deleted C:\\APP\\BIN\\A.EXE",
                                      "deleted C:\\APP\\install.log", "removed C:\\APP\\BIN",
                                      "removed C:\\APP"}));
  EXPECT_FALSE(r.f.exists("C:\\APP"));
  ASSERT_EQ(r.ui.boxes.size(), 2u);
  EXPECT_EQ(r.ui.boxes[0].text, "Remove it?");
  EXPECT_EQ(r.ui.boxes[0].caption, "Quill Remover");
  EXPECT_EQ(r.ui.boxes[0].buttons, MsgButtons::YesNo);
  EXPECT_EQ(r.ui.boxes[0].topic, "Uninstall");
  EXPECT_EQ(r.ui.boxes[1].text, "Gone.");
}

TEST(Uninstall, NoChangesNothing) {
  UninstallRun r;
  r.f.writeFile("C:\\APP\\A.EXE", "a");
  r.ui.boxAnswers.push_back(MsgResult::No);
  EXPECT_EQ(r.run(head() + "FILE: \"C:\\APP\\A.EXE\"\n"), kUninstallDeclined);
  EXPECT_TRUE(r.f.exists("C:\\APP\\A.EXE"));
  EXPECT_TRUE(r.f.exists(kLog));
}

TEST(Uninstall, MissingLogCannotStart) {
  SimFixture f;
  ScriptedUi ui;
  Uninstaller u(f.sys(), ui);
  EXPECT_EQ(u.run("C:\\NOWHERE\\install.log"), kUninstallCannotStart);
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].text, "The install log C:\\NOWHERE\\install.log cannot be read.");
}

TEST(Uninstall, PathsThatAreNotSafeAreNeverTouched) {
  struct Case {
    const char* path;
    const char* reason;
  } cases[] = {
      {"C:\\APP\\..\\WINDOWS\\WIN.INI", "the path climbs out of its folder"},
      {"C:\\APP\\.. \\WIN.INI", "a part of the path ends in a dot or blank"},
      {"C:\\", "not a full path on a drive"},
      {"APP\\A.EXE", "not a full path on a drive"},
      {"\\\\SERVER\\SHARE\\A.EXE", "not a full path on a drive"},
      {"C:\\APP\\*.*", "the path holds a wildcard"},
      {"C:\\APP\\A.EXE:stream", "the path names a stream or a device"},
      {"C:\\WINDOWS", "the path is the Windows or system folder itself"},
      {"c:\\windows\\system\\", "the path ends in a backslash"},
      {"c:\\windows\\system", "the path is the Windows or system folder itself"},
      {"C:\\APP\\\\A.EXE", "the path has an empty part"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(unsafePathReason(c.path, "C:\\WINDOWS", "C:\\WINDOWS\\SYSTEM"), c.reason) << c.path;
  EXPECT_EQ(unsafePathReason("C:\\APP\\A.EXE", "C:\\WINDOWS", "C:\\WINDOWS\\SYSTEM"), "");

  UninstallRun r;
  r.f.writeFile("C:\\WINDOWS\\WIN.INI", "[windows]\r\n");
  EXPECT_EQ(r.run(head() + "FILE: \"C:\\APP\\..\\WINDOWS\\WIN.INI\"\n"
                           "DIRECTORY: \"C:\\WINDOWS\"\n\nDIRECTORY: \"C:\\\"\n"),
            kUninstallIncomplete);
  EXPECT_TRUE(r.f.exists("C:\\WINDOWS\\WIN.INI"));
  EXPECT_TRUE(r.f.exists("C:\\WINDOWS"));
  EXPECT_EQ(r.report.problems.size(), 3u);
  // Something was not undone: the log stays for another try, and says so.
  EXPECT_TRUE(r.f.exists(kLog));
  EXPECT_EQ(r.ui.boxes.back().icon, MsgIcon::Warning);
}

TEST(Uninstall, BadLinesAreReportedAndOnlyUnderstoodLinesUndone) {
  UninstallRun r;
  r.f.writeFile("C:\\APP\\KEEP.TXT", "k");
  r.f.writeFile("C:\\APP\\GO.TXT", "g");
  r.f.writeFile("C:\\APP\\CUT.TXT", "c");
  // A hand-edited line, an unknown kind and a last line cut off while it was written.
  std::string log =
      toCrLf(head() + "FILE: \"C:\\APP\\GO.TXT\"\nFILE: \"C:\\APP\\KEEP.TXT\nZAP: \"C:\\APP\"\n") +
      "FILE: \"C:\\APP\\CUT.TXT\"";
  r.f.writeFile(kLog, log);
  Uninstaller u(r.f.sys(), r.ui);
  EXPECT_EQ(u.run(kLog), kUninstallIncomplete);
  EXPECT_FALSE(r.f.exists("C:\\APP\\GO.TXT"));
  EXPECT_TRUE(r.f.exists("C:\\APP\\KEEP.TXT"));
  EXPECT_TRUE(r.f.exists("C:\\APP\\CUT.TXT"));
  EXPECT_EQ(u.report().problems,
            (std::vector<std::string>{"line 8: the line's texts cannot be read; skipped",
                                      "line 9: unknown kind of line; skipped",
                                      "line 10: the line is cut off; skipped"}));
  EXPECT_TRUE(r.f.exists("C:\\APP"));  // not empty, never removed
}

TEST(Uninstall, ReplacedFilesComeBackWithTheirTimeAndAttributes) {
  UninstallRun r;
  r.f.writeFile("C:\\WINDOWS\\SYSTEM\\SHARED.DLL", "new", FatTime{0x5000, 0}, kAttrArchive);
  r.f.writeFile("C:\\APP\\instback\\00000001.bak", "old shared", kOldTime, kAttrReadOnly);
  std::string log = head() + "FILE: \"C:\\WINDOWS\\SYSTEM\\SHARED.DLL\"\n";
  BackupRecord saved;
  saved.logOffset = toCrLf(head()).size();
  saved.time = kOldTime;
  saved.attributes = kAttrReadOnly | kAttrArchive;
  saved.original = "C:\\WINDOWS\\SYSTEM\\SHARED.DLL";
  saved.copyName = "00000001.bak";
  r.f.writeFile("C:\\APP\\instback.log", formatBackupRecord(saved) + "\r\n");
  EXPECT_EQ(r.run(log), kUninstallDone) << r.report.problems.front();
  EXPECT_EQ(r.f.readFile("C:\\WINDOWS\\SYSTEM\\SHARED.DLL"), "old shared");
  EXPECT_EQ(r.f.sys().attributes("C:\\WINDOWS\\SYSTEM\\SHARED.DLL"), kAttrReadOnly | kAttrArchive);
  FileHandle h = r.f.sys().openRead("C:\\WINDOWS\\SYSTEM\\SHARED.DLL");
  EXPECT_EQ(r.f.sys().fileTime(h), kOldTime);
  r.f.sys().close(h);
  EXPECT_FALSE(r.f.exists("C:\\APP"));  // copy, side file, log and folder all gone
}

TEST(Uninstall, TwoInstallationsIntoOneFolderAreUndoneTogether) {
  UninstallRun r;
  // First installation wrote A.TXT; the second replaced it and kept the first one's copy.
  r.f.writeFile("C:\\APP\\A.TXT", "second");
  r.f.writeFile("C:\\APP\\instback\\00000001.bak", "first", kOldTime);
  std::string first = head() + "FILE: \"C:\\APP\\A.TXT\"\n";
  std::string second = "DEFAULTDIR: \"C:\\APP\"\nFILE: \"C:\\APP\\A.TXT\"\n";
  BackupRecord saved;
  saved.logOffset = toCrLf(first).size();
  saved.time = kOldTime;
  saved.attributes = kAttrArchive;
  saved.original = "C:\\APP\\A.TXT";
  saved.copyName = "00000001.bak";
  r.f.writeFile("C:\\APP\\instback.log", formatBackupRecord(saved) + "\r\n");
  EXPECT_EQ(r.run(first + second), kUninstallDone);
  EXPECT_EQ(r.report.done.front(), "put back C:\\APP\\A.TXT");
  EXPECT_EQ(r.report.done[1], "deleted C:\\APP\\A.TXT");
  EXPECT_FALSE(r.f.exists("C:\\APP"));
}

TEST(Uninstall, DeletedFilesComeBackUnlessTheInstallationWroteThem) {
  UninstallRun r;
  // OLD.TXT was on the machine; TMP.TXT was written by the installation; both were deleted.
  r.f.writeFile("C:\\APP\\instback\\00000001.bak", "old", kOldTime);
  r.f.writeFile("C:\\APP\\instback\\00000002.bak", "tmp");
  std::string log = head() + "FILE: \"C:\\APP\\TMP.TXT\"\n";
  BackupRecord old, tmp;
  old.kind = tmp.kind = BackupRecord::Kind::Deleted;
  old.logOffset = tmp.logOffset = toCrLf(log).size();
  old.time = kOldTime;
  old.attributes = tmp.attributes = kAttrArchive;
  old.original = "C:\\DATA\\OLD.TXT";
  old.copyName = "00000001.bak";
  tmp.original = "C:\\APP\\TMP.TXT";
  tmp.copyName = "00000002.bak";
  r.f.makeDirectory("C:\\DATA");
  r.f.writeFile("C:\\APP\\instback.log",
                formatBackupRecord(old) + "\r\n" + formatBackupRecord(tmp) + "\r\n");
  EXPECT_EQ(r.run(log + "REGKEY: \"HKEY_CURRENT_USER\", \"Software\\Gone\"\n"), kUninstallDone);
  EXPECT_EQ(r.f.readFile("C:\\DATA\\OLD.TXT"), "old");
  EXPECT_FALSE(r.f.exists("C:\\APP"));
}

TEST(Uninstall, AFileKeptWithoutACopyIsLeftInPlace) {
  UninstallRun r;
  r.f.writeFile("C:\\WINDOWS\\SYSTEM\\SHARED.DLL", "new");
  BackupRecord kept;
  kept.kind = BackupRecord::Kind::Kept;
  kept.original = "C:\\WINDOWS\\SYSTEM\\SHARED.DLL";
  r.f.writeFile("C:\\APP\\instback.log", formatBackupRecord(kept) + "\r\n");
  EXPECT_EQ(r.run(head() + "FILE: \"C:\\WINDOWS\\SYSTEM\\SHARED.DLL\"\n"), kUninstallDone);
  EXPECT_TRUE(r.f.exists("C:\\WINDOWS\\SYSTEM\\SHARED.DLL"));
}

TEST(Uninstall, RenamesMoveBackUnlessTheOldNameIsTakenAgain) {
  struct Case {
    bool oldTaken;
    int code;
    const char* at;  // where the file ends up
  } cases[] = {{false, kUninstallDone, "C:\\DATA\\A.TXT"},
               {true, kUninstallIncomplete, "C:\\DATA\\A.BAK"}};
  for (const Case& c : cases) {
    UninstallRun r;
    r.f.writeFile("C:\\DATA\\A.BAK", "moved");
    if (c.oldTaken) r.f.writeFile("C:\\DATA\\A.TXT", "someone else's");
    EXPECT_EQ(r.run(head() + "RENAME: C:\\DATA\\A.BAK, C:\\DATA\\A.TXT\n"), c.code);
    EXPECT_EQ(r.f.readFile(c.at), "moved");
  }
}

TEST(Uninstall, StartupFileLinesGoBackAfterABackup) {
  struct Case {
    const char* before;
    const char* line;
    const char* after;
    int code;
  } cases[] = {
      {"@ECHO OFF\r\nPATH C:\\APP;C:\\DOS\r\nWIN\r\n",
       "AUTOEXEC: \"PATH C:\\DOS\", \"PATH C:\\APP;C:\\DOS\"",
       "@ECHO OFF\r\nPATH C:\\DOS\r\nWIN\r\n", kUninstallDone},
      {"@ECHO OFF\r\nSET X=1\r\nWIN", "AUTOEXEC: \"\", \"SET X=1\"", "@ECHO OFF\r\nWIN",
       kUninstallDone},
      // Changed again after the installation: reported, nothing guessed.
      {"PATH C:\\OTHER\r\n", "AUTOEXEC: \"PATH C:\\DOS\", \"PATH C:\\APP;C:\\DOS\"",
       "PATH C:\\OTHER\r\n", kUninstallIncomplete},
  };
  for (const Case& c : cases) {
    UninstallRun r;
    r.f.writeFile("C:\\AUTOEXEC.BAT", c.before);
    EXPECT_EQ(r.run(head() + c.line + "\n"), c.code) << c.line;
    EXPECT_EQ(r.f.readFile("C:\\AUTOEXEC.BAT"), c.after) << c.line;
    if (c.code == kUninstallDone) {
      EXPECT_EQ(r.f.readFile("C:\\AUTOEXEC.BAK"), c.before);
    }
  }
  {
    // No AUTOEXEC.BAT before the installation: the installer made one of its additions alone.
    UninstallRun r;
    r.f.writeFile("C:\\AUTOEXEC.BAT", "SET X=1\r\nPATH=C:\\APP;\r\n");
    EXPECT_EQ(r.run(head() + "AUTOEXEC: \"\", \"PATH=C:\\APP;\"\nAUTOEXEC: \"\", \"SET X=1\"\n"),
              kUninstallDone);
    EXPECT_FALSE(r.f.exists("C:\\AUTOEXEC.BAT"));
    EXPECT_FALSE(r.f.exists("C:\\AUTOEXEC.BAK"));
  }
  UninstallRun r;
  r.f.writeFile("C:\\CONFIG.SYS", "FILES=30\r\nBUFFERS=20\r\n");
  EXPECT_EQ(r.run(head() + "CONFIG: \"FILES=20\", \"FILES=30\"\n"), kUninstallDone);
  EXPECT_EQ(r.f.readFile("C:\\CONFIG.SYS"), "FILES=20\r\nBUFFERS=20\r\n");
}

TEST(Uninstall, TextAdditionsInTheDestinationAreTakenBack) {
  UninstallRun r;
  r.f.writeFile("C:\\APP\\NOTES.TXT", "one\r\nadded\r\nrem SHARE\r\n");
  r.f.writeFile("C:\\APP\\KEEP.TXT", "x\r\n");  // keeps the folder, so the file can be read after
  EXPECT_EQ(r.run(head() + "ADDTEXT: \"\", NOTES.TXT, \"added\"\n"
                           "ADDTEXT: \"SHARE\", C:\\APP\\NOTES.TXT, \"rem SHARE\"\n"),
            kUninstallDone);
  EXPECT_EQ(r.f.readFile("C:\\APP\\NOTES.TXT"), "one\r\nSHARE\r\n");
}

// Private-profile functions over an in-memory table, enough for the INI undo.
class ProfileMachine : public SimSystem {
 public:
  using SimSystem::SimSystem;
  std::map<std::string, std::map<std::string, std::string>> ini;  // "FILE|SECTION" -> keys
  static std::string at(const std::string& f, const std::string& s) {
    return upperAscii(f) + "|" + upperAscii(s);
  }
  std::string profileString(const std::string& f, const std::string& s, const std::string& k,
                            const std::string& fallback, size_t) override {
    auto sec = ini.find(at(f, s));
    if (sec == ini.end()) return fallback;
    auto key = sec->second.find(upperAscii(k));
    return key == sec->second.end() ? fallback : key->second;
  }
  std::string profileKeys(const std::string& f, const std::string& s, const std::string& fallback,
                          size_t) override {
    auto sec = ini.find(at(f, s));
    if (sec == ini.end() || sec->second.empty()) return fallback;
    std::string keys;
    for (const auto& [k, v] : sec->second) keys += k + '\0';
    return keys;
  }
  bool writeProfileString(const std::string& f, const std::string& s, const std::string& k,
                          const std::string& v) override {
    ini[at(f, s)][upperAscii(k)] = v;
    return true;
  }
  bool deleteProfileKey(const std::string& f, const std::string& s, const std::string& k) override {
    return ini[at(f, s)].erase(upperAscii(k)) == 1;
  }
  bool deleteProfileSection(const std::string& f, const std::string& s) override {
    return ini.erase(at(f, s)) == 1;
  }
};

TEST(Uninstall, IniEntriesAreDeletedRestoredOrShortened) {
  struct Case {
    const char* line;
    const char* now;    // the key's value after the installation; null: missing
    const char* after;  // after the uninstall; null: missing
    int code;
  } cases[] = {
      {"INIFILE: \"S\", \"K\", \"new\", \"APP.INI\"", "new", nullptr, kUninstallDone},
      {"INIFILE: \"S\", \"K\", \"new\", \"APP.INI\", \"old\"", "new", "old", kUninstallDone},
      {"INIFILE: \"S\", \"K\", \"c.drv\", \"APP.INI\", \"a.drv c.drv\"", "a.drv c.drv", "a.drv",
       kUninstallDone},
      {"INIFILE: \"S\", \"K\", \"new\", \"APP.INI\", \"old\"", "changed", "changed",
       kUninstallIncomplete},
      {"INIFILE: \"S\", \"K\", \"new\", \"APP.INI\"", nullptr, nullptr, kUninstallDone},
  };
  for (const Case& c : cases) {
    SimFixture f;
    std::string error;
    ProfileMachine sys(*readMachineFile(f.machineFile().string(), error));
    ScriptedUi ui;
    if (c.now) sys.ini[ProfileMachine::at("APP.INI", "S")]["K"] = c.now;
    sys.ini[ProfileMachine::at("APP.INI", "S")]["OTHER"] = "1";
    f.writeFile(kLog, toCrLf(head() + c.line + "\n"));
    Uninstaller u(sys, ui);
    EXPECT_EQ(u.run(kLog), c.code) << c.line;
    std::string value = sys.profiles().profileString("APP.INI", "S", "K", "~", 100);
    EXPECT_EQ(value, c.after ? c.after : "~") << c.line;
  }
}

TEST(Uninstall, ANewSectionGoesWhenItsLastKeyDoes) {
  SimFixture f;
  std::string error;
  ProfileMachine sys(*readMachineFile(f.machineFile().string(), error));
  ScriptedUi ui;
  sys.ini[ProfileMachine::at("APP.INI", "New")]["K"] = "v";
  sys.ini[ProfileMachine::at("APP.INI", "Kept")]["K"] = "v";
  sys.ini[ProfileMachine::at("APP.INI", "Kept")]["MINE"] = "1";
  f.writeFile(
      kLog,
      toCrLf(head() +
             "INIFILE: \"New\", \"K\", \"v\", \"APP.INI\"\nINIFILE: \"New\", \"APP.INI\"\n"
             "INIFILE: \"Kept\", \"K\", \"v\", \"APP.INI\"\nINIFILE: \"Kept\", \"APP.INI\"\n"));
  Uninstaller u(sys, ui);
  // A section holding someone else's key stays, and is reported as left.
  EXPECT_EQ(u.run(kLog), kUninstallIncomplete);
  EXPECT_EQ(sys.ini.count(ProfileMachine::at("APP.INI", "New")), 0u);
  EXPECT_EQ(sys.ini[ProfileMachine::at("APP.INI", "Kept")].size(), 1u);
  EXPECT_EQ(u.report().left,
            std::vector<std::string>{"[Kept] of APP.INI still holds keys and stays"});
}

TEST(Uninstall, ProgramItemsGoAndTheirGroupWhenNothingElseIsInIt) {
  for (bool foreign : {false, true}) {
    UninstallRun r;
    SimSystem& sys = r.f.sys();
    ASSERT_TRUE(sys.shell().connectShell());
    ASSERT_TRUE(
        sys.shell().executeShellCommand("[CreateGroup(Tools)][AddItem(C:\\APP\\N.EXE, Notes)]"));
    if (foreign) {
      ASSERT_TRUE(sys.shell().executeShellCommand("[AddItem(C:\\X.EXE, Theirs)]"));
    }
    sys.shell().disconnectShell();
    EXPECT_EQ(r.run(head() + "WINITEM: \"Tools\", \"\"\nWINITEM: \"Tools\", \"Notes\"\n"),
              kUninstallDone);
    EXPECT_EQ(sys.shell().shellGroupItemCount("Tools"),
              foreign ? std::optional<size_t>(1) : std::nullopt);
  }
}

// Lines a damaged or crafted log holds, or a log of one of two products sharing names, touch
// nothing but what they name, each checked on the machine.
TEST(Uninstall, LinesTouchOnlyWhatTheyMade) {
  struct Case {
    const char* name;
    std::function<void(UninstallRun&)> machine;
    std::string log;
    std::function<void(UninstallRun&)> check;
    int exit = kUninstallIncomplete;
  } cases[] = {
      {"a key with subkeys is never deleted as a tree",
       [](UninstallRun& r) {
         r.f.sys().createRegistryKey(RegistryRoot::LocalMachine, "SOFTWARE");
         r.f.sys().createRegistryKey(RegistryRoot::LocalMachine, "SOFTWARE\\Other");
       },
       "REGKEY: \"HKEY_LOCAL_MACHINE\", \"SOFTWARE\"\n",
       [](UninstallRun& r) {
         EXPECT_TRUE(r.f.sys().openRegistryKey(RegistryRoot::LocalMachine, "SOFTWARE\\Other"));
         EXPECT_EQ(r.report.left.size(), 1u);
       }},
      {"a relative path is taken from the log's folder, never the current one",
       [](UninstallRun& r) {
         r.f.writeFile("C:\\WINDOWS\\WIN.INI", "[windows]\r\n");
         r.f.writeFile("C:\\APP\\WIN.INI", "ours");
         r.f.writeFile("C:\\APP\\instback\\00000001.bak", "kept");
         BackupRecord saved;
         saved.original = "WIN.INI";
         saved.copyName = "00000001.bak";
         r.f.writeFile("C:\\APP\\instback.log", formatBackupRecord(saved) + "\r\n");
         r.f.sys().setCurrentDirectory("C:\\WINDOWS");
       },
       "FILE: \"WIN.INI\"\n",
       [](UninstallRun& r) {
         EXPECT_EQ(r.f.readFile("C:\\WINDOWS\\WIN.INI"), "[windows]\r\n");
         EXPECT_EQ(r.f.readFile("C:\\APP\\WIN.INI"), "kept");
       },
       kUninstallDone},
      {"a section line is checked like every path",
       [](UninstallRun& r) { r.f.writeFile("C:\\USER\\list.txt", "[S]\r\n"); },
       "INIFILE: \"S\", \"C:\\APP\\..\\USER\\list.txt\"\n",
       [](UninstallRun& r) {
         EXPECT_EQ(r.f.readFile("C:\\USER\\list.txt"), "[S]\r\n");
         EXPECT_EQ(r.report.problems.size(), 1u);
       }},
      {"a group name with a comma is quoted, never read as the user's group",
       [](UninstallRun& r) {
         SimSystem& sys = r.f.sys();
         sys.shell().connectShell();
         sys.shell().executeShellCommand("[CreateGroup(Tools)][AddItem(C:\\U.EXE, Mine)]");
         sys.shell().executeShellCommand("[CreateGroup(\"Tools, Old\")]");
         sys.shell().disconnectShell();
       },
       "WINITEM: \"Tools, Old\", \"\"\n",
       [](UninstallRun& r) {
         EXPECT_EQ(r.f.sys().shellGroupItemCount("Tools"), std::optional<size_t>(1));
         EXPECT_EQ(r.f.sys().shellGroupItemCount("Tools, Old"), std::nullopt);
       },
       kUninstallDone},
      {"a section the user wrote comments into stays with them",
       [](UninstallRun& r) { r.f.writeFile("C:\\WINDOWS\\APP.INI", "[New]\r\n; mine\r\n"); },
       "INIFILE: \"New\", \"APP.INI\"\n",
       [](UninstallRun& r) {
         EXPECT_EQ(r.f.readFile("C:\\WINDOWS\\APP.INI"), "[New]\r\n; mine\r\n");
         EXPECT_EQ(r.report.left.size(), 1u);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    UninstallRun r;
    c.machine(r);
    EXPECT_EQ(r.run(head() + c.log), c.exit);
    c.check(r);
  }
}

TEST(Uninstall, LogPathComesFromTheCommandLineOrBesideTheProgram) {
  EXPECT_EQ(uninstallLogPath("C:\\APP\\install.log", "C:\\WINDOWS\\UNSTALL.EXE"),
            "C:\\APP\\install.log");
  EXPECT_EQ(uninstallLogPath("  \"C:\\MY APP\\install.log\" extra", "C:\\WINDOWS\\UNSTALL.EXE"),
            "C:\\MY APP\\install.log");
  EXPECT_EQ(uninstallLogPath("", "C:\\APP\\UNSTALL.EXE"), "C:\\APP\\install.log");
  // Unquoted, blanks in the destination stay in the path; only blanks at its end are dropped.
  EXPECT_EQ(uninstallLogPath(" C:\\Program Files\\LedgerPro\\install.log \r\n",
                             "C:\\WINDOWS\\UNSTALL.EXE"),
            "C:\\Program Files\\LedgerPro\\install.log");
}

}  // namespace
}  // namespace qm
