// quillpack check: every syntax error of a script with its reason, and warnings for what the
// installer accepts but ignores or reads in a surprising way.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "base/text.h"
#include "platform/sim/scratch_machine.h"
#include "platform/sim/sim_system.h"
#include "script/source.h"
#include "tools/container_report.h"
#include "tools/quillpack_commands.h"
#include "tools/quillpack_help.h"
#include "tools/safe_output.h"
#include "tools/script_check.h"

namespace qm::pack {

namespace {

namespace fs = std::filesystem;

bool readWholeFile(const std::string& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

// The archive container of a built SETUP.EXE held in memory: its entries, and one entry's bytes.
struct HostContainer {
  std::string bytes;
  std::vector<ContainerEntry> entries;

  bool load(const std::string& path) {
    if (!readWholeFile(path, bytes) || bytes.size() < kTrailerSize) return false;
    uint8_t trailer[kTrailerSize];
    std::copy_n(bytes.data() + bytes.size() - kTrailerSize, kTrailerSize, trailer);
    std::optional<ContainerTrailer> t = decodeTrailer(trailer);
    if (!t || t->firstEntry == 0) return false;
    ReadAt readAt = [this](uint64_t offset, uint8_t* buffer, size_t n) {
      if (offset > bytes.size() || n > bytes.size() - offset) return false;
      std::copy_n(bytes.data() + offset, n, buffer);
      return true;
    };
    entries = walkContainerChain(readAt, bytes.size(), t->firstEntry);
    return true;
  }
  std::optional<std::string> entryText(const std::string& name) const {
    for (const ContainerEntry& e : entries) {
      if (!equalsNoCase(e.name, name)) continue;
      uint64_t at = uint64_t(e.offset) + kEntrySize;
      if (at + e.size > bytes.size()) return std::nullopt;
      return bytes.substr(size_t(at), e.size);
    }
    return std::nullopt;
  }
};

// The first bytes of a file: enough to tell a package volume by its header.
constexpr size_t kHeadBytes = 64;

// Every file below a disk folder, as a path relative to it with backslashes.
std::vector<DistFile> folderFiles(const fs::path& root) {
  std::vector<DistFile> files;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::end(it);
       it.increment(ec)) {
    if (!it->is_regular_file(ec)) continue;
    std::string name;
    for (const fs::path& part : it->path().lexically_relative(root)) {
      if (!name.empty()) name += '\\';
      name += part.string();
    }
    std::string head(kHeadBytes, '\0');
    std::ifstream in(it->path(), std::ios::binary);
    in.read(head.data(), std::streamsize(head.size()));
    head.resize(size_t(in.gcount()));
    files.emplace_back(name, uint64_t(it->file_size(ec)), head);
  }
  std::sort(files.begin(), files.end(),
            [](const DistFile& a, const DistFile& b) { return a.path < b.path; });
  return files;
}

std::vector<DistFile> containerFiles(const HostContainer& c) {
  std::vector<DistFile> files;
  for (const ContainerEntry& e : c.entries) {
    uint64_t at = uint64_t(e.offset) + kEntrySize;
    std::string head = at < c.bytes.size()
                           ? c.bytes.substr(size_t(at), std::min<size_t>(kHeadBytes, e.size))
                           : std::string();
    files.emplace_back(e.name, e.size, head);
  }
  return files;
}

// The folders beside a disk folder named like it with the next numbers: DISK1, DISK2, DISK3 ...
std::vector<fs::path> followingDisks(const fs::path& first) {
  std::vector<fs::path> disks;
  std::string name = first.filename().string();
  size_t digits = name.find_last_not_of("0123456789") + 1;
  if (digits >= name.size()) return disks;
  std::string stem = name.substr(0, digits);
  std::error_code ec;
  for (int n = std::stoi(name.substr(digits)) + 1;; ++n) {
    fs::path next = first.parent_path() / (stem + std::to_string(n));
    if (!fs::is_directory(next, ec)) break;
    disks.push_back(next);
  }
  return disks;
}

const char* severityWord(Severity s) {
  switch (s) {
    case Severity::Error:
      return "error";
    case Severity::Warning:
      return "warning";
    case Severity::Note:
      break;
  }
  return "note";
}

}  // namespace

int runCheck(const Args& args) {
  const CommandHelp& help = commandHelp("check");
  std::string machineFile, script;
  std::vector<std::string> distArgs;
  bool strict = false;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--help" || args[i] == "-h") return printHelp(help);
    if (args[i] == "--machine" || args[i] == "--dist") {
      if (i + 1 >= args.size()) return usageError(help, args[i] + " needs a value");
      // The option is looked at before its value is taken: an assignment's right side is
      // evaluated first.
      std::string& target = args[i] == "--machine" ? machineFile : distArgs.emplace_back();
      target = args[++i];
    } else if (args[i] == "--strict") {
      strict = true;
    } else if (script.empty() && (args[i].empty() || args[i][0] != '-')) {
      script = args[i];
    } else {
      return usageError(help, args[i][0] == '-' ? "unknown option " + args[i]
                                                : "only one SCRIPT, got " + args[i]);
    }
  }
  if (script.empty()) return usageError(help, "no SCRIPT given");

