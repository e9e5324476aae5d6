// Writes the archive container that the installer reads: the stub's bytes, then each entry's
// 276-byte directory record followed by its data, then the 16-byte trailer.
#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "platform/system.h"

namespace qm {

struct PackItem {
  std::string name;  // stored name: file name and extension only, at most 255 characters
  uint32_t attributes = kAttrArchive;
  FatTime time;
  uint64_t size = 0;
  std::string hostPath;  // data read from this file when set ...
  std::string data;      // ... else taken from here
};

// MS-DOS date and time of a moment given in seconds since 1970, taken as UTC; moments before 1980
// or after 2107 are clamped to the first or last time the format can hold.
FatTime fatTimeForPacking(int64_t seconds);

// The name an entry is stored under: the part after the last slash, backslash or drive colon.
std::string storedName(const std::string& path);

// Drops every item whose name (ASCII letters compared without case) was given before.
std::vector<PackItem> withoutDuplicateNames(std::vector<PackItem> items);

// Appends entries and trailer to out, whose current size is startOffset. Fails (with a message
// naming the file) on a bad name, a short or failed read or write, or a container that would not
// fit in 32-bit offsets.
// progress, when given, is told the name and size of each item as it is written.
bool writeContainer(
    std::FILE* out, uint64_t startOffset, const std::vector<PackItem>& items, std::string& error,
    const std::function<void(const std::string& name, uint64_t bytes)>& progress = nullptr);

// The same, in memory: stub followed by the container. For tests and fuzz seeds.
std::string containerImage(const std::string& stub, const std::vector<PackItem>& items);

}  // namespace qm
