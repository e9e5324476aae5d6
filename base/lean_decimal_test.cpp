#include "base/lean_decimal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace qm {
namespace {

// The installer reads condition numbers with this in place of std::from_chars: every text must
// give what from_chars gives, value, stop position and error alike.
TEST(LeanDecimal, AgreesWithFromChars) {
  const char* texts[] = {"3.95",   "3.10",  "0",      "-2.5",   "007",  "1e3",   "1E+2x",
                         "2.5e-3", "1e400", "-1e400", "1e-400", ".5",   "5.",    "",
                         "-",      "+1",    " 1",     "x",      "0x1A", "-0x10", "1.2.3",
                         "inf",    "-inf",  "nan",    "1e",     "1e+",  "12abc", "\t2"};
  for (const char* text : texts) {
    double expected = -42, actual = -42;
    const char* end = text + std::strlen(text);
    std::from_chars_result want = std::from_chars(text, end, expected);
    std::from_chars_result got = decimalFromChars(text, end, actual);
    EXPECT_EQ(got.ptr - text, want.ptr - text) << "'" << text << "'";
    EXPECT_EQ(got.ec, want.ec) << "'" << text << "'";
    if (expected == expected)
      EXPECT_EQ(actual, expected) << "'" << text << "'";
    else
      EXPECT_NE(actual, actual) << "'" << text << "'";  // NaN
  }
}

// The installer's strtod reads the words itself and gives numbers to the C library's.
TEST(LeanDecimal, ReadsWordsAsStrtodDoes) {
  const char* texts[] = {"inf",      "-INF",   "Infinity", "  +infinity", "infin",
                         "nan",      "-NaN",   "nan()",    "nan(12ab_)",  "nan(1",
                         "nan(x y)", "\tnanx", "3.95",     " -2.5e3",     "0x1A",
                         "",         "-",      "in",       "1e400",       "x"};
  for (const char* text : texts) {
    char* wantEnd = nullptr;
    char* gotEnd = nullptr;
    double expected = std::strtod(text, &wantEnd);
    double actual =
        readDouble(text, &gotEnd, [](const char* s, char** e) { return std::strtod(s, e); });
    EXPECT_EQ(gotEnd - text, wantEnd - text) << "'" << text << "'";
    if (expected == expected) {
      EXPECT_EQ(actual, expected) << "'" << text << "'";
      EXPECT_EQ(std::signbit(actual), std::signbit(expected)) << "'" << text << "'";
    } else {
      EXPECT_NE(actual, actual) << "'" << text << "'";
    }
  }
  // Only what is not a word reaches the library.
  static int calls = 0;
  auto counting = [](const char* s, char** e) {
    ++calls;
    return std::strtod(s, e);
  };
  readDouble(" -inf", nullptr, counting);
  readDouble("nan", nullptr, counting);
  EXPECT_EQ(calls, 0);
  readDouble("1.5", nullptr, counting);
  EXPECT_EQ(calls, 1);
}

}  // namespace
}  // namespace qm
