// FAT date and time words against host clock seconds, with no time-zone shift: the host's
// modification times are taken as UTC, the same conversion the installer makes on Windows.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

#include "platform/system.h"

namespace qm {

// nullopt outside 1980-01-01 .. 2107-12-31, which FAT cannot hold. Odd seconds round down.
std::optional<FatTime> fatTimeFromSeconds(int64_t seconds);
// nullopt when a field is out of range (month 13, 25 o'clock ...).
std::optional<int64_t> secondsFromFatTime(FatTime t);

std::optional<FatTime> hostFileTime(const std::filesystem::path& host);
bool setHostFileTime(const std::filesystem::path& host, FatTime t);

}  // namespace qm
