#include "platform/sim/machine_file.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/text.h"
#include "platform/sim/sim_confinement.h"

namespace qm {

namespace {

namespace fs = std::filesystem;

std::string trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
  return std::string(s.substr(b, e - b));
}

// A ';' starts a comment at the start of a line or after white space, so that values such as
// PATH=C:\DOS;C:\WINDOWS keep their semicolons.
std::string stripComment(const std::string& line) {
  for (size_t i = 0; i < line.size(); ++i) {
    if (line[i] == ';' && (i == 0 || line[i - 1] == ' ' || line[i - 1] == '\t'))
      return line.substr(0, i);
  }
  return line;
}

std::vector<std::string> splitWords(std::string_view s) {
  std::vector<std::string> words;
  std::string cur;
  for (char c : s) {
    if (c == ' ' || c == '\t') {
      if (!cur.empty()) words.push_back(std::move(cur));
      cur.clear();
    } else {
      cur += c;
    }
  }
  if (!cur.empty()) words.push_back(std::move(cur));
  return words;
}

std::optional<uint64_t> parseUnsigned(std::string_view s) {
  if (s.empty() || s.size() > 20) return std::nullopt;
  uint64_t v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return std::nullopt;
    uint64_t d = uint64_t(c - '0');
    if (v > (UINT64_MAX - d) / 10) return std::nullopt;
    v = v * 10 + d;
  }
  return v;
}

// "3.95" is major 3, minor 95; a single digit after the dot counts tenths ("3.1" is 3.10), the
// way Windows and DOS write their own versions.
bool parseVersion(std::string_view s, int& major, int& minor) {
  size_t dot = s.find('.');
  auto maj = parseUnsigned(s.substr(0, dot));
  if (!maj || *maj > 255) return false;
  uint64_t min = 0;
  if (dot != std::string_view::npos) {
    std::string_view frac = s.substr(dot + 1);
    auto m = parseUnsigned(frac);
    if (!m || frac.size() > 2) return false;
    min = frac.size() == 1 ? *m * 10 : *m;
  }
  major = int(*maj);
  minor = int(min);
  return true;
}

bool isAbsoluteWindowsPath(std::string_view p) {
  return p.size() >= 3 && ((p[0] >= 'A' && p[0] <= 'Z') || (p[0] >= 'a' && p[0] <= 'z')) &&
         p[1] == ':' && p[2] == '\\';
}

std::optional<char> parseDriveLetter(std::string_view s) {
  if (s.size() != 1) return std::nullopt;
  char c = toUpperAscii(s[0]);
  if (c < 'A' || c > 'Z') return std::nullopt;
  return c;
}

std::optional<DriveType> parseDriveType(std::string_view s) {
  if (equalsNoCase(s, "removable")) return DriveType::Removable;
  if (equalsNoCase(s, "fixed")) return DriveType::Fixed;
  if (equalsNoCase(s, "network") || equalsNoCase(s, "remote")) return DriveType::Remote;
  if (equalsNoCase(s, "cdrom")) return DriveType::CdRom;
  if (equalsNoCase(s, "ramdisk")) return DriveType::RamDisk;
  return std::nullopt;
}

bool holdsManyMedia(DriveType t) { return t == DriveType::Removable || t == DriveType::CdRom; }

// Media folders are plain relative host paths: nothing may climb out of the machine's folder.
bool isSafeFolderName(const std::string& name) {
  if (name.empty() || name[0] == '/' || name[0] == '\\' || name.find(':') != std::string::npos)
    return false;
  std::string part;
  for (size_t i = 0; i <= name.size(); ++i) {
    if (i == name.size() || name[i] == '/' || name[i] == '\\') {
      if (part == "..") return false;
      part.clear();
    } else {
      part += name[i];
    }
  }
  return true;
}

class Reader {
 public:
  Reader(const std::string& fileName, const std::string& dir, std::string& error)
      : file_(fileName), error_(error) {
    config_.machineFile = fileName;
    config_.machineDirectory = dir;
  }

