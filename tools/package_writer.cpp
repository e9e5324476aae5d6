#include "tools/package_writer.h"

#include <cstring>

#include "base/text.h"

namespace qm {
namespace {

void put16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void put32(uint8_t* p, uint32_t v) {
  put16(p, v);
  put16(p + 2, v >> 16);
}

bool validNameChar(char c) {
  if (static_cast<unsigned char>(c) < 0x20) return false;
  return std::strchr("\"*+,/:;<=>?[\\]| .", c) == nullptr;
}

// Lays the volumes out as the bytes are appended.
class VolumeSink {
 public:
  VolumeSink(std::string first, uint64_t volumeSize, int entryCount)
      : first_(std::move(first)), volumeSize_(volumeSize), entryCount_(entryCount) {
    startVolume();
  }

  bool putRecord(const uint8_t* record, std::string& error) {
    if (room() < kPackageEntrySize && !nextVolume(error)) return false;
    append(record, kPackageEntrySize);
    return true;
  }
  bool putData(const uint8_t* data, size_t size, std::string& error) {
    while (size > 0) {
      if (room() == 0 && !nextVolume(error)) return false;
      const size_t n = static_cast<size_t>(std::min<uint64_t>(room(), size));
      append(data, n);
      data += n;
      size -= n;
    }
    return true;
  }
  std::vector<PackageVolume> finish() { return std::move(volumes_); }
  const std::string& currentName() const { return volumes_.back().name; }

 private:
  uint64_t room() const {
    if (volumeSize_ == 0) return UINT64_MAX;
    return volumeSize_ - volumes_.back().bytes.size();
  }
  void append(const uint8_t* p, size_t n) {
    auto& b = volumes_.back().bytes;
    b.insert(b.end(), p, p + n);
  }
  void startVolume() {
    PackageVolume v;
    v.name = volumeName(first_, static_cast<int>(volumes_.size()));
    v.bytes.assign(kPackageHeaderSize, 0);
    put16(&v.bytes[kPackageMarkerOffset], kPackageMarker);
    put16(&v.bytes[kPackageCountOffset], static_cast<uint32_t>(entryCount_));
    put16(&v.bytes[kPackageVolumeMarkerOffset],
          volumes_.empty() ? kPackageMarker : kContinuationMarker);
    volumes_.push_back(std::move(v));
  }
  bool nextVolume(std::string& error) {
    const std::string next = volumeName(first_, static_cast<int>(volumes_.size()));
    if (next.empty()) {
      error = "more than 1000 volumes would be needed; use a larger --volume-size";
      return false;
    }
    if (equalsNoCase(next, first_)) {
      error = "continuation volume " + next + " would have the first volume's name";
      return false;
    }
    std::memcpy(&volumes_.back().bytes[kPackageNextNameOffset], next.data(), next.size());
    startVolume();
    return true;
  }

  std::string first_;
  uint64_t volumeSize_;
  int entryCount_;
  std::vector<PackageVolume> volumes_;
};

}  // namespace

bool isShortName(const std::string& name) {
  const size_t dot = name.find('.');
  const std::string base = name.substr(0, dot);
  const std::string ext = dot == std::string::npos ? "" : name.substr(dot + 1);
  if (base.empty() || base.size() > 8 || ext.size() > 3) return false;
  if (dot != std::string::npos && ext.empty()) return false;
  for (char c : base + ext)
    if (!validNameChar(c)) return false;
  return true;
}

std::string volumeName(const std::string& first, int index) {
  if (index == 0) return first;
  if (index < 0 || index > 999) return "";
  const std::string number = std::to_string(index);
  const size_t dot = first.find('.');
  const std::string base = first.substr(0, dot);
  const std::string ext = dot == std::string::npos ? "" : first.substr(dot + 1);
  return base + "." + ext.substr(0, std::min(ext.size(), 3 - number.size())) + number;
}

std::string entryNameProblem(const std::string& name) {
  if (name.empty()) return "empty name";
  if (name.size() >= kPackageNameFieldSize) return "name longer than 135 characters";
  if (name[0] == '\\' || name.find(':') != std::string::npos)
    return "name must be relative, without a drive";
  size_t start = 0;
  for (;;) {
    const size_t end = name.find('\\', start);
    const std::string part = name.substr(start, end == std::string::npos ? end : end - start);
    if (part.empty() || part == "." || part == "..") return "name has an empty, . or .. part";
    if (end == std::string::npos) break;
    start = end + 1;
  }
  for (char c : name)
    if (static_cast<unsigned char>(c) < 0x20 || std::strchr("\"*/<>?|", c))
      return "name holds a character file names cannot have";
  return "";
}

std::optional<std::vector<PackageVolume>> buildPackage(const std::string& firstName,
                                                       const std::vector<PackageFile>& files,
                                                       const PackageOptions& options,
                                                       std::string& error) {
  if (!isShortName(firstName)) {
    error = "package name " + firstName + " is not an 8.3 file name";
    return std::nullopt;
  }
  if (options.volumeSize != 0 && options.volumeSize < kMinVolumeSize) {
    error = "volume size must be at least " + std::to_string(kMinVolumeSize) + " bytes";
    return std::nullopt;
  }
  if (files.size() > static_cast<size_t>(kMaxPackageEntries)) {
    error = "a package holds at most " + std::to_string(kMaxPackageEntries) + " files";
    return std::nullopt;
  }
  if (!validImplodeOptions(options.implode)) {
    error = "dictionary size must be 1024, 2048 or 4096";
    return std::nullopt;
  }
  VolumeSink sink(firstName, options.volumeSize, static_cast<int>(files.size()));
  for (const PackageFile& f : files) {
    if (std::string problem = entryNameProblem(f.name); !problem.empty()) {
      error = f.name + ": " + problem;
      return std::nullopt;
    }
    // An empty file is stored with no data at all: a size of 0 means exactly that to readers.
    std::vector<uint8_t> packed;
    ImplodeOptions implode = options.implode;
    size_t reported = 0;
    if (options.progress)
      implode.progress = [&](size_t done) {
        options.progress(sink.currentName(), done - reported, 0);
        reported = done;
      };
    if (!f.data.empty()) packed = implodeData(f.data.data(), f.data.size(), implode);
    if (packed.size() > UINT32_MAX) {
      error = f.name + ": too large for a package entry";
      return std::nullopt;
    }
    uint8_t record[kPackageEntrySize] = {};
    std::memcpy(record, f.name.data(), f.name.size());
    put32(record + kPackagePackedSizeOffset, static_cast<uint32_t>(packed.size()));
    put32(record + kPackageDateOffset, f.time.date);
    put32(record + kPackageTimeOffset, f.time.time);
    if (!sink.putRecord(record, error) || !sink.putData(packed.data(), packed.size(), error)) {
      error = f.name + ": " + error;
      return std::nullopt;
    }
    if (options.progress) options.progress(sink.currentName(), 0, 1);
  }
  return sink.finish();
}

}  // namespace qm
