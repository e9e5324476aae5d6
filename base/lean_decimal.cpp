#include "base/lean_decimal.h"

#include <cerrno>
#include <cstdlib>
#include <string>

namespace qm {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::from_chars_result decimalFromChars(const char* first, const char* last, double& value) {
  std::string text(first, last);
  // strtod would also take blanks, "+" and "0x..."; from_chars reads "0x1" as 0 and stops at x.
  size_t sign = !text.empty() && text[0] == '-' ? 1 : 0;
  if (text.size() == sign || text[sign] == '+' || text[sign] == ' ' || text[sign] == '\t' ||
      text[sign] == '\n' || text[sign] == '\r' || text[sign] == '\f' || text[sign] == '\v')
    return {first, std::errc::invalid_argument};
  if (text.size() > sign + 1 && text[sign] == '0' &&
      (text[sign + 1] == 'x' || text[sign + 1] == 'X'))
    text.resize(sign + 1);
  if (!isDigit(text[sign]) && text[sign] != '.' && text[sign] != 'i' && text[sign] != 'I' &&
      text[sign] != 'n' && text[sign] != 'N')
    return {first, std::errc::invalid_argument};
  const char* begin = text.c_str();
  char* end = nullptr;
  errno = 0;
  double parsed = std::strtod(begin, &end);
  if (end == begin) return {first, std::errc::invalid_argument};
  const char* stop = first + (end - begin);
  if (errno == ERANGE) return {stop, std::errc::result_out_of_range};
  value = parsed;
  return {stop, std::errc{}};
}

}  // namespace qm

namespace qm {

namespace {

// The length of word at text, ignoring case, or 0.
size_t matchWord(const char* text, const char* word) {
  size_t i = 0;
  for (; word[i]; ++i)
    if ((text[i] | 0x20) != word[i]) return 0;
  return i;
}

}  // namespace

double readDouble(const char* text, char** end, double (*convert)(const char*, char**)) {
  const char* p = text;
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  bool negative = *p == '-';
  if (*p == '-' || *p == '+') ++p;
  double value = 0;
  size_t length = 0;
  if ((length = matchWord(p, "infinity")) || (length = matchWord(p, "inf"))) {
    value = __builtin_inf();
  } else if ((length = matchWord(p, "nan"))) {
    value = __builtin_nan("");
    if (p[length] == '(') {
      size_t i = length + 1;
      while ((p[i] >= '0' && p[i] <= '9') || ((p[i] | 0x20) >= 'a' && (p[i] | 0x20) <= 'z') ||
             p[i] == '_')
        ++i;
      if (p[i] == ')') length = i + 1;
    }
  } else {
    return convert(text, end);
  }
  if (end) *end = const_cast<char*>(p + length);
  return negative ? -value : value;
}

}  // namespace qm
