// The install-then-uninstall round trip over every scenario under tests/scenarios whose
// installations all succeed: the simulated machine is snapshot (every file's bytes, FAT time and
// attributes on every drive, registry.reg, groups.ini), the installations run, the uninstaller
// runs on their logs, newest first, and the machine must be as it was. Documented leftovers
// (docs/uninstall.md) are the only differences allowed.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>

#include "base/text.h"
#include "platform/file_handle.h"
#include "platform/sim/fat_clock.h"
#include "platform/sim/program_manager.h"
#include "platform/sim/regedit4.h"
#include "platform/sim/sim_system.h"
#include "records/install_log_records.h"
#include "tools/simulation.h"
#include "tools/uninstall_simulation.h"

namespace qm {
namespace {

namespace fs = std::filesystem;

std::string readText(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<std::string> lines(const fs::path& p) {
  std::vector<std::string> out;
  std::istringstream in(readText(p));
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line[0] != '#') out.push_back(line);
  }
  return out;
}

std::optional<FatTime> stampTime(std::string text) {
  std::replace(text.begin(), text.end(), 'T', ' ');
  int y, mo, d, h, mi, s;
  if (std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d", &y, &mo, &d, &h, &mi, &s) != 6)
    return std::nullopt;
  return FatTime{uint16_t(((y - 1980) << 9) | (mo << 5) | d),
                 uint16_t((h << 11) | (mi << 5) | (s / 2))};
}

// Program groups and items that were there before and that a WINITEM removed or replaced: the
// log records what the shell added, not what it took away, so these stay changed.
bool groupsShrankOnly(const std::string& before, const std::string& after) {
  ProgramManagerGroups was, now;
  std::string error;
  if (!was.load(before, error) || !now.load(after, error)) return false;
  for (const ShellGroup& g : now.groups()) {
    ShellGroup* old = was.findGroup(g.name);
    if (!old) return false;
    for (const ShellItem& item : g.items)
      if (std::none_of(old->items.begin(), old->items.end(),
                       [&](const ShellItem& o) { return equalsNoCase(o.title, item.title); }))
        return false;
  }
  return true;
}

// Every file of every drive, seen through the machine: "PATH size attributes date time md5".
std::map<std::string, std::string> snapshot(const fs::path& work) {
  std::map<std::string, std::string> out;
  std::string error;
  std::unique_ptr<SimSystem> sys = SimSystem::load((work / "machine.ini").string(), error);
  EXPECT_TRUE(sys) << error;
  if (!sys) return out;
  std::function<void(const std::string&)> walk = [&](const std::string& dir) {
    for (const FindEntry& e : sys->find(dir + "*.*")) {
      if (e.name == "." || e.name == "..") continue;
      std::string path = dir + e.name;
      if (e.attributes & kAttrDirectory) {
        out[upperAscii(path) + "\\"] = "dir " + std::to_string(e.attributes);
        walk(path + "\\");
        continue;
      }
      const std::string bytes = readAll(*sys, path).value_or("");
      out[upperAscii(path)] = std::to_string(e.size) + " attr " + std::to_string(e.attributes) +
                              " time " + std::to_string(e.time.date) + "/" +
                              std::to_string(e.time.time) + " bytes " +
                              std::to_string(std::hash<std::string>()(bytes));
    }
  };
  for (const SimDrive& d : sys->config().drives) walk(std::string(1, d.letter) + ":\\");
  for (const char* name : {kRegistryFileName, "groups.ini"})
    if (fs::exists(work / name)) out[std::string("machine:") + name] = readText(work / name);
  return out;
}

fs::path buildDirectory() {
  char self[4096];
  ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return {};
  self[n] = 0;
  return fs::path(self).parent_path();
}

bool runTool(const fs::path& work, const std::string& args) {
  fs::path quillpack = buildDirectory() / "quillpack";
  std::string command =
      "cd '" + work.string() + "' && '" + quillpack.string() + "' " + args + " >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

// A package written into the first folder, its further volumes moved one per folder, following
// the next-volume names in the volume headers.
bool makePackage(const fs::path& work, const std::string& folders, const std::string& name,
                 const std::string& args) {
  std::vector<std::string> dirs;
  std::stringstream split(folders);
  for (std::string d; std::getline(split, d, ',');) dirs.push_back(d);
  fs::create_directories(work / dirs[0]);
  if (!runTool(work, "package -o " + dirs[0] + "/" + name + " " + args)) return false;
  std::string volume = name;
  for (size_t k = 0; k < dirs.size(); ++k) {
    std::string header = readText(work / dirs[0] / volume).substr(0, 14);
    std::string next = header.substr(0, header.find('\0'));
    if (k > 0) {
      fs::create_directories(work / dirs[k]);
      fs::rename(work / dirs[0] / volume, work / dirs[k] / volume);
    }
    if (next.empty()) break;
    volume = next;
  }
  return true;
}

struct Install {
  std::string answers;
  std::string program;
  std::vector<std::string> args;
  int expected = 0;
};

// Sets the scenario up in work as its own runner does; the installations it asks for.
std::vector<Install> prepare(const fs::path& work) {
  std::vector<Install> installs;
  FatTime base = *stampTime("2001-02-03 04:05:06");
  for (const auto& e : fs::recursive_directory_iterator(work))
    if (e.is_regular_file()) setHostFileTime(e.path(), base);
  for (const std::string& line : lines(work / "times.txt")) {
    std::istringstream in(line);
    std::string path, date, time;
    in >> path >> date >> time;
    if (auto t = stampTime(date + " " + time)) setHostFileTime(work / path, *t);
  }
  for (const std::string& dir : lines(work / "dirs.txt")) fs::create_directories(work / dir);
  for (const std::string& line : lines(work / "build.txt")) {
    std::istringstream in(line);
    std::string out, stub, files, f;
    in >> out >> stub;
    while (in >> f) files += " " + f;
    EXPECT_TRUE(runTool(work, "build --stub " + stub + " -o " + out + files)) << line;
  }
  for (const std::string& line : lines(work / "packages.txt")) {
    std::istringstream in(line);
    std::string folders, name, rest;
    in >> folders >> name;
    std::getline(in, rest);
    EXPECT_TRUE(makePackage(work, folders, name, rest)) << line;
  }
  for (const std::string& line : lines(work / "runs.txt")) {
    Install run;
    std::istringstream words(line);
    std::string answers;
    words >> run.expected >> answers >> run.program;
    for (std::string w; words >> w;) run.args.push_back(w);
    if (answers != "-") run.answers = (work / answers).string();
    installs.push_back(run);
  }
  return installs;
}

// The registry as its keys and values hold it, each key's values by name: what a program reading
// the registry sees, whatever order registry.reg lists them in after a value came back.
std::string registryListing(const std::string& text) {
  RegistryTree tree;
  std::string error;
  if (!tree.load(text, error)) return "unreadable: " + error;
  std::vector<std::string> out;
  std::function<void(const std::string&)> walk = [&](const std::string& key) {
    std::vector<std::string> names = tree.valueNames(key);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
      std::optional<RegValueData> v = tree.value(key, name);
      out.push_back(upperAscii(key) + " [" + name + "] " + std::to_string(v->type) + " " +
                    std::string(v->bytes.begin(), v->bytes.end()));
    }
    for (const std::string& sub : tree.subkeys(key)) {
      out.push_back(upperAscii(key + "\\" + sub));
      walk(key + "\\" + sub);
    }
  };
  for (uint32_t h = 0x80000000u; h <= 0x80000006u; ++h)
    if (std::string root = registryRootName(h); !root.empty()) walk(root);
  std::sort(out.begin(), out.end());
  std::string joined;
  for (const std::string& line : out) joined += line + "\n";
  return joined;
}

// Every difference between before and after but the two that stay by design: the uninstaller's
// copy in the Windows folder, shared by every installation, and the temporary copy's clean-up
// batch (a process, and the simulated machine runs none); and program items the installation
// removed, which no log records.
std::vector<std::string> differences(const std::map<std::string, std::string>& before,
                                     const std::map<std::string, std::string>& after,
                                     const std::string& windowsDir, const std::string& tempDir) {
  std::vector<std::string> out;
  auto leftover = [&](const std::string& path) {
    return path == upperAscii(windowsDir + "\\UNSTALL.EXE") ||
           path.rfind(upperAscii(tempDir + "\\~0000."), 0) == 0;
  };
  for (const auto& [path, what] : after) {
    auto b = before.find(path);
    if (b != before.end() && b->second == what) continue;
    if (leftover(path)) continue;
    if (path == std::string("machine:") + kRegistryFileName && b != before.end() &&
        registryListing(b->second) == registryListing(what))
      continue;
    if (path == "machine:groups.ini" && groupsShrankOnly(b == before.end() ? "" : b->second, what))
      continue;
    out.push_back((b == before.end()
                       ? "new: " + path
                       : "changed: " + path + "\n    before: " + b->second.substr(0, 400) +
                             "\n    after:  " + what.substr(0, 400)));
  }
  for (const auto& [path, what] : before)
    if (!after.count(path)) out.push_back("gone: " + path);
  return out;
}

TEST(RoundTrip, EverySuccessfulScenarioUninstallsToTheMachineItStartedFrom) {
  fs::path root = fs::path(QM_SOURCE_DIR) / "tests" / "scenarios";
  if (!fs::exists(buildDirectory() / "quillpack")) GTEST_SKIP() << "quillpack is not built";
  int roundTrips = 0;
  std::vector<fs::path> all;
  for (const auto& e : fs::directory_iterator(root))
    if (e.is_directory() && fs::exists(e.path() / "runs.txt")) all.push_back(e.path());
  std::sort(all.begin(), all.end());
  for (const fs::path& source : all) {
    SCOPED_TRACE(source.filename().string());
    fs::path work = fs::temp_directory_path() / ("qm-roundtrip-" + source.filename().string() +
                                                 "-" + std::to_string(::getpid()));
    fs::remove_all(work);
    fs::copy(source, work, fs::copy_options::recursive);
    fs::remove_all(work / "expected");
    std::vector<Install> installs = prepare(work);
    bool succeeds =
        !installs.empty() && std::all_of(installs.begin(), installs.end(),
                                         [](const Install& i) { return i.expected == 0; });
    if (!succeeds) {
      fs::remove_all(work);
      continue;
    }
    std::map<std::string, std::string> before = snapshot(work);
    std::vector<std::string> logs;
    bool installed = true;
    for (const Install& install : installs) {
      SimulationRequest request;
      request.machineFile = (work / "machine.ini").string();
      request.answersFile = install.answers;
      request.traceFile = (work / "trace.txt").string();
      request.program = install.program;
      request.arguments = install.args;
      SimulationResult result = runSimulation(request);
      installed = installed && result.error.empty() && result.exitCode == 0;
      if (!result.logPath.empty() &&
          std::none_of(logs.begin(), logs.end(),
                       [&](const std::string& l) { return equalsNoCase(l, result.logPath); }))
        logs.push_back(result.logPath);
    }
    ASSERT_TRUE(installed) << readText(work / "trace.txt");
    ++roundTrips;
    std::string report;
    for (auto log = logs.rbegin(); log != logs.rend(); ++log) {
      UninstallSimulation request{(work / "machine.ini").string(), "",
                                  (work / "trace.txt").string(), *log};
      UninstallSimulationResult result = runUninstallSimulation(request);
      EXPECT_EQ(result.exitCode, kUninstallDone) << *log;
      for (const std::string& p : result.report.problems) report += "  not undone: " + p + "\n";
      for (const std::string& p : result.report.left) report += "  left: " + p + "\n";
    }
    std::string error;
    std::unique_ptr<SimSystem> sys = SimSystem::load((work / "machine.ini").string(), error);
    ASSERT_TRUE(sys) << error;
    std::vector<std::string> diff =
        differences(before, snapshot(work), sys->windowsDirectory(), sys->config().tempDir);
    std::string shown;
    for (const std::string& d : diff) shown += "  " + d + "\n";
    EXPECT_TRUE(diff.empty()) << shown << report;
    if (!::testing::Test::HasFailure()) fs::remove_all(work);
  }
  EXPECT_GE(roundTrips, 10) << "too few scenarios install successfully to prove the round trip";
}

}  // namespace
}  // namespace qm
