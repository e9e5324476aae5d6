#include "engine/install_log.h"

#include "base/text.h"
#include "platform/file_handle.h"
#include "records/engine_records.h"
#include "records/instback_records.h"

namespace qm {

void InstallLog::setDirectory(const std::string& directory) {
  std::string path = directory + "\\install.log";
  if (path.size() > kMaxLogPathChars) path.resize(kMaxLogPathChars);
  path_ = std::move(path);
  auto remember = [this](Prior& prior, const std::string& file) {
    prior = {file, readAll(fs_, file), {}, 0};
    if (!prior.bytes) return;
    prior.time = readFileTime(fs_, file);
    prior.attributes = fs_.attributes(file).value_or(kAttrNormal);
  };
  remember(priorLog_, path_);
  remember(priorBackupList_, directoryPart(path_) + kBackupListName);
}

bool InstallLog::logging() const { return records_.logging || keptForRollback_; }

int InstallLog::record(const std::string& text) {
  if (!logging()) return 0;
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
