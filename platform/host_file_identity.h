// Which file on the host a path names, for tools that must never write over their own inputs.
// Two paths name the same file when their identities are equal, however they are spelled (links,
// "./", another case on a case-insensitive disk).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace qm {

struct HostFileIdentity {
  uint64_t device = 0;
  uint64_t file = 0;
  bool operator==(const HostFileIdentity&) const = default;
};

struct HostFileIdentityHash {
  size_t operator()(const HostFileIdentity& id) const {
    return size_t(id.file * 0x9E3779B97F4A7C15ull ^ id.device);
  }
};

// The identity of the file a path names after following links; nullopt when it does not exist
// or cannot be asked.
std::optional<HostFileIdentity> hostFileIdentity(const std::string& path);

}  // namespace qm
