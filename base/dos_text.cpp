#include "base/dos_text.h"

namespace qm {

DosText DosText::parse(std::string_view bytes) {
  DosText t;
  if (bytes.substr(0, kUtf8Mark.size()) == kUtf8Mark) {
    t.mark = kUtf8Mark;
    bytes.remove_prefix(kUtf8Mark.size());
  }
  if (const size_t eof = bytes.find(kDosEndOfText); eof != std::string_view::npos) {
    t.tail = bytes.substr(eof);
    bytes = bytes.substr(0, eof);
  }
  while (!bytes.empty()) {
    const size_t at = bytes.find_first_of("\r\n");
    DosLine line;
    line.text = bytes.substr(0, at);
    if (at == std::string_view::npos) {
      t.lines.push_back(std::move(line));
      break;
    }
    const size_t endLength = bytes.substr(at, 2) == "\r\n" ? 2 : 1;
    line.end = bytes.substr(at, endLength);
    t.lines.push_back(std::move(line));
    bytes.remove_prefix(at + endLength);
  }
  return t;
}

std::string DosText::bytes() const {
  std::string out = mark;
  for (const DosLine& line : lines) out += line.text + line.end;
  return out + tail;
}

std::string DosText::newLineEnd() const {
  for (const DosLine& line : lines)
    if (!line.end.empty()) return line.end;
  return "\r\n";
}

void DosText::insertLines(size_t at, const std::vector<std::string>& texts) {
  const std::string usual = newLineEnd();
  for (const std::string& text : texts) {
    DosLine line{text, usual};
    const bool lfFollows = at < lines.size() && lines[at].text.empty() && !lines[at].end.empty() &&
                           lines[at].end[0] == '\n';
    const bool crBefore = text.empty() && at > 0 && lines[at - 1].end == "\r";
    if ((line.end == "\r" && lfFollows) || (line.end == "\n" && crBefore)) line.end = "\r\n";
    lines.insert(lines.begin() + long(at++), std::move(line));
  }
}

bool hasControlByte(std::string_view line) {
  for (char c : line)
    if (static_cast<unsigned char>(c) < 0x20 && c != '\t') return true;
  return false;
}

bool isUtf16Text(std::string_view bytes) {
  return bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF";
}

}  // namespace qm
