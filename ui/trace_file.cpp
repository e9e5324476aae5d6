#include "ui/trace_file.h"

#include "platform/file_handle.h"

namespace qm {

bool FileTraceSink::writeLine(const std::string& line) {
  ScopedFile h = ScopedFile::openAppend(fs_, path_);
  return h && h.writeAll(oneTraceLine(line) + "\n");
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
