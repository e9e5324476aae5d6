#include "tools/simulation_matrix.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "platform/sim/machine_file.h"
#include "tools/host_files_for_tests.h"
#include "tools/quillpack_commands.h"

namespace qm::pack {
namespace {

namespace fs = std::filesystem;

std::vector<MachineProfile> shippedProfiles() {
  std::string error;
  std::vector<MachineProfile> profiles = readProfiles(QM_SOURCE_DIR "/profiles", error);
  EXPECT_EQ(error, "");
  return profiles;
}

bool wrote(const ProfileOutcome& o, const std::string& file) {
  return std::any_of(o.files.begin(), o.files.end(),
                     [&](const std::string& f) { return f == "C:\\QNOTES\\" + file; });
}

// The version word each profile's Windows gives a 32-bit program, as GetVersion returned it
// under Wine 8.0 set to that version (winecfg -v NAME).
const std::map<std::string, uint32_t> kWineVersionWords = {
    {"win31", 0x80000A03}, {"win95", 0xC0000004}, {"win98", 0xC0000A04}, {"nt351", 0x04213303},
    {"nt40", 0x05650004},  {"win2k", 0x08930005}, {"winxp", 0x0A280105},
};

TEST(MachineProfiles, EveryProfileReportsTheVersionWordOfItsWindows) {
  std::vector<MachineProfile> profiles = shippedProfiles();
  ASSERT_GE(profiles.size(), 9u);
  for (const MachineProfile& p : profiles) {
    SCOPED_TRACE(p.name);
    std::string error;
    std::optional<MachineConfig> config = readMachineFile(p.folder + "/machine.ini", error);
    ASSERT_TRUE(config) << error;
    ASSERT_TRUE(kWineVersionWords.count(p.wine)) << "Wine=" << p.wine;
    EXPECT_EQ(versionWordOf(*config), kWineVersionWords.at(p.wine));
    EXPECT_FALSE(p.title.empty());
  }
}

// The sample distribution as a vendor has it before packing: its folder with the installer and
// the uninstaller beside the script.
std::string sampleDisk(testing::ScratchDir& dir) {
  fs::path disk = dir.path / "disk1";
  fs::copy(QM_SOURCE_DIR "/examples/sample", disk, fs::copy_options::recursive);
  fs::remove(disk / "answers.ini");
  dir.write("disk1/SETUP.EXE", "stand-in for the installer");
  dir.write("disk1/UNSTALL.EXE", "stand-in for the uninstaller");
  return disk.string();
}

TEST(SimulationMatrix, SampleOnEveryProfileTakesEachMachinesBranches) {
  testing::ScratchDir dir;
  MatrixRequest request;
  request.profiles = shippedProfiles();
  request.media.disks = {sampleDisk(dir)};
  request.answersFile =
      dir.write("answers.ini", "[Setup]\nAsk1=Pat Writer\nDefaultDir=C:\\QNOTES\nOverwrite=Yes\n");
  request.jobs = 2;
  size_t reported = 0;
  request.progress = [&](size_t done, size_t total, const std::string&) {
    EXPECT_EQ(done, ++reported);
    EXPECT_EQ(total, request.profiles.size());
  };
  std::vector<ProfileOutcome> outcomes = runMatrix(request);
  EXPECT_EQ(reported, request.profiles.size());

  struct Expected {
    const char* profile;
    int exitCode;
    const char* tips;   // which branch of IF winver >= 4
    const char* icons;  // which branch of IF video < 16
  };
  const Expected kExpected[] = {
      {"nt351", 0, "TIPS31.TXT", "ICONS256.BMP"},  {"nt40", 0, "TIPS95.TXT", "ICONS256.BMP"},
      {"wfw311", 0, "TIPS31.TXT", "ICONS256.BMP"}, {"win2000", 0, "TIPS95.TXT", "ICONS256.BMP"},
      {"win31", 0, "TIPS31.TXT", "ICONS16.BMP"},   {"win95", 0, "TIPS95.TXT", "ICONS256.BMP"},
      {"win95-small", 3, nullptr, nullptr},        {"win98", 0, "TIPS95.TXT", "ICONS256.BMP"},
      {"winxp", 0, "TIPS95.TXT", "ICONS256.BMP"},
  };
  ASSERT_EQ(outcomes.size(), std::size(kExpected));
  for (size_t i = 0; i < outcomes.size(); ++i) {
    const ProfileOutcome& o = outcomes[i];
    const Expected& e = kExpected[i];
    SCOPED_TRACE(o.profile);
    ASSERT_EQ(o.profile, e.profile);
    EXPECT_EQ(o.error, "");
    EXPECT_EQ(o.exitCode, e.exitCode);
    if (!e.tips) {
      // Nothing is copied onto the full disk, and the trace says why.
      EXPECT_TRUE(o.files.empty());
      EXPECT_FALSE(endedAsAnswered(o));
      bool spaceMessage = std::any_of(o.traceTail.begin(), o.traceTail.end(), [](auto& l) {
        return l.find("Not enough disk space") != std::string::npos;
      });
      EXPECT_TRUE(spaceMessage);
      continue;
    }
    EXPECT_TRUE(endedAsAnswered(o));
    EXPECT_TRUE(wrote(o, std::string("DOCS\\") + e.tips));
    EXPECT_TRUE(wrote(o, e.icons));
    EXPECT_EQ(wrote(o, "DOCS\\TIPS95.TXT") + wrote(o, "DOCS\\TIPS31.TXT"), 1);
    EXPECT_EQ(wrote(o, "ICONS16.BMP") + wrote(o, "ICONS256.BMP"), 1);
    // The sizes are read back from the machine: at least the toolbar picture and the tips.
    EXPECT_GE(o.bytes, fs::file_size(fs::path(request.media.disks[0]) / e.icons) +
                           fs::file_size(fs::path(request.media.disks[0]) / "DOCS" / e.tips));
    EXPECT_GE(o.iniEntries, 2);
    EXPECT_GE(o.registryKeys, 1);
    EXPECT_EQ(o.programItems, 2);
    EXPECT_NE(std::find(o.dialogs.begin(), o.dialogs.end(), "Ask1"), o.dialogs.end());
  }

  std::string text = formatMatrix(outcomes, MatrixFormat::Text);
  // Each branch is told with where it was taken and the file it installed there; the failed run
  // is left out of the file comparison and told apart.
  for (const char* expected :
       {"line 61: IF winver >= 4 is true on every profile but nt351, wfw311 and win31; false on "
        "nt351, wfw311 and win31 only; where true, it installs C:\\QNOTES\\DOCS\\TIPS95.TXT; "
        "where false, C:\\QNOTES\\DOCS\\TIPS31.TXT instead\n",
        "line 67: IF video < 16 is true on win31 only; false on every profile but win31; where "
        "true, it installs C:\\QNOTES\\ICONS16.BMP; where false, C:\\QNOTES\\ICONS256.BMP "
        "instead\n"})
    EXPECT_NE(text.find(expected), std::string::npos) << text;
  EXPECT_EQ(text.find("README.TXT is written"), std::string::npos) << text;
  EXPECT_NE(text.find("win95-small: exit 3 (failed); the trace ends:"), std::string::npos) << text;
  std::string json = formatMatrix(outcomes, MatrixFormat::Json);
  EXPECT_NE(json.find("\"passed\": false"), std::string::npos);
  EXPECT_NE(json.find("{\"profile\": \"win31\", \"title\": \"Windows 3.1\", \"exit\": 0"),
            std::string::npos);
}

TEST(SimulateProfiles, KeepsTheMachineOfOneRunAndRefusesBadArguments) {
  testing::ScratchDir dir;
  std::string disk = sampleDisk(dir);
  std::string answers = dir.write("answers.ini", "[Setup]\nAsk1=Pat Writer\n");
  std::string keep = dir.at("kept");
  dir.write("full/x", "");
  struct Case {
    Args args;
    int code;
    const char* printed;  // expected on stdout or stderr
  } cases[] = {
      {{"--profile", "win31", "--dist", disk, "--answers", answers, "--keep", keep, "--quiet"},
       0,
       "run on it again with --machine"},
      {{"--profile", "win95", "--dist", disk, "--keep", dir.at("full")}, 1, "new or empty folder"},
      {{"--matrix", "win31,win95-small", "--dist", disk, "--format", "json"},
       1,
       "\"passed\": false"},
      {{"--matrix", "win31", "--dist", disk, "--format", "markdown"}, 0, "| win31 | 0 completed |"},
      {{"--profile", "nosuch", "--dist", disk}, 2, "no profile named nosuch"},
      {{"--profile", "win95"}, 2, "no distribution"},
      {{"--profile", "win95", "--dist", disk, "--cd", disk}, 2, "not both"},
      {{"--profile", "win95", "--matrix", "all", "--dist", disk}, 2, "give one"},
      {{"--matrix", "all", "--dist", disk, "--format", "pdf"}, 2, "--format wants"},
      // The page lays the first screen (342x126) centred on win31's 640x480 display.
      {{"--matrix", "win31", "--dist", disk, "--format", "html"},
       0,
       "<img alt=\"FirstScreen\" data-window=\"149 177 342 126\""},
      {{"--profile", "win95", "--dist", disk, "--program", "A:\\SETUP.EXE"}, 2, "without a folder"},
  };
  for (const Case& c : cases) {
    testing::CommandRun r = testing::runCommand(runSimulate, c.args);
    EXPECT_EQ(r.code, c.code) << c.args[1] << r.err;
    EXPECT_NE((r.out + r.err).find(c.printed), std::string::npos) << r.out << r.err;
  }
  // The kept machine holds what the run left, and runs again from its own machine file.
  EXPECT_TRUE(fs::exists(fs::path(keep) / "c" / "QNOTES" / "DOCS" / "TIPS31.TXT"));
  testing::CommandRun again = testing::runCommand(
      runSimulate, {"--machine", keep + "/machine.ini", "--quiet", "A:\\SETUP.EXE"});
  EXPECT_EQ(again.code, 0) << again.err;
}

}  // namespace
}  // namespace qm::pack
