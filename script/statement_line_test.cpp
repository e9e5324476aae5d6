#include "script/statement_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qm {
namespace {

MacroValues sampleMacros() {
  MacroValues m;
  m.sourceDir = "A:\\DISK1";
  m.winHelpDir = "C:\\WINDOWS\\help";
  m.system = "opt";
  m.sys2 = "two";
  m.sys3 = "";
  return m;
}

// Reads words until the line ends (or a word comes back empty without progress).
std::vector<std::string> allWords(StatementLine& line) {
  std::vector<std::string> words;
  for (line.skipSeparators(); !line.atEnd();) {
    size_t before = line.position();
    words.push_back(line.readWord());
    if (line.position() == before) break;
  }
  return words;
}

TEST(StatementLineWord, SeparatorsAndStopCharacters) {
  struct Case {
    const char* text;
    std::vector<std::string> words;
  };
  const Case cases[] = {
      {"A,B", {"A", "B"}},
      {"A , B", {"A", "B"}},
      {"  A\tB\r\n", {"A", "B"}},
      {",,,A,,,B,,,", {"A", "B"}},
      {"", {}},
      {" , \t", {}},
      {"C:\\DIR\\FILE.EXE /X", {"C:\\DIR\\FILE.EXE", "/X"}},
      {"(a)", {"(a)"}},  // parentheses are ordinary in plain words
  };
  for (const Case& c : cases) {
    StatementLine line;
    line.load(c.text);
    EXPECT_EQ(allWords(line), c.words) << c.text;
  }
}

TEST(StatementLineWord, EqualsEndsWordAndIsLeftForTakeEquals) {
  StatementLine line;
  line.load("Begin=\"x\"");
  EXPECT_EQ(line.readWord(), "Begin");
  EXPECT_EQ(line.peek(), '=');
  EXPECT_TRUE(line.takeEquals());
  EXPECT_FALSE(line.takeEquals());
  EXPECT_EQ(line.readQuoted(), "x");
  EXPECT_TRUE(line.atEnd());

  line.load("key = value");
  EXPECT_EQ(line.readWord(), "key");
  EXPECT_TRUE(line.takeEquals());
  EXPECT_EQ(line.readWord(), "value");
}

TEST(StatementLineWord, ConditionWordsSplitAtParentheses) {
  StatementLine line;
  line.load("memory(4096)");
  EXPECT_EQ(line.readConditionWord(), "memory");
  EXPECT_EQ(line.readConditionWord(), "4096");
  EXPECT_TRUE(line.atEnd());

  line.load("a>=(b)");
  EXPECT_EQ(line.readConditionWord(), "a>");
  EXPECT_TRUE(line.takeEquals());
  EXPECT_EQ(line.readConditionWord(), "b");
}

TEST(StatementLineQuoted, Table) {
  struct Case {
    const char* text;
    const char* out;
    int length;             // readQuotedLength
    const char* restAfter;  // what readQuoted leaves unread
  };
  const Case cases[] = {
      {"\"abc\" next", "abc", 3, "next"},
      {"  ,\"a b,c\"", "a b,c", 5, ""},
      {"\"say \"\"hi\"\"\"", "say \"hi\"", 8, ""},
      {"\"\"\"\"", "\"", 1, ""},
      {"\"\"", "", 0, ""},
      {"\"C:\\DIR\\\" x", "C:\\DIR\\", 7, "x"},  // backslashes are ordinary
      {"\"abc", "", 0, ""},                      // unterminated: empty, at the end
      {"word \"q\"", "", -1, "word \"q\""},      // not quoted: only separators consumed
      {"", "", -1, ""},
  };
  for (const Case& c : cases) {
    StatementLine line;
    line.load(c.text);
    EXPECT_EQ(line.readQuoted(), c.out) << c.text;
    EXPECT_EQ(line.rest(), c.restAfter) << c.text;

    line.load(c.text);
    std::string out = "stale";
    EXPECT_EQ(line.readQuotedLength(out), c.length) << c.text;
    EXPECT_EQ(out, c.out) << c.text;
  }
}

TEST(StatementLineParenthesised, Table) {
  struct Case {
    const char* text;
    const char* out;
    const char* restAfter;
  };
  const Case cases[] = {
      {"(255, 0, 0) x", "255, 0, 0", "x"},
      {" ,(a(b)c)", "a(b", "c)"},  // no nesting
      {"()", "", ""},
      {"(255,0", "", ""},          // unclosed: empty
      {"red (1)", "", "red (1)"},  // not a parenthesis: nothing consumed but separators
  };
  for (const Case& c : cases) {
    StatementLine line;
    line.load(c.text);
    EXPECT_EQ(line.readParenthesised(), c.out) << c.text;
    EXPECT_EQ(line.rest(), c.restAfter) << c.text;
  }
}

TEST(StatementLineKeyword, Table) {
  struct Case {
    const char* text;
    const char* keyword;
    const char* restAfter;
  };
  const Case cases[] = {
      {"FILE: \"a.exe\"", "FILE", "\"a.exe\""},
      {"FILE \"a.exe\"", "FILE", "\"a.exe\""},
      {"  ASK1\"x\"", "ASK1", "\"x\""},
      {"file::,: x", "file", "x"},
      {"3D=1", "", "3D=1"},
      {"; comment", "", "; comment"},
      {"", "", ""},
      {"REM-this", "REM", "-this"},
      {"\xC9T\xC9 x", "", "\xC9T\xC9 x"},  // only the letters A to Z begin a keyword
  };
  for (const Case& c : cases) {
    StatementLine line;
    line.load(c.text);
    EXPECT_EQ(line.readKeyword(), c.keyword) << c.text;
    EXPECT_EQ(line.rest(), c.restAfter) << c.text;
  }
}

TEST(StatementLineNumber, Table) {
  struct Case {
    const char* text;
    int value;
  };
  const Case cases[] = {
      {"42", 42}, {"-7", -7}, {"+5 x", 5}, {"12abc", 12},
      {"abc", 0}, {"", 0},    {"0x10", 0}, {"99999999999999999999", 2147483647},
  };
  for (const Case& c : cases) {
    StatementLine line;
    line.load(c.text);
    EXPECT_EQ(line.readNumber(), c.value) << c.text;
  }
  StatementLine line;
  line.load("1 2,3");
  EXPECT_EQ(line.readNumber(), 1);
  EXPECT_EQ(line.readNumber(), 2);
  EXPECT_EQ(line.readNumber(), 3);
  EXPECT_EQ(line.readNumber(), 0);
}

TEST(StatementLineMacro, LeadingReadingMacrosAreReplacedInTheLine) {
  MacroValues macros = sampleMacros();
  struct Case {
    const char* text;
    const char* word;    // readWord
    const char* quoted;  // readQuoted on the same argument quoted
  };
  const Case cases[] = {
      {"$SOURCEDIR$\\SETUP.INI", "A:\\DISK1\\SETUP.INI", "A:\\DISK1\\SETUP.INI"},
      {"$sourcedir$\\x", "A:\\DISK1\\x", "A:\\DISK1\\x"},
      {"X$SOURCEDIR$", "X$SOURCEDIR$", "X$SOURCEDIR$"},  // only at the very start
      {"$WINHELPDIR$", "C:\\WINDOWS\\help", "C:\\WINDOWS\\help"},
      {"$LOCATEDIR$\\a", "C:\\NEWFILES\\a", "C:\\NEWFILES\\a"},
      {"$LOCATEDRIVE$:", "C:", "C:"},
      {"$SYSTEM$$SYS2$", "opt$SYS2$", "opt$SYS2$"},   // one macro only
      {"$SYS3$rest", "rest", "rest"},                 // an empty value gives nothing
      {"$WINDIR$\\x", "$WINDIR$\\x", "$WINDIR$\\x"},  // not known while reading
      {"$DEFAULTDIR$", "$DEFAULTDIR$", "$DEFAULTDIR$"},
  };
  for (const Case& c : cases) {
    StatementLine line(&macros);
    line.load(std::string("KEY ") + c.text + " tail");
    line.readKeyword();
    EXPECT_EQ(line.readWord(), c.word) << c.text;
    EXPECT_EQ(line.readWord(), "tail") << c.text;

    line.load(std::string("\"") + c.text + "\" tail");
    EXPECT_EQ(line.readQuoted(), c.quoted) << c.text;
    EXPECT_EQ(line.readWord(), "tail") << c.text;
  }
}

TEST(StatementLineLimits, NeverHoldsMoreThanALine) {
  MacroValues macros;
  macros.sourceDir = std::string(600, 'S');
  StatementLine line(&macros);
  std::string text = "$SOURCEDIR$" + std::string(900, 'x');
  line.load(text);
  EXPECT_EQ(line.lineLength(), static_cast<int>(text.size()));
  std::string word = line.readWord();
  EXPECT_EQ(word.size(), kMaxLineChars);
  EXPECT_EQ(line.lineLength(), static_cast<int>(kMaxLineChars));
  EXPECT_TRUE(line.atEnd());

  line.load(std::string(5000, 'y'));
  EXPECT_EQ(line.lineLength(), static_cast<int>(kMaxLineChars));

  line.load(std::string("AB\0CD", 5));  // a NUL ends the line
  EXPECT_EQ(line.text(), "AB");
}

TEST(Colour, NamesAndNumbers) {
  struct Case {
    const char* text;
    Colour expected;
  };
  const Colour start{1, 2, 3};
  const Case cases[] = {
      {"red", {255, 0, 0}},
      {"RED", {255, 0, 0}},
      {"Cyan", {0, 255, 255}},
      {"black", {0, 0, 0}},
      {"Magenta", {255, 0, 255}},
      {"Orange", start},
      {"", start},
      {"0,128,255", {0, 128, 255}},
      {"300,0,0", {44, 0, 0}},
      {"255,0", {255, 0, 0}},
      {"-1, 256, 7", {255, 0, 7}},
      {"a,b,c", {0, 0, 0}},
  };
  for (const Case& c : cases) {
    Colour colour = start;
    parseColour(c.text, colour);
    EXPECT_EQ(colour, c.expected) << c.text;
  }
  EXPECT_EQ((Colour{1, 2, 3}.value()), 1u + 2u * 256 + 3u * 65536);
}

}  // namespace
}  // namespace qm
