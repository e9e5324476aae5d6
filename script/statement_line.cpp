#include "script/statement_line.h"

#include <climits>

#include "base/text.h"

namespace qm {

namespace {

bool isPlainSeparator(char c) {
  return c == '\t' || c == '\n' || c == '\r' || c == ' ' || c == ',';
}

bool isConditionSeparator(char c) { return isPlainSeparator(c) || c == '(' || c == ')'; }

bool isAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool isAsciiDigit(char c) { return c >= '0' && c <= '9'; }

// Words handed to readNumber are cut to this length, as its 80-byte buffer holds.
constexpr size_t kNumberWordChars = 79;

struct ReadingMacro {
  const char* name;
  std::string MacroValues::*value;
};

// Only these are known while the script is read; the order is the order they are tried in.
constexpr ReadingMacro kReadingMacros[] = {
    {"$LOCATEDIR$", &MacroValues::locateDir},
    {"$WINHELPDIR$", &MacroValues::winHelpDir},
    {"$LOCATEDRIVE$", &MacroValues::locateDrive},
    {"$SYSTEM$", &MacroValues::system},
    {"$SYS2$", &MacroValues::sys2},
    {"$SYS3$", &MacroValues::sys3},
    {"$SOURCEDIR$", &MacroValues::sourceDir},
};

struct NamedColour {
  const char* name;
  Colour colour;
};

constexpr NamedColour kColourNames[] = {
    {"Black", {0, 0, 0}},      {"Blue", {0, 0, 255}},      {"Green", {0, 255, 0}},
    {"Cyan", {0, 255, 255}},   {"Red", {255, 0, 0}},       {"Magenta", {255, 0, 255}},
    {"Yellow", {255, 255, 0}}, {"White", {255, 255, 255}},
};

}  // namespace

void StatementLine::load(std::string_view text) {
  // A NUL ends a line, as it would in the installer's fixed buffer.
  size_t end = text.find('\0');
  if (end == std::string_view::npos) end = text.size();
  if (end > kMaxLineChars) end = kMaxLineChars;
  text_.assign(text.substr(0, end));
  position_ = 0;
}

void StatementLine::skipSeparators() {
  while (position_ < text_.size() && isPlainSeparator(text_[position_])) ++position_;
}

void StatementLine::skipConditionSeparators() {
  while (position_ < text_.size() && isConditionSeparator(text_[position_])) ++position_;
}

void StatementLine::replaceLeadingMacro() {
  std::string_view unread = rest();
  for (const ReadingMacro& macro : kReadingMacros) {
    std::string_view name = macro.name;
    if (!startsWithNoCase(unread, name)) continue;
    std::string value = macros_ ? macros_->*macro.value : std::string();
    std::string rebuilt = text_.substr(0, position_);
    rebuilt += value;
    rebuilt += unread.substr(name.size());
    // The line stays within its buffer whatever the macro's value.
    if (rebuilt.size() > kMaxLineChars) rebuilt.resize(kMaxLineChars);
    text_ = std::move(rebuilt);
    return;
  }
}

std::string StatementLine::readWord() {
  skipSeparators();
  replaceLeadingMacro();
  size_t start = position_;
  while (position_ < text_.size() && !isPlainSeparator(text_[position_]) && text_[position_] != '=')
    ++position_;
  std::string out = text_.substr(start, position_ - start);
  skipSeparators();
  return out;
}

std::string StatementLine::readConditionWord() {
  skipConditionSeparators();
  replaceLeadingMacro();
  size_t start = position_;
  while (position_ < text_.size() && !isConditionSeparator(text_[position_]) &&
         text_[position_] != '=')
    ++position_;
  std::string out = text_.substr(start, position_ - start);
  skipConditionSeparators();
  return out;
}

std::string StatementLine::readQuoted() {
  skipSeparators();
  if (peek() != '"') return {};
  ++position_;
  replaceLeadingMacro();
  std::string out;
  while (position_ < text_.size()) {
    char c = text_[position_];
    if (c == '"') {
      if (position_ + 1 < text_.size() && text_[position_ + 1] == '"') {
        out += '"';
        position_ += 2;
        continue;
      }
      ++position_;
      skipSeparators();
      return out;
    }
    out += c;
    ++position_;
  }
  // Unterminated: nothing is returned and the reader stands at the end of the line.
  return {};
}

int StatementLine::readQuotedLength(std::string& out) {
  skipSeparators();
  if (peek() != '"') {
    out.clear();
    return -1;
  }
  out = readQuoted();
  return static_cast<int>(out.size());
}

std::string StatementLine::readParenthesised() {
  skipSeparators();
  if (peek() != '(') return {};
  size_t close = text_.find(')', position_ + 1);
  if (close == std::string::npos) {
    position_ = text_.size();
    return {};
  }
  std::string out = text_.substr(position_ + 1, close - position_ - 1);
  position_ = close + 1;
  skipSeparators();
  return out;
}

std::string StatementLine::readKeyword() {
  skipSeparators();
  if (!isAsciiLetter(peek())) return {};
  size_t start = position_;
  while (position_ < text_.size() &&
         (isAsciiLetter(text_[position_]) || isAsciiDigit(text_[position_])))
    ++position_;
  std::string out = text_.substr(start, position_ - start);
  while (position_ < text_.size() &&
         (isPlainSeparator(text_[position_]) || text_[position_] == ':'))
    ++position_;
  return out;
}

bool StatementLine::takeEquals() {
  if (peek() != '=') return false;
  ++position_;
  return true;
}

int StatementLine::readNumber() {
  std::string word = readWord();
  if (word.size() > kNumberWordChars) word.resize(kNumberWordChars);
  long value = parseLeadingInt(word);
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

void parseColour(std::string_view text, Colour& colour) {
  if (text.find(',') != std::string_view::npos) {
    StatementLine numbers;
    numbers.load(text);
    colour.red = static_cast<uint8_t>(numbers.readNumber() & 0xFF);
    colour.green = static_cast<uint8_t>(numbers.readNumber() & 0xFF);
    colour.blue = static_cast<uint8_t>(numbers.readNumber() & 0xFF);
    return;
  }
  for (const NamedColour& named : kColourNames) {
    if (equalsNoCase(text, named.name)) {
      colour = named.colour;
      return;
    }
  }
}

}  // namespace qm
