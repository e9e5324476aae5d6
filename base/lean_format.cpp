#include "base/lean_format.h"

#include <cstdint>
#include <cstring>

namespace qm {

namespace {

// Counts every character the full text would have and stores those that fit, leaving room for
// the terminating zero, as vsnprintf does.
struct Output {
  char* out;
  size_t size;
  size_t length = 0;

  void put(char c) {
    if (length + 1 < size) out[length] = c;
    ++length;
  }
  void repeat(char c, int count) {
    for (int i = 0; i < count; ++i) put(c);
  }
};

}  // namespace

int formatToBuffer(char* out, size_t size, const char* format, va_list args) {
  Output o{out, size};
  va_list ap;
  va_copy(ap, args);
  bool failed = false;
  for (const char* p = format; *p && !failed; ++p) {
    if (*p != '%') {
      o.put(*p);
      continue;
    }
    ++p;
    bool left = false, plus = false, space = false, zero = false, alternate = false;
    for (;; ++p) {
      if (*p == '-')
        left = true;
      else if (*p == '+')
        plus = true;
      else if (*p == ' ')
        space = true;
      else if (*p == '0')
        zero = true;
      else if (*p == '#')
        alternate = true;
      else
        break;
    }
    int width = 0;
    if (*p == '*') {
      width = va_arg(ap, int);
      if (width < 0) left = true, width = -width;
      ++p;
    } else {
      while (*p >= '0' && *p <= '9') width = width * 10 + (*p++ - '0');
    }
    int precision = -1;
    if (*p == '.') {
      ++p;
      precision = 0;
      if (*p == '*') {
        precision = va_arg(ap, int);
        ++p;
      } else {
        while (*p >= '0' && *p <= '9') precision = precision * 10 + (*p++ - '0');
      }
    }
    int longs = 0;  // 0 int, 1 long, 2 long long, -1 short, -2 char, 3 size_t-like
    for (;; ++p) {
      if (*p == 'l')
        longs = longs == 1 ? 2 : 1;
      else if (*p == 'h')
        longs = longs == -1 ? -2 : -1;
      else if (*p == 'z' || *p == 'j' || *p == 't')
        longs = *p == 'j' ? 2 : 3;
      else
        break;
    }
    char conversion = *p;
    if (conversion == '%') {
      o.put('%');
      continue;
    }
    if (conversion == 'c' || conversion == 's') {
      char one = 0;
      const char* text = &one;
      size_t length = 1;
      if (conversion == 'c') {
        one = static_cast<char>(va_arg(ap, int));
      } else {
        text = va_arg(ap, const char*);
        if (!text) text = "(null)";
        length = precision < 0 ? std::strlen(text) : strnlen(text, size_t(precision));
      }
      int pad = width > int(length) ? width - int(length) : 0;
      if (!left) o.repeat(' ', pad);
      for (size_t i = 0; i < length; ++i) o.put(text[i]);
      if (left) o.repeat(' ', pad);
      continue;
    }
    bool isSigned = conversion == 'd' || conversion == 'i';
    unsigned base = conversion == 'x' || conversion == 'X' ? 16 : conversion == 'o' ? 8 : 10;
    if (!isSigned && conversion != 'u' && base == 10) {
      failed = true;  // a conversion the installer never formats
      break;
    }
    uint64_t magnitude = 0;
    bool negative = false;
    if (isSigned) {
      int64_t v = longs == 2   ? va_arg(ap, long long)
                  : longs == 1 ? va_arg(ap, long)
                  : longs == 3 ? int64_t(va_arg(ap, ptrdiff_t))
                               : int64_t(va_arg(ap, int));
      if (longs == -1) v = static_cast<short>(v);
      if (longs == -2) v = static_cast<signed char>(v);
      negative = v < 0;
      magnitude = negative ? 0 - uint64_t(v) : uint64_t(v);
    } else {
      magnitude = longs == 2   ? va_arg(ap, unsigned long long)
                  : longs == 1 ? va_arg(ap, unsigned long)
                  : longs == 3 ? uint64_t(va_arg(ap, size_t))
                               : uint64_t(va_arg(ap, unsigned));
      if (longs == -1) magnitude = static_cast<unsigned short>(magnitude);
      if (longs == -2) magnitude = static_cast<unsigned char>(magnitude);
    }
    char digits[24];
    int count = 0;
    const char* set = conversion == 'X' ? "0123456789ABCDEF" : "0123456789abcdef";
    for (uint64_t v = magnitude; v; v /= base) digits[count++] = set[v % base];
    if (precision < 0 && magnitude == 0) digits[count++] = '0';
    int zeros = precision > count ? precision - count : 0;
    // The alternate octal form shows a leading zero, the hexadecimal one 0x before a nonzero value.
    if (alternate && base == 8 && zeros == 0 && (count == 0 || digits[count - 1] != '0')) zeros = 1;
    const char* prefix = negative ? "-" : !isSigned ? "" : plus ? "+" : space ? " " : "";
    if (alternate && base == 16 && magnitude != 0) prefix = conversion == 'X' ? "0X" : "0x";
    int prefixLength = int(std::strlen(prefix));
    int length = prefixLength + zeros + count;
    int pad = width > length ? width - length : 0;
    if (zero && !left && precision < 0) zeros += pad, pad = 0;
    if (!left) o.repeat(' ', pad);
    for (int i = 0; i < prefixLength; ++i) o.put(prefix[i]);
    o.repeat('0', zeros);
    while (count) o.put(digits[--count]);
    if (left) o.repeat(' ', pad);
  }
  va_end(ap);
  if (size) out[o.length < size ? o.length : size - 1] = '\0';
  return failed ? -1 : int(o.length);
}

}  // namespace qm
