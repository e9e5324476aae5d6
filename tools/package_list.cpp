#include "tools/package_list.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "engine/explode.h"
#include "engine/package.h"

namespace qm::pack {

namespace {

namespace fs = std::filesystem;

bool readVolume(const fs::path& path, std::vector<uint8_t>& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

std::optional<PackageHeader> headerOf(const std::vector<uint8_t>& bytes) {
  if (bytes.size() < kPackageHeaderSize) return std::nullopt;
  uint8_t header[kPackageHeaderSize];
  std::copy_n(bytes.begin(), kPackageHeaderSize, header);
  return decodePackageHeader(header);
}

// The package's bytes as one stream: each volume after its header, the next volume found in the
// first one's folder by the name its predecessor's header gives.
class VolumeReader {
 public:
  explicit VolumeReader(fs::path first) : folder_(first.parent_path()), name_(first) {}

  bool open(std::string& error) {
    if (!readVolume(name_, bytes_)) {
      error = name_.string() + ": no such file";
      return false;
    }
    std::optional<PackageHeader> h = headerOf(bytes_);
    if (!h || !h->isFirstVolume()) {
      error = name_.string() + " is not the first volume of a package";
      return false;
    }
    header_ = *h;
    at_ = kPackageHeaderSize;
    return true;
  }
  int volume() const { return volume_; }
  int entryCount() const { return header_.entryCount; }
  size_t left() const { return bytes_.size() - at_; }
  bool hasNext() const { return !header_.nextVolume.empty(); }

  bool next(std::string& error) {
    fs::path path = folder_ / header_.nextVolume;
    if (!readVolume(path, bytes_)) {
      error = "volume " + std::to_string(volume_ + 1) + " (" + path.string() + "): no such file";
      return false;
    }
    std::optional<PackageHeader> h = headerOf(bytes_);
    if (!h || !h->isContinuation()) {
      error = path.string() + " is not a continuation volume";
      return false;
    }
    header_.nextVolume = h->nextVolume;
    ++volume_;
    at_ = kPackageHeaderSize;
    return true;
  }

  // Up to n bytes, continuing on the next volumes; fewer only at the package's end.
  std::vector<uint8_t> take(size_t n, std::string& error) {
    std::vector<uint8_t> out;
    while (out.size() < n) {
      if (left() == 0) {
        if (!hasNext() || !next(error)) break;
        continue;
      }
      size_t k = std::min(n - out.size(), left());
      out.insert(out.end(), bytes_.begin() + long(at_), bytes_.begin() + long(at_ + k));
      at_ += k;
    }
    return out;
  }

 private:
  fs::path folder_;
  fs::path name_;
  std::vector<uint8_t> bytes_;
  PackageHeader header_;
  size_t at_ = 0;
  int volume_ = 0;
};

struct Expansion {
  const std::vector<uint8_t>* data;
  size_t at = 0;
  uint64_t written = 0;
};

uint32_t readPacked(uint8_t* buffer, uint32_t count, void* user) {
  auto* e = static_cast<Expansion*>(user);
  uint32_t n = uint32_t(std::min<size_t>(count, e->data->size() - e->at));
  std::copy_n(e->data->begin() + long(e->at), n, buffer);
  e->at += n;
  return n;
}

void countExpanded(const uint8_t*, uint32_t count, void* user) {
  static_cast<Expansion*>(user)->written += count;
}

std::optional<uint64_t> expandedSize(const std::vector<uint8_t>& data) {
  if (data.empty()) return 0;  // empty files are stored without data
  Expansion e{&data};
  std::vector<uint8_t> work(kExplodeWorkSize);
  if (explode(readPacked, countExpanded, work.data(), &e) != kExplodeOk) return std::nullopt;
  return e.written;
}

}  // namespace

bool looksLikePackage(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> bytes(kPackageHeaderSize);
  if (!in.read(reinterpret_cast<char*>(bytes.data()), long(bytes.size()))) return false;
  std::optional<PackageHeader> h = headerOf(bytes);
  return h && h->isFirstVolume();
}

std::optional<std::vector<ListedPackageEntry>> listPackage(const std::string& path,
                                                           std::string& error) {
  VolumeReader reader(path);
  if (!reader.open(error)) return std::nullopt;
  std::vector<ListedPackageEntry> entries;
  for (int i = 0; i < reader.entryCount(); ++i) {
    // A record never straddles two volumes: one that does not fit starts the next volume.
    if (reader.left() < kPackageEntrySize && reader.hasNext() && !reader.next(error))
      return std::nullopt;
    if (reader.left() < kPackageEntrySize) {
      error = "entry " + std::to_string(i + 1) + " of " + std::to_string(reader.entryCount()) +
              " is missing: the last volume ends first";
      return std::nullopt;
    }
    std::vector<uint8_t> record = reader.take(kPackageEntrySize, error);
    uint8_t raw[kPackageEntrySize];
    std::copy_n(record.begin(), kPackageEntrySize, raw);
    PackageEntry decoded = decodePackageEntry(raw);
    ListedPackageEntry entry;
    entry.volume = reader.volume();
    entry.name = decoded.name;
    entry.packedSize = decoded.packedSize;
    entry.time = decoded.time;
    std::vector<uint8_t> data = reader.take(decoded.packedSize, error);
    if (!error.empty()) return std::nullopt;
    if (data.size() == decoded.packedSize) entry.size = expandedSize(data);
    entries.push_back(std::move(entry));
  }
  return entries;
}

int printPackageList(const std::string& path) {
  std::string error;
  std::optional<std::vector<ListedPackageEntry>> entries = listPackage(path, error);
  if (!entries) {
    std::fprintf(stderr, "quillpack: %s\n", error.c_str());
    return 1;
  }
  std::string out = "volume  name                      packed        size  date        time\n";
  bool damaged = false;
  char line[400];
  for (const ListedPackageEntry& e : *entries) {
    unsigned date = e.time.date, time = e.time.time;
    std::string size = e.size ? std::to_string(*e.size) : "damaged";
    damaged = damaged || !e.size;
    std::snprintf(line, sizeof line, "%6d  %-24s %7u %11s  %04u-%02u-%02u  %02u:%02u:%02u\n",
                  e.volume, e.name.c_str(), e.packedSize, size.c_str(), 1980 + (date >> 9),
                  (date >> 5) & 15, date & 31, time >> 11, (time >> 5) & 63, (time & 31) * 2);
    out += line;
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  if (damaged)
    std::fprintf(stderr, "quillpack: %s: some entries cannot be expanded\n", path.c_str());
  return damaged ? 1 : 0;
}

}  // namespace qm::pack
