#include "platform/file_handle.h"
#include "sysconfig/text_edits.h"

namespace qm {

bool writeFileBytes(FileSystem& fs, const std::string& path, std::string_view bytes) {
  ScopedFile file = ScopedFile::create(fs, path);
  if (!file) return false;
  const bool whole = file.writeAll(bytes);
  file.close();
  if (!whole) fs.deleteFile(path);
  return whole;
}

void restoreAttributes(FileSystem& fs, const std::string& path, std::optional<uint32_t> before) {
  constexpr uint32_t kKept = kAttrReadOnly | kAttrHidden | kAttrSystem;
  if (before && (*before & kKept)) fs.setAttributes(path, *before);
}

}  // namespace qm
