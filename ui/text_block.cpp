#include "ui/text_block.h"

#include "base/text.h"
#include "script/script_reader.h"

namespace qm {
namespace {

bool isPlainSeparator(char c) {
  return c == '\t' || c == '\n' || c == '\r' || c == ' ' || c == ',';
}
bool isAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace

int TextBlock::nonEmptyLines() const {
  int n = 0;
  for (const std::string& line : lines) n += line.empty() ? 0 : 1;
  return n;
}

int blockLineWidth(Ui& ui, const std::string& line, const FontSpec& font) {
  int base = ui.dialogBaseUnitX();
  if (base <= 0) base = 1;
  return ui.textExtent(line, font) / base - 6;
}

int readTextBlock(ScriptReader& reader, Ui& ui, const std::string& endKeyword, const FontSpec& font,
                  TextBlock& block) {
  block = {};
  int consumed = 0;
  std::string line;
  for (;;) {
    int got = reader.nextScriptLine(line);
    if (got == 0) break;  // no end keyword: the rest of the script is the block
    if (got == -1) return -1;
    ++consumed;
    if (got == -2) continue;
    if (line.size() > kMaxBlockLineChars) line.resize(kMaxBlockLineChars);
    size_t start = 0;
    while (start < line.size() && isPlainSeparator(line[start])) ++start;
    if (start == line.size()) {
      block.lines.emplace_back();
      continue;
    }
    size_t end = start;
    while (end < line.size() && isAsciiLetter(line[end])) ++end;
    if (end > start && equalsNoCase(std::string_view(line).substr(start, end - start), endKeyword))
      break;
    int width = blockLineWidth(ui, line, font);
    if (width > block.width) block.width = width;
    block.lines.push_back(line);
  }
  return consumed;
}

}  // namespace qm