  Distribution dist;
  std::string text;
  std::error_code ec;
  for (const std::string& input : {script, machineFile})
    if (!input.empty())
      if (std::string problem = inputProblem(input, false); !problem.empty())
        return inputError(problem);
  HostContainer exe;
  const bool built = exe.load(script);
  // The installer would fail to read a damaged entry, or not find the ones past a broken chain.
  const bool damaged = built && reportContainerDamage(script, exe.entries, exe.bytes.size());
  if (built) {
    // A built installer: its script is the entry named like the program, with "cfg".
    std::string cfg = fs::path(script).stem().string() + ".cfg";
    std::optional<std::string> entry = exe.entryText(cfg);
    if (!entry) return fail(script + ": its container holds no " + cfg + " (the script it reads)");
    text = *entry;
    dist.container = containerFiles(exe);
  } else if (!readWholeFile(script, text)) {
    return fail("cannot read " + script);
  }
  // A built installer beside its disks needs no --dist: its folder is the first disk and the
  // folders named like it with the next numbers the others.
  if (built && distArgs.empty()) {
    fs::path folder = fs::absolute(script, ec).parent_path();
    distArgs.push_back(folder.string());
    for (const fs::path& next : followingDisks(folder)) distArgs.push_back(next.string());
  }
  for (size_t k = 0; k < distArgs.size(); ++k) {
    const std::string& d = distArgs[k];
    if (!fs::exists(d, ec)) return fail(d + ": no such file or folder");
    HostContainer c;
    std::string folder = d;
    if (!fs::is_directory(d, ec)) {
      // A built installer names its disk: the folder it lies in, with its container.
      if (!c.load(d)) return fail(d + ": neither a folder nor a built installer with a container");
      if (dist.container.empty()) dist.container = containerFiles(c);
      folder = fs::absolute(d, ec).parent_path().string();
    }
    dist.disks.push_back(folderFiles(folder));
    dist.diskNames.push_back(d);
  }
  if (built && !dist.disks.empty())
    dist.diskNames[0] += " with the container of " + fs::path(script).filename().string();

  std::unique_ptr<ScratchMachine> defaultMachine;
  std::unique_ptr<SimSystem> machine;
  System* sys = nullptr;
  if (!machineFile.empty()) {
    std::string error;
    machine = SimSystem::load(machineFile, error);
    if (!machine) return inputError(error);
    sys = machine.get();
  } else {
    defaultMachine = std::make_unique<ScratchMachine>();
    if (!defaultMachine->ok()) return fail(defaultMachine->error());
    sys = &defaultMachine->sys();
  }

  int errors = 0, warnings = 0;
  std::string out;
  for (const Finding& f : checkScript(text, *sys, dist)) {
    errors += f.severity == Severity::Error;
    warnings += f.severity == Severity::Warning;
    out += script + ":" + std::to_string(f.line) + ": " + severityWord(f.severity) + ": " +
           f.message + "\n    " + f.text + "\n";
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  if (errors || warnings)
    std::fprintf(stderr, "%s: %d error(s), %d warning(s)\n", script.c_str(), errors, warnings);
  if (errors || damaged) return 1;
  return strict && warnings ? 1 : 0;
}

}  // namespace qm::pack
