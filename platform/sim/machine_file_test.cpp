#include "platform/sim/machine_file.h"

#include <gtest/gtest.h>

#include "platform/sim/sim_fixture_for_tests.h"

namespace qm {
namespace {

// The reader checks that media folders exist, so these tests run in a fixture's folder, where
// the media of the default machine (disk1..disk3, c) are present.
class MachineFileTest : public ::testing::Test {
 protected:
  std::optional<MachineConfig> parse(const std::string& text) {
    error_.clear();
    return parseMachineText(text, "m.ini", fixture_.root().string(), error_);
  }
  SimFixture fixture_;
  std::string error_;
};

TEST_F(MachineFileTest, ReadsEveryKeyWithCommentsAndSemicolonsInValues) {
  auto c = parse(
      "; a machine\n"
      "[machine]\r\n"
      "Windows=4.0   ; reported\n"
      "DOS=6.2\n"
      "Memory=8589934592\n"
      "Display=1024X768x16\n"
      "Processor=586\n"
      "WindowsDir=d:\\win\\\n"
      "[Drives]\n"
      "c=fixed c\n"
      "A=removable disk2 disk1   ; two media\n"
      "B=cdrom\n"
      "N=network disk3\n"
      "[Labels]\n"
      "DISK2=SETUP  DISK\n"
      "[FreeSpace]\n"
      "c=6000000000\n"
      "[Environment]\n"
      "PATH=C:\\DOS;C:\\WINDOWS\n"
      "[Faults]\n"
      "WriteFailsAfter=100\n"
      "FullDisk=a n\n"
      "NoDirectory=C:\\APPS\n");
  ASSERT_TRUE(c) << error_;
  EXPECT_EQ(c->windowsMajor, 4);
  EXPECT_EQ(c->windowsMinor, 0);
  EXPECT_EQ(c->dosMajor, 6);
  EXPECT_EQ(c->dosMinor, 20);  // one digit after the dot counts tenths
  EXPECT_EQ(c->memory, 8589934592ull);
  EXPECT_EQ(c->screenWidth, 1024);
  EXPECT_EQ(c->screenHeight, 768);
  EXPECT_EQ(c->bitsPerPixel, 16);
  EXPECT_EQ(c->processor, 586);
  EXPECT_EQ(c->windowsDir, "D:\\win");
  ASSERT_EQ(c->drives.size(), 4u);  // sorted by letter
  EXPECT_EQ(c->drives[0].letter, 'A');
  EXPECT_EQ(c->drives[0].media, (std::vector<std::string>{"disk2", "disk1"}));
  EXPECT_EQ(c->drives[1].type, DriveType::CdRom);
  EXPECT_TRUE(c->drives[1].media.empty());
  EXPECT_EQ(c->drives[3].type, DriveType::Remote);
  EXPECT_EQ(c->labels.at("DISK2"), "SETUP  DISK");
  EXPECT_EQ(c->freeSpace.at('C'), 6000000000ull);
  ASSERT_EQ(c->environment.size(), 1u);
  EXPECT_EQ(c->environment[0].second, "C:\\DOS;C:\\WINDOWS");
  EXPECT_EQ(c->writeFailsAfter, 100u);
  EXPECT_EQ(c->fullDisks, (std::vector<char>{'A', 'N'}));
  EXPECT_EQ(c->failingDirectories, (std::vector<std::string>{"C:\\APPS"}));
}

TEST_F(MachineFileTest, BadInputIsRefusedWithFileAndLine) {
  const std::string drives = "[Drives]\nC=fixed c\n";
  struct Case {
    std::string text;
    std::string expected;  // the start of the error
  } cases[] = {
      {"Windows=3.95\n", "m.ini:1: \"Windows\" before any [section]"},
      {"[Machine]\n[Gadgets]\n", "m.ini:2: unknown section [Gadgets]"},
      {"[Machine\n", "m.ini:1: section header without"},
      {"[Machine]\nWindows\n", "m.ini:2: expected KEY=VALUE"},
      {"[Machine]\n=3\n", "m.ini:2: empty key"},
      {"[Machine]\nWindows=three\n", "m.ini:2: Windows= wants MAJOR.MINOR"},
      {"[Machine]\nDOS=7.100\n", "m.ini:2: DOS= wants MAJOR.MINOR"},
      {"[Machine]\nWindows=256.0\n", "m.ini:2: Windows= wants"},
      {"[Machine]\nMemory=-1\n", "m.ini:2: Memory= wants"},
      {"[Machine]\nMemory=99999999999999999999999\n", "m.ini:2: Memory= wants"},
      {"[Machine]\nDisplay=640x480\n", "m.ini:2: Display= wants"},
      {"[Machine]\nDisplay=0x480x8\n", "m.ini:2: Display= wants"},
      {"[Machine]\nDisplay=640x480x8x2\n", "m.ini:2: Display= wants"},
      {"[Machine]\nSpeed=9\n", "m.ini:2: unknown key Speed="},
      {"[Machine]\nWindowsDir=WINDOWS\n", "m.ini:2: WindowsDir= wants a full path"},
      {"[Machine]\nWindows=3.1\n\nwindows=3.1\n",
       "m.ini:4: duplicate windows= in [Machine] (first on line 2)"},
      {"[Drives]\nCC=fixed c\n", "m.ini:2: drive key must be a letter"},
      {"[Drives]\nC=floppy c\n", "m.ini:2: unknown drive type \"floppy\""},
      {"[Drives]\nC=fixed\n", "m.ini:2: drive C (fixed) needs exactly one host folder"},
      {"[Drives]\nC=fixed c disk1\n", "m.ini:2: drive C (fixed) needs exactly one"},
      {"[Drives]\nC=fixed missing\n",
       "m.ini:2: host folder \"missing\" for drive C does not exist"},
      {"[Drives]\nC=fixed ../c\n", "m.ini:2: host folder \"../c\" must be relative"},
      {"[Drives]\nC=fixed /tmp\n", "m.ini:2: host folder \"/tmp\" must be relative"},
      {"[Drives]\nC=fixed c\nc=fixed c\n", "m.ini:3: duplicate C="},
      {"[Drives]\nC=\n", "m.ini:2: drive C needs a type"},
      {drives + "[FreeSpace]\nC=lots\n", "m.ini:4: free space must be a number"},
      {"[FreeSpace]\nD=100\n" + drives, "m.ini:2: free space for drive D, which is not defined"},
      {drives + "[Labels]\ndisk9=X\n", "m.ini:4: label for \"DISK9\", which is no drive's medium"},
      {drives + "[Labels]\nc=TWELVE CHARS\n", "m.ini:4: volume label \"TWELVE CHARS\" is longer"},
      {drives + "[Faults]\nFullDisk=CD\n", "m.ini:4: FullDisk= wants drive letters"},
      {drives + "[Faults]\nNoDirectory=APPS\n", "m.ini:4: NoDirectory= wants a full path"},
      {drives + "[Environment]\nPATH=a\npath=b\n", "m.ini:5: duplicate path="},
      {std::string("[Machine]\nWindows=3.95\0\n", 24) + drives, "m.ini:2: NUL byte"},
      {"[Machine]\nPlatform=OS2\n", "m.ini:2: Platform= wants DOS, Win32s, 9x or NT"},
      {"[Machine]\nPlatform=NT\nBuild=65536\n", "m.ini:3: Build= wants a number"},
      {"[Machine]\nDOS=6.22\nPlatform=9x\n" + drives,
       "m.ini:2: DOS= does not go with Platform= on line 3"},
      {"[Machine]\nBuild=950\nPlatform=9x\n" + drives, "m.ini:2: Build= goes only with"},
      {"[Machine]\n", "m.ini: no drives"},
      {"", "m.ini: no drives"},
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(parse(c.text)) << c.text;
    EXPECT_EQ(error_.substr(0, c.expected.size()), c.expected) << "got: " << error_;
  }
}

// What GetVersion gave a 32-bit program under Wine set to the same Windows (winecfg -v): the
// high half is the DOS version only on the DOS layout; Win32s and 9x set the top bits, NT puts
// its build number there.
TEST_F(MachineFileTest, PlatformLaysOutTheVersionWordAsThatWindowsDoes) {
  struct Case {
    const char* machine;
    uint32_t word;
  } cases[] = {
      {"Windows=3.10\nDOS=6.22\n", 0x06160A03},
      {"Platform=DOS\nWindows=3.95\n", 0x070A5F03},
      {"Platform=Win32s\nWindows=3.10\n", 0x80000A03},
      {"Platform=9x\nWindows=4.0\n", 0xC0000004},
      {"platform=9X\nWindows=4.10\n", 0xC0000A04},
      {"Platform=NT\nBuild=1057\nWindows=3.51\n", 0x04213303},
      {"Platform=NT\nBuild=1381\nWindows=4.0\n", 0x05650004},
      {"Platform=NT\nBuild=2600\nWindows=5.01\n", 0x0A280105},
  };
  for (const Case& c : cases) {
    auto config = parse(std::string("[Machine]\n") + c.machine + "[Drives]\nC=fixed c\n");
    ASSERT_TRUE(config) << error_;
    EXPECT_EQ(versionWordOf(*config), c.word) << c.machine;
  }
}

TEST_F(MachineFileTest, MissingFileIsReportedByName) {
  std::string error;
  EXPECT_FALSE(readMachineFile((fixture_.root() / "none.ini").string(), error));
  EXPECT_NE(error.find("none.ini: cannot read"), std::string::npos) << error;
}

}  // namespace
}  // namespace qm
