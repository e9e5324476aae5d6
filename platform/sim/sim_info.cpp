// Machine facts that IF conditions test, answered from the machine file and from the files on the
// simulated disks.
#include <algorithm>
#include <vector>

#include "base/pe_version.h"
#include "base/text.h"
#include "platform/sim/sim_system.h"

namespace qm {

namespace {

// The letter an accented code page 1252 letter sorts with (0 for bytes that are no letter).
char baseLetter(unsigned char c) {
  static const char kLatin[] =
      "AAAAAAACEEEEIIIIDNOOOOO\0OUUUUY\0SAAAAAAACEEEEIIIIDNOOOOO\0OUUUUY\0Y";
  if (c >= 0xC0) return kLatin[c - 0xC0];
  switch (c) {
    case 0x8A:
    case 0x9A:
      return 'S';
    case 0x8E:
    case 0x9E:
      return 'Z';
    case 0x9F:
      return 'Y';
    default:
      return 0;
  }
}

// Primary sort weight of one byte: punctuation, then digits, then letters (accents folded), then
// the remaining high bytes.
int weight(unsigned char c) {
  c = static_cast<unsigned char>(toUpperAscii(static_cast<char>(c)));
  if (c >= '0' && c <= '9') return 0x100 + c;
  if (c >= 'A' && c <= 'Z') return 0x200 + c;
  if (c >= 128) {
    char base = baseLetter(c);
    return base ? 0x200 + base : 0x300 + c;
  }
  return c;
}

int compareWeighted(std::string_view a, std::string_view b) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    int x = weight(static_cast<unsigned char>(a[i])), y = weight(static_cast<unsigned char>(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  // Same letters: an unaccented letter sorts before its accented forms.
  for (size_t i = 0; i < n; ++i) {
    unsigned char x = static_cast<unsigned char>(toUpperAscii(a[i]));
    unsigned char y = static_cast<unsigned char>(toUpperAscii(b[i]));
    if (x != y && weight(x) == weight(y)) return (x < 128) != (y < 128) ? (x < 128 ? -1 : 1) : 0;
  }
  return 0;
}

bool ignored(char c) { return c == '-' || c == '\''; }

std::string withoutIgnored(std::string_view s) {
  std::string out;
  for (char c : s)
    if (!ignored(c)) out += c;
  return out;
}

// Hyphens and apostrophes decide only between otherwise equal texts: fewer first, then the one
// whose first such mark comes later, then an apostrophe before a hyphen.
int compareIgnored(std::string_view a, std::string_view b) {
  std::vector<std::pair<size_t, char>> x, y;
  for (size_t i = 0; i < a.size(); ++i)
    if (ignored(a[i])) x.emplace_back(i, a[i]);
  for (size_t i = 0; i < b.size(); ++i)
    if (ignored(b[i])) y.emplace_back(i, b[i]);
  if (x.size() != y.size()) return x.size() < y.size() ? -1 : 1;
  for (size_t i = 0; i < x.size(); ++i) {
    if (x[i].first != y[i].first) return x[i].first < y[i].first ? 1 : -1;
    if (x[i].second != y[i].second) return x[i].second > y[i].second ? 1 : -1;
  }
  return 0;
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
  return first != 0 ? first : compareIgnored(a, b);
}

}  // namespace qm
