#include "platform/sim/host_folder_cache.h"

#include <algorithm>

#include "base/text.h"
#include "platform/sim/sim_system.h"

namespace qm {

namespace fs = std::filesystem;

void HostFolderCache::insert(Listing& l, Entry e) {
  l.upper[upperAscii(e.name)].insert(e.name);
  std::string name = e.name;
  l.entries[name] = std::move(e);
  l.orderedValid = false;
}

HostFolderCache::Listing* HostFolderCache::read(const fs::path& dir) {
  auto found = listings_.find(dir.string());
  if (found != listings_.end()) return &found->second;
  Listing l;
  std::error_code ec;
  fs::directory_iterator it(dir, ec);
  if (ec) return nullptr;
  for (fs::directory_iterator end; it != end; it.increment(ec)) {
    if (ec) return nullptr;
    std::string name = it->path().filename().string();
    if (name == kAttributeSidecar) continue;
    std::error_code kindError;
    Entry e{name, false, it->is_symlink(kindError)};
    // The listing's own file type answers for every entry but a link, which is followed.
    e.isDirectory = !e.isLink && it->is_directory(kindError);
    insert(l, std::move(e));
  }
  return &listings_.emplace(dir.string(), std::move(l)).first->second;
}

std::optional<HostFolderCache::Entry> HostFolderCache::match(const fs::path& dir,
                                                             const std::string& name) {
  if (name == kAttributeSidecar) return std::nullopt;
  Listing* l = read(dir);
  if (!l) return std::nullopt;
  auto exact = l->entries.find(name);
  if (exact != l->entries.end()) return exact->second;
  auto same = l->upper.find(upperAscii(name));
  if (same == l->upper.end() || same->second.empty()) return std::nullopt;
  return l->entries.at(*same->second.begin());
}

const std::vector<std::string>& HostFolderCache::names(const fs::path& dir) {
  static const std::vector<std::string> kNone;
  Listing* l = read(dir);
  if (!l) return kNone;
  if (!l->orderedValid) {
    l->ordered.clear();
    for (const auto& [name, entry] : l->entries) l->ordered.push_back(name);
    std::sort(l->ordered.begin(), l->ordered.end(), [](const std::string& a, const std::string& b) {
      std::string ua = upperAscii(a), ub = upperAscii(b);
      return ua != ub ? ua < ub : a < b;
    });
    l->orderedValid = true;
  }
  return l->ordered;
}

void HostFolderCache::added(const fs::path& dir, const std::string& name, bool isDirectory) {
  auto found = listings_.find(dir.string());
  if (found == listings_.end()) return;
  Listing& l = found->second;
  auto old = l.entries.find(name);
  // Writing through a link changed the folder the link leads to, which may be any.
  if (old != l.entries.end() && old->second.isLink) {
    listings_.clear();
    return;
  }
  insert(l, Entry{name, isDirectory, false});
}

void HostFolderCache::removed(const fs::path& dir, const std::string& name) {
  auto found = listings_.find(dir.string());
  if (found == listings_.end()) return;
  Listing& l = found->second;
  if (!l.entries.erase(name)) return;
  auto same = l.upper.find(upperAscii(name));
  if (same != l.upper.end()) {
    same->second.erase(name);
    if (same->second.empty()) l.upper.erase(same);
  }
  l.orderedValid = false;
}

void HostFolderCache::forget(const fs::path& dir) { listings_.erase(dir.string()); }

void HostFolderCache::forgetListings() { listings_.clear(); }

const fs::path* HostFolderCache::realRoot(const fs::path& root) const {
  auto found = realRoots_.find(root.string());
  return found == realRoots_.end() ? nullptr : &found->second;
}

void HostFolderCache::keepRealRoot(const fs::path& root, fs::path real) {
  realRoots_[root.string()] = std::move(real);
}

std::vector<SidecarLine>* HostFolderCache::sidecar(const fs::path& dir) {
  auto found = sidecars_.find(dir.string());
  return found == sidecars_.end() ? nullptr : &found->second.lines;
}

void HostFolderCache::keepSidecar(const fs::path& dir, std::vector<SidecarLine> lines, bool dirty) {
  Sidecar& s = sidecars_[dir.string()];
  s.lines = std::move(lines);
  s.dirty = s.dirty || dirty;
}

void HostFolderCache::markSidecarDirty(const fs::path& dir) {
  auto found = sidecars_.find(dir.string());
  if (found != sidecars_.end()) found->second.dirty = true;
}

void HostFolderCache::dropSidecar(const fs::path& dir) { sidecars_.erase(dir.string()); }

std::vector<std::pair<fs::path, std::vector<SidecarLine>>> HostFolderCache::takeDirtySidecars() {
  std::vector<std::pair<fs::path, std::vector<SidecarLine>>> out;
  for (auto& [dir, s] : sidecars_)
    if (s.dirty) out.emplace_back(fs::path(dir), std::move(s.lines));
  sidecars_.clear();
  return out;
}

}  // namespace qm
