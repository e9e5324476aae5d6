// quillpack simulate --profile / --matrix: a distribution run on built-in machine profiles, one
// at a time or all side by side.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/sim/machine_file.h"
#include "tools/machine_profiles.h"
#include "tools/progress.h"
#include "tools/quillpack_commands.h"
#include "tools/quillpack_help.h"
#include "tools/simulation_matrix.h"

namespace qm::pack {

namespace {

struct ProfileOptions {
  std::string profile;  // --profile NAME
  std::string matrix;   // --matrix all|NAME,NAME...
  DistributionMedia media;
  std::string program = "SETUP.EXE";
  std::string answers, trace, record, keep, output;
  std::string format = "text";
  bool quiet = false;
  unsigned jobs = 0;
  std::vector<std::string> arguments;  // after --
};

std::vector<std::string> splitNames(const std::string& list) {
  std::vector<std::string> names;
  std::string cur;
  for (char c : list + ",") {
    if (c == ',') {
      if (!cur.empty()) names.push_back(cur);
      cur.clear();
    } else {
      cur += c;
    }
  }
  return names;
}

// The profiles named, in the order named ("all": every one).
bool pickProfiles(const std::string& names, std::vector<MachineProfile>& picked,
                  std::string& error) {
  std::string folder = findProfilesFolder(error);
  if (folder.empty()) return false;
  std::vector<MachineProfile> all = readProfiles(folder, error);
  if (all.empty()) {
    if (error.empty()) error = folder + ": holds no profile";
    return false;
  }
  if (names == "all") {
    picked = all;
    return true;
  }
  for (const std::string& name : splitNames(names)) {
    auto it = std::find_if(all.begin(), all.end(),
                           [&](const MachineProfile& p) { return p.name == name; });
    if (it == all.end()) {
      error = "no profile named " + name + " (quillpack help profiles lists them)";
      return false;
    }
    picked.push_back(*it);
  }
  if (picked.empty()) error = "no profile named";
  return !picked.empty();
}

int runOneProfile(const ProfileOptions& o, const MachineProfile& profile) {
  std::string error;
  std::string folder = o.keep.empty() ? makeScratchFolder("qm-profile-", error) : o.keep;
  std::string machine = folder.empty() ? "" : layOutProfileMachine(profile, o.media, folder, error);
  if (machine.empty()) return fail(error);
  Args args = {"--machine", machine};
  if (!o.answers.empty()) args.insert(args.end(), {"--answers", o.answers});
  if (!o.trace.empty()) args.insert(args.end(), {"--trace", o.trace});
  if (!o.record.empty()) args.insert(args.end(), {"--record", o.record});
  if (o.quiet) args.push_back("--quiet");
  args.push_back("--");
  args.push_back(distributionProgram(o.media, o.program));
  args.insert(args.end(), o.arguments.begin(), o.arguments.end());
  int code = runSimulate(args);
  if (o.keep.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
  } else {
    std::fprintf(stderr,
                 "quillpack simulate: the machine is kept in %s; run on it again with "
                 "--machine %s\n",
                 folder.c_str(), machine.c_str());
  }
  return code;
}

int runMatrixCommand(const ProfileOptions& o, std::vector<MachineProfile> profiles) {
  const CommandHelp& help = commandHelp("simulate");
  MatrixFormat format = MatrixFormat::Text;
  if (o.format == "markdown")
    format = MatrixFormat::Markdown;
  else if (o.format == "json")
    format = MatrixFormat::Json;
  else if (o.format == "html")
    format = MatrixFormat::Html;
  else if (o.format != "text")
    return usageError(help, "--format wants text, markdown, json or html, got " + o.format);
  MatrixRequest request;
  request.profiles = std::move(profiles);
  request.media = o.media;
  request.program = o.program;
  request.arguments = o.arguments;
  request.answersFile = o.answers;
  request.keepFolder = o.keep;
  request.pictures = format == MatrixFormat::Html;
  request.jobs = o.jobs ? o.jobs : std::max(1u, std::thread::hardware_concurrency());
  if (!o.keep.empty()) {
    std::error_code ec;
    std::filesystem::create_directories(o.keep, ec);
    if (!std::filesystem::is_directory(o.keep) || !std::filesystem::is_empty(o.keep))
      return fail(o.keep + ": the machines are kept in a new or empty folder");
  }
  // Profile n of m on a terminal; nothing in a script's or a build's log.
  Progress progress("quillpack simulate", 0, 0, Progress::onTerminal(false));
  request.progress = [&progress](size_t done, size_t total, const std::string& name) {
    progress.setItem("profile " + std::to_string(done) + " of " + std::to_string(total) +
                     " done (" + name + ")");
  };
  std::vector<ProfileOutcome> outcomes = runMatrix(request);
  progress.finish();
  std::string report = formatMatrix(outcomes, format);
  if (o.output.empty()) {
    std::fwrite(report.data(), 1, report.size(), stdout);
  } else {
    std::ofstream out(o.output, std::ios::binary | std::ios::trunc);
    out << report;
    out.close();
    if (!out) return fail(o.output + ": cannot be written");
  }
  bool passed = std::all_of(outcomes.begin(), outcomes.end(), endedAsAnswered);
  return passed ? 0 : 1;
}

}  // namespace

bool wantsProfiles(const Args& args) {
  for (const std::string& a : args) {
    if (a == "--") return false;
    if (a == "--profile" || a == "--matrix") return true;
  }
  return false;
}

int runProfileSimulate(const Args& args) {
  const CommandHelp& help = commandHelp("simulate");
  ProfileOptions o;
  size_t i = 0;
  for (; i < args.size(); ++i) {
    const std::string& a = args[i];
    std::string value;
    auto take = [&](std::string& out) {
      if (i + 1 >= args.size()) return false;
      out = args[++i];
      return true;
    };
    if (a == "--") {
      o.arguments.assign(args.begin() + long(i) + 1, args.end());
      break;
    }
    bool known = a == "--profile" || a == "--matrix" || a == "--dist" || a == "--cd" ||
                 a == "--program" || a == "--answers" || a == "--trace" || a == "--record" ||
                 a == "--keep" || a == "--format" || a == "--jobs" || a == "-o";
    if (a == "--quiet" || a == "--log") {
      o.quiet = a == "--quiet";
      continue;
    }
    if (!known) return usageError(help, "unknown option " + a);
    if (!take(value)) return usageError(help, a + " needs a value");
    if (a == "--profile") o.profile = value;
    if (a == "--matrix") o.matrix = value;
    if (a == "--dist" || a == "--cd") {
      if (!o.media.disks.empty() && o.media.cd != (a == "--cd"))
        return usageError(help,
                          "the distribution is on floppies (--dist) or a CD (--cd), not both");
      if (a == "--cd" && !o.media.disks.empty())
        return usageError(help, "one --cd FOLDER: a CD holds the whole distribution");
      o.media.cd = a == "--cd";
      o.media.disks.push_back(value);
    }
    if (a == "--program") o.program = value;
    if (a == "--answers") o.answers = value;
    if (a == "--trace") o.trace = value;
    if (a == "--record") o.record = value;
    if (a == "--keep") o.keep = value;
    if (a == "--format") o.format = value;
    if (a == "-o") o.output = value;
    if (a == "--jobs") {
      o.jobs = unsigned(std::atoi(value.c_str()));
      if (o.jobs == 0 || o.jobs > 256) return usageError(help, "--jobs wants 1 to 256");
    }
  }
  if (!o.profile.empty() && !o.matrix.empty())
    return usageError(help, "--profile runs one machine and --matrix several; give one");
  if (o.media.disks.empty())
    return usageError(help, "no distribution: --dist FOLDER for each disk, or --cd FOLDER");
  if (o.program.find_first_of("\\/:") != std::string::npos)
    return usageError(help, "--program names a file on the first disk, without a folder");
  std::string error;
  std::vector<MachineProfile> profiles;
  if (!pickProfiles(o.matrix.empty() ? o.profile : o.matrix, profiles, error))
    return usageError(help, error);
  if (!o.matrix.empty()) {
    if (!o.trace.empty() || !o.record.empty())
      return usageError(help,
                        "--trace and --record go with --profile; the matrix keeps each "
                        "run's trace with --keep DIR");
    return runMatrixCommand(o, std::move(profiles));
  }
  if (profiles.size() != 1) return usageError(help, "--profile names one profile");
  if (!o.output.empty() || o.format != "text")
    return usageError(help, "-o and --format go with --matrix");
  return runOneProfile(o, profiles[0]);
}

int listProfiles() {
  std::string error;
  std::string folder = findProfilesFolder(error);
  std::vector<MachineProfile> profiles =
      folder.empty() ? std::vector<MachineProfile>{} : readProfiles(folder, error);
  if (profiles.empty()) return fail(error.empty() ? folder + ": holds no profile" : error);
  std::printf("Built-in machine profiles (%s):\n\n", folder.c_str());
  for (const MachineProfile& p : profiles) {
    std::printf("  %-12s %s: %s\n", p.name.c_str(), p.title.c_str(), p.summary.c_str());
    // What a 32-bit program finds, in the words of the conditions (winver 3.10 reads as 3.1).
    std::optional<MachineConfig> config =
        readMachineFile((std::filesystem::path(p.folder) / "machine.ini").string(), error);
    if (!config) return fail(error);
    uint32_t v = versionWordOf(*config);
    std::printf("  %-12s winver=%u.%u dosver=%u.%u display=%dx%dx%d memory=%llu KB\n", "", v & 0xFF,
                (v >> 8) & 0xFF, v >> 24, (v >> 16) & 0xFF, config->screenWidth,
                config->screenHeight, config->bitsPerPixel,
                static_cast<unsigned long long>(config->memory / 1024));
  }
  std::printf(
      "\nEach brings a drive C: with that Windows' folders, system files, WIN.INI, SYSTEM.INI,\n"
      "AUTOEXEC.BAT and CONFIG.SYS, a registry and the shell's program groups; the distribution\n"
      "goes on A: (--dist, one folder per disk) or on a CD in D: (--cd). A profile is a folder\n"
      "of %s: copy one, change it, and it is a new profile.\n\n"
      "  quillpack simulate --profile win95 --dist disk1 --dist disk2 --answers answers.ini\n"
      "  quillpack simulate --matrix all --dist disk1 --dist disk2\n",
      folder.c_str());
  return 0;
}

}  // namespace qm::pack
