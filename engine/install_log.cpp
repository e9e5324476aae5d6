#include "engine/install_log.h"

#include "base/text.h"
#include "platform/file_handle.h"
#include "records/engine_records.h"

namespace qm {

void InstallLog::setDirectory(const std::string& directory) {
  std::string path = directory + "\\install.log";
  if (path.size() > kMaxLogPathChars) path.resize(kMaxLogPathChars);
  path_ = std::move(path);
}

int InstallLog::record(const std::string& text) {
  if (!records_.logging) return 0;
  ScopedFile h = path_.empty() ? ScopedFile(fs_, kInvalidFile) : ScopedFile::openAppend(fs_, path_);
  if (!h) {
    // A waiting record keeps a line end of its own; otherwise two waiting records would run
    // together into one corrupt line once they reach the file.
    std::string piece = text;
    if (piece.empty() || piece.back() != '\n') piece += '\n';
    if (pending_.size() + piece.size() <= kPendingLogChars) {
      pending_ += piece;
    } else {
      ++dropped_;
    }
    return 0;
  }
  std::string out;
  if (!pending_.empty()) {
    out = toCrLf(pending_);
    pending_.clear();
  }
  out += toCrLf(text + "\n");
  if (h.writeAll(out)) return 1;
  failed_ = true;
  return -1;
}

}  // namespace qm