  std::optional<MachineConfig> run(const std::string& text) {
    std::istringstream in(text);
    std::string raw;
    while (std::getline(in, raw)) {
      ++line_;
      if (!raw.empty() && raw.back() == '\r') raw.pop_back();
      if (raw.find('\0') != std::string::npos) return fail("NUL byte in line");
      std::string s = trim(stripComment(raw));
      if (s.empty()) continue;
      if (s.front() == '[') {
        if (s.back() != ']') return fail("section header without closing ']'");
        if (!enterSection(trim(std::string_view(s).substr(1, s.size() - 2)))) return std::nullopt;
        continue;
      }
      size_t eq = s.find('=');
      if (eq == std::string::npos) return fail("expected KEY=VALUE, got \"" + s + "\"");
      std::string key = trim(std::string_view(s).substr(0, eq));
      std::string value = trim(std::string_view(s).substr(eq + 1));
      if (key.empty()) return fail("empty key");
      if (section_.empty()) return fail("\"" + key + "\" before any [section]");
      if (!entry(key, value)) return std::nullopt;
    }
    if (!finish()) return std::nullopt;
    return std::move(config_);
  }

 private:
  std::nullopt_t fail(const std::string& message) { return failAt(line_, message); }
  std::nullopt_t failAt(int line, const std::string& message) {
    error_ = file_ + ":" + std::to_string(line) + ": " + message;
    return std::nullopt;
  }
  bool bad(const std::string& message) { return badAt(line_, message); }
  bool badAt(int line, const std::string& message) {
    failAt(line, message);
    return false;
  }

  bool enterSection(const std::string& name) {
    static const char* const kSections[] = {"Machine",   "Drives",      "Labels",
                                            "FreeSpace", "Environment", "Faults"};
    for (const char* known : kSections) {
      if (equalsNoCase(name, known)) {
        section_ = known;
        return true;
      }
    }
    return bad("unknown section [" + name + "]");
  }

  // A key may appear once per section; a second one is almost always a copy-and-paste slip.
  bool once(const std::string& key) {
    std::string k = section_ + "/" + upperAscii(key);
    if (!seen_.emplace(k, line_).second) {
      return bad("duplicate " + key + "= in [" + section_ + "] (first on line " +
                 std::to_string(seen_[k]) + ")");
    }
    return true;
  }

  bool entry(const std::string& key, const std::string& value) {
    if (section_ == "Machine") return machineEntry(key, value);
    if (section_ == "Drives") return driveEntry(key, value);
    if (section_ == "Labels") {
      if (!once(key)) return false;
      if (value.size() > 11) return bad("volume label \"" + value + "\" is longer than 11");
      config_.labels[upperAscii(key)] = value;
      labelLines_.emplace_back(upperAscii(key), line_);
      return true;
    }
    if (section_ == "FreeSpace") {
      if (!once(key)) return false;
      auto letter = parseDriveLetter(key);
      if (!letter) return bad("free space key must be a drive letter, got \"" + key + "\"");
      auto n = parseUnsigned(value);
      if (!n) return bad("free space must be a number of bytes, got \"" + value + "\"");
      config_.freeSpace[*letter] = *n;
      freeLines_.emplace_back(*letter, line_);
      return true;
    }
    if (section_ == "Environment") {
      if (!once(key)) return false;
      config_.environment.emplace_back(key, value);
      return true;
    }
    return faultEntry(key, value);
  }

