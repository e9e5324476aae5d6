// quillpack build, list and extract: the archive container appended to the installer.
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "base/text.h"
#include "script/source.h"
#include "tools/build_notes.h"
#include "tools/container_report.h"
#include "tools/container_writer.h"
#include "tools/package_list.h"
#include "tools/progress.h"
#include "tools/quillpack_commands.h"
#include "tools/quillpack_help.h"
#include "tools/safe_output.h"

namespace qm::pack {

namespace {

bool seekTo(std::FILE* f, uint64_t offset) {
#ifdef _WIN32
  return _fseeki64(f, int64_t(offset), SEEK_SET) == 0;
#else
  return fseeko(f, off_t(offset), SEEK_SET) == 0;
#endif
}

std::optional<uint64_t> hostFileSize(std::FILE* f) {
#ifdef _WIN32
  if (_fseeki64(f, 0, SEEK_END) != 0) return std::nullopt;
  int64_t size = _ftelli64(f);
#else
  if (fseeko(f, 0, SEEK_END) != 0) return std::nullopt;
  int64_t size = ftello(f);
#endif
  if (size < 0) return std::nullopt;
  return uint64_t(size);
}

// An open container file with its chain walked once.
struct OpenedContainer {
  std::FILE* file = nullptr;
  uint64_t size = 0;
  ContainerTrailer trailer;
  std::vector<ContainerEntry> entries;
  std::vector<bool> overruns;  // per entry: its size runs past the container's data
  ~OpenedContainer() {
    if (file) std::fclose(file);
  }
  // True when the chain ended at a next offset of 0 rather than at a loop or a bad offset.
  bool chainComplete() const { return !entries.empty() && entries.back().next == 0; }
};

// Opens path and reads its directory; an empty message when it holds no container.
bool openContainerFile(const std::string& path, OpenedContainer& c, std::string& error) {
  c.file = std::fopen(path.c_str(), "rb");
  if (!c.file) {
    error = "cannot open " + path;
    return false;
  }
  std::optional<uint64_t> size = hostFileSize(c.file);
  uint8_t trailer[kTrailerSize];
  std::optional<ContainerTrailer> t;
  if (size && *size >= kTrailerSize && seekTo(c.file, *size - kTrailerSize) &&
      std::fread(trailer, 1, kTrailerSize, c.file) == kTrailerSize)
    t = decodeTrailer(trailer);
  if (!t || t->firstEntry == 0) {
    error = path + " holds no archive container (no \"[Tovek]\" trailer)";
    return false;
  }
  c.size = *size;
  c.trailer = *t;
  ReadAt readAt = [&c](uint64_t offset, uint8_t* buffer, size_t n) {
    return seekTo(c.file, offset) && std::fread(buffer, 1, n, c.file) == n;
  };
  c.entries = walkContainerChain(readAt, c.size, t->firstEntry);
  c.overruns = overrunningEntries(c.entries, c.size);
  return true;
}

std::string attributeLetters(uint32_t a) {
  std::string s = "-----";
  if (a & kAttrReadOnly) s[0] = 'R';
  if (a & kAttrHidden) s[1] = 'H';
  if (a & kAttrSystem) s[2] = 'S';
  if (a & kAttrDirectory) s[3] = 'D';
  if (a & kAttrArchive) s[4] = 'A';
  return s;
}

}  // namespace

std::string installedStub(const std::string& programPath) {
  namespace fs = std::filesystem;
  if (programPath.empty()) return "";
  const fs::path dir = fs::path(programPath).parent_path();
  for (const fs::path& candidate :
       {dir / ".." / "share" / "quillmount" / "quillmount.exe", dir / "quillmount.exe"}) {
    std::error_code ec;
    if (fs::is_regular_file(candidate, ec)) return candidate.lexically_normal().string();
  }
  return "";
}

std::string runningProgram() {
  std::error_code ec;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? "" : self.string();
}

int runBuild(const Args& args) {
  const CommandHelp& help = commandHelp("build");
  std::string stub, out;
  bool quiet = false;
  std::vector<std::string> inputs;
  std::map<size_t, std::string> renamed;  // input index -> the name it is packed under
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--help" || args[i] == "-h") return printHelp(help);
    if (args[i] == "--quiet") {
      quiet = true;
    } else if (args[i] == "--stub" || args[i] == "-o") {
      if (i + 1 >= args.size()) return usageError(help, args[i] + " needs a value");
      std::string& target = args[i] == "--stub" ? stub : out;
      target = args[++i];
    } else if (args[i] == "--name") {
      if (i + 2 >= args.size()) return usageError(help, "--name needs a NAME and a FILE");
      const std::string& name = args[++i];
      if (name.empty() || name.find_first_of("\\/:") != std::string::npos)
        return usageError(help, "--name " + name + ": a packed name has no directories");
      renamed[inputs.size()] = name;
      inputs.push_back(args[++i]);
    } else if (args[i].size() > 1 && args[i][0] == '-') {
      return usageError(help, "unknown option " + args[i]);
    } else {
      inputs.push_back(args[i]);
    }
  }
  if (stub.empty()) stub = installedStub(runningProgram());
  if (stub.empty())
    return usageError(help, "no --stub STUB.exe given, and no installed quillmount.exe found");
  if (out.empty()) return usageError(help, "no -o SETUP.EXE given");
  if (inputs.empty()) return usageError(help, "no FILE to pack");

