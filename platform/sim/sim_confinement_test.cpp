#include "platform/sim/sim_confinement.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>

#include "platform/sim/sim_fixture_for_tests.h"
#include "script/conditions.h"
#include "script/macros.h"

namespace qm {
namespace {

namespace fs = std::filesystem;

// A host folder outside the machine, with one file the machine must never reach.
struct Outside {
  fs::path dir;
  explicit Outside(const fs::path& beside) : dir(beside.string() + "-outside") {
    fs::create_directories(dir);
    std::ofstream(dir / "SECRET.TXT", std::ios::binary) << "host";
  }
  ~Outside() {
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
  std::vector<std::string> names() const {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(dir)) out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
  }
};

TEST(SimConfinement, LinksOutOfTheDriveNameNothingOnTheMachine) {
  SimFixture f;
  ASSERT_TRUE(f.ok()) << f.error();
  Outside out(f.root());
  const fs::path c = f.root() / "c";
  fs::create_directory_symlink(out.dir, c / "APPS");
  fs::create_symlink(out.dir / "NEW.TXT", c / "DANGLE.TXT");  // leads nowhere yet
  fs::create_symlink(out.dir / "SECRET.TXT", c / "SECRET.TXT");
  fs::create_symlink(c / "LOOP", c / "LOOP");
  f.writeFile("C:\\A.TXT", "a");
  SimSystem& sys = f.sys();

  struct Case {
    const char* what;
    bool done;
  } cases[] = {
      {"create through a folder link", sys.create("C:\\APPS\\INSTALL.LOG") != kInvalidFile},
      {"append through a folder link", sys.openAppend("C:\\APPS\\LOG.TXT") != kInvalidFile},
      {"create over a dangling link", sys.create("C:\\DANGLE.TXT") != kInvalidFile},
      {"read a file link", sys.openRead("C:\\SECRET.TXT") != kInvalidFile},
      {"read through a folder link", sys.openRead("C:\\APPS\\SECRET.TXT") != kInvalidFile},
      {"make a folder through a link", sys.createDirectory("C:\\APPS\\SUB")},
      {"enter a folder link", sys.setCurrentDirectory("C:\\APPS")},
      {"delete through a link", sys.deleteFile("C:\\APPS\\SECRET.TXT")},
      {"copy through a folder link", sys.copyFile("C:\\A.TXT", "C:\\APPS\\A.TXT", false)},
      {"copy from a file link", sys.copyFile("C:\\SECRET.TXT", "C:\\B.TXT", false)},
      {"move through a folder link", sys.moveFile("C:\\A.TXT", "C:\\APPS\\A.TXT", false)},
      {"set attributes of a link", sys.setAttributes("C:\\SECRET.TXT", kAttrHidden)},
      {"find through a folder link", !sys.find("C:\\APPS\\*.*").empty()},
      {"a looping link", sys.openRead("C:\\LOOP") != kInvalidFile},
  };
  for (const Case& k : cases) EXPECT_FALSE(k.done) << k.what;
  for (const FindEntry& e : sys.find("C:\\*.*"))
    for (const char* hidden : {"APPS", "DANGLE.TXT", "SECRET.TXT", "LOOP"})
      EXPECT_NE(e.name, hidden);
  EXPECT_EQ(out.names(), std::vector<std::string>{"SECRET.TXT"});
  EXPECT_EQ(sys.openFileCount(), 0);
}

TEST(SimConfinement, LinksThatStayOnTheDriveWorkAndAreListedAsJunctions) {
  SimFixture f;
  ASSERT_TRUE(f.ok()) << f.error();
  f.writeFile("C:\\DATA\\FILE.TXT", "data");
  fs::create_directory_symlink(f.host("C:\\DATA"), f.root() / "c" / "ALIAS");
  SimSystem& sys = f.sys();
  FileHandle h = sys.openRead("C:\\ALIAS\\FILE.TXT");
  ASSERT_NE(h, kInvalidFile);
  sys.close(h);
  std::vector<FindEntry> found = sys.find("C:\\ALIAS");
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].attributes & (kAttrDirectory | kAttrReparsePoint),
            kAttrDirectory | kAttrReparsePoint);
  EXPECT_EQ(sys.find("C:\\DATA")[0].attributes & kAttrReparsePoint, 0u);
}

TEST(SimConfinement, SidecarLinkIsNeitherReadNorWritten) {
  SimFixture f;
  ASSERT_TRUE(f.ok()) << f.error();
  Outside out(f.root());
  f.writeFile("C:\\A.TXT", "a");
  fs::create_symlink(out.dir / "SECRET.TXT", f.root() / "c" / kAttributeSidecar);
  f.sys().setAttributes("C:\\A.TXT", kAttrReadOnly);
  std::ifstream in(out.dir / "SECRET.TXT", std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "host");
}

TEST(SimConfinement, DriveFolderLinkedOutOfTheMachineIsRefusedAtLoad) {
  SimFixture f;
  ASSERT_TRUE(f.ok()) << f.error();
  Outside out(f.root());
  fs::remove_all(f.root() / "c");
  fs::create_directory_symlink(out.dir, f.root() / "c");
  std::string error;
  EXPECT_EQ(SimSystem::load(f.machineFile().string(), error), nullptr);
  EXPECT_NE(error.find("host folder \"c\" for drive C is a link out of the machine's folder"),
            std::string::npos)
      << error;
  // A machine built without the loader is held to the same rule on every path.
  std::optional<MachineConfig> config = readMachineFile(f.machineFile().string(), error);
  EXPECT_FALSE(config);
  fs::remove(f.root() / "c");
  fs::create_directory(f.root() / "c");
  ASSERT_TRUE(f.reload());
  fs::remove(f.root() / "c");
  fs::create_directory_symlink(out.dir, f.root() / "c");
  EXPECT_EQ(f.sys().create("C:\\INSTALL.LOG"), kInvalidFile);
  EXPECT_TRUE(f.sys().find("C:\\*.*").empty());
  EXPECT_EQ(out.names(), std::vector<std::string>{"SECRET.TXT"});
}

TEST(SimConfinement, LocateWalkEndsAtOnceAndNeverSeesTheHost) {
  struct Case {
    const char* what;
    std::vector<std::pair<const char*, const char*>> links;  // name under c -> target
    const char* wanted;
  } cases[] = {
      {"two links to the drive's own root", {{"a", "."}, {"b", "."}}, "NOSUCH.XYZ"},
      {"a link to the host's root", {{"hostroot", "/"}}, "NOSUCH.XYZ"},
      {"a link to the host's /etc", {{"hostetc", "/etc"}}, "passwd"},
      {"a link to a folder above", {{"up", ".."}}, "machine.ini"},
  };
  for (const Case& k : cases) {
    SimFixture f;
    ASSERT_TRUE(f.ok()) << f.error();
    f.writeFile("C:\\DEEP\\ER\\PLAIN.TXT", "x");
    for (const auto& [name, target] : k.links)
      fs::create_directory_symlink(target, f.root() / "c" / name);
    MacroValues macros;
    macros.sourceDir = "A:\\";
    macros.locateDir = "-";
    DriveSelector where;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(findFileOnDrives(f.sys(), macros, k.wanted, where), 0) << k.what;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1)) << k.what;
    EXPECT_EQ(macros.locateDir, "-") << k.what;
    // The drive's own files are still found.
    EXPECT_EQ(findFileOnDrives(f.sys(), macros, "PLAIN.TXT", where), 1) << k.what;
    EXPECT_EQ(macros.locateDir, "C:\\DEEP\\ER") << k.what;
  }
}

}  // namespace
}  // namespace qm
