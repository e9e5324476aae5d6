// Machine facts that IF conditions test, answered from the machine file and from the files on the
// simulated disks.
#include <algorithm>

#include "base/pe_version.h"
#include "base/text.h"
#include "platform/sim/sim_system.h"

namespace qm {

namespace {

// Sort classes of the locale comparison: punctuation before digits before letters; every byte
// above 127 sorts after the letters by its code.
int sortClass(unsigned char c) {
  if (c >= '0' && c <= '9') return 1;
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return 2;
  if (c >= 128) return 3;
  return 0;
}

int compareWeighted(std::string_view a, std::string_view b) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    unsigned char x = static_cast<unsigned char>(toUpperAscii(a[i]));
    unsigned char y = static_cast<unsigned char>(toUpperAscii(b[i]));
    if (x == y) continue;
    int cx = sortClass(x), cy = sortClass(y);
    if (cx != cy) return cx < cy ? -1 : 1;
    return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

std::string withoutIgnored(std::string_view s) {
  std::string out;
  for (char c : s)
    if (c != '-' && c != '\'') out += c;
  return out;
}

}  // namespace

uint64_t SimSystem::totalPhysicalMemory() { return config_.memory; }

DisplayCaps SimSystem::displayCaps() {
  // The machine file gives a packed-pixel display, as every display since the VGA days is.
  return DisplayCaps{config_.bitsPerPixel, 1, config_.screenWidth, config_.screenHeight};
}

std::optional<std::string> SimSystem::versionText(const std::string& path,
                                                  const std::string& query) {
  FileHandle h = openRead(path);
  if (h == kInvalidFile) return std::nullopt;
  int64_t size = fileSize(h);
  ByteReader reader = [this, h](uint64_t offset, uint8_t* out, size_t count) {
    if (seek(h, int64_t(offset), SeekOrigin::Begin) != int64_t(offset)) return false;
    size_t done = 0;
    while (done < count) {
      uint32_t chunk = uint32_t(std::min<size_t>(count - done, 1u << 20));
      int32_t got = read(h, out + done, chunk);
      if (got <= 0) return false;
      done += size_t(got);
    }
    return true;
  };
  auto resource = size > 0 ? findVersionResource(reader, uint64_t(size)) : std::nullopt;
  close(h);
  if (!resource) return std::nullopt;
  auto info = VersionInfo::parse(*resource);
  if (!info) return std::nullopt;
  return info->queryText(query);
}

int SimSystem::localeCompareNoCase(const std::string& a, const std::string& b) {
  // Word sort as the system does it: hyphens and apostrophes count only when all else is equal.
  int first = compareWeighted(withoutIgnored(a), withoutIgnored(b));
  return first != 0 ? first : compareWeighted(a, b);
}

}  // namespace qm
