// quillpack layout end to end: the disks it writes install on the simulated machine, and a disk
// that would overflow names the INSERTDISK to add.
#include <gtest/gtest.h>

#include "tools/host_files_for_tests.h"
#include "tools/quillpack_commands.h"

namespace qm::pack {
namespace {

namespace fs = std::filesystem;
using testing::CommandRun;
using testing::randomBytes;
using testing::runCommand;
using testing::ScratchDir;

TEST(LayoutCommand, DisksItWritesInstallFromTheFloppyDrive) {
  ScratchDir dir;
  const std::string script =
      dir.write("src/SETUP.cfg",
                "DEFAULTDIR C:\\APP NOASKDRIVE NOASKDIR\r\nFILE ONE.TXT\r\nFILE SUB\\ONE.TXT\r\n"
                "INSERTDISK: \"Disk 2\" \"DISK2\"\r\nFILE DOCS\\TWO.TXT\r\nFILE DATA.PAK\r\n"
                "INSERTDISK: \"Disk 3\" \"DISK3\"\r\nFILE THREE.TXT\r\n"
                "IF winver >= 9\r\nFILE NEW.TXT\r\nELSE\r\nFILE OLD.TXT\r\nENDIF\r\n");
  const std::string data = randomBytes(9000, 7);
  dir.write("src/DATA.BIN", data);
  ASSERT_EQ(runCommand(runPackage, {"-o", dir.at("src/DATA.PAK"), "--volume-size", "6000",
                                    dir.at("src/DATA.BIN")})
                .code,
            0);
  ASSERT_TRUE(fs::exists(dir.at("src/DATA.PA1")));
  const Args files = {dir.write("src/ONE.TXT", "one"),
                      dir.write("src/SUB/ONE.TXT", "sub"),
                      dir.write("src/TWO.TXT", "two"),
                      dir.write("src/THREE.TXT", "three"),
                      dir.at("src/DATA.PAK"),
                      dir.at("src/DATA.PA1"),
                      dir.write("src/NEW.TXT", "new"),
                      dir.write("src/OLD.TXT", "old"),
                      dir.write("src/install.pif", "pif")};
  Args args = {"--disk-size", "1.44M", "-o", dir.at("out"), "--stub", dir.write("stub.exe", "MZ"),
               script};
  args.insert(args.end(), files.begin(), files.end());
  CommandRun laid = runCommand(runLayout, args);
  ASSERT_EQ(laid.code, 0) << laid.out << laid.err;
  // Each file on the disk whose INSERTDISK asks for it; the package goes on where it is asked;
  // both branches of an IF, since the disks serve every machine.
  for (const char* path :
       {"out/DISK1/SETUP.EXE", "out/DISK2/DOCS/TWO.TXT", "out/DISK2/DATA.PAK", "out/DISK3/DATA.PA1",
        "out/DISK3/THREE.TXT", "out/DISK3/NEW.TXT", "out/DISK3/OLD.TXT"})
    EXPECT_TRUE(fs::exists(dir.at(path))) << path << "\n" << laid.out;
  EXPECT_EQ(dir.read("out/DISK1/SUB/ONE.TXT"), "sub");  // one name twice: both loose
  EXPECT_EQ(dir.read("out/DISK3.label"), "DISK3");

  dir.write("out/machine.ini",
            "[Machine]\nWindows=3.95\nWindowsDir=C:\\WINDOWS\nSystemDir=C:\\WINDOWS\\SYSTEM\n"
            "TempDir=C:\\TEMP\n[Drives]\nA=removable DISK1 DISK2 DISK3\nC=fixed c\n"
            "[Labels]\nDISK2=DISK2\nDISK3=DISK3\n");
  fs::create_directories(dir.at("out/c/WINDOWS/SYSTEM"));
  fs::create_directories(dir.at("out/c/TEMP"));
  CommandRun run =
      runCommand(runSimulate, {"--machine", dir.at("out/machine.ini"), "--quiet", "A:\\SETUP.EXE"});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(dir.read("out/c/APP/ONE.TXT"), "one");
  EXPECT_EQ(dir.read("out/c/APP/SUB/ONE.TXT"), "sub");
  EXPECT_EQ(dir.read("out/c/APP/DOCS/TWO.TXT"), "two");
  EXPECT_EQ(dir.read("out/c/APP/DATA.BIN"), data);
  EXPECT_EQ(dir.read("out/c/APP/THREE.TXT"), "three");
  EXPECT_EQ(dir.read("out/c/APP/OLD.TXT"), "old");
}

TEST(LayoutCommand, SaysWhereAnInsertDiskIsMissing) {
  ScratchDir dir;
  const std::string script = dir.write("SETUP.cfg", "FILE A.BIN\r\nFILE B.BIN\r\nFILE C.BIN\r\n");
  struct Case {
    const char* size;
    int code;
    const char* message;  // what stderr says
  };
  const Case cases[] = {
      {"720K", 1, "more than a 720K disk's 730112: add INSERTDISK: \"Disk 2\" before line 2 of "},
      {"1.44M", 0, ""},
      {"2.88M", 2, "quillpack layout: --disk-size takes 1.44M, 720K, 1.2M or CD"},
  };
  const std::string stub = dir.write("stub.exe", "MZ");
  const Args files = {dir.write("A.BIN", randomBytes(400000, 1)),
                      dir.write("B.BIN", randomBytes(400000, 2)),
                      dir.write("C.BIN", randomBytes(200000, 3))};
  for (const Case& c : cases) {
    Args args = {"--disk-size", c.size, "-o", dir.at("out"), "--stub", stub, script};
    args.insert(args.end(), files.begin(), files.end());
    CommandRun r = runCommand(runLayout, args);
    EXPECT_EQ(r.code, c.code) << c.size << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << c.size << r.err;
    // Nothing is written for a layout that does not fit.
    EXPECT_EQ(fs::exists(dir.at("out/DISK1/SETUP.EXE")), c.code == 0) << c.size;
    fs::remove_all(dir.at("out"));
  }
}

}  // namespace
}  // namespace qm::pack
