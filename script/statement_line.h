// The cursor over one script line and its argument readers. Readers never report errors: a
// missing argument comes back empty, 0 or -1 and the statement's owner decides what it means.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "script/macros.h"

namespace qm {

struct Colour {
  uint8_t red = 0, green = 0, blue = 0;
  uint32_t value() const { return red + green * 256u + blue * 65536u; }
  friend bool operator==(const Colour&, const Colour&) = default;
};

class StatementLine {
 public:
  // macros may be null: leading macros then expand to nothing.
  explicit StatementLine(const MacroValues* macros = nullptr) : macros_(macros) {}

  void load(std::string_view text);  // at most kMaxLineChars kept; position 0
  void reset() { position_ = 0; }
  bool atEnd() const { return position_ >= text_.size(); }
  void skipSeparators();
  void skipConditionSeparators();
  std::string readWord();
  std::string readConditionWord();
  std::string readQuoted();
  // The quoted text's length, or -1 when the next argument does not start with a double quote.
  int readQuotedLength(std::string& out);
  std::string readParenthesised();
  std::string readKeyword();
  bool takeEquals();
  int lineLength() const { return static_cast<int>(text_.size()); }
  int readNumber();

  const std::string& text() const { return text_; }
  size_t position() const { return position_; }
  void setPosition(size_t p) { position_ = p < text_.size() ? p : text_.size(); }
  // The character at the position, or 0 at the end.
  char peek() const { return atEnd() ? '\0' : text_[position_]; }
  // The unread rest of the line.
  std::string_view rest() const { return std::string_view(text_).substr(position_); }
  void setMacros(const MacroValues* macros) { macros_ = macros; }

 private:
  void replaceLeadingMacro();
  std::string text_;
  size_t position_ = 0;
  const MacroValues* macros_;
};

// A colour given by name or as "red,green,blue"; an unknown name leaves colour unchanged.
void parseColour(std::string_view text, Colour& colour);

}  // namespace qm
