#include "tools/machine_profiles.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/text.h"
#include "platform/sim/fat_clock.h"
#include "platform/sim/machine_file.h"
#include "platform/sim/scratch_machine.h"

namespace qm::pack {

namespace fs = std::filesystem;

namespace {

constexpr const char* kProfileFile = "profile.ini";
constexpr const char* kMachineFile = "machine.ini";

std::string trimBlanks(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r"), e = s.find_last_not_of(" \t\r");
  return b == std::string::npos ? "" : s.substr(b, e - b + 1);
}

// "1995-07-11 12:00" as a FAT date and time.
std::optional<FatTime> parseFileTime(const std::string& text) {
  unsigned y, mo, d, h, mi;
  char tail;
  if (std::sscanf(text.c_str(), "%4u-%2u-%2u %2u:%2u%c", &y, &mo, &d, &h, &mi, &tail) != 5)
    return std::nullopt;
  if (y < 1980 || y > 2107 || mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59)
    return std::nullopt;
  FatTime t;
  t.date = uint16_t((y - 1980) << 9 | mo << 5 | d);
  t.time = uint16_t(h << 11 | mi << 5);
  return t;
}

// Copies a folder tree; every file gets the given time, or keeps its own when there is none.
bool copyTree(const fs::path& from, const fs::path& to, const std::optional<FatTime>& time,
              std::string& error) {
  std::error_code ec;
  fs::create_directories(to, ec);
  for (auto it = fs::recursive_directory_iterator(from, ec); !ec && it != fs::end(it);
       it.increment(ec)) {
    fs::path target = to / fs::relative(it->path(), from, ec);
    if (ec) break;
    if (it->is_directory(ec)) {
      fs::create_directories(target, ec);
    } else if (it->is_regular_file(ec)) {
      fs::copy_file(it->path(), target, fs::copy_options::overwrite_existing, ec);
      if (ec) break;
      std::optional<FatTime> own = time ? time : hostFileTime(it->path());
      if (own) setHostFileTime(target, *own);
    }
    if (ec) break;
  }
  if (ec) error = from.string() + ": cannot be copied into the machine: " + ec.message();
  return !ec;
}

// Makes the folders of a Windows path below a drive's host folder, each part matched without
// regard to case as the machine matches it, so an existing WINDOWS serves C:\Windows\Temp.
void makeFolderOnDrive(fs::path at, const std::string& windowsPath) {
  std::istringstream parts(windowsPath);
  std::string part;
  std::error_code ec;
  while (std::getline(parts, part, '\\')) {
    if (part.empty()) continue;
    fs::path next = at / part;
    for (const fs::directory_entry& e : fs::directory_iterator(at, ec))
      if (equalsNoCase(e.path().filename().string(), part)) next = e.path();
    fs::create_directory(next, ec);
    at = next;
  }
}

std::string readText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace

std::string findProfilesFolder(std::string& error) {
  std::vector<fs::path> places;
  if (const char* env = std::getenv("QUILLPACK_PROFILES"); env && *env) {
    places.emplace_back(env);
  } else {
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) {
      fs::path dir = self.parent_path();
      places.push_back(dir / "profiles");
      places.push_back(dir.parent_path() / "share" / "quillmount" / "profiles");
    }
#ifdef QM_PROFILES_SOURCE_DIR
    places.emplace_back(QM_PROFILES_SOURCE_DIR);
#endif
  }
  for (const fs::path& p : places) {
    std::error_code ec;
    if (fs::is_directory(p, ec)) return p.string();
  }
  error = "no folder of machine profiles found (tried";
  for (const fs::path& p : places) error += " " + p.string();
  error += "); QUILLPACK_PROFILES names one";
  return "";
}

std::vector<MachineProfile> readProfiles(const std::string& folder, std::string& error) {
  std::vector<MachineProfile> profiles;
  std::error_code ec;
  for (const fs::directory_entry& e : fs::directory_iterator(folder, ec)) {
    if (!e.is_directory()) continue;
    MachineProfile p;
    p.name = e.path().filename().string();
    p.folder = e.path().string();
    fs::path about = e.path() / kProfileFile;
    if (!fs::is_regular_file(about) || !fs::is_regular_file(e.path() / kMachineFile)) {
      error = p.folder + ": a profile needs " + kProfileFile + " and " + kMachineFile;
      return {};
    }
    std::istringstream in(readText(about));
    std::string line;
    while (std::getline(in, line)) {
      size_t eq = line.find('=');
      if (line.empty() || line[0] == ';' || line[0] == '[' || eq == std::string::npos) continue;
      std::string key = trimBlanks(line.substr(0, eq)), value = trimBlanks(line.substr(eq + 1));
      if (equalsNoCase(key, "Title")) p.title = value;
      if (equalsNoCase(key, "Summary")) p.summary = value;
      if (equalsNoCase(key, "Wine")) p.wine = value;
      if (equalsNoCase(key, "FileTime")) p.fileTime = value;
    }
    if (!p.fileTime.empty() && !parseFileTime(p.fileTime)) {
      error = about.string() + ": FileTime= wants YYYY-MM-DD HH:MM, got \"" + p.fileTime + "\"";
      return {};
    }
    profiles.push_back(std::move(p));
  }
  if (ec) {
    error = folder + ": cannot be read: " + ec.message();
    return {};
  }
  std::sort(profiles.begin(), profiles.end(),
            [](const MachineProfile& a, const MachineProfile& b) { return a.name < b.name; });
  return profiles;
}

std::string layOutProfileMachine(const MachineProfile& profile, const DistributionMedia& media,
                                 const std::string& target, std::string& error) {
  fs::path root(target);
  std::error_code ec;
  fs::create_directories(root, ec);
  if (!fs::is_directory(root, ec) || !fs::is_empty(root, ec)) {
    error = target + ": the machine goes into a new or empty folder";
    return "";
  }
  if (media.disks.empty()) {
    error = "no distribution: give its disks with --dist FOLDER (disk 1 first) or --cd FOLDER";
    return "";
  }
  if (!copyTree(profile.folder, root, parseFileTime(profile.fileTime), error)) return "";
  fs::remove(root / kProfileFile, ec);
  // The disks keep their own times: the installer gives every file it copies its source's time.
  std::string names;
  for (size_t i = 0; i < media.disks.size(); ++i) {
    std::string name = "disk" + std::to_string(i + 1);
    if (!fs::is_directory(media.disks[i], ec)) {
      error = media.disks[i] + ": no such folder (a disk of the distribution is a folder)";
      return "";
    }
    if (fs::exists(root / name, ec)) {
      error = profile.folder + ": holds a folder " + name + ", the name of a distribution disk";
      return "";
    }
    if (!copyTree(media.disks[i], root / name, std::nullopt, error)) return "";
    names += " " + name;
  }
  std::string machine = readText(root / kMachineFile);
  if (!machine.empty() && machine.back() != '\n') machine += '\n';
  machine += std::string("; the distribution, laid out by quillpack simulate\n[Drives]\n") +
             (media.cd ? "D=cdrom" : "A=removable") + names + "\n";
  std::ofstream out(root / kMachineFile, std::ios::binary | std::ios::trunc);
  out << machine;
  out.close();
  if (!out) {
    error = (root / kMachineFile).string() + ": cannot be written";
    return "";
  }
  // The temporary folder exists on every Windows; a profile need not carry it empty.
  std::optional<MachineConfig> config = readMachineFile((root / kMachineFile).string(), error);
  if (!config) return "";
  if (config->tempDir.size() > 3 && toUpperAscii(config->tempDir[0]) == 'C')
    makeFolderOnDrive(root / "c", config->tempDir.substr(3));
  return (root / kMachineFile).string();
}

std::string distributionProgram(const DistributionMedia& media, const std::string& program) {
  return std::string(media.cd ? "D:\\" : "A:\\") + program;
}

std::string makeScratchFolder(const std::string& prefix, std::string& error) {
  fs::path p = qm::makeScratchFolder(prefix);
  std::error_code ec;
  if (fs::is_directory(p, ec) && fs::is_empty(p, ec)) return p.string();
  error = "cannot make a folder in " + p.parent_path().string();
  return "";
}

}  // namespace qm::pack
