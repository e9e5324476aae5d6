#include <gtest/gtest.h>

#include <fstream>

#include "platform/sim/regedit4.h"
#include "platform/sim/sim_fixture_for_tests.h"

namespace qm {
namespace {

TEST(SimInfo, MemoryAndDisplayComeFromTheMachineFile) {
  std::string machine = SimFixture::kDefaultMachine;
  machine.replace(machine.find("Memory=16777216"), 15, "Memory=6442450944");
  machine.replace(machine.find("Display=640x480x8"), 17, "Display=1280x1024x32");
  SimFixture f(machine);
  ASSERT_TRUE(f.ok()) << f.error();
  EXPECT_EQ(f.sys().totalPhysicalMemory(), 6442450944ull);  // above 4 GiB, not cut to 32 bits
  DisplayCaps caps = f.sys().displayCaps();
  EXPECT_EQ(caps.width, 1280);
  EXPECT_EQ(caps.height, 1024);
  EXPECT_EQ(caps.bitsPerPixel, 32);
  EXPECT_EQ(caps.planes, 1);
}

TEST(SimInfo, LocaleComparisonIgnoresCaseAndSortsLikeTheSystem) {
  SimFixture f;
  ASSERT_TRUE(f.ok()) << f.error();
  struct Case {
    const char* a;
    const char* b;
    int sign;
  } cases[] = {
      // Each pair's order is what the system's comparison gave for it under Wine.
      {"abc", "ABC", 0},      {"abc", "abd", -1},
      {"B", "a", 1},          {"4.0", "10.0", 1},
      {"4.71", "4.71.0", -1}, {"", "a", -1},
      {"_x", "1", -1},        {"1", "a", -1},
      {"[", "z", -1},         {"coop", "co-op", -1},
      {"co-op", "CO-OP", 0},  {"it's", "its", 1},
      {"\xE9", "z", -1},      {"a-b", "ab-", 1},
      {"a_b", "a.b", 1},      {"~", "!", 1},
      {"1.0", "1_0", -1},     {"a", "-a", -1},
      {"-", "'", 1},          {"x-", "x", 1},
      {"e", "\xE9", -1},      {"\xC9T\xC9", "\xE9t\xE9", 0},
  };
  for (const Case& c : cases) {
    int r = f.sys().localeCompareNoCase(c.a, c.b);
    EXPECT_EQ((r > 0) - (r < 0), c.sign) << c.a << " vs " << c.b;
    int back = f.sys().localeCompareNoCase(c.b, c.a);
    EXPECT_EQ((back > 0) - (back < 0), -c.sign) << c.b << " vs " << c.a;
  }
}

TEST(SimInfo, RegistryReadsComeFromRegistryRegBesideTheMachine) {
  SimFixture f;
  ASSERT_TRUE(f.ok()) << f.error();
  auto read = [&f](RegistryRoot root, const char* key, const char* name) {
    return f.sys().readRegistryValue(root, key, name);
  };
  EXPECT_FALSE(read(RegistryRoot::ClassesRoot, "CLSID", "").has_value());  // no file yet
  {
    std::ofstream reg(f.root() / kRegistryFileName, std::ios::binary);
    reg << "REGEDIT4\r\n"
           "[HKEY_CLASSES_ROOT\\.txt]\r\n@=\"txtfile\"\r\n"
           "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.ini]\r\n@=\"inifile\"\r\n"
           "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.txt]\r\n@=\"shadowed\"\r\n"
           "[HKEY_CURRENT_USER\\Software\\Quill]\r\n\"Count\"=dword:00000007\r\n"
           "bad line\r\n"
           "[HKEY_CURRENT_USER\\Software\\After]\r\n@=\"never read\"\r\n";
  }
  struct Case {
    RegistryRoot root;
    const char* key;
    const char* name;
    std::optional<RegValueData> expected;
  } cases[] = {
      {RegistryRoot::ClassesRoot, ".TXT", "", regText("txtfile")},
      // The classes root shows the machine's classes where it has no key of its own.
      {RegistryRoot::ClassesRoot, ".ini", "", regText("inifile")},
      {RegistryRoot::ClassesRoot, ".doc", "", std::nullopt},
      {RegistryRoot::CurrentUser, "Software\\Quill", "count", regDword(7)},
      {RegistryRoot::CurrentUser, "Software\\Quill", "", std::nullopt},
      {RegistryRoot::LocalMachine, "Software\\Quill", "Count", std::nullopt},
      // Lines after a damaged one are not applied.
      {RegistryRoot::CurrentUser, "Software\\After", "", std::nullopt},
  };
  for (const Case& c : cases) {
    auto v = read(c.root, c.key, c.name);
    EXPECT_EQ(v.has_value(), c.expected.has_value()) << c.key << " " << c.name;
    if (v && c.expected) {
      EXPECT_EQ(v->type, c.expected->type) << c.key;
      EXPECT_EQ(v->data, c.expected->bytes) << c.key;
    }
  }
}

}  // namespace
}  // namespace qm
