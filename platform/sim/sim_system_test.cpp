#include "platform/sim/sim_system.h"

#include <gtest/gtest.h>

#include <fstream>

#include "platform/file_handle.h"
#include "platform/sim/fat_clock.h"
#include "platform/sim/sim_fixture_for_tests.h"

namespace qm {
namespace {

namespace fs = std::filesystem;

std::string readInPieces(FileSystem& sys, const std::string& path) {
  FileHandle h = sys.openRead(path);
  if (h == kInvalidFile) return "<missing>";
  std::string out;
  char buf[7];  // small on purpose: reads cross buffer boundaries
  for (int32_t n; (n = sys.read(h, buf, sizeof buf)) > 0;) out.append(buf, size_t(n));
  sys.close(h);
  return out;
}

std::vector<std::string> names(const std::vector<FindEntry>& entries) {
  std::vector<std::string> out;
  for (const auto& e : entries) out.push_back(e.name);
  return out;
}

FatTime fat(int y, int mo, int d, int h, int mi, int s) {
  return FatTime{uint16_t((y - 1980) << 9 | mo << 5 | d), uint16_t(h << 11 | mi << 5 | s / 2)};
}

class SimSystemTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(f_.ok()) << f_.error(); }
  void TearDown() override { EXPECT_EQ(f_.sys().openFileCount(), 0) << "file handle leaked"; }
  SimFixture f_;
  SimSystem& sys() { return f_.sys(); }
};

TEST_F(SimSystemTest, PathsMatchHostNamesWithoutRegardToCase) {
  f_.writeFile("C:\\Windows\\System.ini", "[boot]\n");
  fs::path host = f_.host("c:\\WINDOWS\\system.INI");
  EXPECT_EQ(host.filename(), "System.ini");
  EXPECT_EQ(host.parent_path().filename(), "WINDOWS");  // made by the fixture in this case
  ASSERT_TRUE(sys().setCurrentDirectory("c:\\windows"));
  EXPECT_EQ(sys().currentDirectory(), "C:\\windows");
  struct Case {
    const char* path;
    bool found;
  } cases[] = {
      {"C:\\WINDOWS\\SYSTEM.INI", true},
      {"c:/windows/system.ini", true},
      {"SYSTEM.INI", true},
      {".\\system.ini", true},
      {"..\\WINDOWS\\SYSTEM.INI", true},
      {"\\windows\\system.ini", true},
      {"C:system.ini", true},
      {"C:\\..\\..\\WINDOWS\\SYSTEM.INI", true},
      {"SYSTEM.INI.", true},
      {"C:\\WINDOWS\\SYSTEM.INI\\X", false},
      {"\\\\server\\share\\x", false},
      {"C:\\WIN<DOWS\\SYSTEM.INI", false},
      {"SYSTEM.IN", false},
      {"Q:\\SYSTEM.INI", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(readInPieces(sys(), c.path) == "[boot]\n", c.found) << c.path;
  // New names keep the case they were given; a second spelling reaches the same file.
  ASSERT_TRUE(writeFileBytes(sys(), "C:\\Temp\\NewFile.Txt", "x"));
  EXPECT_EQ(f_.host("C:\\TEMP\\NEWFILE.TXT").filename(), "NewFile.Txt");
  ASSERT_TRUE(writeFileBytes(sys(), "c:\\temp\\newfile.txt", "yy"));
  EXPECT_EQ(f_.tree('C'), (std::vector<std::string>{"TEMP\\", "TEMP\\NewFile.Txt", "WINDOWS\\",
                                                    "WINDOWS\\SYSTEM\\", "WINDOWS\\System.ini"}));
  EXPECT_EQ(f_.readFile("C:\\TEMP\\NEWFILE.TXT"), "yy");
}

TEST_F(SimSystemTest, FindListsInNameOrderWithWindowsWildcards) {
  for (const char* n : {"b.txt", "A.TXT", "c.Txt", "readme", "Data10.bin", "data2.BIN", "_x.txt"})
    f_.writeFile(std::string("C:\\DIR\\") + n, n);
  f_.makeDirectory("C:\\DIR\\Sub");
  sys().setAttributes("C:\\DIR\\b.txt", kAttrHidden);  // makes a sidecar, which never shows
  struct Case {
    const char* pattern;
    std::vector<std::string> names;
  } cases[] = {
      {"C:\\DIR\\*.*",
       {".", "..", "A.TXT", "b.txt", "c.Txt", "Data10.bin", "data2.BIN", "readme", "Sub",
        "_x.txt"}},
      {"C:\\DIR\\*.txt", {"A.TXT", "b.txt", "c.Txt", "_x.txt"}},  // '_' sorts after 'Z'
      {"c:\\dir\\?.TXT", {"A.TXT", "b.txt", "c.Txt"}},
      {"C:\\DIR\\DATA*.BIN", {"Data10.bin", "data2.BIN"}},
      {"C:\\DIR\\*.", {".", "..", "readme", "Sub"}},
      {"C:\\DIR\\README", {"readme"}},
      {"C:\\DIR\\sub", {"Sub"}},
      {"C:\\DIR\\none*", {}},
      {"C:\\DIR\\", {}},
      {"C:\\D*\\*.*", {}},
      {"C:\\NOWHERE\\*.*", {}},
      {"C:\\*", {"DIR", "TEMP", "WINDOWS"}},  // no "." or ".." in a root
  };
  for (const auto& c : cases) EXPECT_EQ(names(sys().find(c.pattern)), c.names) << c.pattern;

  auto entries = sys().find("C:\\DIR\\b.TXT");
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].attributes, kAttrHidden);
  EXPECT_EQ(entries[0].size, 5u);
  EXPECT_EQ(sys().find("C:\\DIR\\SUB")[0].attributes, kAttrDirectory);
  ASSERT_TRUE(sys().setCurrentDirectory("C:\\DIR"));
  EXPECT_EQ(names(sys().find("DATA*.*")), (std::vector<std::string>{"Data10.bin", "data2.BIN"}));
}