  if (std::string problem = inputProblem(stub, false); !problem.empty()) return inputError(problem);
  for (const std::string& input : inputs)
    if (std::string problem = inputProblem(input); !problem.empty()) return inputError(problem);
  std::vector<std::string> read = inputs;
  read.push_back(stub);
  SafeOutputs outputs(read);
  std::string error;
  if (!outputs.claim({out}, error)) return inputError(error);

  std::vector<PackItem> items;
  for (const std::string& input : inputs) {
    struct stat st {};
    if (::stat(input.c_str(), &st) != 0) return inputError(input + ": no such file");
    PackItem item;
    item.name = renamed.count(items.size()) ? renamed[items.size()] : storedName(input);
    item.hostPath = input;
    item.size = uint64_t(st.st_size);
    item.time = fatTimeForPacking(int64_t(st.st_mtime));
    item.attributes = kAttrArchive;
    items.push_back(std::move(item));
  }
  reportSkippedAndScript(items, out);
  items = withoutDuplicateNames(std::move(items));

  std::FILE* in = std::fopen(stub.c_str(), "rb");
  if (!in) return inputError("cannot open the stub " + stub);
  std::FILE* o = outputs.open(0, error);
  if (!o) {
    std::fclose(in);
    return fail(error);
  }
  uint64_t stubSize = 0;
  std::vector<char> block(kCopyBlockSize);
  bool ok = true;
  for (size_t n; (n = std::fread(block.data(), 1, block.size(), in)) > 0; stubSize += n)
    if (std::fwrite(block.data(), 1, n, o) != n) ok = false;
  if (std::ferror(in)) ok = false;
  std::fclose(in);
  error = "cannot copy the stub " + stub + " to " + out;
  uint64_t totalBytes = 0;
  for (const PackItem& item : items) totalBytes += item.size;
  Progress progress("building", totalBytes, items.size(), Progress::onTerminal(quiet));
  // Each item counts as its copy begins.
  const auto shown = [&](const std::string& name, uint64_t bytes) {
    progress.setItem(name);
    progress.advance(bytes, 1);
  };
  if (ok) ok = writeContainer(o, stubSize, items, error, shown);
  progress.finish();
  if (!ok || !outputs.commit(error)) return fail(error);
  return 0;
}

int runList(const Args& args) {
  const CommandHelp& help = commandHelp("list");
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) return printHelp(help);
  if (args.size() != 1) return usageError(help, "one SETUP.EXE or NAME.PAK to list");
  if (std::string problem = inputProblem(args[0], false); !problem.empty())
    return inputError(problem);
  if (looksLikePackage(args[0])) return printPackageList(args[0]);
  OpenedContainer c;
  std::string error;
  if (!openContainerFile(args[0], c, error)) return fail(error);
  std::string out;
  out.reserve(c.entries.size() * 64);
  char line[400];
  for (const ContainerEntry& e : c.entries) {
    unsigned date = e.date & 0xFFFF, time = e.time & 0xFFFF;
    std::snprintf(line, sizeof line, "%-12s %10u  %04u-%02u-%02u  %02u:%02u:%02u  %s\n",
                  e.name.c_str(), e.size, 1980 + (date >> 9), (date >> 5) & 15, date & 31,
                  time >> 11, (time >> 5) & 63, (time & 31) * 2,
                  attributeLetters(e.attributes).c_str());
    out += line;
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  return reportContainerDamage(args[0], c.entries, c.size) ? 1 : 0;
}

int runExtract(const Args& args) {
  std::string container, name, out;
  std::vector<std::string> positional;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--help" || args[i] == "-h") return printHelp(commandHelp("extract"));
    if (args[i] == "-o") {
      if (i + 1 >= args.size()) return usageError(commandHelp("extract"), "-o needs a value");
      out = args[++i];
    } else {
      positional.push_back(args[i]);
    }
  }
  if (positional.size() != 2 || out.empty())
    return usageError(commandHelp("extract"), "a container, an entry NAME and -o OUT");
  container = positional[0];
  name = positional[1];

  if (std::string problem = inputProblem(container, false); !problem.empty())
    return inputError(problem);
  SafeOutputs outputs({container});
  std::string error;
  if (!outputs.claim({out}, error)) return inputError(error);
  OpenedContainer c;
  if (!openContainerFile(container, c, error)) return fail(error);
  const ContainerEntry* found = nullptr;
  bool overruns = false;
  for (size_t i = 0; i < c.entries.size(); ++i) {
    if (equalsNoCase(c.entries[i].name, name)) {
      found = &c.entries[i];
      overruns = c.overruns[i];
      break;
    }
  }
  if (!found) {
    if (!c.chainComplete()) reportContainerDamage(container, c.entries, c.size);
    return fail("no entry named " + name + " in " + container);
  }
  uint64_t data = uint64_t(found->offset) + kEntrySize;
  if (overruns) return fail(overrunMessage(container, *found));
  std::FILE* o = outputs.open(0, error);
  if (!o) return fail(error);
  bool ok = seekTo(c.file, data);
  std::vector<char> block(kCopyBlockSize);
  for (uint64_t left = found->size; ok && left > 0;) {
    size_t want = size_t(std::min<uint64_t>(left, block.size()));
    ok = std::fread(block.data(), 1, want, c.file) == want &&
         std::fwrite(block.data(), 1, want, o) == want;
    left -= want;
  }
  if (!ok) return fail("cannot copy " + found->name + " to " + out);
  if (!outputs.commit(error)) return fail(error);
  return 0;
}

}  // namespace qm::pack
