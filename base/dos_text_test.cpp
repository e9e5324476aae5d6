#include "base/dos_text.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

TEST(DosText, LinesAsDosReadsThemAndTheSameBytesBack) {
  using L = std::vector<DosLine>;
  const std::string longLine(5000, 'x');
  struct Case {
    std::string bytes;
    std::string mark;
    L lines;
    std::string tail;
    std::string newEnd;
  };
  const Case cases[] = {
      {"", "", {}, "", "\r\n"},
      {"A\r\nB\r\n", "", {{"A", "\r\n"}, {"B", "\r\n"}}, "", "\r\n"},
      {"A\rB\rC", "", {{"A", "\r"}, {"B", "\r"}, {"C", ""}}, "", "\r"},
      {"A\nB\r\nC\rD", "", {{"A", "\n"}, {"B", "\r\n"}, {"C", "\r"}, {"D", ""}}, "", "\n"},
      {"A\r\r\nB", "", {{"A", "\r"}, {"", "\r\n"}, {"B", ""}}, "", "\r"},
      {"\n\n", "", {{"", "\n"}, {"", "\n"}}, "", "\n"},
      {"WIN\r\n\x1A", "", {{"WIN", "\r\n"}}, "\x1A", "\r\n"},
      {"WIN\x1A\r\njunk\x1A", "", {{"WIN", ""}}, "\x1A\r\njunk\x1A", "\r\n"},
      {"\x1A", "", {}, "\x1A", "\r\n"},
      {"\xEF\xBB\xBFPATH C:\\DOS\r\n", "\xEF\xBB\xBF", {{"PATH C:\\DOS", "\r\n"}}, "", "\r\n"},
      {"\xEF\xBB\xBF", "\xEF\xBB\xBF", {}, "", "\r\n"},
      {"x\xEF\xBB\xBF\n", "", {{"x\xEF\xBB\xBF", "\n"}}, "", "\n"},  // a mark only at the start
      {std::string("A\0B\r\n", 5), "", {{std::string("A\0B", 3), "\r\n"}}, "", "\r\n"},
      {longLine + "\r\n", "", {{longLine, "\r\n"}}, "", "\r\n"},
  };
  for (const Case& c : cases) {
    const DosText t = DosText::parse(c.bytes);
    EXPECT_EQ(t.mark, c.mark) << c.bytes;
    EXPECT_EQ(t.lines, c.lines) << c.bytes;
    EXPECT_EQ(t.tail, c.tail) << c.bytes;
    EXPECT_EQ(t.newLineEnd(), c.newEnd) << c.bytes;
    EXPECT_EQ(t.bytes(), c.bytes);
    EXPECT_EQ(t.lastLineEnded(), c.lines.empty() || !c.lines.back().end.empty()) << c.bytes;
  }
}

TEST(DosText, InsertedLinesTakeTheFilesLineEndAndReadBackAsLines) {
  struct Case {
    std::string bytes;
    size_t at;
    std::vector<std::string> texts;
    std::string after;
  };
  const Case cases[] = {
      {"A\rWIN\r", 1, {"X", "Y"}, "A\rX\rY\rWIN\r"},
      {"A\nB", 1, {"X"}, "A\nX\nB"},
      {"", 0, {"X"}, "X\r\n"},
      // A CR alone before an empty LF line would join the two into one CR LF.
      {"A\rC\r\n\n\x1A", 2, {"X"}, "A\rC\r\nX\r\n\n\x1A"},
      {"A\rC\r\n\n", 2, {"X", "Y"}, "A\rC\r\nX\r\nY\r\n\n"},
      {"A\n\rB", 1, {""}, "A\n\n\rB"},
      {"A\r\nB\r", 1, {""}, "A\r\n\r\nB\r"},
      {"A\r\r\nB", 1, {""}, "A\r\r\r\nB"},
  };
  for (const Case& c : cases) {
    DosText t = DosText::parse(c.bytes);
    t.insertLines(c.at, c.texts);
    const std::string after = t.bytes();
    EXPECT_EQ(after, c.after) << c.bytes;
    EXPECT_EQ(DosText::parse(after).lines, t.lines) << c.bytes;
  }
}

TEST(DosText, ControlBytesAndUtf16) {
  EXPECT_FALSE(hasControlByte("PATH\tC:\\DOS"));
  EXPECT_TRUE(hasControlByte(std::string("PATH C:\\DOS\0", 12)));
  EXPECT_TRUE(hasControlByte("ECHO \x1B[1m"));
  EXPECT_FALSE(hasControlByte("caf\xE9"));
  EXPECT_TRUE(isUtf16Text("\xFF\xFEP\0"));
  EXPECT_TRUE(isUtf16Text("\xFE\xFF\0P"));
  EXPECT_FALSE(isUtf16Text("\xEF\xBB\xBFP"));
}

}  // namespace
}  // namespace qm
