#include "base/text.h"
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
  FileHandle h = fs.openRead(path);
  if (h == kInvalidFile) return std::nullopt;
  std::string bytes;
  char block[4096];
  int32_t n;
  while ((n = fs.read(h, block, sizeof block)) > 0) bytes.append(block, size_t(n));
  fs.close(h);
  if (n < 0) return std::nullopt;
  return fromCrLf(bytes);
}

bool writeTextFile(FileSystem& fs, const std::string& path, std::string_view text) {
  FileHandle h = fs.create(path);
  if (h == kInvalidFile) return false;
  const std::string bytes = toCrLf(text);
  const bool whole =
      bytes.empty() || fs.write(h, bytes.data(), uint32_t(bytes.size())) == int32_t(bytes.size());
  fs.close(h);
  if (!whole) fs.deleteFile(path);
  return whole;
}

}  // namespace qm
