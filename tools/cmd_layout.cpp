// quillpack layout: puts a distribution on disks the way its script reads them. SETUP.EXE with
// its container (the script and what is installed before the first INSERTDISK) on disk 1, every
// later file loose on the disk whose INSERTDISK asks for it, each package volume on the disk
// its package asks for, then the whole check on the result.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "base/text.h"
#include "platform/sim/scratch_machine.h"
#include "tools/container_writer.h"
#include "tools/quillpack_commands.h"
#include "tools/quillpack_help.h"
#include "tools/safe_output.h"
#include "tools/script_check.h"

namespace qm::pack {

namespace {

namespace fs = std::filesystem;

// A disk format: the bytes its data area holds and the size of one cluster, which every file
// and every folder takes up in whole.
struct DiskFormat {
  const char* name;
  uint64_t capacity;
  uint64_t cluster;
};
// FAT12 floppies (data sectors after the boot sector, the two FATs and the root folder) and a
// 650 MB CD.
constexpr DiskFormat kFormats[] = {
    {"1.44M", 2847 * 512ull, 512},
    {"720K", 713 * 1024ull, 1024},
    {"1.2M", 2371 * 512ull, 512},
    {"CD", 333000 * 2048ull, 2048},
};

uint64_t onDisk(uint64_t size, uint64_t cluster) {
  return (size + cluster - 1) / cluster * cluster;
}

std::string upper(std::string s) {
  for (char& c : s) c = toUpperAscii(c);
  return s;
}

std::string nameOf(const std::string& path) {
  size_t slash = path.find_last_of("\\:");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// One input file placed on a disk.
struct Placed {
  std::string host;  // the file given on the command line
  std::string path;  // below the disk's root (container entries: the name alone)
  uint64_t size = 0;
  int line = 0;  // the FILE statement that reads it; 0 for the script, pictures, install.pif
  bool container = false;
};

struct Disk {
  std::vector<Placed> files;
  std::string label;
  int insertLine = 0;  // the INSERTDISK that asks for it
};

class Layout {
 public:
  Layout(const std::vector<std::string>& inputs, const ScriptPlan& plan) : plan_(plan) {
    std::error_code ec;
    for (const std::string& in : inputs) inputs_.push_back({in, uint64_t(fs::file_size(in, ec))});
  }

  // Places every file; false with the reason when one the script reads was not given.
  bool place(std::string& error) {
    disks_.assign(1, Disk{});
    std::set<int> packageDisks;  // INSERTDISK lines a package's further volume takes
    const std::vector<PlannedEntry>& entries = plan_.entries;
    for (size_t k = 0; k < entries.size(); ++k) {
      const PlannedEntry& p = entries[k];
      if (p.entry.isDisk()) {
        if (p.deferred || packageDisks.count(p.line)) continue;
        disks_.push_back(Disk{{}, p.entry.volumeLabel, p.line});
        continue;
      }
      std::string path = sourceBelowDisk(p.entry);
      if (path.empty() || done_.count(upper(path))) continue;
      if (path.find_first_of("*?") != std::string::npos) {
        placeWildcard(path, p.line);
        continue;
      }
      const Input* in = find(path);
      if (!in) {
        error = "line " + std::to_string(p.line) + ": FILE " + p.entry.name + " reads " + path +
                ", which is not among the files given";
        return false;
      }
      if (!placePackage(p, path, *in, k, packageDisks, error)) return false;
    }
    // What start-up reads, and every file the script does not name: the container.
    for (const std::string& extra : {plan_.screenGraphic, plan_.introScreen,
                                     std::string(plan_.relaunches ? "install.pif" : "")}) {
      if (extra.empty()) continue;
      if (const Input* in = find(extra)) put(0, in->host, nameOf(extra), in->size, 0, true);
    }
    for (const Input& in : inputs_)
      if (!used_.count(in.host)) {
        unused_.push_back(in.host);
        put(0, in.host, fs::path(in.host).filename().string(), in.size, 0, true);
      }
    // The container finds an entry by its name alone, whatever folder is asked for: two files of
    // one name in different folders would both be served the first. They go loose instead.
    std::map<std::string, int> names;
    for (const Placed& f : disks_[0].files)
      if (f.container) ++names[upper(nameOf(f.path))];
    for (Placed& f : disks_[0].files)
      if (f.container && names[upper(nameOf(f.path))] > 1) f.container = false;
    return true;
  }

  const std::vector<Disk>& disks() const { return disks_; }
  const std::vector<std::string>& unused() const { return unused_; }

 private:
  struct Input {
    std::string host;
    uint64_t size = 0;
  };

  // The input a path below the disk names: the one given with that path at its end (SUB/A.TXT
  // for SUB\A.TXT), else the first of that name.
  const Input* find(const std::string& path) const {
    std::string wanted = upper(path);
    std::replace(wanted.begin(), wanted.end(), '\\', '/');
    // Of several, the least deep: FILE ONE.TXT means SRC/ONE.TXT rather than SRC/SUB/ONE.TXT.
    const Input *byPath = nullptr, *byName = nullptr;
    for (const Input& in : inputs_) {
      std::string host = upper(in.host);
      if (host.size() > wanted.size() &&
          host.compare(host.size() - wanted.size(), wanted.size(), wanted) == 0 &&
          host[host.size() - wanted.size() - 1] == '/' &&
          (!byPath || in.host.size() < byPath->host.size()))
        byPath = &in;
      if (!byName && upper(fs::path(in.host).filename().string()) == upper(nameOf(path)))
        byName = &in;
    }
    return byPath ? byPath : byName;
  }

  void put(size_t disk, const std::string& host, const std::string& path, uint64_t size, int line,
           bool container) {
    if (disk >= disks_.size()) disks_.resize(disk + 1);
    used_.insert(host);
    done_.insert(upper(path));
    disks_[disk].files.push_back({host, path, size, line, container});
  }

  size_t current() const { return disks_.size() - 1; }

  void placeWildcard(const std::string& pattern, int line) {
    std::string dir = pattern.substr(0, pattern.size() - nameOf(pattern).size());
    for (const Input& in : inputs_)
      if (wildcardMatch(nameOf(pattern), fs::path(in.host).filename().string()))
        put(current(), in.host, dir + fs::path(in.host).filename().string(), in.size, line, false);
  }

  // A plain file, or a package whose further volumes go to the disks the INSERTDISK statements
  // after it ask for.
  bool placePackage(const PlannedEntry& p, const std::string& path, const Input& first, size_t k,
                    std::set<int>& packageDisks, std::string& error) {
    std::string head(kPackageHeaderSize, '\0');
    std::ifstream(first.host, std::ios::binary).read(head.data(), std::streamsize(head.size()));
    std::optional<PackageHeader> h = packageHeader(DistFile(path, first.size, head));
    const bool continued = h && h->isFirstVolume() && !h->nextVolume.empty();
    // The first disk's files ride in the container, but a package that goes on to another disk
    // must be readable after the disk prompt: loose.
    put(current(), first.host, path, first.size, p.line, current() == 0 && !continued);
    if (!continued) return true;
    const std::string dir = path.substr(0, path.size() - nameOf(path).size());
    size_t disk = current(), next = k + 1;
    for (std::string volume = h->nextVolume; !volume.empty();) {
      const Input* in = find(dir + volume);
      if (!in) {
        error = "line " + std::to_string(p.line) + ": package " + path + " goes on in " + volume +
                ", which is not among the files given";
        return false;
      }
      while (next < plan_.entries.size() && !plan_.entries[next].entry.isDisk()) ++next;
      if (next >= plan_.entries.size()) {
        error = "line " + std::to_string(p.line) + ": package " + path + " goes on in " + volume +
                ", but no INSERTDISK after it asks for the disk that holds it; add one after "
                "line " +
                std::to_string(p.line);
        return false;
      }
      const PlannedEntry& ask = plan_.entries[next++];
      packageDisks.insert(ask.line);
      ++disk;
      if (disk >= disks_.size()) disks_.push_back(Disk{{}, ask.entry.volumeLabel, ask.line});
      put(disk, in->host, dir + volume, in->size, p.line, false);
      std::string vhead(kPackageHeaderSize, '\0');
      std::ifstream(in->host, std::ios::binary).read(vhead.data(), std::streamsize(vhead.size()));
      std::optional<PackageHeader> vh = packageHeader(DistFile(volume, 0, vhead));
      volume = vh ? vh->nextVolume : "";
    }
    return true;
  }

  const ScriptPlan& plan_;
  std::vector<Input> inputs_;
  std::set<std::string> used_, done_;
  std::vector<Disk> disks_;
  std::vector<std::string> unused_;
};

// The bytes of SETUP.EXE: the stub, each container entry's record and data, the trailer.
uint64_t setupSize(uint64_t stub, const Disk& first) {
  uint64_t size = stub + kTrailerSize;
  for (const Placed& f : first.files)
    if (f.container) size += kEntrySize + f.size;
  return size;
}

// Bytes a disk takes: its files and folders in whole clusters, SETUP.EXE on the first.
uint64_t diskBytes(const Disk& disk, const DiskFormat& format, uint64_t setup) {
  uint64_t total = setup ? onDisk(setup, format.cluster) : 0;
  std::set<std::string> folders;
  for (const Placed& f : disk.files) {
    if (f.container) continue;
    total += onDisk(f.size, format.cluster);
    for (size_t at = f.path.find('\\'); at != std::string::npos; at = f.path.find('\\', at + 1))
      folders.insert(upper(f.path.substr(0, at)));
  }
  return total + folders.size() * format.cluster;
}

// Where the overflowing files of a disk start: the first FILE statement whose file no longer
// fits, read in script order. base: what the disk holds before them (SETUP.EXE's stub, trailer
// and script on the first disk).
int firstLineThatDoesNotFit(const Disk& disk, const DiskFormat& format, uint64_t base) {
  std::vector<const Placed*> byLine;
  for (const Placed& f : disk.files)
    if (f.line) byLine.push_back(&f);
  std::stable_sort(byLine.begin(), byLine.end(),
                   [](const Placed* a, const Placed* b) { return a->line < b->line; });
  uint64_t setup = base, loose = 0;
  for (const Placed* f : byLine) {
    if (f->container)
      setup += kEntrySize + f->size;
    else
      loose += onDisk(f->size, format.cluster);
    if ((setup ? onDisk(setup, format.cluster) : 0) + loose > format.capacity) return f->line;
  }
  return byLine.empty() ? 0 : byLine.front()->line;
}

bool copyWithTime(const std::string& from, const fs::path& to, std::string& error) {
  std::error_code ec;
  fs::create_directories(to.parent_path(), ec);
  fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
  if (!ec) fs::last_write_time(to, fs::last_write_time(from, ec), ec);
  if (ec) error = "cannot copy " + from + " to " + to.string() + ": " + ec.message();
  return !ec;
}

fs::path diskFolder(const std::string& out, size_t d) {
  return fs::path(out) / ("DISK" + std::to_string(d + 1));
}

bool writeDisks(const std::string& out, const std::string& stub, const std::string& script,
                const std::vector<Disk>& disks, std::string& error) {
  std::error_code ec;
  for (size_t d = 0; d < disks.size(); ++d) {
    fs::path folder = diskFolder(out, d);
    fs::remove_all(folder, ec);
    fs::create_directories(folder, ec);
    if (ec) {
      error = "cannot create " + folder.string() + ": " + ec.message();
      return false;
    }
    for (const Placed& f : disks[d].files) {
      if (f.container) continue;
      std::string relative = f.path;
      std::replace(relative.begin(), relative.end(), '\\', '/');
      if (!copyWithTime(f.host, folder / relative, error)) return false;
    }
    // The label the installer's disk prompt checks, for the tool that makes the disk image.
    fs::path labelFile = fs::path(out) / ("DISK" + std::to_string(d + 1) + ".label");
    fs::remove(labelFile, ec);
    if (!disks[d].label.empty()) std::ofstream(labelFile, std::ios::binary) << disks[d].label;
  }
  // SETUP.EXE reads SETUP.cfg from its container, whatever the script was called.
  std::vector<PackItem> items;
  auto item = [](const std::string& name, const std::string& host) {
    PackItem it;
    std::error_code e;
    it.name = name;
    it.hostPath = host;
    it.size = uint64_t(fs::file_size(host, e));
    auto seconds = std::chrono::duration_cast<std::chrono::seconds>(
        fs::last_write_time(host, e).time_since_epoch() -
        fs::file_time_type::clock::now().time_since_epoch() +
        std::chrono::system_clock::now().time_since_epoch());
    it.time = fatTimeForPacking(seconds.count());
    return it;
  };
  items.push_back(item("SETUP.cfg", script));
  for (const Placed& f : disks[0].files)
    if (f.container) items.push_back(item(nameOf(f.path), f.host));
  items = withoutDuplicateNames(std::move(items));
  fs::path setup = diskFolder(out, 0) / "SETUP.EXE";
  if (!copyWithTime(stub, setup, error)) return false;
  std::FILE* file = std::fopen(setup.string().c_str(), "ab");
  if (!file) {
    error = "cannot write " + setup.string();
    return false;
  }
  bool ok = writeContainer(file, uint64_t(fs::file_size(stub, ec)), items, error);
  ok = std::fclose(file) == 0 && ok;
  return ok;
}

}  // namespace

int runLayout(const Args& args) {
  const CommandHelp& help = commandHelp("layout");
  std::string size, out, stub, script;
  std::vector<std::string> files;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") return printHelp(help);
    if (a == "--disk-size" || a == "-o" || a == "--stub") {
      if (i + 1 >= args.size()) return usageError(help, a + " needs a value");
      (a == "-o" ? out : a == "--stub" ? stub : size) = args[++i];
    } else if (!a.empty() && a[0] == '-') {
      return usageError(help, "unknown option " + a);
    } else {
      (script.empty() ? script : files.emplace_back()) = a;
    }
  }
  const DiskFormat* format = nullptr;
  for (const DiskFormat& f : kFormats)
    if (equalsNoCase(size, f.name)) format = &f;
  if (!format) return usageError(help, "--disk-size takes 1.44M, 720K, 1.2M or CD");
  if (out.empty()) return usageError(help, "no -o OUT folder given");
  if (script.empty()) return usageError(help, "no SCRIPT given");
  if (stub.empty()) {
    // The installer built beside this tool, as the build folders lay them out.
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec).parent_path();
    for (fs::path candidate :
         {self / "quillmount.exe", self.parent_path() / "win32/quillmount.exe"})
      if (fs::exists(candidate, ec) && stub.empty()) stub = candidate.string();
    if (stub.empty())
      return usageError(help, "no quillmount.exe found beside quillpack: give --stub");
  }
  for (const std::string& input : [&] {
         std::vector<std::string> all = files;
         all.push_back(script);
         all.push_back(stub);
         return all;
       }())
    if (std::string problem = inputProblem(input, false); !problem.empty())
      return inputError(problem);

