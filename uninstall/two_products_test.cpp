// Two products installed on one simulated machine through the real installer, then uninstalled
// in either order: each uninstall takes back what its own installation made and nothing of the
// other product's or the user's.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "engine/shared_files.h"
#include "platform/sim/sim_system.h"
#include "records/instback_records.h"
#include "tools/simulation.h"
#include "tools/uninstall_simulation.h"

namespace qm {
namespace {

namespace fs = std::filesystem;

std::string readHost(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void writeHost(const fs::path& p, const std::string& text) {
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << text;
}

struct Machine {
  fs::path root = fs::temp_directory_path() / ("qm-two-" + std::to_string(::getpid()));
  explicit Machine(const std::string& windows) {
    fs::remove_all(root);
    writeHost(root / "machine.ini", "[Machine]\nWindows=" + windows +
                                        "\nWindowsDir=C:\\WINDOWS\nSystemDir=C:\\WINDOWS\\SYSTEM\n"
                                        "TempDir=C:\\TEMP\n[Drives]\nC=fixed c\nD=fixed d\n");
    writeHost(root / "registry.reg",
              "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE]\r\n\r\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\r\n\"Keep\"=\"yes\"\r\n\r\n");
    writeHost(root / "groups.ini", "[Tools]\r\nItem=Read Me|C:\\USER\\README.TXT|||\r\n");
    fs::create_directories(root / "c" / "WINDOWS" / "SYSTEM");
    fs::create_directories(root / "c" / "TEMP");
  }
  ~Machine() {
    if (!::testing::Test::HasFailure()) fs::remove_all(root);
  }
  // A product on drive D: its script and files beside a stand-in SETUP.EXE.
  void product(const std::string& name, const std::string& script,
               const std::vector<std::pair<std::string, std::string>>& files) {
    writeHost(root / "d" / name / "SETUP.EXE", "MZ stand-in");
    writeHost(root / "d" / name / "SETUP.cfg", script);
    for (const auto& [file, text] : files) writeHost(root / "d" / name / file, text);
  }
  std::string install(const std::string& name) {
    SimulationRequest request;
    request.machineFile = (root / "machine.ini").string();
    request.traceFile = (root / "trace.txt").string();
    request.program = "D:\\" + name + "\\SETUP.EXE";
    SimulationResult result = runSimulation(request);
    EXPECT_EQ(result.exitCode, 0) << name << ": " << readHost(root / "trace.txt");
    return result.logPath;
  }
  UninstallSimulationResult uninstall(const std::string& log) {
    return runUninstallSimulation(
        {(root / "machine.ini").string(), "", (root / "trace.txt").string(), log});
  }
  std::unique_ptr<SimSystem> sys() {
    std::string error;
    return SimSystem::load((root / "machine.ini").string(), error);
  }
  fs::path c(const std::string& path) { return root / "c" / path; }
  std::optional<uint32_t> count(const std::string& path) {
    auto v = sys()->readRegistryValue(RegistryRoot::LocalMachine, kSharedFilesKey, path);
    return v ? sharedCountOf(*v) : std::nullopt;
  }
};

constexpr const char* kShared = "C:\\WINDOWS\\SYSTEM\\SHARED.DLL";

std::string script(const std::string& dir, const std::string& body) {
  return "UNINSTALL YES\r\nDEFAULTDIR \"C:\\" + dir + "\" NOASKDRIVE NOASKDIR\r\n" + body;
}

TEST(TwoProducts, EachUninstallTakesBackOnlyWhatItsInstallationMade) {
  struct Case {
    const char* name;
    bool firstInstalledGoesFirst;
    std::function<void(Machine&)> before;  // the user's own changes after both installs
    std::function<void(Machine&, const UninstallSimulationResult& first)> check;
    // Windows 4.0 counts the shared file; the user's count before (none when 0).
    bool counted = false;
    uint32_t userCount = 0;
  } cases[] = {
      {"a shared key keeps the other product's subkey", true, nullptr,
       [](Machine& m, const UninstallSimulationResult& first) {
         auto sys = m.sys();
         EXPECT_FALSE(sys->openRegistryKey(RegistryRoot::LocalMachine, "SOFTWARE\\Vendor\\AppA"));
         EXPECT_TRUE(
             sys->readRegistryValue(RegistryRoot::LocalMachine, "SOFTWARE\\Vendor\\AppB", "Path"));
         // The key A made holds B's now: it stays, and the report says so.
         std::string left = ::testing::PrintToString(first.report.left);
         EXPECT_NE(left.find("Vendor holds"), std::string::npos) << left;
       }},
      {"a replaced shared file comes back as the user had it, first uninstalled first", true,
       nullptr,
       [](Machine& m, const UninstallSimulationResult&) {
         EXPECT_EQ(readHost(m.c("WINDOWS/SYSTEM/SHARED.DLL")), "v3 of B");
       }},
      {"a replaced shared file comes back as the user had it, last uninstalled first", false,
       nullptr,
       [](Machine& m, const UninstallSimulationResult&) {
         EXPECT_EQ(readHost(m.c("WINDOWS/SYSTEM/SHARED.DLL")), "v2 of A");
       }},
      // Counted, the newer copy stays while either product is installed, whichever goes first.
      {"a counted shared file, first uninstalled first", true, nullptr,
       [](Machine& m, const UninstallSimulationResult&) {
         EXPECT_EQ(readHost(m.c("WINDOWS/SYSTEM/SHARED.DLL")), "v3 of B");
         EXPECT_EQ(m.count(kShared), 2u);
       },
       true},
      {"a counted shared file with the user's count, last uninstalled first", false, nullptr,
       [](Machine& m, const UninstallSimulationResult&) {
         EXPECT_EQ(readHost(m.c("WINDOWS/SYSTEM/SHARED.DLL")), "v3 of B");
         EXPECT_EQ(m.count(kShared), 8u);
       },
       true, 7},
      {"what the user added to a created file stays, and is reported", true,
       [](Machine& m) {
         writeHost(m.c("APPA/NOTES.TXT"), "notes, and the user's own lines");
         std::ofstream(m.c("WINDOWS/APPA.INI"), std::ios::app) << "[Mine]\r\nKey=kept\r\n";
       },
       [](Machine& m, const UninstallSimulationResult& first) {
         EXPECT_EQ(readHost(m.c("APPA/NOTES.TXT")), "notes, and the user's own lines");
         std::string ini = readHost(m.c("WINDOWS/APPA.INI"));
         EXPECT_NE(ini.find("Key=kept"), std::string::npos) << ini;
         EXPECT_EQ(ini.find("Mode="), std::string::npos) << ini;
         EXPECT_EQ(first.exitCode, 3);
         std::string left = ::testing::PrintToString(first.report.left);
         EXPECT_NE(left.find("NOTES.TXT was changed"), std::string::npos) << left;
       }},
      {"the user's same-titled item and a group named with a comma", true, nullptr,
       [](Machine& m, const UninstallSimulationResult&) {
         std::string groups = readHost(m.root / "groups.ini");
         EXPECT_NE(groups.find("Read Me|C:\\USER\\README.TXT"), std::string::npos) << groups;
         EXPECT_EQ(groups.find("[Tools, Old]"), std::string::npos) << groups;
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Machine m(c.counted ? "4.0" : "3.95");
    writeHost(m.c("WINDOWS/SYSTEM/SHARED.DLL"), "v1 of the user");
    if (c.userCount) {
      std::ofstream(m.root / "registry.reg", std::ios::binary | std::ios::app)
          << "[HKEY_LOCAL_MACHINE\\" << kSharedFilesKey << "]\r\n"
          << "\"C:\\\\WINDOWS\\\\SYSTEM\\\\SHARED.DLL\"=dword:0000000" << c.userCount << "\r\n\r\n";
    }
    m.product("A",
              script("APPA",
                     "FILE NOTES.TXT\r\nFILE $WINSYSDIR$\\SHARED.DLL OVERWRITE=YES\r\n"
                     "INIFILE \"Options\" \"Mode\" \"fast\" APPA.INI\r\n"
                     "BEGINREGISTRY\r\nKEY NEW \"HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\AppA\"\r\n"
                     "VALUE STRING NEW \"Path\" \"$DEFAULTDIR$\"\r\nENDREGISTRY\r\n"
                     "WINITEM \"Tools\" \"C:\\APPA\\NOTES.TXT\" \"Read Me\"\r\n"
                     "WINITEM \"Tools, Old\" \"C:\\APPA\\NOTES.TXT\" \"Notes\"\r\n"),
              {{"NOTES.TXT", "notes"}, {"SHARED.DLL", "v2 of A"}});
    m.product("B",
              script("APPB",
                     "FILE $WINSYSDIR$\\SHARED.DLL OVERWRITE=YES\r\n"
                     "BEGINREGISTRY\r\nKEY NEW \"HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\AppB\"\r\n"
                     "VALUE STRING NEW \"Path\" \"$DEFAULTDIR$\"\r\nENDREGISTRY\r\n"),
              {{"SHARED.DLL", "v3 of B"}});
    std::string a = m.install("A"), b = m.install("B");
    if (c.counted) {
      EXPECT_EQ(m.count(kShared), (c.userCount ? c.userCount : 1) + 2);
    }
    if (c.before) c.before(m);
    UninstallSimulationResult first = m.uninstall(c.firstInstalledGoesFirst ? a : b);
    c.check(m, first);
    UninstallSimulationResult second = m.uninstall(c.firstInstalledGoesFirst ? b : a);
    // Whatever the order, once both are gone the user's file is back, and nothing of theirs
    // went.
    EXPECT_EQ(readHost(m.c("WINDOWS/SYSTEM/SHARED.DLL")), "v1 of the user");
    EXPECT_EQ(m.count(kShared), c.userCount ? std::optional<uint32_t>(c.userCount) : std::nullopt);
    auto sys = m.sys();
    // The key levels only the counts needed are gone again.
    EXPECT_EQ(sys->openRegistryKey(RegistryRoot::LocalMachine, kSharedFilesKey), c.userCount != 0);
    EXPECT_FALSE(sys->openRegistryKey(RegistryRoot::LocalMachine, "SOFTWARE\\Vendor\\AppA"));
    EXPECT_FALSE(sys->openRegistryKey(RegistryRoot::LocalMachine, "SOFTWARE\\Vendor\\AppB"));
    EXPECT_TRUE(sys->readRegistryValue(RegistryRoot::LocalMachine, "SOFTWARE\\Other", "Keep"));
    EXPECT_FALSE(fs::exists(m.c("WINDOWS/INSTBACK.LST")));
    // B leaves nothing behind. A leaves its "Read Me" item, which the user's same-titled item
    // comes before, and, uninstalled first, the vendor key B still used.
    const UninstallSimulationResult& ofB = c.firstInstalledGoesFirst ? second : first;
    const UninstallSimulationResult& ofA = c.firstInstalledGoesFirst ? first : second;
    EXPECT_EQ(ofB.exitCode, 0) << ::testing::PrintToString(ofB.report.left)
                               << ::testing::PrintToString(ofB.report.problems);
    EXPECT_NE(::testing::PrintToString(ofA.report.left).find("Read Me is not the one"),
              std::string::npos);
    if (!c.firstInstalledGoesFirst) {
      EXPECT_FALSE(sys->openRegistryKey(RegistryRoot::LocalMachine, "SOFTWARE\\Vendor"));
    }
  }
}

}  // namespace
}  // namespace qm
