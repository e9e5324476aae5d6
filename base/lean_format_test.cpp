#include "base/lean_format.h"

#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

namespace qm {
namespace {

std::string lean(size_t size, const char* format, ...) {
  char buffer[128];
  std::memset(buffer, '#', sizeof buffer);
  va_list args;
  va_start(args, format);
  int n = formatToBuffer(buffer, size, format, args);
  va_end(args);
  return std::to_string(n) + "|" + std::string(buffer, buffer + sizeof buffer);
}

std::string library(size_t size, const char* format, ...) {
  char buffer[128];
  std::memset(buffer, '#', sizeof buffer);
  va_list args;
  va_start(args, format);
  int n = std::vsnprintf(buffer, size, format, args);
  va_end(args);
  return std::to_string(n) + "|" + std::string(buffer, buffer + sizeof buffer);
}

// The installer formats with this in place of the C library: the text, the count and what is left
// of the buffer must be the library's.
TEST(LeanFormat, AgreesWithTheLibrary) {
  struct Case {
    const char* format;
    long long value;
  };
  const Case ints[] = {{"%d", 0},
                       {"%d", -1},
                       {"%d", 2147483647},
                       {"%d", -2147483647 - 1},
                       {"%3d%%", 7},
                       {"%3d%%", 100},
                       {"%08d.bak", 42},
                       {"%08d.bak", -42},
                       {"%-5d|", 3},
                       {"%+d", 5},
                       {"% d", 5},
                       {"%+05d", -5},
                       {"%.3d", 7},
                       {"%.0d", 0},
                       {"%5.3d", -7},
                       {"%-08d|", 9},
                       {"%x", 255},
                       {"%X", 48879},
                       {"%#x", 255},
                       {"%#X", 0},
                       {"%08x", 4660},
                       {"%o", 8},
                       {"%#o", 8},
                       {"%#o", 0},
                       {"%u", 4000000000LL},
                       {"%i", -12},
                       {"%hd", 70000},
                       {"%hhu", 300},
                       {"%c", 'A'},
                       {"%5c|", 'z'},
                       {"%-3c|", 'q'},
                       {"a%%b%d", 1}};
  for (const Case& c : ints) {
    for (size_t size : {size_t(128), size_t(4), size_t(1), size_t(0)}) {
      EXPECT_EQ(lean(size, c.format, int(c.value)), library(size, c.format, int(c.value)))
          << c.format << " " << c.value << " size " << size;
    }
  }
  const long long wide[] = {0, -1, 9223372036854775807LL, -9223372036854775807LL - 1,
                            1234567890123LL};
  for (long long v : wide) {
    EXPECT_EQ(lean(128, "%lld", v), library(128, "%lld", v)) << v;
    EXPECT_EQ(lean(128, "%llx", v), library(128, "%llx", v)) << v;
    EXPECT_EQ(lean(128, "%ld", long(v)), library(128, "%ld", long(v))) << v;
    EXPECT_EQ(lean(128, "%zu", size_t(v)), library(128, "%zu", size_t(v))) << v;
  }
  const char* texts[] = {"", "abc", "a longer text than the buffer"};
  for (const char* t : texts) {
    for (const char* f : {"%s", "[%10s]", "[%-10s]", "[%.2s]", "[%5.1s]"}) {
      for (size_t size : {size_t(128), size_t(8), size_t(1)})
        EXPECT_EQ(lean(size, f, t), library(size, f, t)) << f << " " << t << " size " << size;
    }
  }
  EXPECT_EQ(lean(128, "%*d|%-*d|%.*d", 5, 1, 4, 2, 3, 3),
            library(128, "%*d|%-*d|%.*d", 5, 1, 4, 2, 3, 3));
  EXPECT_EQ(lean(128, "%*d|", -6, 12), library(128, "%*d|", -6, 12));
  EXPECT_EQ(lean(128, "%d.%d", 3, 95), library(128, "%d.%d", 3, 95));
}

TEST(LeanFormat, RefusesFloatingPoint) {
  // A conversion it cannot do is an error, not a silently wrong text.
  EXPECT_EQ(lean(16, "%f", 1.5).substr(0, 3), "-1|");
  EXPECT_EQ(lean(16, "ab%g", 1.5).substr(0, 6), std::string("-1|ab\0", 6));
}

}  // namespace
}  // namespace qm
