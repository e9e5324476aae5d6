// The vendor-facing messages of simulate and list on real files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/sim/sim_fixture_for_tests.h"
#include "tools/package_list.h"
#include "tools/package_writer.h"
#include "tools/quillpack_commands.h"
#include "tools/simulation.h"

namespace qm::pack {
namespace {

namespace fs = std::filesystem;

struct Captured {
  int code;
  std::string out, err;
};

Captured run(int (*command)(const Args&), const Args& args) {
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  int code = command(args);
  std::string out = ::testing::internal::GetCapturedStdout();
  return {code, out, ::testing::internal::GetCapturedStderr()};
}

TEST(SimulateCommand, SaysWhatItPrintsAndWhyARunFailed) {
  SimFixture machine;
  ASSERT_TRUE(machine.ok()) << machine.error();
  machine.writeFile("C:\\DIST\\SETUP.EXE", "MZ");
  machine.writeFile("C:\\DIST\\SETUP.cfg",
                    "UNINSTALL YES\r\nDEFAULTDIR C:\\APP NOASKDRIVE NOASKDIR\r\n"
                    "FILE MISSING.TXT\r\n");
  const std::string m = machine.machineFile().string();
  // The undo declined, so the failed run's log stays on the machine to be printed.
  const std::string answers = (machine.machineFile().parent_path() / "answers.ini").string();
  std::ofstream(answers) << "[Setup]\nRollback=No\n";

  struct Case {
    const char* printOption;
    bool logPrinted;
    const char* firstErrorLine;
  };
  const Case cases[] = {
      {"--quiet", false,
       "quillpack simulate: exit code 3: the installation failed; the trace ends:"},
      {"--log", true,
       "quillpack simulate: the install log C:\\APP\\install.log is printed on stdout"},
  };
  for (const Case& c : cases) {
    Captured r = run(runSimulate,
                     {"--machine", m, "--answers", answers, c.printOption, "C:\\DIST\\SETUP.EXE"});
    EXPECT_EQ(r.code, 3);
    EXPECT_EQ(r.out.empty(), !c.logPrinted) << r.out;
    EXPECT_EQ(r.err.substr(0, r.err.find('\n')), c.firstErrorLine) << r.err;
    // The reason, from the trace's last lines.
    EXPECT_NE(r.err.find("File not found on the installation disk: "), std::string::npos) << r.err;
  }

  Captured missing = run(runSimulate, {"--machine", m, "C:\\NOPE\\SETUP.EXE"});
  EXPECT_EQ(missing.code, kSimulateCannotRun);
  EXPECT_EQ(missing.err,
            "quillpack simulate: there is no C:\\NOPE\\SETUP.EXE on the simulated "
            "machine of " +
                m + "\n");
}

TEST(SimulateCommand, AMachineFileThatIsAFolderCannotStart) {
  for (const char* name : {"registry.reg", "groups.ini"}) {
    SimFixture machine;
    ASSERT_TRUE(machine.ok()) << machine.error();
    machine.writeFile("C:\\DIST\\SETUP.EXE", "MZ");
    const fs::path file = machine.root() / name;
    fs::remove(file);
    fs::create_directory(file);
    Captured r =
        run(runSimulate, {"--machine", machine.machineFile().string(), "C:\\DIST\\SETUP.EXE"});
    EXPECT_EQ(r.code, 1) << name;
    EXPECT_NE(r.err.find(file.string() + " is a folder, not a file"), std::string::npos)
        << name << ": " << r.err;
  }
}

// Each way a simulated run ends gives a status a shell tells apart, says the installer's own
// code, and leaves a trace that starts with its header.
TEST(SimulateCommand, ExitStatusesStayApartAndTheTraceSaysWhy) {
  struct Case {
    const char* why;
    const char* script;
    const char* answers;  // on the host, "" for none
    std::vector<std::string> arguments;
    int status;
    const char* said;    // on stderr
    const char* traced;  // in the trace
  };
  const Case cases[] = {
      {"completed",
       "DEFAULTDIR C:\\APP NOASKDRIVE NOASKDIR\r\n",
       "",
       {},
       0,
       "exit code 0: installation completed",
       "destination DefaultDir: C:\\APP (not asked)"},
      {"restart declined",
       "REBOOT System\r\n",
       "",
       {},
       10,
       "exit code 3010: completed; a restart was requested (exit status 10)",
       "Do you wish to reboot?"},
      {"exit message",
       "EXITMESSAGE\r\nThis version has expired.\r\nEXIT\r\n",
       "",
       {},
       1,
       "exit code 1: the installer could not start",
       "exit message: This version has expired."},
      {"an answer for no question",
       "REM no groups\r\n",
       "[Setup]\nGroups=13\n",
       {},
       1,
       "exit code 1",
       "Groups=13 cannot apply"},
      {"answers on the machine",
       "REM no groups\r\n",
       "",
       {"/ANSWERS=C:\\DIST\\A.INI"},
       1,
       "exit code 1",
       "C:\\DIST\\A.INI:2: Ask3=x cannot apply"},
      {"a trace that cannot be written",
       "REM x\r\n",
       "",
       {"/LOG=C:\\NOWHERE\\T.LOG"},
       1,
       "exit code 1",
       "C:\\NOWHERE\\T.LOG cannot be written; nothing was changed"},
      {"an answers file it cannot use",
       "REM x\r\n",
       "[Setup]\nScreens=Yes\n",
       {},
       1,
       "Screens must be OK or Cancel",
       nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    SimFixture machine;
    ASSERT_TRUE(machine.ok()) << machine.error();
    machine.writeFile("C:\\DIST\\SETUP.EXE", "MZ");
    machine.writeFile("C:\\DIST\\SETUP.cfg", c.script);
    machine.writeFile("C:\\DIST\\A.INI", "[Setup]\r\nAsk3=x\r\n");
    const std::string trace = (machine.root() / "trace.txt").string();
    Args args{"--machine", machine.machineFile().string(), "--quiet", "--trace", trace};
    if (*c.answers) {
      std::ofstream((machine.root() / "a.ini").string()) << c.answers;
      args.insert(args.end(), {"--answers", (machine.root() / "a.ini").string()});
    }
    args.push_back("C:\\DIST\\SETUP.EXE");
    args.insert(args.end(), c.arguments.begin(), c.arguments.end());
    Captured r = run(runSimulate, args);
    EXPECT_EQ(r.code, c.status) << r.err;
    EXPECT_NE(r.err.find(c.said), std::string::npos) << r.err;
    if (!c.traced) continue;
    std::ifstream in(trace);
    std::string first, text, line;
    std::getline(in, first);
    while (std::getline(in, line)) text += line + "\n";
    EXPECT_EQ(first.rfind("run ", 0), 0u) << first;
    EXPECT_NE(first.find(": program C:\\DIST\\SETUP.EXE, script C:\\DIST\\SETUP.cfg; Windows "
                         "3.95, DOS 7.10, processor 486"),
              std::string::npos)
        << first;
    EXPECT_NE(text.find(c.traced), std::string::npos) << text;
  }
}

TEST(BuildCommand, PacksAFileUnderAnotherNameAndNamesWhatItSkips) {
  SimFixture scratch;  // only for its temporary folder
  ASSERT_TRUE(scratch.ok());
  auto write = [&scratch](const std::string& name, const std::string& text) {
    fs::create_directories((scratch.root() / name).parent_path());
    std::ofstream(scratch.root() / name, std::ios::binary) << text;
    return (scratch.root() / name).string();
  };
  const std::string stub = write("stub.exe", "MZ");
  const std::string script = write("src/INSTALL.CFG", "TITLE \"x\"\r\n");
  const std::string readme = write("src/README.TXT", "a");
  const std::string other = write("other/README.TXT", "b");
  const std::string exe = (scratch.root() / "SETUP.EXE").string();

  Captured built =
      run(runBuild, {"--stub", stub, "-o", exe, "--name", "SETUP.cfg", script, readme, other});
  EXPECT_EQ(built.code, 0) << built.err;
  EXPECT_EQ(built.err, "quillpack build: skipped " + other +
                           ": the name README.TXT is already "
                           "packed from " +
                           readme +
                           " (the first file given wins; --name NAME FILE packs it under another "
                           "name)\n");
  Captured listed = run(runList, {exe});
  EXPECT_EQ(listed.out.substr(0, 10), "SETUP.cfg ");
  EXPECT_NE(listed.out.find("\nREADME.TXT "), std::string::npos) << listed.out;
  EXPECT_EQ(listed.out.find("INSTALL.CFG"), std::string::npos) << listed.out;
}

TEST(ListCommand, ListsAPackageVolumeByVolume) {
  SimFixture scratch;  // only for its temporary folder
  ASSERT_TRUE(scratch.ok());
  std::vector<PackageFile> files(3);
  files[0].name = "APP.EXE";
  uint32_t noise = 12345;  // incompressible, so the data fills more than one volume
  for (int i = 0; i < 6000; ++i) {
    noise ^= noise << 13, noise ^= noise >> 17, noise ^= noise << 5;
    files[0].data.push_back(uint8_t(noise));
  }
  files[1].name = "HELP\\APP.HLP";
  files[1].data.assign(500, 'h');
  files[1].time = {uint16_t((44 << 9) | (3 << 5) | 4), uint16_t((5 << 11) | (6 << 5) | 4)};
  files[2].name = "EMPTY.TXT";
  PackageOptions options;
  options.volumeSize = kMinVolumeSize + 1000;
  std::string error;
  auto volumes = buildPackage("APP.PAK", files, options, error);
  ASSERT_TRUE(volumes) << error;
  ASSERT_GE(volumes->size(), 2u);
  for (const PackageVolume& v : *volumes)
    std::ofstream(scratch.root() / v.name, std::ios::binary)
        .write(reinterpret_cast<const char*>(v.bytes.data()), long(v.bytes.size()));
  const std::string first = (scratch.root() / "APP.PAK").string();

  auto listed = listPackage(first, error);
  ASSERT_TRUE(listed) << error;
  ASSERT_EQ(listed->size(), 3u);
  EXPECT_EQ((*listed)[0].name, "APP.EXE");
  EXPECT_EQ((*listed)[0].volume, 0);
  EXPECT_EQ((*listed)[0].size, 6000u);
  EXPECT_EQ((*listed)[1].name, "HELP\\APP.HLP");
  EXPECT_GT((*listed)[1].volume, 0);  // the first file's data fills the first volume
  EXPECT_EQ((*listed)[1].size, 500u);
  EXPECT_EQ((*listed)[1].time, files[1].time);
  EXPECT_EQ((*listed)[2].size, 0u);
  EXPECT_EQ((*listed)[2].packedSize, 0u);

  Captured printed = run(runList, {first});
  EXPECT_EQ(printed.code, 0) << printed.err;
  EXPECT_NE(printed.out.find("HELP\\APP.HLP"), std::string::npos) << printed.out;
  EXPECT_NE(printed.out.find("500  2024-03-04  05:06:08"), std::string::npos) << printed.out;

  // A missing continuation volume is named.
  fs::remove(scratch.root() / (*volumes)[1].name);
  EXPECT_FALSE(listPackage(first, error));
  EXPECT_NE(error.find("volume 1 ("), std::string::npos) << error;
  EXPECT_NE(error.find("no such file"), std::string::npos) << error;
}

}  // namespace
}  // namespace qm::pack
