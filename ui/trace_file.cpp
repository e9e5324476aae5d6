#include "ui/trace_file.h"

namespace qm {

bool FileTraceSink::writeLine(const std::string& line) {
  FileHandle h = fs_.openAppend(path_);
  if (h == kInvalidFile) return false;
  std::string text = oneTraceLine(line) + "\n";
  bool whole = fs_.write(h, text.data(), uint32_t(text.size())) == int32_t(text.size());
  fs_.close(h);
  return whole;
}

std::string oneTraceLine(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out += (text[i] == '\n' || text[i] == '\r') ? ' ' : text[i];
  }
  return out;
}

}  // namespace qm
