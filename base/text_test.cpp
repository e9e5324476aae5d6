#include "base/text.h"

#include <gtest/gtest.h>

#include <climits>

namespace qm {
namespace {

TEST(Text, CaseRulesTouchOnlyAsciiLetters) {
  EXPECT_TRUE(equalsNoCase("Setup.CFG", "SETUP.cfg"));
  EXPECT_FALSE(equalsNoCase("\xe9", "\xc9"));  // accented letters are not folded
  EXPECT_EQ(findNoCase("c:\\Windows\\System", "WINDOWS"), 3u);
  EXPECT_EQ(findNoCase("abc", "abcd"), std::string_view::npos);
}

TEST(Text, WildcardsFollowWindowsRules) {
  struct Case {
    const char* pattern;
    const char* name;
    bool match;
  } cases[] = {
      {"*.*", "README", true},
      {"*.TXT", "read.me.txt", true},
      {"*.TXT", "readme.doc", false},
      {"A?C.DLL", "abc.dll", true},
      {"A?C.DLL", "ac.dll", false},
      {"ABC??.*", "ABC.X", true},
      {"*.", "NOEXT", true},
      {"*.", "HAS.EXT", false},
      {"*", "x.y", true},
      {"DATA*.BIN", "data17.bin", true},
      {"DATA*.BIN", "dat.bin", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(wildcardMatch(c.pattern, c.name), c.match) << c.pattern << " vs " << c.name;
}

TEST(Text, PathPiecesAndLineEnds) {
  EXPECT_EQ(directoryPart("A:\\DISK1\\README.TXT"), "A:\\DISK1\\");
  EXPECT_EQ(fileNamePart("A:README.TXT"), "README.TXT");
  EXPECT_EQ(withTrailingBackslash("C:\\APP"), "C:\\APP\\");
  EXPECT_EQ(toCrLf("a\nb\n"), "a\r\nb\r\n");
  EXPECT_EQ(fromCrLf("a\r\nb\r\n\r"), "a\nb\n\r");
  EXPECT_EQ(parseLeadingInt("  -42abc"), -42);
  EXPECT_EQ(parseLeadingInt("x1"), 0);
  // Runs too long for any count saturate instead of wrapping around.
  EXPECT_GE(parseLeadingInt("99999999999999999999"), INT_MAX);
  EXPECT_LE(parseLeadingInt("-99999999999999999999"), INT_MIN);
}

}  // namespace
}  // namespace qm
