// Reading a package's entries back for `quillpack list`: every entry with the volume its record
// lies on, its packed size, its size once expanded and its date, following the volumes as the
// installer follows them.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/system.h"

namespace qm::pack {

struct ListedPackageEntry {
  int volume = 0;  // 0: the first volume
  std::string name;
  uint32_t packedSize = 0;
  std::optional<uint64_t> size;  // none when the data cannot be expanded
  FatTime time;
};

// Whether the host file begins like the first volume of a package.
bool looksLikePackage(const std::string& path);

// The entries of the package whose first volume is at path; nullopt with error set when a volume
// is missing or ends inside a record.
std::optional<std::vector<ListedPackageEntry>> listPackage(const std::string& path,
                                                           std::string& error);

// quillpack list on a package: one line per entry (volume, name, packed size, size, date, time)
// on stdout; returns the exit code.
int printPackageList(const std::string& path);

}  // namespace qm::pack
