#include "base/text.h"
#include "platform/file_handle.h"
#include "sysconfig/text_edits.h"

namespace qm {

std::vector<std::string> splitPieces(std::string_view text, size_t maxChars) {
  std::vector<std::string> pieces;
  while (!text.empty()) {
    size_t length = std::min(text.size(), maxChars);
    const size_t lf = text.substr(0, length).find('\n');
    if (lf != std::string_view::npos) length = lf + 1;
    pieces.emplace_back(text.substr(0, length));
    text.remove_prefix(length);
  }
  return pieces;
}

std::optional<std::string> readTextFile(FileSystem& fs, const std::string& path) {
  std::optional<std::string> bytes = readAll(fs, path);
  if (!bytes) return std::nullopt;
  return fromCrLf(*bytes);
}

bool writeTextFile(FileSystem& fs, const std::string& path, std::string_view text) {
  ScopedFile file = ScopedFile::create(fs, path);
  if (!file) return false;
  const bool whole = file.writeAll(toCrLf(text));
  file.close();
  if (!whole) fs.deleteFile(path);
  return whole;
}

}  // namespace qm
