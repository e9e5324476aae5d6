// Packages: a source file that starts with a package header holds imploded files, perhaps over
// several volumes on several disks. The extractor expands one into the target's directory; the
// file copy offers it every source first (see PackageHandler in engine/engine.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/engine.h"
#include "platform/file_handle.h"

namespace qm {

// Volume header layout (every volume starts with one).
constexpr size_t kPackageHeaderSize = 58;
constexpr size_t kPackageNextNameOffset = 0;
constexpr size_t kPackageNextNameSize = 14;
constexpr size_t kPackageMarkerOffset = 14;
constexpr size_t kPackageCountOffset = 16;
constexpr size_t kPackageVolumeMarkerOffset = 18;
constexpr uint16_t kPackageMarker = 't';
constexpr uint16_t kContinuationMarker = 'u';
// Entry record layout (one per file, followed by the file's imploded data).
constexpr size_t kPackageEntrySize = 168;
constexpr size_t kPackageNameFieldSize = 136;
constexpr size_t kPackagePackedSizeOffset = 136;
constexpr size_t kPackageDateOffset = 140;
constexpr size_t kPackageTimeOffset = 144;

struct PackageHeader {
  std::string nextVolume;  // empty on the last volume
  uint16_t marker = 0;
  int16_t entryCount = 0;
  uint16_t volumeMarker = 0;

  bool isFirstVolume() const { return marker == kPackageMarker && volumeMarker == kPackageMarker; }
  bool isContinuation() const {
    return marker == kPackageMarker && volumeMarker == kContinuationMarker;
  }
};

struct PackageEntry {
  std::string name;  // relative to the target directory, backslash-separated
  uint32_t packedSize = 0;
  FatTime time;
};

PackageHeader decodePackageHeader(const uint8_t (&bytes)[kPackageHeaderSize]);
PackageEntry decodePackageEntry(const uint8_t (&bytes)[kPackageEntrySize]);
// False for a name that could reach outside the target directory: a drive, a leading
// separator, or a ".." part (with either slash); also for an empty name.
bool isSafeEntryName(const std::string& name);

class PackageExtractor : public PackageHandler {
 public:
  explicit PackageExtractor(Engine& engine) : engine_(engine), target_(engine.sys, kInvalidFile) {}

  int extract(const std::string& target, const std::string& source, Overwrite overwrite,
              uint32_t attributes) override;
  bool continuesOnAnotherVolume(const std::string& source) override;
  void unpackExternally(const FileEntry& entry, const std::string& source,
                        const std::string& targetDir) override;

 private:
  int expandEntries(Overwrite overwrite, uint32_t attributes);
  bool expandEntry(const PackageEntry& entry, const std::string& target, uint32_t attributes);
  bool skipData(const PackageEntry& entry);
  bool switchVolume();
  int32_t readVolume(uint8_t* buffer, uint32_t count);
  void closeVolume();
  static uint32_t readPacked(uint8_t* buffer, uint32_t count, void* self);
  static void writeUnpacked(const uint8_t* buffer, uint32_t count, void* self);

  Engine& engine_;
  // State of the package being expanded.
  std::unique_ptr<SourceFile> volume_;
  std::string volumePath_;
  std::string packageDir_;
  std::string targetDir_;
  PackageHeader header_;
  uint32_t packedSize_ = 0;
  uint32_t consumed_ = 0;
  ScopedFile target_;  // the entry being written, open only inside expandEntry
  bool ioError_ = false;
  uint8_t* work_ = nullptr;  // the decoder's work area, owned by extract
};

}  // namespace qm