  std::ifstream in(script, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ScratchMachine machine;
  if (!machine.ok()) return fail(machine.error());
  ScriptPlan plan = planScript(text, machine.sys());
  if (plan.syntaxErrors) return fail(script + " has syntax errors: run quillpack check " + script);
  // The disks serve every machine: a FILE in either branch of an IF is read from the disk where
  // the copy meets it, whatever this machine would answer.
  for (int forced : {1, 0}) {
    for (PlannedEntry& e : planScript(text, machine.sys(), forced).entries)
      if (std::none_of(plan.entries.begin(), plan.entries.end(),
                       [&e](const PlannedEntry& p) { return p.line == e.line; }))
        plan.entries.push_back(std::move(e));
  }
  std::stable_sort(plan.entries.begin(), plan.entries.end(),
                   [](const PlannedEntry& a, const PlannedEntry& b) { return a.line < b.line; });

  Layout layout(files, plan);
  std::string error;
  if (!layout.place(error)) return fail(error);
  const std::vector<Disk>& disks = layout.disks();
  std::error_code ec;
  const uint64_t setup =
      setupSize(uint64_t(fs::file_size(stub, ec)) + kEntrySize + text.size(), disks[0]);
  bool fits = true;
  for (size_t d = 0; d < disks.size(); ++d) {
    uint64_t bytes = diskBytes(disks[d], *format, d == 0 ? setup : 0);
    std::printf("disk %zu: %llu of %llu bytes%s\n", d + 1, (unsigned long long)bytes,
                (unsigned long long)format->capacity,
                disks[d].label.empty() ? "" : (", label " + disks[d].label).c_str());
    if (bytes <= format->capacity) continue;
    fits = false;
    uint64_t base = 0;
    if (d == 0) {
      base = setup;
      for (const Placed& f : disks[0].files)
        if (f.container && f.line) base -= kEntrySize + f.size;
    }
    int line = firstLineThatDoesNotFit(disks[d], *format, base);
    std::fprintf(stderr,
                 "quillpack: disk %zu holds %llu bytes, more than a %s disk's %llu: add "
                 "INSERTDISK: \"Disk %zu\" before line %d of %s, and move the INSERTDISK "
                 "statements after it one disk on\n",
                 d + 1, (unsigned long long)bytes, format->name,
                 (unsigned long long)format->capacity, d + 2, line, script.c_str());
  }
  if (!fits) return 1;
  if (disks.size() > 1 && !plan.relaunches)
    std::fprintf(stderr,
                 "quillpack: note: no line begins with INSERTDISK:, so started from a "
                 "floppy the installer will not run from the hard disk\n");
  for (const std::string& extra : layout.unused())
    std::fprintf(stderr,
                 "quillpack: note: %s is not read by any FILE statement; it goes into "
                 "SETUP.EXE's container\n",
                 extra.c_str());
  if (!writeDisks(out, stub, script, disks, error)) return fail(error);
  std::printf("wrote %zu disk(s) to %s\n", disks.size(), out.c_str());
  // The whole check, as the installer will read the result.
  return runCheck({(diskFolder(out, 0) / "SETUP.EXE").string()});
}

}  // namespace qm::pack