  bool machineEntry(const std::string& key, const std::string& value) {
    if (!once(key)) return false;
    if (equalsNoCase(key, "Windows") || equalsNoCase(key, "DOS")) {
      bool win = equalsNoCase(key, "Windows");
      if (!parseVersion(value, win ? config_.windowsMajor : config_.dosMajor,
                        win ? config_.windowsMinor : config_.dosMinor))
        return bad(key + "= wants MAJOR.MINOR, got \"" + value + "\"");
      return true;
    }
    if (equalsNoCase(key, "Platform")) {
      static const std::pair<const char*, VersionLayout> kLayouts[] = {
          {"DOS", VersionLayout::Dos},
          {"Win32s", VersionLayout::Win32s},
          {"9x", VersionLayout::Windows9x},
          {"NT", VersionLayout::Nt}};
      for (const auto& [name, layout] : kLayouts)
        if (equalsNoCase(value, name)) {
          config_.layout = layout;
          platformLine_ = line_;
          return true;
        }
      return bad("Platform= wants DOS, Win32s, 9x or NT, got \"" + value + "\"");
    }
    if (equalsNoCase(key, "Build")) {
      auto n = parseUnsigned(value);
      if (!n || *n > 65535) return bad("Build= wants a number 0 to 65535, got \"" + value + "\"");
      config_.build = uint16_t(*n);
      buildLine_ = line_;
      return true;
    }
    if (equalsNoCase(key, "Memory")) {
      auto n = parseUnsigned(value);
      if (!n) return bad("Memory= wants a number of bytes, got \"" + value + "\"");
      config_.memory = *n;
      return true;
    }
    if (equalsNoCase(key, "Processor")) {
      auto n = parseUnsigned(value);
      if (!n || *n > 1000000) return bad("Processor= wants a number, got \"" + value + "\"");
      config_.processor = int(*n);
      return true;
    }
    if (equalsNoCase(key, "Shell")) {
      if (!equalsNoCase(value, "progman") && !equalsNoCase(value, "none"))
        return bad("Shell= wants progman or none, got \"" + value + "\"");
      config_.shellRunning = equalsNoCase(value, "progman");
      return true;
    }
    if (equalsNoCase(key, "Display")) {
      auto parts = std::vector<std::string>();
      std::string cur;
      for (char c : value + "x") {
        if (c == 'x' || c == 'X') {
          parts.push_back(cur);
          cur.clear();
        } else {
          cur += c;
        }
      }
      std::optional<uint64_t> n[3];
      if (parts.size() == 3)
        for (int i = 0; i < 3; ++i) n[i] = parseUnsigned(parts[i]);
      if (parts.size() != 3 || !n[0] || !n[1] || !n[2] || *n[0] == 0 || *n[1] == 0 ||
          *n[0] > 65535 || *n[1] > 65535 || *n[2] == 0 || *n[2] > 32)
        return bad("Display= wants WIDTHxHEIGHTxBITS, got \"" + value + "\"");
      config_.screenWidth = int(*n[0]);
      config_.screenHeight = int(*n[1]);
      config_.bitsPerPixel = int(*n[2]);
      return true;
    }
    std::string* dir = equalsNoCase(key, "WindowsDir")  ? &config_.windowsDir
                       : equalsNoCase(key, "SystemDir") ? &config_.systemDir
                       : equalsNoCase(key, "TempDir")   ? &config_.tempDir
                                                        : nullptr;
    if (!dir) return bad("unknown key " + key + "= in [Machine]");
    if (!(value.empty() && dir == &config_.tempDir) && !isAbsoluteWindowsPath(value))
      return bad(key + "= wants a full path such as C:\\WINDOWS, got \"" + value + "\"");
    std::string v = value;
    while (v.size() > 3 && v.back() == '\\') v.pop_back();
    if (!v.empty()) v[0] = toUpperAscii(v[0]);
    *dir = v;
    return true;
  }

  bool driveEntry(const std::string& key, const std::string& value) {
    auto letter = parseDriveLetter(key);
    if (!letter) return bad("drive key must be a letter A to Z, got \"" + key + "\"");
    if (!once(std::string(1, *letter))) return false;
    auto words = splitWords(value);
    if (words.empty()) return bad("drive " + key + " needs a type");
    auto type = parseDriveType(words[0]);
    if (!type)
      return bad("unknown drive type \"" + words[0] +
                 "\" (removable, fixed, network, cdrom or ramdisk)");
    SimDrive d;
    d.letter = *letter;
    d.type = *type;
    d.media.assign(words.begin() + 1, words.end());
    if (!holdsManyMedia(d.type) && d.media.size() != 1)
      return bad("drive " + key + " (" + words[0] + ") needs exactly one host folder");
    for (const auto& m : d.media) {
      if (!isSafeFolderName(m))
        return bad("host folder \"" + m + "\" must be relative to the machine file");
      std::error_code ec;
      if (!fs::is_directory(fs::path(config_.machineDirectory) / m, ec))
        return bad("host folder \"" + m + "\" for drive " + key + " does not exist");
      if (!hostFolderInside(fs::path(config_.machineDirectory) / m,
                            config_.machineDirectory.empty() ? "." : config_.machineDirectory))
        return bad("host folder \"" + m + "\" for drive " + key +
                   " is a link out of the machine's folder");
    }
    config_.drives.push_back(std::move(d));
    return true;
  }

