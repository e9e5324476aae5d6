#include <fstream>
#include <sstream>

#include "base/text.h"
#include "platform/sim/fat_clock.h"
#include "platform/sim/sim_confinement.h"
#include "platform/sim/sim_system.h"

namespace qm {

namespace fs = std::filesystem;

namespace {

constexpr uint32_t kStoredBits = kAttrReadOnly | kAttrHidden | kAttrSystem | kAttrArchive;
constexpr size_t kMaxFolderChars = 247;  // CreateDirectory's limit for an ANSI path

// One line per entry whose attributes differ from the default: two hex digits, a space, the
// host name of the entry.
std::vector<SidecarLine> readSidecar(const fs::path& dir) {
  std::vector<SidecarLine> out;
  // A sidecar that is a link is not ours: reading or rewriting it would reach another file.
  if (isHostLink(dir / kAttributeSidecar)) return out;
  std::ifstream in(dir / kAttributeSidecar, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    if (line.size() < 4 || line[2] != ' ') continue;
    char* end = nullptr;
    std::string hex = line.substr(0, 2);
    unsigned long bits = std::strtoul(hex.c_str(), &end, 16);
    if (end != hex.c_str() + 2) continue;
    out.push_back({line.substr(3), uint32_t(bits) & kStoredBits});
  }
  return out;
}

void writeSidecar(const fs::path& dir, const std::vector<SidecarLine>& lines) {
  std::error_code ec;
  if (lines.empty()) {
    fs::remove(dir / kAttributeSidecar, ec);
    return;
  }
  if (isHostLink(dir / kAttributeSidecar)) return;
  // A folder removed behind the machine's back gets no sidecar of its own again.
  if (!fs::is_directory(dir, ec)) return;
  std::string text;
  static const char kHex[] = "0123456789ABCDEF";
  for (const auto& l : lines) {
    text += kHex[(l.bits >> 4) & 15];
    text += kHex[l.bits & 15];
    text += ' ';
    text += l.name;
    text += '\n';
  }
  std::ofstream out(dir / kAttributeSidecar, std::ios::binary | std::ios::trunc);
  out.write(text.data(), std::streamsize(text.size()));
}

uint32_t defaultBits(bool isDirectory) { return isDirectory ? 0 : kAttrArchive; }

bool validNewName(const std::string& name) {
  return !hasWildcard(name) && !equalsNoCase(name, kAttributeSidecar);
}

}  // namespace

// With the cache on, a folder's lines are read once and changed in memory; flushHostCache()
// writes them. Without it every change is written at once, as another reader may look.
std::vector<SidecarLine>* SimSystem::sidecarLines(const fs::path& dir) const {
  if (!cache_) return nullptr;
  if (auto* lines = cache_->sidecar(dir)) return lines;
  cache_->keepSidecar(dir, readSidecar(dir), false);
  return cache_->sidecar(dir);
}

uint32_t SimSystem::storedAttributes(const fs::path& host, bool isDirectory) const {
  std::string name = host.filename().string();
  const std::vector<SidecarLine>* cached = sidecarLines(host.parent_path());
  std::vector<SidecarLine> read;
  if (!cached) read = readSidecar(host.parent_path());
  for (const auto& l : cached ? *cached : read)
    if (l.name == name) return l.bits;
  return defaultBits(isDirectory);
}

void SimSystem::storeAttributes(const fs::path& host, uint32_t bits, bool isDirectory) {
  std::string name = host.filename().string();
  fs::path dir = host.parent_path();
  std::vector<SidecarLine>* cached = sidecarLines(dir);
  std::vector<SidecarLine> read;
  if (!cached) read = readSidecar(dir);
  std::vector<SidecarLine>& lines = cached ? *cached : read;
  size_t before = lines.size();
  auto same = std::find_if(lines.begin(), lines.end(),
                           [&](const SidecarLine& l) { return l.name == name; });
  bits &= kStoredBits;
  bool keep = bits != defaultBits(isDirectory);
  if (same != lines.end()) lines.erase(same);
  if (keep) lines.push_back({name, bits});
  if (!cached)
    writeSidecar(dir, lines);
  else if (keep || lines.size() != before)
    cache_->markSidecarDirty(dir);
}

void SimSystem::forgetAttributes(const fs::path& host) {
  std::string name = host.filename().string();
  fs::path dir = host.parent_path();
  std::vector<SidecarLine>* cached = sidecarLines(dir);
  std::vector<SidecarLine> read;
  if (!cached) read = readSidecar(dir);
  std::vector<SidecarLine>& lines = cached ? *cached : read;
  if (!std::erase_if(lines, [&](const SidecarLine& l) { return l.name == name; })) return;
  if (cached)
    cache_->markSidecarDirty(dir);
  else
    writeSidecar(dir, lines);
}

void SimSystem::enableHostCache() {
  if (!cache_) cache_ = std::make_unique<HostFolderCache>();
}

void SimSystem::flushHostCache() {
  if (!cache_) return;
  for (const auto& [dir, lines] : cache_->takeDirtySidecars()) writeSidecar(dir, lines);
}

void SimSystem::resetHostCache() {
  if (!cache_) return;
  flushHostCache();
  cache_->forgetListings();
}

void SimSystem::endHostCache() const {
  if (!cache_) return;
  for (const auto& [dir, lines] : cache_->takeDirtySidecars()) writeSidecar(dir, lines);
  cache_.reset();
}

void SimSystem::hostAdded(const fs::path& host, bool isDirectory) {
  if (cache_) cache_->added(host.parent_path(), host.filename().string(), isDirectory);
}

void SimSystem::hostRemoved(const fs::path& host) {
  if (!cache_) return;
  cache_->removed(host.parent_path(), host.filename().string());
  cache_->forget(host);
}

bool SimSystem::directoryIsEmpty(const fs::path& host) const { return listEntries(host).empty(); }

FindEntry SimSystem::entryFor(const fs::path& host, std::string name) const {
  FindEntry e;
  std::error_code ec;
  bool dir = fs::is_directory(host, ec);
  e.name = std::move(name);
  e.attributes = storedAttributes(host, dir) | (dir ? kAttrDirectory : 0);
  if (e.attributes == 0) e.attributes = kAttrNormal;
  e.size = dir ? 0 : fs::file_size(host, ec);
  if (ec) e.size = 0;
  e.time = hostFileTime(host).value_or(FatTime{0x21, 0});  // 1980-01-01 when out of FAT's range
  return e;
}

std::optional<uint32_t> SimSystem::attributes(const std::string& path) {
  auto p = resolve(path);
  if (!p) return std::nullopt;
  auto l = lookup(*p);
  if (!l || !l->exists) return std::nullopt;
  if (p->isRoot()) return kAttrDirectory;
  return entryFor(l->host, "").attributes;
}

bool SimSystem::setAttributes(const std::string& path, uint32_t attrs) {
  auto p = resolve(path);
  if (!p || p->isRoot()) return false;
  auto l = lookup(*p);
  if (!l || !l->exists) return false;
  storeAttributes(l->host, attrs, l->isDirectory);
  return true;
}

std::vector<FindEntry> SimSystem::find(const std::string& pattern) {
  std::vector<FindEntry> out;
  if (pattern.empty() || pattern.back() == '\\' || pattern.back() == '/') return out;
  auto p = resolve(pattern);
  if (!p || p->isRoot()) return out;
  std::string name = p->parts.back();
  p->parts.pop_back();
  for (const auto& part : p->parts)
    if (hasWildcard(part)) return out;
  auto dir = lookup(*p);
  if (!dir || !dir->exists || !dir->isDirectory) return out;
  bool wild = hasWildcard(name);
  if (!p->isRoot() && wild) {
    for (const char* dot : {".", ".."}) {
      // The dot entries have no extension to Windows: "*." lists them as "*" does.
      if (!wildcardMatch(name, dot) && !(name.back() == '.' && wildcardMatch(name, ""))) continue;
      out.push_back(entryFor(dot[1] ? dir->host.parent_path() : dir->host, dot));
    }
  }
  auto realRoot = realDriveRoot(p->drive);
  if (!realRoot) return out;
  for (const auto& entry : listEntries(dir->host)) {
    if (!(wild ? wildcardMatch(name, entry) : equalsNoCase(name, entry))) continue;
    // A link that leads off the drive is not on this machine at all; one that stays on it is
    // listed as Windows lists a junction, so walks can tell they would see a folder again.
    fs::path host = dir->host / entry;
    if (!hostEntryStaysInside(host, *realRoot)) continue;
    out.push_back(entryFor(host, entry));
    if (isHostLink(host)) out.back().attributes |= kAttrReparsePoint;
  }
  return out;
}

bool SimSystem::createDirectory(const std::string& path) {
  auto p = resolve(path);
  if (!p || p->isRoot() || !validNewName(p->parts.back())) return false;
  // As on Windows: a folder's path leaves room for an 8.3 name inside it.
  if (p->text().size() > kMaxFolderChars) return false;
  std::string canonical = upperAscii(p->text());
  for (const auto& f : failingDirectories_)
    if (f == canonical) return false;
  if (diskFull(p->drive)) return false;
  auto l = lookup(*p);
  if (!l || l->exists) return false;
  std::error_code ec;
  if (!fs::create_directory(l->host, ec) || ec) return false;
  hostAdded(l->host, true);
  return true;
}

bool SimSystem::removeDirectory(const std::string& path) {
  auto p = resolve(path);
  if (!p || p->isRoot()) return false;
  auto l = lookup(*p);
  if (!l || !l->exists || !l->isDirectory) return false;
  if (storedAttributes(l->host, true) & kAttrReadOnly) return false;
  if (!directoryIsEmpty(l->host)) return false;
  // The current directory is in use and cannot go, as on Windows.
  auto cur = lookup(current_);
  if (cur && hostPathWithin(cur->host, l->host)) return false;
  std::error_code ec;
  if (cache_) cache_->dropSidecar(l->host);
  fs::remove(l->host / kAttributeSidecar, ec);
  if (!fs::remove(l->host, ec) || ec) {
    // Whatever is left of the folder is read again.
    resetHostCache();
    return false;
  }
  hostRemoved(l->host);
  forgetAttributes(l->host);
  return true;
}

bool SimSystem::deleteFile(const std::string& path) {
  auto p = resolve(path);
  if (!p || p->isRoot() || hasWildcard(p->parts.back())) return false;
  auto l = lookup(*p);
  if (!l || !l->exists || l->isDirectory) return false;
  if ((storedAttributes(l->host, false) & kAttrReadOnly) || isOpen(l->host)) return false;
  std::error_code ec;
  if (!fs::remove(l->host, ec) || ec) return false;
  hostRemoved(l->host);
  forgetAttributes(l->host);
  return true;
}

bool SimSystem::moveFile(const std::string& from, const std::string& to, bool replace) {
  auto pf = resolve(from);
  auto pt = resolve(to);
  if (!pf || !pt || pf->isRoot() || pt->isRoot() || !validNewName(pt->parts.back())) return false;
  auto lf = lookup(*pf);
  auto lt = lookup(*pt);
  if (!lf || !lf->exists || !lt) return false;
  if (isOpen(lf->host)) return false;
  if (lf->isDirectory && (pf->drive != pt->drive || hostPathWithin(lt->host, lf->host)) &&
      lt->host != lf->host)
    return false;
  uint32_t bits = storedAttributes(lf->host, lf->isDirectory);
  std::error_code ec;
  fs::path target = lt->host;
  if (lt->exists && lt->host == lf->host) {
    // The same entry under another case: a rename of the case only.
    target = lt->host.parent_path() / pt->parts.back();
  } else if (lt->exists) {
    if (!replace || lt->isDirectory || lf->isDirectory || isOpen(lt->host) ||
        (storedAttributes(lt->host, false) & kAttrReadOnly))
      return false;
  }
  if (pf->drive != pt->drive && diskFull(pt->drive)) return false;
  // A folder moves with every listing and sidecar below it: those are written and read again.
  if (lf->isDirectory) resetHostCache();
  fs::rename(lf->host, target, ec);
  if (ec) {
    // Another host file system: copy beside the target, then put it in place in one step so a
    // failure never leaves a half-written target.
    fs::path temp = target.parent_path() / (".qm-move-" + target.filename().string());
    ec.clear();
    fs::copy_file(lf->host, temp, fs::copy_options::overwrite_existing, ec);
    if (ec) {
      fs::remove(temp, ec);
      return false;
    }
    fs::rename(temp, target, ec);
    if (ec) {
      fs::remove(temp, ec);
      return false;
    }
    fs::remove(lf->host, ec);
  }
  hostRemoved(lf->host);
  hostAdded(target, lf->isDirectory);
  forgetAttributes(lf->host);
  storeAttributes(target, bits, lf->isDirectory);
  return true;
}

bool SimSystem::copyFile(const std::string& from, const std::string& to, bool failIfExists) {
  auto lf = lookup(from);
  auto lt = lookup(to);
  if (!lf || !lf->exists || lf->isDirectory || !lt || lt->isDirectory) return false;
  if (lt->exists && (failIfExists || lt->host == lf->host)) return false;
  FileHandle in = openRead(from);
  if (in == kInvalidFile) return false;
  FileHandle out = create(to);
  if (out == kInvalidFile) {
    close(in);
    return false;
  }
  std::vector<char> buffer(32768);
  bool ok = true;
  for (;;) {
    int32_t n = read(in, buffer.data(), uint32_t(buffer.size()));
    if (n <= 0) {
      ok = n == 0;
      break;
    }
    if (write(out, buffer.data(), uint32_t(n)) != n) {
      ok = false;
      break;
    }
  }
  auto time = fileTime(in);
  if (ok && time) setFileTime(out, *time);
  close(in);
  close(out);
  if (!ok) {
    // Windows removes what it had copied when a copy fails.
    std::error_code ec;
    fs::remove(lt->host, ec);
    hostRemoved(lt->host);
    forgetAttributes(lt->host);
    return false;
  }
  storeAttributes(lt->host, storedAttributes(lf->host, false) | kAttrArchive, false);
  return true;
}

std::string SimSystem::currentDirectory() { return current_.text(); }

bool SimSystem::setCurrentDirectory(const std::string& path) {
  auto p = resolve(path);
  if (!p) return false;
  auto l = lookup(*p);
  if (!l || !l->exists || !l->isDirectory) return false;
  current_ = *p;
  return true;
}

}  // namespace qm
