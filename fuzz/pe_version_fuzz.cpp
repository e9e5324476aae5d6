// Feeds arbitrary bytes to the version-resource reader as a whole executable and as a bare
// resource: no read outside the bytes, no endless walk, and a resource that is found parses.
#include <cstddef>
#include <cstdint>
#include <span>

#include "base/pe_version.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::span<const uint8_t> bytes(data, size);
  if (auto resource = qm::findVersionResource(bytes)) {
    if (auto info = qm::VersionInfo::parse(*resource)) {
      info->queryText("\\StringFileInfo\\040904E4\\FileVersion");
      info->translations();
    }
  }
  if (auto info = qm::VersionInfo::parse(bytes)) {
    info->queryText("\\StringFileInfo\\040904B0\\FileVersion");
    info->queryText("\\");
  }
  return 0;
}
