#include "base/lean_decimal.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace qm {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// An unsigned integer of any size, in 32-bit words from the least significant; only what the
// exact comparison of a decimal number with a rounding boundary needs.
class BigNumber {
 public:
  explicit BigNumber(uint64_t value) {
    while (value) {
      words_.push_back(static_cast<uint32_t>(value));
      value >>= 32;
    }
  }
  void multiplyAdd(uint32_t factor, uint32_t addend) {
    uint64_t carry = addend;
    for (uint32_t& word : words_) {
      carry += static_cast<uint64_t>(word) * factor;
      word = static_cast<uint32_t>(carry);
      carry >>= 32;
    }
    if (carry) words_.push_back(static_cast<uint32_t>(carry));
  }
  void multiplyByPowerOfTen(int exponent) {
    for (; exponent >= 9; exponent -= 9) multiplyAdd(1000000000u, 0);
    static const uint32_t small[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};
    if (exponent > 0) multiplyAdd(small[exponent], 0);
  }
  void shiftLeft(int bits) {
    if (words_.empty() || bits <= 0) return;
    words_.insert(words_.begin(), static_cast<size_t>(bits / 32), 0u);
    if (int rest = bits % 32) {
      uint32_t carry = 0;
      for (uint32_t& word : words_) {
        uint32_t next = word >> (32 - rest);
        word = (word << rest) | carry;
        carry = next;
      }
      if (carry) words_.push_back(carry);
    }
  }
  friend int compare(const BigNumber& a, const BigNumber& b) {
    if (a.words_.size() != b.words_.size()) return a.words_.size() < b.words_.size() ? -1 : 1;
    for (size_t i = a.words_.size(); i-- > 0;)
      if (a.words_[i] != b.words_[i]) return a.words_[i] < b.words_[i] ? -1 : 1;
    return 0;
  }

 private:
  std::vector<uint32_t> words_;
};

// Significant digits beyond these cannot change the rounding of a double; what is dropped is
// stood in for by one non-zero digit.
constexpr size_t kMaxDigits = 780;

// digits x 10^exponent compared with boundary x 2^twoExponent, exactly.
int compareExact(const std::string& digits, int exponent, uint64_t boundary, int twoExponent) {
  BigNumber value(0), bound(boundary);
  for (char c : digits) value.multiplyAdd(10, static_cast<uint32_t>(c - '0'));
  if (exponent >= 0)
    value.multiplyByPowerOfTen(exponent);
  else
    bound.multiplyByPowerOfTen(-exponent);
  if (twoExponent >= 0)
    bound.shiftLeft(twoExponent);
  else
    value.shiftLeft(-twoExponent);
  return compare(value, bound);
}

