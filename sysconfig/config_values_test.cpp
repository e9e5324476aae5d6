#include "sysconfig/config_values.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

TEST(ConfigValues, ShareOptionValues) {
  struct Case {
    const char* text;
    int files, locks;
  } cases[] = {
      {"/F:2048 /L:40", 2048, 40},
      {"/f: 2048 /l:  40", 2048, 40},
      {"/L:20", 0, 20},
      {"c:\\dos\\share.exe /F:4096", 4096, 0},
      {"", 0, 0},
      {"/F:x /L:", 0, 0},
      {"/F:99999999999", 2147483647, 0},
  };
  for (const Case& c : cases) {
    const ShareValues v = readShareValues(c.text);
    EXPECT_EQ(v.files, c.files) << c.text;
    EXPECT_EQ(v.locks, c.locks) << c.text;
  }
}

TEST(ConfigValues, UnsignedNumbersReadLikeStrtoul) {
  struct Case {
    const char* text;
    int base;
    uint32_t value;
  } cases[] = {
      {"10", 0, 10},
      {"0x30", 0, 48},
      {"0X1f", 0, 31},
      {"017", 0, 15},
      {"08", 0, 0},
      {"  42abc", 0, 42},
      {"+7", 0, 7},
      {"-1", 0, 0xFFFFFFFFu},
      {"4294967295", 0, 0xFFFFFFFFu},
      {"4294967296", 0, 0xFFFFFFFFu},
      {"-4294967296", 0, 0xFFFFFFFFu},
      {"0x", 0, 0},
      {"abc", 0, 0},
      {"", 0, 0},
      {"101", 2, 5},
      {"1012", 2, 5},
      {"11111111", 2, 255},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(readUnsigned32(c.text, c.base), c.value) << c.text << " base " << c.base;
  }
}

TEST(ConfigValues, BinaryDigitsGroupedByEight) {
  struct Case {
    const char* text;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {"0100000101000010", {0x41, 0x42}},
      {"0100000100000000", {0x41, 0x00}},  // a zero byte is kept, not an end
      {"111111111", {0xFF, 0x01}},         // a shorter last group is a byte of its own
      {"1", {0x01}},
      {"00000002", {0x00}},  // digits stop at the first non-binary character
      {"", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(convertBinaryDigits(c.text), c.bytes) << c.text;
}

TEST(ConfigValues, RegistryNamesMatchWholeWordsInAnyCase) {
  EXPECT_EQ(findRegistryRoot("hkey_local_machine"), RegistryRoot::LocalMachine);
  EXPECT_EQ(static_cast<uint32_t>(*findRegistryRoot("HKEY_DYN_DATA")), 0x80000006u);
  EXPECT_FALSE(findRegistryRoot("HKLM").has_value());
  EXPECT_FALSE(findRegistryRoot("HKEY_LOCAL_MACHINEX").has_value());
  struct Type {
    const char* word;
    uint32_t type;
  } types[] = {{"string", kRegSz},
               {"BINARY", kRegBinary},
               {"Dword", kRegDword},
               {"REG_DWORD_BIG_ENDIAN", kRegDwordBigEndian},
               {"REG_DWORD_BIG", 0},
               {"TEXT", 0},
               {"", 0},
               {"REG_QWORD", 0}};
  for (const Type& t : types) EXPECT_EQ(findRegistryType(t.word), t.type) << t.word;
}

TEST(ConfigValues, ReplaceAllDoesNotRescanInsertedText) {
  struct Case {
    const char* text;
    const char* value;
    const char* result;
  } cases[] = {
      {"$SEARCH$", "12", "12"},
      {"line $search$ and $SEARCH$", "7", "line 7 and 7"},
      {"$SEARCH$-$Search$", "$SEARCH$", "$SEARCH$-$SEARCH$"},
      {"no token", "1", "no token"},
      {"$SEARCH$$SEARCH$", "", ""},
  };
  for (const Case& c : cases) {
    std::string text = c.text;
    replaceAllNoCase(text, "$SEARCH$", c.value);
    EXPECT_EQ(text, c.result) << c.text;
  }
}

TEST(ConfigValues, RequiredQuotedArgument) {
  struct Case {
    const char* line;
    bool present;
    const char* text;
  } cases[] = {
      {"\"abc\" rest", true, "abc"},
      {" ,\"\"", true, ""},
      {"\"\"\"\"", true, "\""},
      {"abc", false, ""},
      {"\"abc", false, ""},
      {"\"\"\"", false, ""},
      {"", false, ""},
  };
  for (const Case& c : cases) {
    StatementLine line;
    line.load(c.line);
    std::string out = "stale";
    EXPECT_EQ(readQuotedArgument(line, out), c.present) << c.line;
    EXPECT_EQ(out, c.text) << c.line;
  }
}

}  // namespace
}  // namespace qm