  bool faultEntry(const std::string& key, const std::string& value) {
    if (equalsNoCase(key, "WriteFailsAfter")) {
      if (!once(key)) return false;
      auto n = parseUnsigned(value);
      if (!n) return bad("WriteFailsAfter= wants a number of bytes");
      config_.writeFailsAfter = *n;
      return true;
    }
    if (equalsNoCase(key, "FullDisk")) {
      for (const auto& w : splitWords(value)) {
        auto letter = parseDriveLetter(w);
        if (!letter) return bad("FullDisk= wants drive letters, got \"" + w + "\"");
        config_.fullDisks.push_back(*letter);
      }
      return true;
    }
    if (equalsNoCase(key, "NoDirectory")) {
      if (!isAbsoluteWindowsPath(value))
        return bad("NoDirectory= wants a full path, got \"" + value + "\"");
      config_.failingDirectories.push_back(value);
      return true;
    }
    if (equalsNoCase(key, "OtherInstallation")) {
      if (!once(key)) return false;
      if (!equalsNoCase(value, "Yes") && !equalsNoCase(value, "No"))
        return bad("OtherInstallation= wants Yes or No, got \"" + value + "\"");
      config_.otherInstallation = equalsNoCase(value, "Yes");
      return true;
    }
    return bad("unknown key " + key + "= in [Faults]");
  }

  bool finish() {
    // Only a DOS-based layout carries the DOS version, and only NT's carries a build number: a
    // key the version word would not show is a mistake, not a setting to ignore.
    auto dosLine = seen_.find("Machine/DOS");
    if (dosLine != seen_.end() && config_.layout != VersionLayout::Dos)
      return badAt(dosLine->second,
                   "DOS= does not go with Platform= on line " + std::to_string(platformLine_) +
                       ": a 32-bit program on that platform never sees the DOS version");
    if (buildLine_ && config_.layout != VersionLayout::Nt)
      return badAt(buildLine_, "Build= goes only with Platform=NT");
    if (config_.drives.empty()) {
      error_ = file_ + ": no drives: the machine needs a [Drives] section";
      return false;
    }
    std::sort(config_.drives.begin(), config_.drives.end(),
              [](const SimDrive& a, const SimDrive& b) { return a.letter < b.letter; });
    auto defined = [&](char c) {
      for (const auto& d : config_.drives)
        if (d.letter == c) return true;
      return false;
    };
    for (const auto& [letter, line] : freeLines_)
      if (!defined(letter))
        return badAt(line,
                     std::string("free space for drive ") + letter + ", which is not defined");
    for (const auto& [medium, line] : labelLines_) {
      bool found = false;
      for (const auto& d : config_.drives)
        for (const auto& m : d.media) found = found || equalsNoCase(m, medium);
      if (!found) return badAt(line, "label for \"" + medium + "\", which is no drive's medium");
    }
    return true;
  }

  std::string file_;
  std::string& error_;
  MachineConfig config_;
  std::string section_;
  int line_ = 0;
  std::map<std::string, int> seen_;
  std::vector<std::pair<std::string, int>> labelLines_;
  std::vector<std::pair<char, int>> freeLines_;
  int platformLine_ = 0;
  int buildLine_ = 0;
};

}  // namespace

std::optional<MachineConfig> parseMachineText(const std::string& text, const std::string& fileName,
                                              const std::string& machineDirectory,
                                              std::string& error) {
  return Reader(fileName, machineDirectory, error).run(text);
}

std::optional<MachineConfig> readMachineFile(const std::string& path, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = path + ": cannot read the machine file";
    return std::nullopt;
  }
  std::ostringstream text;
  text << in.rdbuf();
  fs::path p(path);
  std::string dir = p.has_parent_path() ? p.parent_path().string() : std::string(".");
  return parseMachineText(text.str(), path, dir, error);
}

uint32_t versionWordOf(const MachineConfig& c) {
  uint32_t low = uint32_t(c.windowsMinor) << 8 | uint32_t(c.windowsMajor);
  switch (c.layout) {
    case VersionLayout::Dos:
      return uint32_t(c.dosMajor) << 24 | uint32_t(c.dosMinor) << 16 | low;
    case VersionLayout::Win32s:
      return 0x80000000u | low;
    case VersionLayout::Windows9x:
      return 0xC0000000u | low;
    case VersionLayout::Nt:
      return uint32_t(c.build) << 16 | low;
  }
  return low;
}

}  // namespace qm