TEST_F(SimSystemTest, AttributesPersistAndTravelWithTheFile) {
  f_.writeFile("C:\\A.TXT", "a");
  f_.makeDirectory("C:\\D");
  EXPECT_EQ(sys().attributes("C:\\A.TXT"), kAttrArchive);  // what Windows gives a new file
  EXPECT_EQ(sys().attributes("C:\\D"), kAttrDirectory);
  EXPECT_EQ(sys().attributes("C:\\"), kAttrDirectory);
  EXPECT_EQ(sys().attributes("C:\\NONE"), std::nullopt);
  EXPECT_FALSE(sys().setAttributes("C:\\NONE", kAttrHidden));

  ASSERT_TRUE(sys().setAttributes("C:\\a.txt", kAttrReadOnly | kAttrHidden | kAttrSystem));
  ASSERT_TRUE(sys().setAttributes("C:\\D", kAttrHidden | kAttrDirectory));
  ASSERT_TRUE(f_.reload());
  EXPECT_EQ(sys().attributes("C:\\A.TXT"), kAttrReadOnly | kAttrHidden | kAttrSystem);
  EXPECT_EQ(sys().attributes("C:\\D"), kAttrHidden | kAttrDirectory);

  // A read-only file refuses writers and deletion but may be moved, and keeps its bits.
  EXPECT_EQ(sys().create("C:\\A.TXT"), kInvalidFile);
  EXPECT_EQ(sys().openReadWrite("C:\\A.TXT"), kInvalidFile);
  EXPECT_EQ(sys().openAppend("C:\\A.TXT"), kInvalidFile);
  EXPECT_FALSE(sys().deleteFile("C:\\A.TXT"));
  ASSERT_TRUE(sys().moveFile("C:\\A.TXT", "C:\\D\\B.TXT", false));
  EXPECT_EQ(sys().attributes("C:\\D\\B.TXT"), kAttrReadOnly | kAttrHidden | kAttrSystem);

  // No attributes reads as "normal"; deleting forgets, so a new file of the name starts fresh.
  ASSERT_TRUE(sys().setAttributes("C:\\D\\B.TXT", 0));
  EXPECT_EQ(sys().attributes("C:\\D\\B.TXT"), kAttrNormal);
  ASSERT_TRUE(sys().deleteFile("C:\\D\\B.TXT"));
  ASSERT_TRUE(writeFileBytes(sys(), "C:\\D\\B.TXT", "new"));
  EXPECT_EQ(sys().attributes("C:\\D\\B.TXT"), kAttrArchive);

  // Re-creating a hidden file is refused, as Windows refuses it.
  ASSERT_TRUE(sys().setAttributes("C:\\D\\B.TXT", kAttrHidden));
  EXPECT_EQ(sys().create("C:\\D\\B.TXT"), kInvalidFile);
  // The sidecar is neither listed nor reachable by name.
  EXPECT_EQ(names(sys().find("C:\\D\\*")), (std::vector<std::string>{".", "..", "B.TXT"}));
  EXPECT_EQ(sys().openRead(std::string("C:\\D\\") + kAttributeSidecar), kInvalidFile);
  EXPECT_EQ(sys().create(std::string("C:\\D\\") + kAttributeSidecar), kInvalidFile);
}

