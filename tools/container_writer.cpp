#include "tools/container_writer.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

#include "base/text.h"
#include "platform/sim/fat_clock.h"
#include "script/source.h"

namespace qm {

namespace {

void put32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
  p[2] = uint8_t(v >> 16);
  p[3] = uint8_t(v >> 24);
}

void encodeEntry(uint8_t (&out)[kEntrySize], const PackItem& item, uint32_t next) {
  std::memset(out, 0, kEntrySize);
  put32(out + kEntryNextOffset, next);
  put32(out + kEntryAttributesOffset, item.attributes);
  put32(out + kEntryTimeOffset, item.time.time);
  put32(out + kEntryDateOffset, item.time.date);
  put32(out + kEntrySizeOffset, uint32_t(item.size));
  std::memcpy(out + kEntryNameOffset, item.name.data(),
              std::min<size_t>(item.name.size(), kEntryNameSize));
}

void encodeTrailer(uint8_t (&out)[kTrailerSize], uint32_t firstEntry) {
  std::memcpy(out + kTrailerMagicOffset, kContainerMagic, sizeof kContainerMagic);
  put32(out + kTrailerFirstEntryOffset, firstEntry);
  put32(out + kTrailerSecondValueOffset, 0);
}

// Offsets of each entry, or false when the container would pass 4 GiB.
bool layOut(uint64_t start, const std::vector<PackItem>& items, std::vector<uint32_t>& offsets) {
  uint64_t at = start;
  for (const PackItem& item : items) {
    if (at + kEntrySize + item.size + kTrailerSize > 0xFFFFFFFFull || item.size > 0xFFFFFFFFull)
      return false;
    offsets.push_back(uint32_t(at));
    at += kEntrySize + item.size;
  }
  return true;
}

bool validName(const std::string& name) {
  return !name.empty() && name.size() < kEntryNameSize && name.find('\0') == std::string::npos;
}

}  // namespace

FatTime fatTimeForPacking(int64_t seconds) {
  if (std::optional<FatTime> t = fatTimeFromSeconds(seconds)) return *t;
  constexpr int64_t k1980 = 315532800;  // 1980-01-01 00:00:00 UTC
  if (seconds < k1980) return FatTime{uint16_t(1 << 5 | 1), 0};
  return FatTime{uint16_t(127 << 9 | 12 << 5 | 31), uint16_t(23 << 11 | 59 << 5 | 29)};
}

std::string storedName(const std::string& path) {
  size_t start = (path.size() >= 2 && path[1] == ':') ? 2 : 0;
  size_t slash = path.find_last_of("\\/");
  if (slash != std::string::npos && slash + 1 > start) start = slash + 1;
  return path.substr(start);
}

std::vector<PackItem> withoutDuplicateNames(std::vector<PackItem> items) {
  std::unordered_set<std::string> seen;
  std::vector<PackItem> kept;
  for (PackItem& item : items)
    if (seen.insert(upperAscii(item.name)).second) kept.push_back(std::move(item));
  return kept;
}

bool writeContainer(std::FILE* out, uint64_t startOffset, const std::vector<PackItem>& items,
                    std::string& error,
                    const std::function<void(const std::string& name, uint64_t bytes)>& progress) {
  if (items.empty()) {
    error = "no files to pack";
    return false;
  }
  for (const PackItem& item : items) {
    if (!validName(item.name)) {
      error = "'" + item.name + "': a stored name must have 1 to 255 characters";
      return false;
    }
  }
  std::vector<uint32_t> offsets;
  if (!layOut(startOffset, items, offsets)) {
    error = "the container would not fit in 4 GiB";
    return false;
  }
  std::vector<char> block(kCopyBlockSize);
  for (size_t i = 0; i < items.size(); ++i) {
    const PackItem& item = items[i];
    if (progress) progress(item.name, item.hostPath.empty() ? item.data.size() : item.size);
    uint8_t entry[kEntrySize];
    encodeEntry(entry, item, i + 1 < items.size() ? offsets[i + 1] : 0);
    if (std::fwrite(entry, 1, kEntrySize, out) != kEntrySize) {
      error = "cannot write the entry of " + item.name;
      return false;
    }
    if (item.hostPath.empty()) {
      if (std::fwrite(item.data.data(), 1, item.data.size(), out) != item.data.size()) {
        error = "cannot write the data of " + item.name;
        return false;
      }
      continue;
    }
    std::FILE* in = std::fopen(item.hostPath.c_str(), "rb");
    if (!in) {
      error = "cannot open " + item.hostPath;
      return false;
    }
    uint64_t left = item.size;
    while (left > 0) {
      size_t want = size_t(std::min<uint64_t>(left, block.size()));
      size_t got = std::fread(block.data(), 1, want, in);
      if (got != want) {
        // The size went into the entry already; a file that shrank would shift every later entry.
        error = item.hostPath + " changed size while it was packed";
        std::fclose(in);
        return false;
      }
      if (std::fwrite(block.data(), 1, got, out) != got) {
        error = "cannot write the data of " + item.hostPath;
        std::fclose(in);
        return false;
      }
      left -= got;
    }
    std::fclose(in);
  }
  uint8_t trailer[kTrailerSize];
  encodeTrailer(trailer, offsets.front());
  if (std::fwrite(trailer, 1, kTrailerSize, out) != kTrailerSize) {
    error = "cannot write the trailer";
    return false;
  }
  return true;
}

std::string containerImage(const std::string& stub, const std::vector<PackItem>& items) {
  std::string image = stub;
  std::vector<PackItem> sized = items;
  for (PackItem& item : sized) item.size = item.data.size();
  std::vector<uint32_t> offsets;
  if (sized.empty() || !layOut(stub.size(), sized, offsets)) return image;
  for (size_t i = 0; i < sized.size(); ++i) {
    uint8_t entry[kEntrySize];
    encodeEntry(entry, sized[i], i + 1 < sized.size() ? offsets[i + 1] : 0);
    image.append(reinterpret_cast<const char*>(entry), kEntrySize);
    image += sized[i].data;
  }
  uint8_t trailer[kTrailerSize];
  encodeTrailer(trailer, offsets.front());
  image.append(reinterpret_cast<const char*>(trailer), kTrailerSize);
  return image;
}

}  // namespace qm
