// Runs every scenario under tests/scenarios that has a "cmd" file: a whole installation through
// the simulation, compared with the scenario's expected exit code, install log, file tree and
// process log. Layout of a scenario folder:
//   machine.ini, its media folders    the simulated machine (copied to a scratch folder first)
//   cmd                               the installer's Windows path and its arguments
//   answers.ini                       optional answers file
//   mkdirs                            optional: host folders to create (git keeps no empty ones)
//   times                             optional: "host/path YYYY-MM-DD HH:MM:SS"; other files get
//                                     2020-01-01 12:00:00
//   attrs                             optional: "C:\WIN\PATH RHSA" set before the run
//   expected/exit                     the exit code (0 when missing)
//   expected/install.log              the log as printed (no file: no log may be written)
//   expected/tree.txt                 every entry of drive C: after the run
//   expected/processes.log            optional: the machine's process log after the run
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/text.h"
#include "platform/sim/fat_clock.h"
#include "platform/sim/sim_system.h"
#include "tools/simulation.h"

namespace qm {
namespace {

namespace fs = std::filesystem;

std::string readText(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) out.push_back(line);
  }
  return out;
}

std::optional<FatTime> parseStamp(const std::string& date, const std::string& time) {
  int y, mo, d, h, mi, s;
  if (std::sscanf(date.c_str(), "%d-%d-%d", &y, &mo, &d) != 3) return std::nullopt;
  if (std::sscanf(time.c_str(), "%d:%d:%d", &h, &mi, &s) != 3) return std::nullopt;
  FatTime t;
  t.date = static_cast<uint16_t>(((y - 1980) << 9) | (mo << 5) | d);
  t.time = static_cast<uint16_t>((h << 11) | (mi << 5) | (s / 2));
  return t;
}

std::string stamp(FatTime t) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", 1980 + (t.date >> 9),
                (t.date >> 5) & 15, t.date & 31, t.time >> 11, (t.time >> 5) & 63,
                (t.time & 31) * 2);
  return buf;
}

std::string attributeLetters(uint32_t a) {
  std::string s;
  if (a & kAttrReadOnly) s += 'R';
  if (a & kAttrHidden) s += 'H';
  if (a & kAttrSystem) s += 'S';
  if (a & kAttrArchive) s += 'A';
  return s.empty() ? "-" : s;
}

void listTree(SimSystem& sys, const std::string& dir, std::vector<std::string>& out) {
  for (const FindEntry& e : sys.find(dir + "*.*")) {
    if (e.name == "." || e.name == "..") continue;
    std::string path = dir + e.name;
    if (e.attributes & kAttrDirectory) {
      out.push_back(path + "\\");
      listTree(sys, path + "\\", out);
    } else {
      // The logs and the temporary copy are made during the run: their times are the clock's.
      bool written = equalsNoCase(e.name, "install.log") || equalsNoCase(e.name, "instback.log") ||
                     startsWithNoCase(e.name, "~0000");
      out.push_back(path + " " + std::to_string(e.size) + " " + attributeLetters(e.attributes) +
                    (written ? "" : " " + stamp(e.time)));
    }
  }
}

std::string joined(const std::vector<std::string>& v) {
  std::string s;
  for (const std::string& l : v) s += l + "\n";
  return s;
}

std::vector<fs::path> scenarios() {
  std::vector<fs::path> out;
  fs::path root = fs::path(QM_SOURCE_DIR) / "tests" / "scenarios";
  if (!fs::exists(root)) return out;
  for (const auto& e : fs::directory_iterator(root))
    if (e.is_directory() && fs::exists(e.path() / "cmd")) out.push_back(e.path());
  std::sort(out.begin(), out.end());
  return out;
}