TEST(FatClock, ConvertsWithoutTimeZoneAndRefusesWhatFatCannotHold) {
  struct Case {
    int64_t unix;
    std::optional<FatTime> fat;
  } cases[] = {
      {315532800, fat(1980, 1, 1, 0, 0, 0)},
      {315532799, std::nullopt},                                           // 1979-12-31 23:59:59
      {951782400 + 13 * 3600 + 5 * 60 + 59, fat(2000, 2, 29, 13, 5, 58)},  // odd second rounds down
      {4354819199, fat(2107, 12, 31, 23, 59, 58)},
      {4354819200, std::nullopt},
      {-1, std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(fatTimeFromSeconds(c.unix), c.fat) << c.unix;
  EXPECT_EQ(secondsFromFatTime(fat(2000, 2, 29, 13, 5, 58)), 951782400 + 13 * 3600 + 5 * 60 + 58);
  for (FatTime bad :
       {fat(1999, 2, 29, 0, 0, 0), fat(2000, 13, 1, 0, 0, 0), fat(2000, 1, 0, 0, 0, 0),
        fat(2000, 1, 1, 24, 0, 0), fat(2000, 1, 1, 0, 60, 0)})
    EXPECT_EQ(secondsFromFatTime(bad), std::nullopt) << bad.date << " " << bad.time;
}

TEST_F(SimSystemTest, FileTimesRoundTripThroughHostModificationTimes) {
  const FatTime t = fat(1996, 7, 14, 23, 30, 10);
  f_.writeFile("C:\\OLD.DAT", "x", t);
  FileHandle h = sys().openRead("C:\\OLD.DAT");
  EXPECT_EQ(sys().fileTime(h), t);
  EXPECT_FALSE(sys().setFileTime(h, t));  // needs a handle open for writing
  sys().close(h);
  // The host time is the FAT time read as UTC.
  auto sys_time = std::chrono::file_clock::to_sys(fs::last_write_time(f_.host("C:\\OLD.DAT")));
  EXPECT_EQ(std::chrono::floor<std::chrono::seconds>(sys_time).time_since_epoch().count(),
            secondsFromFatTime(t));

  const FatTime later = fat(2001, 12, 31, 8, 0, 0);
  h = sys().create("C:\\NEW.DAT");
  ASSERT_TRUE(sys().setFileTime(h, later));
  EXPECT_EQ(sys().write(h, "late", 4), 4);  // a write after the time does not move it
  EXPECT_FALSE(sys().setFileTime(h, fat(2001, 2, 30, 0, 0, 0)));
  sys().close(h);
  h = sys().openRead("C:\\NEW.DAT");
  EXPECT_EQ(sys().fileTime(h), later);
  sys().close(h);
  EXPECT_EQ(sys().find("C:\\NEW.DAT").at(0).time, later);

  EXPECT_EQ(sys().fileTime(kInvalidFile), std::nullopt);
  EXPECT_EQ(sys().fileTime(99), std::nullopt);
}

TEST_F(SimSystemTest, OpenFilesReadWriteSeekAndReuseSmallHandles) {
  FileHandle a = sys().create("C:\\F.BIN");
  ASSERT_EQ(a, 0);
  FileHandle b = sys().openAppend("C:\\LOG.TXT");
  EXPECT_EQ(b, 1);
  char buf[16];
  EXPECT_EQ(sys().read(a, buf, 4), -1);  // created for writing only
  EXPECT_EQ(sys().write(a, "hello", 5), 5);
  EXPECT_EQ(sys().seek(a, 8, SeekOrigin::Begin), 8);
  EXPECT_EQ(sys().write(a, "!", 1), 1);  // past the end: the gap reads as zeros
  EXPECT_EQ(sys().fileSize(a), 9);
  EXPECT_EQ(sys().seek(a, -2, SeekOrigin::End), 7);
  EXPECT_EQ(sys().seek(a, -8, SeekOrigin::Current), -1);
  EXPECT_EQ(sys().seek(a, 0, SeekOrigin::Current), 7);
  sys().close(a);
  EXPECT_EQ(f_.readFile("C:\\F.BIN"), std::string("hello\0\0\0!", 9));

  FileHandle c = sys().openReadWrite("C:\\F.BIN");
  EXPECT_EQ(c, 0);  // the lowest free number again
  EXPECT_EQ(sys().read(c, buf, 2), 2);
  EXPECT_EQ(sys().write(c, "LL", 2), 2);  // read then write without a seek
  EXPECT_EQ(sys().read(c, buf, 1), 1);
  EXPECT_EQ(buf[0], 'o');
  EXPECT_EQ(sys().read(c, buf, 16), 4);
  EXPECT_EQ(sys().read(c, buf, 16), 0);
  EXPECT_FALSE(sys().deleteFile("C:\\F.BIN"));  // open files cannot be deleted
  // Handles share reading only: a writer meets no other handle on its file.
  EXPECT_EQ(sys().openRead("c:\\f.bin"), kInvalidFile);
  EXPECT_EQ(sys().create("C:\\F.BIN"), kInvalidFile);
  sys().close(c);
  FileHandle r1 = sys().openRead("C:\\F.BIN");
  FileHandle r2 = sys().openRead("C:\\F.BIN");
  EXPECT_NE(r1, kInvalidFile);
  EXPECT_NE(r2, kInvalidFile);
  EXPECT_EQ(sys().openAppend("C:\\F.BIN"), kInvalidFile);
  sys().close(r1);
  sys().close(r2);
  sys().close(c);  // closing twice is harmless
  EXPECT_EQ(f_.readFile("C:\\F.BIN"), std::string("heLLo\0\0\0!", 9));

  EXPECT_EQ(sys().write(b, "one\n", 4), 4);
  sys().close(b);
  b = sys().openAppend("C:\\log.txt");
  EXPECT_EQ(sys().write(b, "two\n", 4), 4);
  EXPECT_EQ(sys().read(b, buf, 1), -1);
  sys().close(b);
  EXPECT_EQ(f_.readFile("C:\\LOG.TXT"), "one\ntwo\n");

  struct Bad {
    const char* what;
    FileHandle h;
  } bad[] = {
      {"missing", sys().openRead("C:\\NONE")},      {"missing rw", sys().openReadWrite("C:\\NONE")},
      {"directory", sys().openRead("C:\\WINDOWS")}, {"root", sys().create("C:\\")},
      {"wildcard", sys().create("C:\\*.TXT")},      {"no folder", sys().create("C:\\NODIR\\X")},
      {"empty drive", sys().create("B:\\X")}};
  for (const auto& x : bad) EXPECT_EQ(x.h, kInvalidFile) << x.what;
  for (FileHandle h : {kInvalidFile, 0, 77}) {
    EXPECT_EQ(sys().read(h, buf, 1), -1);
    EXPECT_EQ(sys().write(h, buf, 1), -1);
    EXPECT_EQ(sys().seek(h, 0, SeekOrigin::Begin), -1);
    EXPECT_EQ(sys().fileSize(h), -1);
  }
}

TEST_F(SimSystemTest, DirectoriesMoveAndCopyKeepEveryFileSafe) {
  EXPECT_FALSE(sys().createDirectory("C:\\A\\B"));  // no parent
  ASSERT_TRUE(sys().createDirectory("C:\\A"));
  EXPECT_FALSE(sys().createDirectory("C:\\a"));  // exists under another case
  ASSERT_TRUE(sys().createDirectory("C:\\A\\B"));
  f_.writeFile("C:\\A\\B\\F.TXT", "f", fat(1999, 1, 2, 3, 4, 6));
  EXPECT_FALSE(sys().removeDirectory("C:\\A\\B"));  // not empty
  ASSERT_TRUE(sys().setCurrentDirectory("C:\\A\\B"));
  EXPECT_FALSE(sys().setCurrentDirectory("C:\\A\\B\\F.TXT"));
  ASSERT_TRUE(sys().deleteFile("F.TXT"));
  EXPECT_FALSE(sys().removeDirectory("C:\\A\\B"));  // the current directory
  ASSERT_TRUE(sys().setCurrentDirectory("\\"));
  ASSERT_TRUE(sys().setAttributes("C:\\A\\B", kAttrHidden));
  ASSERT_TRUE(sys().removeDirectory("C:\\A\\B"));  // its attribute entry goes with it
  EXPECT_EQ(f_.tree('C'),
            (std::vector<std::string>{"A\\", "TEMP\\", "WINDOWS\\", "WINDOWS\\SYSTEM\\"}));
  EXPECT_FALSE(sys().removeDirectory("C:\\"));

  f_.writeFile("C:\\A\\OLD.TXT", "old");
  f_.writeFile("C:\\A\\NEW.TXT", "new", fat(1998, 5, 6, 7, 8, 10));
  EXPECT_FALSE(sys().moveFile("C:\\A\\NEW.TXT", "C:\\A\\OLD.TXT", false));
  EXPECT_EQ(f_.readFile("C:\\A\\OLD.TXT"), "old");
  ASSERT_TRUE(sys().moveFile("C:\\A\\NEW.TXT", "C:\\A\\OLD.TXT", true));
  EXPECT_EQ(f_.readFile("C:\\A\\OLD.TXT"), "new");
  EXPECT_FALSE(f_.exists("C:\\A\\NEW.TXT"));

  // A rename that changes only the case renames the host file.
  ASSERT_TRUE(sys().moveFile("C:\\A\\OLD.TXT", "C:\\A\\Old.txt", false));
  EXPECT_EQ(f_.host("C:\\A\\OLD.TXT").filename(), "Old.txt");
  // Folders move on their drive, never into themselves, never across drives.
  EXPECT_FALSE(sys().moveFile("C:\\A", "C:\\A\\INSIDE", false));
  EXPECT_FALSE(sys().moveFile("C:\\A", "A:\\A", false));
  ASSERT_TRUE(sys().moveFile("C:\\A", "C:\\TEMP\\Moved", false));
  EXPECT_EQ(f_.readFile("C:\\TEMP\\MOVED\\OLD.TXT"), "new");
  // Files move across drives.
  ASSERT_TRUE(sys().moveFile("C:\\TEMP\\MOVED\\OLD.TXT", "A:\\OLD.TXT", false));
  EXPECT_EQ(f_.readFile("A:\\OLD.TXT"), "new");
  EXPECT_FALSE(sys().moveFile("C:\\NONE", "C:\\X", true));
  EXPECT_FALSE(sys().moveFile("A:\\OLD.TXT", "C:\\NODIR\\X", true));

  // Copies keep the time and attributes; failIfExists and read-only targets are respected.
  ASSERT_TRUE(sys().setAttributes("A:\\OLD.TXT", kAttrSystem));
  ASSERT_TRUE(sys().copyFile("A:\\OLD.TXT", "C:\\COPY.TXT", true));
  EXPECT_EQ(f_.readFile("C:\\COPY.TXT"), "new");
  EXPECT_EQ(sys().find("C:\\COPY.TXT").at(0).time, fat(1998, 5, 6, 7, 8, 10));
  EXPECT_EQ(sys().attributes("C:\\COPY.TXT"), kAttrSystem | kAttrArchive);
  EXPECT_FALSE(sys().copyFile("A:\\OLD.TXT", "C:\\COPY.TXT", true));
  EXPECT_FALSE(sys().copyFile("A:\\OLD.TXT", "a:\\old.txt", false));  // onto itself
  f_.writeFile("C:\\RO.TXT", "keep", std::nullopt, kAttrReadOnly);
  EXPECT_FALSE(sys().copyFile("A:\\OLD.TXT", "C:\\RO.TXT", false));
  EXPECT_FALSE(sys().moveFile("A:\\OLD.TXT", "C:\\RO.TXT", true));
  EXPECT_EQ(f_.readFile("C:\\RO.TXT"), "keep");
  EXPECT_FALSE(sys().copyFile("C:\\TEMP", "C:\\T2", false));
}

TEST_F(SimSystemTest, MediaLabelsDrivesAndFreeSpace) {
  ASSERT_TRUE(f_.reload(std::string(SimFixture::kDefaultMachine) +
                        "[FreeSpace]\nC=5000000000\nA=1457664\n"
                        "[Drives]\nB=removable\nD=cdrom cd\nN=network net\nR=ramdisk ram\n"));
  struct Drive {
    const char* root;
    DriveType type;
    std::optional<std::string> label;
    std::optional<uint64_t> free;
  } drives[] = {
      {"A:\\", DriveType::Removable, "DISK1", 1457664},
      {"b:", DriveType::Removable, std::nullopt, std::nullopt},  // empty drive
      {"C:\\", DriveType::Fixed, "", 5000000000ull},             // above 32 bits, kept whole
      {"D:\\", DriveType::CdRom, "", kDefaultFreeSpace},
      {"N:\\", DriveType::Remote, "", kDefaultFreeSpace},
      {"R:\\", DriveType::RamDisk, "", kDefaultFreeSpace},
      {"E:\\", DriveType::NoRootDir, std::nullopt, std::nullopt},
      {"", DriveType::NoRootDir, std::nullopt, std::nullopt},
  };
  for (const auto& d : drives) {
    EXPECT_EQ(sys().driveType(d.root), d.type) << d.root;
    EXPECT_EQ(sys().volumeLabel(d.root), d.label) << d.root;
    EXPECT_EQ(sys().freeSpace(d.root), d.free) << d.root;
  }
  EXPECT_GT(kDefaultFreeSpace, uint64_t(UINT32_MAX));
  EXPECT_EQ(sys().logicalDrives(), 1u << 0 | 1u << 1 | 1u << 2 | 1u << 3 | 1u << 13 | 1u << 17);

  f_.writeFile("A:\\SETUP.CFG", "one");
  EXPECT_EQ(sys().currentMedium('a'), "disk1");
  ASSERT_TRUE(sys().insertNextMedium('A'));
  EXPECT_EQ(sys().currentMedium('A'), "disk2");
  EXPECT_EQ(sys().volumeLabel("A:\\"), "DISK2");
  EXPECT_FALSE(f_.exists("A:\\SETUP.CFG"));
  f_.writeFile("A:\\PART2.PAK", "two");
  EXPECT_TRUE(fs::exists(f_.root() / "disk2" / "PART2.PAK"));
  ASSERT_TRUE(sys().insertNextMedium('A'));
  EXPECT_FALSE(sys().insertNextMedium('A'));  // no fourth disk: the third stays in
  EXPECT_EQ(sys().currentMedium('A'), "disk3");
  EXPECT_FALSE(sys().insertNextMedium('B'));
  EXPECT_FALSE(sys().insertNextMedium('Q'));
  EXPECT_EQ(sys().currentMedium('B'), "");
  EXPECT_EQ(sys().find("B:\\*.*").size(), 0u);
}

TEST_F(SimSystemTest, ShortPathNamesFollowTheEightThreeRules) {
  for (const char* n : {"readme.txt", "Long File Name.text", "LongFi~1.tex", "longfile name.text",
                        "longfile.html", "a.b.c", ".profile", "My Program Files"})
    f_.writeFile(std::string("C:\\Dir Long\\") + n, "");
  struct Case {
    const char* path;
    std::optional<std::string> shortPath;
  } cases[] = {
      {"C:\\WINDOWS\\SYSTEM", "C:\\WINDOWS\\SYSTEM"},
      {"c:\\dir long\\README.TXT", "C:\\DIRLON~1\\README.TXT"},
      // "LongFi~1.tex" is already a short name, so the generated ones go on from ~2 in name order.
      {"C:\\Dir Long\\Long File Name.text", "C:\\DIRLON~1\\LONGFI~2.TEX"},
      {"C:\\Dir Long\\LONGFILE NAME.TEXT", "C:\\DIRLON~1\\LONGFI~3.TEX"},
      {"C:\\Dir Long\\longfile.html", "C:\\DIRLON~1\\LONGFI~1.HTM"},
      {"C:\\Dir Long\\a.b.c", "C:\\DIRLON~1\\AB~1.C"},
      {"C:\\Dir Long\\.profile", "C:\\DIRLON~1\\PROFIL~1"},
      {"C:\\Dir Long\\My Program Files", "C:\\DIRLON~1\\MYPROG~1"},
      {"C:\\Dir Long\\missing.txt", std::nullopt},
      {"B:\\X", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(sys().shortPathName(c.path), c.shortPath) << c.path;
}

TEST_F(SimSystemTest, MachineValuesAndProcessesComeFromTheMachineFile) {
  ASSERT_TRUE(
      f_.reload("[Machine]\nWindows=3.10\nDOS=6.22\nDisplay=800x600x16\nTempDir=C:\\TMP\\\n"
                "[Drives]\nC=fixed c\n[Environment]\nConfig=GAME\nPath=C:\\DOS;C:\\WIN\n"));
  EXPECT_EQ(sys().versionWord(), 0x06160A03u);
  EXPECT_EQ(sys().screenWidth(), 800);
  EXPECT_EQ(sys().screenHeight(), 600);
  EXPECT_EQ(sys().environment("CONFIG"), "GAME");
  EXPECT_EQ(sys().environment("path"), "C:\\DOS;C:\\WIN");
  EXPECT_EQ(sys().environment("TEMP"), std::nullopt);
  EXPECT_EQ(sys().tempDirectory(), "C:\\TMP\\");
  EXPECT_EQ(sys().windowsDirectory(), "C:\\WINDOWS");
  EXPECT_EQ(sys().systemDirectory(), "C:\\WINDOWS\\SYSTEM");
  EXPECT_TRUE(f_.exists("C:\\TMP"));

  EXPECT_FALSE(sys().criticalErrorBoxesDisabled());
  sys().disableCriticalErrorBoxes();
  EXPECT_TRUE(sys().criticalErrorBoxesDisabled());
  EXPECT_EQ(f_.processesLog(), "");
  EXPECT_TRUE(sys().startProcess("notepad C:\\README.TXT", kShowMaximized, false));
  f_.writeFile("C:\\UNPACK.EXE", "exe");
  runAndWait(sys(), "C:\\UNPACK.EXE -x\r\nDATA", kShowHidden);
  EXPECT_FALSE(sys().startProcess("  ", kShowNormal, true));
  // A program named by its full path starts only when it is there.
  EXPECT_FALSE(sys().startProcess("C:\\TMP\\~0000.pif /C C:\\TMP\\~0000.bat", kShowHidden, false));
  sys().appendProcessLog("restart windows");
  EXPECT_EQ(f_.processesLog(),
            "start show=3 wait=0 notepad C:\\README.TXT\n"
            "start show=0 wait=1 C:\\UNPACK.EXE -x  DATA\n"
            "restart windows\n");

  EXPECT_EQ(sys().modulePath(), "");
  sys().setModulePath("A:\\SETUP.EXE");
  sys().setCommandLineArguments("-X MY.CFG");
  EXPECT_EQ(sys().modulePath(), "A:\\SETUP.EXE");
  EXPECT_EQ(sys().commandLineArguments(), "-X MY.CFG");
}

TEST_F(SimSystemTest, InjectedFaultsFailWritesDirectoriesAndCopies) {
  f_.writeFile("C:\\SRC.BIN", std::string(100000, 'x'));
  sys().failWritesAfter(10);
  FileHandle h = sys().create("C:\\OUT.BIN");
  EXPECT_EQ(sys().write(h, "123456", 6), 6);
  EXPECT_EQ(sys().write(h, "789abc", 6), -1);  // stores what fits, then fails
  EXPECT_EQ(sys().write(h, "d", 1), -1);
  sys().close(h);
  EXPECT_EQ(f_.readFile("C:\\OUT.BIN"), "123456789a");
  EXPECT_FALSE(sys().copyFile("C:\\SRC.BIN", "C:\\COPY.BIN", false));
  EXPECT_FALSE(f_.exists("C:\\COPY.BIN"));  // a failed copy leaves nothing behind
  EXPECT_FALSE(writeFileBytes(sys(), "C:\\CUT.BIN", "abc"));
  EXPECT_FALSE(f_.exists("C:\\CUT.BIN"));  // nor does a file not written whole
  sys().clearFaults();
  ASSERT_TRUE(sys().copyFile("C:\\SRC.BIN", "C:\\COPY.BIN", false));
  EXPECT_EQ(f_.readFile("C:\\COPY.BIN")->size(), 100000u);

  sys().setDiskFull('c', true);
  EXPECT_EQ(sys().freeSpace("C:\\"), 0u);
  h = sys().create("C:\\FULL.BIN");
  EXPECT_EQ(sys().write(h, "x", 1), -1);
  sys().close(h);
  EXPECT_FALSE(sys().createDirectory("C:\\NEWDIR"));
  EXPECT_TRUE(sys().createDirectory("A:\\NEWDIR"));  // other drives are unaffected
  sys().setDiskFull('C', false);
  EXPECT_TRUE(sys().createDirectory("C:\\NEWDIR"));

  sys().failDirectoryCreation("c:\\apps\\tool");
  ASSERT_TRUE(sys().createDirectory("C:\\APPS"));
  EXPECT_FALSE(sys().createDirectory("C:\\Apps\\Tool"));
  EXPECT_TRUE(sys().createDirectory("C:\\Apps\\Tool2"));

  // The same faults, written into the machine file.
  ASSERT_TRUE(f_.reload(std::string(SimFixture::kDefaultMachine) +
                        "[Faults]\nWriteFailsAfter=3\nFullDisk=A\nNoDirectory=C:\\X\n"));
  EXPECT_FALSE(sys().createDirectory("C:\\X"));
  EXPECT_EQ(sys().freeSpace("A:\\"), 0u);
  h = sys().create("C:\\F");
  EXPECT_EQ(sys().write(h, "abcd", 4), -1);
  sys().close(h);
  EXPECT_EQ(f_.readFile("C:\\F"), "abc");
}

}  // namespace
}  // namespace qm
