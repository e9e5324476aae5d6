#include "tools/container_report.h"

#include <cstdio>

namespace qm::pack {

std::string overrunMessage(const std::string& path, const ContainerEntry& entry) {
  return path + ": entry " + entry.name + " claims " + std::to_string(entry.size) +
         " bytes, more than the container holds for it (the installer cannot read it)";
}

bool reportContainerDamage(const std::string& path, const std::vector<ContainerEntry>& entries,
                           uint64_t fileSize) {
  bool damaged = false;
  const std::vector<bool> overruns = overrunningEntries(entries, fileSize);
  for (size_t i = 0; i < entries.size(); ++i) {
    if (!overruns[i]) continue;
    std::fprintf(stderr, "quillpack: %s\n", overrunMessage(path, entries[i]).c_str());
    damaged = true;
  }
  if (entries.empty()) {
    std::fprintf(stderr,
                 "quillpack: %s: the first entry lies outside the file or inside its trailer\n",
                 path.c_str());
    damaged = true;
  } else if (entries.back().next != 0) {
    std::fprintf(stderr,
                 "quillpack: %s: the entry chain breaks after %zu entries: next offset %u loops "
                 "or lies outside the file\n",
                 path.c_str(), entries.size(), entries.back().next);
    damaged = true;
  }
  return damaged;
}

}  // namespace qm::pack
