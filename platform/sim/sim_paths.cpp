#include <algorithm>

#include "base/text.h"
#include "base/win_path.h"
#include "platform/sim/sim_confinement.h"
#include "platform/sim/sim_system.h"

namespace qm {

namespace fs = std::filesystem;

std::optional<SimSystem::WinPath> SimSystem::resolve(const std::string& path) const {
  return resolveWinPath(path, current_);
}

const SimDrive* SimSystem::drive(char letter) const {
  letter = toUpperAscii(letter);
  for (const auto& d : config_.drives)
    if (d.letter == letter) return &d;
  return nullptr;
}

std::optional<fs::path> SimSystem::driveRoot(char letter) const {
  const SimDrive* d = drive(letter);
  if (!d) return std::nullopt;
  size_t index = mediumIndex_[size_t(d - config_.drives.data())];
  if (index >= d->media.size()) return std::nullopt;
  return machineDir_ / d->media[index];
}

std::vector<std::string> sortedHostEntries(const fs::path& dir) {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    std::string name = it->path().filename().string();
    if (name != kAttributeSidecar) names.push_back(std::move(name));
  }
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    std::string ua = upperAscii(a), ub = upperAscii(b);
    return ua != ub ? ua < ub : a < b;
  });
  return names;
}

std::optional<std::string> matchHostEntry(const fs::path& dir, const std::string& name) {
  std::error_code ec;
  if (name == kAttributeSidecar) return std::nullopt;
  if (fs::exists(dir / name, ec)) return name;
  std::optional<std::string> best;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    std::string found = it->path().filename().string();
    if (found != kAttributeSidecar && equalsNoCase(found, name) && (!best || found < *best))
      best = found;
  }
  return best;
}

std::optional<fs::path> SimSystem::realDriveRoot(char letter) const {
  auto root = driveRoot(letter);
  if (!root) return std::nullopt;
  if (cache_)
    if (const fs::path* real = cache_->realRoot(*root)) return *real;
  std::error_code ec;
  // Every path asks for its drive's folder: one named directly in the machine folder that is no
  // link resolves to the machine folder's own real path and its name, with one look at the host.
  const SimDrive* d = drive(letter);
  const std::string& medium = d->media[mediumIndex_[size_t(d - config_.drives.data())]];
  fs::path name(medium);
  bool plain = !medium.empty() && name.filename() == name && medium != "." && medium != "..";
  if (plain) {
    auto status = fs::symlink_status(*root, ec);
    if (!ec && fs::exists(status) && !fs::is_symlink(status)) {
      if (!realMachineDir_) {
        fs::path realMachine = fs::canonical(machineDir_, ec);
        if (!ec) realMachineDir_ = realMachine;
      }
      if (realMachineDir_) {
        if (cache_) cache_->keepRealRoot(*root, *realMachineDir_ / name);
        return *realMachineDir_ / name;
      }
    }
  }
  // A drive's folder under another name (a link, "sub/c", "./c") may be another drive's too.
  endHostCache();
  fs::path real = fs::canonical(*root, ec);
  if (ec || !hostFolderInside(real, machineDir_)) return std::nullopt;
  return real;
}

std::optional<SimSystem::HostMatch> SimSystem::matchEntry(const fs::path& dir,
                                                          const std::string& name) const {
  if (cache_) {
    auto e = cache_->match(dir, name);
    if (!e) return std::nullopt;
    return HostMatch{e->name, e->isDirectory, e->isLink};
  }
  auto match = matchHostEntry(dir, name);
  if (!match) return std::nullopt;
  std::error_code ec;
  fs::path host = dir / *match;
  return HostMatch{*match, fs::is_directory(host, ec), isHostLink(host)};
}

std::vector<std::string> SimSystem::listEntries(const fs::path& dir) const {
  return cache_ ? cache_->names(dir) : sortedHostEntries(dir);
}

std::optional<SimSystem::Lookup> SimSystem::lookup(const WinPath& p) const {
  auto root = driveRoot(p.drive);
  auto realRoot = realDriveRoot(p.drive);
  if (!root || !realRoot) return std::nullopt;
  Lookup out{*root, true, true};
  std::error_code ec;
  for (size_t i = 0; i < p.parts.size(); ++i) {
    bool last = i + 1 == p.parts.size();
    auto match = matchEntry(out.host, p.parts[i]);
    if (!match) {
      if (!last) return std::nullopt;
      out.host /= p.parts[i];
      out.exists = out.isDirectory = false;
      return out;
    }
    out.host /= match->name;
    if (match->isLink) {
      endHostCache();
      // Each folder on the way is inside the drive already, so only a link can lead out.
      if (!hostEntryStaysInside(out.host, *realRoot)) return std::nullopt;
      out.isDirectory = fs::is_directory(out.host, ec);
    } else {
      out.isDirectory = match->isDirectory;
    }
    if (!last && !out.isDirectory) return std::nullopt;
  }
  return out;
}

std::optional<SimSystem::Lookup> SimSystem::lookup(const std::string& path) const {
  auto p = resolve(path);
  if (!p) return std::nullopt;
  return lookup(*p);
}

std::optional<fs::path> SimSystem::hostPath(const std::string& path) {
  auto l = lookup(path);
  if (!l) return std::nullopt;
  return l->host;
}

}  // namespace qm
