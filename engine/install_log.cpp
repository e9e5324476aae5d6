#include "engine/install_log.h"

#include "base/text.h"
#include "records/engine_records.h"

namespace qm {

void InstallLog::setDirectory(const std::string& directory) {
  std::string path = directory + "\\install.log";
  if (path.size() > kMaxLogPathChars) path.resize(kMaxLogPathChars);
  path_ = std::move(path);
}

int InstallLog::record(const std::string& text) {
  if (!records_.logging) return 0;
  FileHandle h = path_.empty() ? kInvalidFile : fs_.openAppend(path_);
  if (h == kInvalidFile) {
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
  fs_.write(h, out.data(), static_cast<uint32_t>(out.size()));
  fs_.close(h);
  return 1;
}

}  // namespace qm