// The double nearest digits x 10^exponent (digits: no leading or trailing zeros, at least one).
double nearestDouble(const std::string& digits, int exponent, bool& outOfRange) {
  const int magnitude = static_cast<int>(digits.size()) + exponent;  // value < 10^magnitude
  if (magnitude > 310) {
    outOfRange = true;
    return __builtin_inf();
  }
  if (magnitude < -324) {
    outOfRange = true;
    return 0;
  }
  // Few digits and a small power of ten: one correctly rounded operation on exact operands.
  uint64_t leading = 0;
  for (size_t i = 0; i < digits.size() && i < 19; ++i) leading = leading * 10 + (digits[i] - '0');
  static const double powers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                  1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                  1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  if (digits.size() <= 15 && exponent >= -22 && exponent <= 22)
    return exponent >= 0 ? static_cast<double>(leading) * powers[exponent]
                         : static_cast<double>(leading) / powers[-exponent];

  // Otherwise a close guess in extended precision, then corrected against the exact value: it
  // must lie between the midpoints to the neighbours below and above.
  int scale = exponent + static_cast<int>(digits.size() > 19 ? digits.size() - 19 : 0);
  long double guess = static_cast<long double>(leading), power = 1, base = 10;
  for (int n = scale < 0 ? -scale : scale; n; n >>= 1, base *= base)
    if (n & 1) power *= base;
  guess = scale < 0 ? guess / power : guess * power;
  constexpr uint64_t kHidden = uint64_t{1} << 52;
  uint64_t bits;
  if (guess >= static_cast<long double>(__DBL_MAX__)) {
    bits = 0x7FEFFFFFFFFFFFFFull;
  } else {
    double rounded = static_cast<double>(guess);
    std::memcpy(&bits, &rounded, sizeof bits);
    if (bits == 0) bits = 1;
  }
  for (int step = 0; step < 64; ++step) {
    const uint64_t field = bits >> 52, mantissa = (bits & (kHidden - 1)) | (field ? kHidden : 0);
    const int twoExponent = field ? static_cast<int>(field) - 1075 : -1074;
    const int above = compareExact(digits, exponent, 2 * mantissa + 1, twoExponent - 1);
    if (above > 0 || (above == 0 && (mantissa & 1))) {
      if (bits == 0x7FEFFFFFFFFFFFFFull) {
        outOfRange = true;
        return __builtin_inf();
      }
      ++bits;
      continue;
    }
    // The neighbour below is half as far when the mantissa is the smallest of its binade.
    const bool closer = mantissa == kHidden && field > 1;
    const int below = closer ? compareExact(digits, exponent, 4 * mantissa - 1, twoExponent - 2)
                             : compareExact(digits, exponent, 2 * mantissa - 1, twoExponent - 1);
    if (below < 0 || (below == 0 && (mantissa & 1))) {
      if (--bits == 0) {
        outOfRange = true;
        return 0;
      }
      continue;
    }
    break;
  }
  double result;
  std::memcpy(&result, &bits, sizeof result);
  return result;
}

}  // namespace

double decimalToDouble(const char* text, char** end, bool* outOfRange) {
  bool range = false;
  const char* p = text;
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  const bool negative = *p == '-';
  if (*p == '-' || *p == '+') ++p;
  std::string digits;
  long exponent = 0;
  bool anyDigit = false, dropped = false;
  auto take = [&](char c, bool fraction) {
    anyDigit = true;
    if (digits.empty() && c == '0') {
      if (fraction) --exponent;
      return;
    }
    if (digits.size() < kMaxDigits) {
      digits += c;
      if (fraction) --exponent;
    } else {
      dropped |= c != '0';
      if (!fraction) ++exponent;
    }
  };
  for (; isDigit(*p); ++p) take(*p, false);
  if (*p == '.')
    for (++p; isDigit(*p); ++p) take(*p, true);
  if (!anyDigit) {
    if (end) *end = const_cast<char*>(text);
    if (outOfRange) *outOfRange = false;
    return 0;
  }
  if (*p == 'e' || *p == 'E') {
    const char* q = p + 1;
    const bool down = *q == '-';
    if (*q == '-' || *q == '+') ++q;
    if (isDigit(*q)) {
      long written = 0;
      for (; isDigit(*q); ++q)
        if (written < 100000) written = written * 10 + (*q - '0');
      exponent += down ? -written : written;
      p = q;
    }
  }
  if (end) *end = const_cast<char*>(p);
  double value = 0;
  if (!digits.empty()) {
    if (dropped) {
      digits += '1';
      --exponent;
    }
    size_t last = digits.find_last_not_of('0');
    exponent += static_cast<long>(digits.size() - 1 - last);
    digits.resize(last + 1);
    value = exponent > 100000 || exponent < -100000
                ? (range = true, exponent > 0 ? __builtin_inf() : 0.0)
                : nearestDouble(digits, static_cast<int>(exponent), range);
  }
  if (outOfRange) *outOfRange = range;
  return negative ? -value : value;
}

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
  bool outOfRange = false;
  double parsed =
      isDigit(text[sign]) || text[sign] == '.'
          ? decimalToDouble(begin, &end, &outOfRange)
          : readDouble(begin, &end, [](const char* s, char** e) { return decimalToDouble(s, e); });
  if (end == begin) return {first, std::errc::invalid_argument};
  const char* stop = first + (end - begin);
  if (outOfRange) return {stop, std::errc::result_out_of_range};
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
