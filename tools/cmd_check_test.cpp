#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/sim/sim_fixture_for_tests.h"
#include "tools/quillpack_commands.h"
#include "tools/script_check.h"

namespace qm::pack {
namespace {

TEST(CheckScript, ReportsEveryErrorWithItsLine) {
  SimFixture machine;
  ASSERT_TRUE(machine.ok()) << machine.error();
  struct Case {
    const char* name;
    const char* script;
    std::vector<ScriptError> errors;
  };
  const Case cases[] = {
      {"clean", "TITLE \"x\"\nREM\n", {}},
      {"two errors read on",
       "JUNK x\nTITLE \"ok\"\n; not a comment\n",
       {{1, "JUNK x"}, {3, "; not a comment"}}},
      {"after a text block",
       "BEGINLASTSCREEN\nThanks\nIF text\nENDLASTSCREEN\nELSE\n",
       {{5, "ELSE"}}},
      {"after a deferred block",
       "REM\nIF $ASK1 = \"y\"\nOKPROMPT \"a\"\nENDIF\nTITLE Large\n",
       {{5, "TITLE Large"}}},
      {"inside a deferred block, both ways",
       "IF $ASK1 = \"y\"\nASK2 \"\" prompt=\"x\"\nELSE\nJUNK else\nENDIF\nJUNK after\n",
       {{6, "JUNK after"}, {2, "ASK2 \"\" prompt=\"x\""}, {4, "JUNK else"}}},
      {"false branch on this machine", "IF winver < 3.0\nJUNK x\nENDIF\n", {}},
      {"open IF at the end", "IF isfile \"C:\\NOPE.TXT\"\nREM\nREM last", {{3, "REM last"}}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(checkScriptText(c.script, machine.sys()), c.errors) << c.name;
  }
}

}  // namespace
}  // namespace qm::pack

namespace qm::pack {
namespace {

TEST(CheckCommand, ExitCodes) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("qm-check-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  auto write = [&dir](const char* name, const char* text) {
    std::ofstream(dir / name, std::ios::binary) << text;
    return (dir / name).string();
  };
  const std::string clean = write("clean.cfg", "TITLE \"x\"\r\n");
  const std::string broken = write("broken.cfg", "TITLE \"x\"\nJUNK x\n");
  struct Case {
    Args args;
    int code;
  };
  const Case cases[] = {
      {{clean}, 0},
      {{broken}, 1},
      {{(dir / "missing.cfg").string()}, 2},  // an unusable input, as a bad argument
      {{}, 2},
      {{"--machine"}, 2},
      {{clean, broken}, 2},
      {{"--bogus", clean}, 2},
      {{"--machine", (dir / "no-machine.ini").string(), clean}, 2},
      {{"--help"}, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(runCheck(c.args), c.code) << (c.args.empty() ? "" : c.args[0]);
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace qm::pack

namespace qm::pack {
namespace {

TEST(CheckCommand, PrintsReasonsWarningsAndReadsABuiltInstaller) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("qm-check-out-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir / "disk1");
  auto write = [&dir](const std::string& name, const char* text) {
    std::ofstream(dir / name, std::ios::binary) << text;
    return (dir / name).string();
  };
  const std::string script = write("SETUP.cfg", "FOOBAR\r\nFILE APP.EXE\r\nFILE GONE.TXT\r\n");
  const std::string app = write("disk1/APP.EXE", "app");
  const std::string stub = write("stub.exe", "MZ");
  const std::string exe = (dir / "SETUP.EXE").string();
  ::testing::internal::CaptureStderr();
  ASSERT_EQ(runBuild({"--stub", stub, "-o", exe, script}), 0);
  ::testing::internal::GetCapturedStderr();

  struct Case {
    Args args;
    int code;
    std::string out;
  };
  const std::string foobar =
      ":1: warning: FOOBAR is not a statement; a lone word is skipped "
      "without a message\n    FOOBAR\n";
  const Case cases[] = {
      {{script}, 0, script + foobar},
      {{"--strict", script}, 1, script + foobar},
      // The script inside the container; APP.EXE lies in the folder beside the installer.
      {{"--dist", (dir / "disk1").string(), exe},
       1,
       exe + foobar + exe + ":1: note: disk 1 (" + (dir / "disk1").string() +
           " with the container of SETUP.EXE) is read from here: APP.EXE\n    FOOBAR\n" + exe +
           ":3: error: FILE GONE.TXT: the installer looks for GONE.TXT on disk 1 (" +
           (dir / "disk1").string() +
           " with the container of SETUP.EXE), and will not find it\n    FILE GONE.TXT\n"},
  };
  for (const Case& c : cases) {
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(runCheck(c.args), c.code) << c.args.back();
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), c.out);
    ::testing::internal::GetCapturedStderr();
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace qm::pack
