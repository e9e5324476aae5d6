#include "base/lean_decimal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

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

// The programs' strtod has no C library behind it: every decimal text must give the host's
// correctly rounded result and stop where it stops, hard roundings and range limits included,
// and so must texts made at random.
TEST(LeanDecimal, DecimalToDoubleRoundsAsStrtod) {
  std::vector<std::string> texts = {"3.95",
                                    "0.1",
                                    "  -2.5e3x",
                                    "1e23",
                                    "8.98846567431158e307",
                                    "1.7976931348623157e308",
                                    "1.7976931348623158e308",
                                    "1.7976931348623159e308",
                                    "2.2250738585072011e-308",
                                    "2.2250738585072012e-308",
                                    "4.9406564584124654e-324",
                                    "2.4703282292062327e-324",
                                    "2.4703282292062328e-324",
                                    "1e-400",
                                    "1e400",
                                    "9007199254740993",
                                    "9007199254740992.5",
                                    "0.000000000000000000000000000000000000001e39",
                                    "123456789012345678901234567890e-10",
                                    "7.2057594037927933e16",
                                    "1e-1000000",
                                    "1e1000000",
                                    "0e99999",
                                    "00.00e-5",
                                    "."};
  // A tie spelled out exactly, with digits past the longest kept run: only the last decides.
  texts.push_back("9007199254740993" + std::string(800, '0') + "1e-800");
  texts.push_back("9007199254740993" + std::string(800, '0') + "e-800");
  // The exact midpoints between random doubles and their neighbours above (up to 767 digits),
  // and the texts just beside them: a reader that looks at fewer digits cannot tell them apart.
  std::mt19937_64 random(23);
  for (int i = 0; i < 60; ++i) {
    // Every fourth just below a power of two, where the spacing of doubles halves.
    const uint64_t bits = random() % 0x7FEFFFFFFFFFFFFFull | (i % 4 ? 0 : (uint64_t{1} << 52) - 1);
    const uint64_t field = bits >> 52, fraction = bits & ((uint64_t{1} << 52) - 1);
    const uint64_t odd = 2 * (fraction | (field ? uint64_t{1} << 52 : 0)) + 1;
    int twoExponent = (field ? static_cast<int>(field) - 1075 : -1074) - 1;
    std::vector<int> digits;  // odd x 2^twoExponent = digits x 10^min(twoExponent, 0)
    for (uint64_t v = odd; v; v /= 10) digits.push_back(static_cast<int>(v % 10));
    for (int n = twoExponent < 0 ? -twoExponent : twoExponent; n > 0; --n) {
      int carry = 0;
      for (int& d : digits) {
        d = d * (twoExponent < 0 ? 5 : 2) + carry;
        carry = d / 10;
        d %= 10;
      }
      for (; carry; carry /= 10) digits.push_back(carry % 10);
    }
    std::string tie;
    for (auto d = digits.rbegin(); d != digits.rend(); ++d) tie += static_cast<char>('0' + *d);
    std::string below = tie;  // the last digit of an odd multiple of 5^n or 2^n is never 0
    below.back() = static_cast<char>(below.back() - 1);
    const std::string scale = "e" + std::to_string(std::min(twoExponent, 0) - 4);
    texts.push_back(tie + "0000" + scale);
    texts.push_back(tie + "0001" + scale);
    texts.push_back(below + "9999" + scale);
  }
  for (int i = 0; i < 3000; ++i) {
    std::string text = std::to_string(random() >> (random() % 64));
    text.insert(random() % (text.size() + 1), ".");
    texts.push_back(text + "e" + std::to_string(static_cast<int>(random() % 660) - 340));
  }
  for (const std::string& text : texts) {
    char* wantEnd = nullptr;
    char* gotEnd = nullptr;
    bool outOfRange = false;
    errno = 0;
    const double expected = std::strtod(text.c_str(), &wantEnd);
    const bool expectedRange = errno == ERANGE && (expected == 0 || std::isinf(expected));
    const double actual = decimalToDouble(text.c_str(), &gotEnd, &outOfRange);
    EXPECT_EQ(gotEnd - text.c_str(), wantEnd - text.c_str()) << text;
    EXPECT_EQ(actual, expected) << text;
    EXPECT_EQ(outOfRange, expectedRange) << text;
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
