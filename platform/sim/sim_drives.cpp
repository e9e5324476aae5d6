#include <set>

#include "base/text.h"
#include "platform/sim/sim_system.h"

namespace qm {

namespace {

// "A:\", "a:" or "A:\ANYTHING": the drive letter, or 0.
char rootLetter(const std::string& root) {
  if (root.size() < 2 || root[1] != ':') return 0;
  char c = toUpperAscii(root[0]);
  return c >= 'A' && c <= 'Z' ? c : 0;
}

bool isShortChar(char c) {
  if (static_cast<unsigned char>(c) >= 128) return true;
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return true;
  return std::string_view("!#$%&'()-@^_`{}~").find(c) != std::string_view::npos;
}

// A name DOS could store as it is: 1-8 characters, optionally a dot and 1-3 more.
bool isShortName(const std::string& name) {
  size_t dot = name.find('.');
  std::string_view base = std::string_view(name).substr(0, dot);
  std::string_view ext =
      dot == std::string::npos ? std::string_view() : std::string_view(name).substr(dot + 1);
  if (base.empty() || base.size() > 8 || ext.size() > 3) return false;
  if (dot != std::string::npos && ext.empty()) return false;
  for (char c : base)
    if (!isShortChar(c)) return false;
  for (char c : ext)
    if (!isShortChar(c)) return false;
  return true;
}

std::string shortPiece(std::string_view s, size_t max) {
  std::string out;
  for (char c : s) {
    if (out.size() == max) break;
    if (c == ' ' || c == '.') continue;
    out += isShortChar(c) ? toUpperAscii(c) : '_';
  }
  return out;
}

// NAME~N.EXT: the first six usable characters of the name (fewer as N grows), the first three
// of the extension.
std::string generatedShortName(const std::string& name, int n) {
  size_t dot = name.rfind('.');
  if (dot == 0) dot = std::string::npos;  // ".profile" has no extension
  std::string base = shortPiece(std::string_view(name).substr(0, dot), 8);
  std::string ext =
      dot == std::string::npos ? "" : shortPiece(std::string_view(name).substr(dot + 1), 3);
  std::string tail = "~" + std::to_string(n);
  if (base.empty()) base = "_";
  base = base.substr(0, 8 - tail.size());
  return base + tail + (ext.empty() ? "" : "." + ext);
}

// The short name of entry among the names of its folder, given in listing order: generated
// names take the first free number, in name order, so the result does not depend on the host.
std::string shortNameIn(const std::vector<std::string>& names, const std::string& entry) {
  if (isShortName(entry)) return upperAscii(entry);
  std::set<std::string> taken;
  for (const auto& n : names)
    if (isShortName(n)) taken.insert(upperAscii(n));
  for (const auto& n : names) {
    if (isShortName(n)) continue;
    std::string candidate;
    for (int i = 1; i < 1000000; ++i) {
      candidate = generatedShortName(n, i);
      if (taken.insert(candidate).second) break;
    }
    if (n == entry) return candidate;
  }
  return upperAscii(entry);
}

}  // namespace

DriveType SimSystem::driveType(const std::string& root) {
  const SimDrive* d = drive(rootLetter(root));
  return d ? d->type : DriveType::NoRootDir;
}

std::optional<std::string> SimSystem::volumeLabel(const std::string& root) {
  char letter = rootLetter(root);
  std::string medium = currentMedium(letter);
  if (medium.empty()) return std::nullopt;
  auto it = config_.labels.find(upperAscii(medium));
  return it == config_.labels.end() ? std::string() : it->second;
}

std::optional<uint64_t> SimSystem::freeSpace(const std::string& root) {
  char letter = rootLetter(root);
  if (currentMedium(letter).empty()) return std::nullopt;
  if (diskFull(letter)) return 0;
  auto it = config_.freeSpace.find(letter);
  return it == config_.freeSpace.end() ? kDefaultFreeSpace : it->second;
}

uint32_t SimSystem::logicalDrives() {
  uint32_t bits = 0;
  for (const auto& d : config_.drives) bits |= 1u << (d.letter - 'A');
  return bits;
}

std::optional<std::string> SimSystem::shortPathName(const std::string& path) {
  auto p = resolve(path);
  if (!p) return std::nullopt;
  auto root = driveRoot(p->drive);
  if (!root) return std::nullopt;
  std::string out{p->drive, ':', '\\'};
  std::filesystem::path host = *root;
  for (size_t i = 0; i < p->parts.size(); ++i) {
    auto names = sortedHostEntries(host);
    auto match = matchHostEntry(host, p->parts[i]);
    if (!match) return std::nullopt;
    if (i) out += '\\';
    out += shortNameIn(names, *match);
    host /= *match;
  }
  return out;
}

std::string SimSystem::tempDirectory() { return withTrailingBackslash(config_.tempDir); }
std::string SimSystem::windowsDirectory() { return config_.windowsDir; }
std::string SimSystem::systemDirectory() { return config_.systemDir; }

bool SimSystem::insertNextMedium(char letter) {
  const SimDrive* d = drive(letter);
  if (!d) return false;
  size_t& index = mediumIndex_[size_t(d - config_.drives.data())];
  if (index + 1 >= d->media.size()) return false;
  ++index;
  return true;
}

std::string SimSystem::currentMedium(char letter) const {
  const SimDrive* d = drive(letter);
  if (!d) return std::string();
  size_t index = mediumIndex_[size_t(d - config_.drives.data())];
  return index < d->media.size() ? d->media[index] : std::string();
}

void SimSystem::setDiskFull(char letter, bool full) {
  letter = toUpperAscii(letter);
  std::erase(fullDisks_, letter);
  if (full) fullDisks_.push_back(letter);
}

void SimSystem::failDirectoryCreation(const std::string& path) {
  auto p = resolve(path);
  if (p) failingDirectories_.push_back(upperAscii(p->text()));
}

void SimSystem::clearFaults() {
  writeBudget_.reset();
  fullDisks_.clear();
  failingDirectories_.clear();
}

}  // namespace qm
