#include <gtest/gtest.h>

#include "script/statement_handlers.h"
#include "sysconfig/statement_fixture_for_tests.h"

namespace qm {
namespace {

using testing::StatementFixture;
using Lines = std::vector<std::string>;

int readBlock(StatementFixture& f, Lines lines) {
  f.reader.lines = std::move(lines);
  f.reader.next = 0;
  return readRegistryStatement(f.statement("BEGINREGISTRY"));
}

TEST(RegistryStatement, BlockFillsKeyAndValueRequests) {
  StatementFixture f;
  f.macros.sourceDir = "A:";
  ASSERT_EQ(
      readBlock(
          f, {"KEY NEW \"HKEY_LOCAL_MACHINE\\Software\\Vendor\\App\"", "REM a comment, KEY DELETE",
              "", "; not a letter: skipped too", "VALUE STRING NEW \"Path\" \"$DEFAULTDIR$\"",
              "value dword max \"Count\" \"0x30\"",
              "VALUE BINARY NEW \"Bytes\" \"0100000101000010\"", "VALUE REG_SZ DELETE \"Old\"",
              "VALUE STRING RENAME \"A\" \"default\"", "VALUE STRING RENAME \"Default\" \"B\"",
              "VALUE REG_MULTI_SZ REPLACE \"M\" \"$SOURCEDIR$\\X\"", "VALUE STRING NEW \"E\" \"\"",
              "ENDREGISTRY"}),
      0);
  EXPECT_EQ(f.ctx.consumedLines, 13);
  ASSERT_EQ(f.state.config.registry.size(), 1u);
  const RegistryKeyRequest& key = f.state.config.registry[0];
  EXPECT_EQ(key.operation, RegistryKeyOp::New);
  EXPECT_EQ(key.root, RegistryRoot::LocalMachine);
  EXPECT_EQ(key.rootName, "HKEY_LOCAL_MACHINE");
  EXPECT_EQ(key.keyPath, "Software\\Vendor\\App");

  struct Expected {
    uint32_t type;
    RegistryValueOp op;
    std::optional<std::string> name;
    std::string data;
    std::vector<uint8_t> binary;
    std::optional<std::string> newName;
  } expected[] = {
      {kRegSz, RegistryValueOp::New, "Path", "$DEFAULTDIR$", {}, std::nullopt},
      {kRegDword, RegistryValueOp::Max, "Count", "0x30", {}, std::nullopt},
      {kRegBinary, RegistryValueOp::New, "Bytes", "0100000101000010", {0x41, 0x42}, std::nullopt},
      {kRegSz, RegistryValueOp::Delete, "Old", "", {}, std::nullopt},
      {kRegSz, RegistryValueOp::Rename, "A", "default", {}, std::nullopt},
      {kRegSz, RegistryValueOp::Rename, std::nullopt, "B", {}, "B"},
      {kRegMultiSz, RegistryValueOp::Replace, "M", "A:\\X", {}, std::nullopt},
      {kRegSz, RegistryValueOp::New, "E", "", {}, std::nullopt},
  };
  ASSERT_EQ(key.values.size(), std::size(expected));
  for (size_t i = 0; i < std::size(expected); ++i) {
    const RegistryValueRequest& v = key.values[i];
    EXPECT_EQ(v.type, expected[i].type) << i;
    EXPECT_EQ(v.operation, expected[i].op) << i;
    EXPECT_EQ(v.name, expected[i].name) << i;
    EXPECT_EQ(v.data, expected[i].data) << i;
    EXPECT_EQ(v.binary, expected[i].binary) << i;
    EXPECT_EQ(v.newName, expected[i].newName) << i;
  }
}

TEST(RegistryStatement, KeyLineForms) {
  struct Case {
    const char* line;
    RegistryKeyOp op;
    RegistryRoot root;
    const char *path, *newName;
  } cases[] = {
      {"KEY DELETE \"hkey_classes_root\\.xyz\"", RegistryKeyOp::Delete, RegistryRoot::ClassesRoot,
       ".xyz", ""},
      {"KEY: query, \"HKEY_CURRENT_USER\\Software\"", RegistryKeyOp::Query,
       RegistryRoot::CurrentUser, "Software", ""},
      {"KEY RENAME \"HKEY_USERS\\A\\B\" \"C\"", RegistryKeyOp::Rename, RegistryRoot::Users, "A\\B",
       "C"},
      {"KEY NEW \"HKEY_DYN_DATA\\\"", RegistryKeyOp::New, RegistryRoot::DynData, "", ""},
  };
  for (const Case& c : cases) {
    StatementFixture f;
    ASSERT_EQ(readBlock(f, {c.line, "ENDREGISTRY"}), 0) << c.line;
    const RegistryKeyRequest& key = f.state.config.registry.at(0);
    EXPECT_EQ(key.operation, c.op) << c.line;
    EXPECT_EQ(key.root, c.root) << c.line;
    EXPECT_EQ(key.keyPath, c.path) << c.line;
    EXPECT_EQ(key.newKeyName, c.newName) << c.line;
  }
}

TEST(RegistryStatement, FaultyBlocksAreRejected) {
  const std::string key = "KEY NEW \"HKEY_LOCAL_MACHINE\\Software\\App\"";
  Lines tooManyValues{key};
  for (int i = 0; i < 51; ++i) tooManyValues.push_back("VALUE DWORD NEW \"v\" \"1\"");
  tooManyValues.push_back("ENDREGISTRY");
  std::string deepPath = "HKEY_LOCAL_MACHINE";
  for (int i = 0; i < 51; ++i) deepPath += "\\K";
  struct Case {
    const char* why;
    Lines lines;
  } cases[] = {
      {"second KEY", {key, key, "ENDREGISTRY"}},
      {"VALUE before KEY", {"VALUE STRING NEW \"a\" \"b\"", key, "ENDREGISTRY"}},
      {"unknown type", {key, "VALUE TEXT NEW \"a\" \"b\"", "ENDREGISTRY"}},
      {"unknown value operation", {key, "VALUE STRING SET \"a\" \"b\"", "ENDREGISTRY"}},
      {"missing data", {key, "VALUE STRING NEW \"a\"", "ENDREGISTRY"}},
      {"unterminated data", {key, "VALUE STRING NEW \"a\" \"b", "ENDREGISTRY"}},
      {"missing name", {key, "VALUE STRING DELETE", "ENDREGISTRY"}},
      {"unquoted name", {key, "VALUE STRING NEW a \"b\"", "ENDREGISTRY"}},
      {"missing type", {key, "VALUE", "ENDREGISTRY"}},
      {"path without backslash", {"KEY NEW \"HKEY_LOCAL_MACHINE\"", "ENDREGISTRY"}},
      {"unknown root", {"KEY NEW \"HKLM\\Software\"", "ENDREGISTRY"}},
      {"unknown key operation", {"KEY CREATE \"HKEY_USERS\\A\"", "ENDREGISTRY"}},
      {"missing key path", {"KEY NEW", "ENDREGISTRY"}},
      {"RENAME without new name", {"KEY RENAME \"HKEY_USERS\\A\"", "ENDREGISTRY"}},
      {"other first word", {key, "FILE \"x\"", "ENDREGISTRY"}},
      {"no ENDREGISTRY", {key, "VALUE STRING NEW \"a\" \"b\""}},
      {"more than 50 values", tooManyValues},
      {"more than 50 key levels", {"KEY NEW \"" + deepPath + "\"", "ENDREGISTRY"}},
  };
  for (const Case& c : cases) {
    StatementFixture f;
    EXPECT_NE(readBlock(f, c.lines), 0) << c.why;
    EXPECT_TRUE(f.state.config.registry.empty()) << c.why;
  }
}

TEST(RegistryStatement, LimitsAreInclusive) {
  Lines lines{"KEY NEW \"HKEY_LOCAL_MACHINE\\A\"", "ENDREGISTRY"};
  lines.insert(lines.begin() + 1, 50, "VALUE DWORD NEW \"v\" \"1\"");
  std::string path = "HKEY_LOCAL_MACHINE\\K";
  for (int i = 1; i < 50; ++i) path += "\\K";
  StatementFixture f;
  EXPECT_EQ(readBlock(f, lines), 0);
  EXPECT_EQ(readBlock(f, {"KEY NEW \"" + path + "\"", "ENDREGISTRY"}), 0);
  ASSERT_EQ(f.state.config.registry.size(), 2u);
  EXPECT_EQ(f.state.config.registry[0].values.size(), 50u);
}

TEST(RegistryStatement, RejectionLeavesOffendingLineAndCountForTheReport) {
  StatementFixture f;
  EXPECT_NE(readBlock(f, {"KEY NEW \"HKEY_USERS\\A\"", "REM fine", "VALUE STRING NEW \"a\"",
                          "ENDREGISTRY"}),
            0);
  EXPECT_EQ(f.ctx.consumedLines, 3);
  EXPECT_EQ(f.state.lineNumber, 4);  // BEGINREGISTRY is line 1
  EXPECT_EQ(f.line.text(), "VALUE STRING NEW \"a\"");
  EXPECT_EQ(f.reader.next, 3u);  // nothing after the faulty line is read

  // A line the source had to cut short is refused, unless it is a comment.
  for (int cut : {1, 2}) {
    StatementFixture g;
    g.reader.tooLong = cut;
    EXPECT_EQ(readBlock(g, {"KEY NEW \"HKEY_USERS\\A\"", "REM long comments may be cut",
                            "VALUE STRING NEW \"a\" \"b\"", "ENDREGISTRY"}),
              cut == 2 ? 1 : 0);
    EXPECT_EQ(g.state.lineNumber, cut == 2 ? 4 : 5);
    EXPECT_EQ(g.state.config.registry.size(), cut == 2 ? 0u : 1u);
  }
}

TEST(RegistryStatement, LinesTheSourceSkipsAreCountedButNotRead) {
  StatementFixture f;
  f.reader.skipped = {1};
  EXPECT_EQ(
      readBlock(f, {"KEY QUERY \"HKEY_USERS\\A\"", "TITLE \"not for this pass\"", "ENDREGISTRY"}),
      0);
  EXPECT_EQ(f.ctx.consumedLines, 3);
  EXPECT_EQ(f.state.config.registry.size(), 1u);
}

}  // namespace
}  // namespace qm