void runScenario(const fs::path& source) {
  SCOPED_TRACE(source.filename().string());
  fs::path work = fs::temp_directory_path() /
                  ("qm-scenario-" + source.filename().string() + "-" + std::to_string(::getpid()));
  fs::remove_all(work);
  fs::copy(source, work, fs::copy_options::recursive);
  for (const std::string& dir : lines(readText(work / "mkdirs")))
    fs::create_directories(work / dir);
  FatTime base = *parseStamp("2020-01-01", "12:00:00");
  for (const auto& e : fs::recursive_directory_iterator(work))
    if (e.is_regular_file()) setHostFileTime(e.path(), base);
  for (const std::string& line : lines(readText(work / "times"))) {
    std::istringstream in(line);
    std::string path, date, time;
    in >> path >> date >> time;
    std::optional<FatTime> t = parseStamp(date, time);
    ASSERT_TRUE(t) << line;
    ASSERT_TRUE(setHostFileTime(work / path, *t)) << line;
  }
  std::string error;
  if (fs::exists(work / "attrs")) {
    std::unique_ptr<SimSystem> sys = SimSystem::load((work / "machine.ini").string(), error);
    ASSERT_TRUE(sys) << error;
    for (const std::string& line : lines(readText(work / "attrs"))) {
      std::istringstream in(line);
      std::string path, letters;
      in >> path >> letters;
      uint32_t bits = 0;
      for (char c : letters)
        bits |= c == 'R'   ? kAttrReadOnly
                : c == 'H' ? kAttrHidden
                : c == 'S' ? kAttrSystem
                : c == 'A' ? kAttrArchive
                           : 0;
      ASSERT_TRUE(sys->setAttributes(path, bits ? bits : kAttrNormal)) << line;
    }
  }

  // One installation per line of cmd, one after the other on the same machine.
  std::vector<std::string> cmd = lines(readText(work / "cmd"));
  ASSERT_FALSE(cmd.empty());
  SimulationResult result;
  for (const std::string& line : cmd) {
    SimulationRequest request;
    request.machineFile = (work / "machine.ini").string();
    if (fs::exists(work / "answers.ini")) request.answersFile = (work / "answers.ini").string();
    request.traceFile = (work / "trace.txt").string();
    std::istringstream words(line);
    words >> request.program;
    for (std::string w; words >> w;) request.arguments.push_back(w);
    result = runSimulation(request);
    ASSERT_TRUE(result.error.empty()) << result.error;
  }
  std::unique_ptr<SimSystem> after = SimSystem::load((work / "machine.ini").string(), error);
  ASSERT_TRUE(after) << error;
  std::vector<std::string> tree;
  listTree(*after, "C:\\", tree);
  after.reset();
  // QM_WRITE_SCENARIOS=1 writes what a new scenario produced, for review before it is kept.
  if (std::getenv("QM_WRITE_SCENARIOS")) {
    fs::create_directories(source / "expected");
    std::ofstream(source / "expected" / "exit") << result.exitCode << "\n";
    if (!result.installLog.empty())
      std::ofstream(source / "expected" / "install.log", std::ios::binary) << result.installLog;
    std::ofstream(source / "expected" / "tree.txt", std::ios::binary) << joined(tree);
    if (fs::exists(work / "processes.log"))
      std::ofstream(source / "expected" / "processes.log", std::ios::binary)
          << readText(work / "processes.log");
  }
  std::string trace = readText(work / "trace.txt");
  int expectedExit = 0;
  if (fs::exists(source / "expected" / "exit"))
    expectedExit = std::stoi(readText(source / "expected" / "exit"));
  EXPECT_EQ(result.exitCode, expectedExit) << trace;
  fs::path expectedLog = source / "expected" / "install.log";
  EXPECT_EQ(result.installLog, fs::exists(expectedLog) ? readText(expectedLog) : "") << trace;

  EXPECT_EQ(joined(tree), readText(source / "expected" / "tree.txt")) << trace;
  fs::path expectedProcesses = source / "expected" / "processes.log";
  if (fs::exists(expectedProcesses)) {
    EXPECT_EQ(readText(work / "processes.log"), readText(expectedProcesses));
  }
  if (!::testing::Test::HasFailure()) fs::remove_all(work);
}

TEST(Scenarios, EveryScenarioInstallsAsExpected) {
  std::vector<fs::path> all = scenarios();
  ASSERT_FALSE(all.empty()) << "no scenario found under tests/scenarios";
  for (const fs::path& s : all) runScenario(s);
}

}  // namespace
}  // namespace qm
