#include "platform/file_handle.h"
#include "sysconfig/text_edits.h"

namespace qm {

void restoreAttributes(FileSystem& fs, const std::string& path, std::optional<uint32_t> before) {
  constexpr uint32_t kKept = kAttrReadOnly | kAttrHidden | kAttrSystem;
  if (before && (*before & kKept)) fs.setAttributes(path, *before);
}

}  // namespace qm
