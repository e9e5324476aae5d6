#include "platform/sim/profile_text.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "platform/sim/profile_cases_for_tests.h"
#include "platform/sim/sim_fixture_for_tests.h"

namespace qm {
namespace {

// The same table runs against Wine's real functions in tests/wine/test_profiles.sh, so the
// simulated machine writes what Windows writes.
TEST(SimProfiles, SharedCasesGiveTheBytesTheRealFunctionsGive) {
  std::ifstream in(std::string(QM_SOURCE_DIR) + "/tests/data/profiles/cases.txt", std::ios::binary);
  ASSERT_TRUE(in);
  std::stringstream text;
  text << in.rdbuf();
  std::string error;
  const auto cases = testing::parseProfileCases(text.str(), error);
  ASSERT_TRUE(error.empty()) << error;
  ASSERT_GE(cases.size(), 30u);
  SimFixture f;
  f.makeDirectory("C:\\QMPROF");
  for (const auto& c : cases) {
    EXPECT_EQ(testing::runProfileCase(f.sys(), c, "C:\\QMPROF"), "")
        << "line " << c.line << ": " << c.name;
  }
  EXPECT_EQ(f.sys().openFileCount(), 0);
}

TEST(SimProfiles, FailedWriteLeavesTheFileWhole) {
  const std::string original = "[boot]\r\nshell=progman.exe\r\n[drivers]\r\ntimer=timer.drv\r\n";
  struct Case {
    const char* name;
    void (*fault)(SimSystem&);
  };
  const Case cases[] = {
      {"write fails at once", [](SimSystem& s) { s.failWritesAfter(0); }},
      {"write fails midway", [](SimSystem& s) { s.failWritesAfter(10); }},
      {"disk full", [](SimSystem& s) { s.setDiskFull('C', true); }},
  };
  for (const Case& c : cases) {
    SimFixture f;
    f.writeFile("C:\\WINDOWS\\SYSTEM.INI", original);
    c.fault(f.sys());
    EXPECT_FALSE(f.sys().writeProfileString("SYSTEM.INI", "boot", "shell", "other.exe")) << c.name;
    EXPECT_EQ(f.readFile("C:\\WINDOWS\\SYSTEM.INI"), original) << c.name;
    EXPECT_FALSE(f.exists("C:\\WINDOWS\\~qmprof.tmp")) << c.name;
    EXPECT_FALSE(f.sys().deleteProfileSection("SYSTEM.INI", "boot")) << c.name;
    EXPECT_EQ(f.readFile("C:\\WINDOWS\\SYSTEM.INI"), original) << c.name;
  }
}

TEST(SimProfiles, ProtectedFilesAreNotRewritten) {
  for (uint32_t attrs : {kAttrReadOnly, kAttrHidden, kAttrSystem}) {
    SimFixture f;
    f.writeFile("C:\\WINDOWS\\APP.INI", "[a]\r\nk=1\r\n", std::nullopt, attrs);
    EXPECT_FALSE(f.sys().writeProfileString("APP.INI", "a", "k", "2")) << attrs;
    EXPECT_EQ(f.readFile("C:\\WINDOWS\\APP.INI"), "[a]\r\nk=1\r\n") << attrs;
    // Reading is not affected.
    EXPECT_EQ(f.sys().profileString("APP.INI", "A", "K", "~Mirn", 998), "1") << attrs;
  }
}

TEST(SimProfiles, NamesWithAFolderAreNotMovedToTheWindowsDirectory) {
  SimFixture f;
  f.makeDirectory("C:\\APP");
  f.sys().setCurrentDirectory("C:\\APP");
  ASSERT_TRUE(f.sys().writeProfileString("C:\\APP\\A.INI", "s", "k", "1"));
  ASSERT_FALSE(f.sys().writeProfileString("SUB\\B.INI", "s", "k", "1"));  // no SUB yet
  f.makeDirectory("C:\\APP\\SUB");
  ASSERT_TRUE(f.sys().writeProfileString("SUB\\B.INI", "s", "k", "1"));
  ASSERT_TRUE(f.sys().writeProfileString("C.INI", "s", "k", "1"));
  EXPECT_TRUE(f.exists("C:\\APP\\A.INI"));
  EXPECT_TRUE(f.exists("C:\\APP\\SUB\\B.INI"));
  EXPECT_TRUE(f.exists("C:\\WINDOWS\\C.INI"));
  EXPECT_FALSE(f.exists("C:\\APP\\C.INI"));
}

TEST(ProfileText, CopyOfStoredValues) {
  struct Case {
    const char* value;
    size_t buffer;
    const char* read;
  };
  const Case cases[] = {
      {"plain", 998, "plain"},
      {"\"quoted\"", 998, "quoted"},
      {"'x'", 998, "x"},
      {"\"open", 998, "\"open"},
      {"\"", 998, "\""},
      {"\"\"", 998, ""},
      {"\"mixed'", 998, "\"mixed'"},
      {"abcdefgh", 5, "abcd"},
      {"\"abcd\"", 5, "abc"},
      {"\"abc\"", 5, "abc"},
      {"abc", 1, ""},
      {"abc", 0, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(profileCopy(c.value, c.buffer), c.read) << c.value;
}

}  // namespace
}  // namespace qm
