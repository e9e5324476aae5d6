// Text blocks: the script lines between a screen statement and its end keyword, collected once
// while the script is read and measured for the screen they become.
#pragma once

#include <string>
#include <vector>

#include "ui/ui.h"

namespace qm {

class ScriptReader;

struct TextBlock {
  std::vector<std::string> lines;  // every line in order; "" for an empty line
  int width = 0;                   // W: the widest line in dialog columns, at least 0
  int nonEmptyLines() const;
  int totalLines() const { return static_cast<int>(lines.size()); }
};

// A block line is at most this many characters (the parser's line minus its terminator).
constexpr size_t kMaxBlockLineChars = 998;

// Width of one block line as the screens measure it: extent ÷ base unit − 6.
int blockLineWidth(Ui& ui, const std::string& line, const FontSpec& font);

// Reads lines from reader until one whose first word is endKeyword (not stored) or the end of
// the script. Returns the number of lines consumed, the end line included; -1 when the reader
// reported an error.
int readTextBlock(ScriptReader& reader, Ui& ui, const std::string& endKeyword, const FontSpec& font,
                  TextBlock& block);

}  // namespace qm
