// What quillpack says about a damaged archive container, the same way in every command.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "script/source.h"

namespace qm::pack {

// "PATH: entry NAME claims N bytes, more than ..." for an entry whose size runs past the data.
std::string overrunMessage(const std::string& path, const ContainerEntry& entry);

// Prints to stderr every entry of the walked chain whose size runs past the container's data,
// and a chain that does not end at a next offset of 0. True when anything was printed.
bool reportContainerDamage(const std::string& path, const std::vector<ContainerEntry>& entries,
                           uint64_t fileSize);

}  // namespace qm::pack
