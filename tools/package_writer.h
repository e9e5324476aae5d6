// Writes multi-volume packages: every volume starts with a 58-byte header, each file is a
// 168-byte entry record followed by its imploded data. Records never straddle two volumes;
// compressed data does, continuing right after the next volume's header.
//
// Volume names: the first volume keeps the name it is given (8.3 form). Volume k (k = 1, 2, ...)
// keeps its base name and replaces the end of the extension with the decimal number k, keeping
// as many leading extension characters as fit in three: SETUP.PAK, SETUP.PA1 ... SETUP.PA9,
// SETUP.P10 ... SETUP.P99, SETUP.100 ... SETUP.999; a missing extension becomes just the number.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/package.h"
#include "platform/system.h"
#include "tools/implode.h"

namespace qm {

// Room for a header, one record and one whole 2048-byte read of data, so that a reader which
// switches volumes at most once per read always finds the rest of its read on the next volume.
constexpr uint64_t kMinVolumeSize = kPackageHeaderSize + kPackageEntrySize + 2048;
constexpr int kMaxPackageEntries = 32767;

struct PackageFile {
  std::string name;  // stored name: relative path with backslashes, at most 135 characters
  std::vector<uint8_t> data;
  FatTime time;
};

struct PackageVolume {
  std::string name;  // file name of the volume, 8.3
  std::vector<uint8_t> bytes;
};

struct PackageOptions {
  uint64_t volumeSize = 0;  // 0: one volume, however large
  ImplodeOptions implode;
  // Told of the work as it is done, for progress: the volume being filled, input bytes
  // compressed since the last call, and 1 when a file is finished; may be empty.
  std::function<void(const std::string& volume, uint64_t bytes, uint64_t files)> progress = nullptr;
};

// True for a plain 8.3 file name: 1 to 8 characters, an optional extension of 1 to 3, no path
// and none of the characters FAT names cannot hold.
bool isShortName(const std::string& name);
// The name of volume index (0 = the first) of the package named first; empty beyond 999.
std::string volumeName(const std::string& first, int index);
// Why a stored entry name cannot be used, or empty when it can.
std::string entryNameProblem(const std::string& name);

// Builds the volumes in memory; nullopt with error set when the input cannot be packed.
std::optional<std::vector<PackageVolume>> buildPackage(const std::string& firstName,
                                                       const std::vector<PackageFile>& files,
                                                       const PackageOptions& options,
                                                       std::string& error);

}  // namespace qm
