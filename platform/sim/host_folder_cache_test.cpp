#include "platform/sim/host_folder_cache.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "platform/file_handle.h"
#include "platform/sim/sim_confinement.h"
#include "platform/sim/sim_fixture_for_tests.h"

namespace qm {
namespace {

namespace fs = std::filesystem;

// One change made through the machine: "make PATH", "mkdir PATH", "rmdir PATH", "del PATH",
// "move FROM TO", "copy FROM TO", "attr PATH BITS" (hex), or a look that fills the cache:
// "look PATH" (attributes) and "list PATTERN" (find).
struct Step {
  const char* op;
  const char* a;
  const char* b = "";
};

// What a later look must see: "attr PATH" gives the attribute letters ("RHSAD", "-" for none,
// "missing"); "list PATTERN" gives the names found, blank-separated.
struct Look {
  const char* op;
  const char* path;
  const char* want;
};

std::string attributeLetters(SimSystem& sys, const std::string& path) {
  auto bits = sys.attributes(path);
  if (!bits) return "missing";
  std::string out;
  const std::pair<uint32_t, char> letters[] = {{kAttrReadOnly, 'R'},
                                               {kAttrHidden, 'H'},
                                               {kAttrSystem, 'S'},
                                               {kAttrArchive, 'A'},
                                               {kAttrDirectory, 'D'}};
  for (const auto& [bit, letter] : letters)
    if (*bits & bit) out += letter;
  return out.empty() ? "-" : out;
}

std::string listed(SimSystem& sys, const std::string& pattern) {
  std::string out;
  for (const FindEntry& e : sys.find(pattern))
    if (e.name != "." && e.name != "..") out += (out.empty() ? "" : " ") + e.name;
  return out;
}

bool apply(SimSystem& sys, const Step& s) {
  std::string op = s.op;
  if (op == "make") return bool(ScopedFile::create(sys, s.a));
  if (op == "mkdir") return sys.createDirectory(s.a);
  if (op == "rmdir") return sys.removeDirectory(s.a);
  if (op == "del") return sys.deleteFile(s.a);
  if (op == "move") return sys.moveFile(s.a, s.b, false);
  if (op == "copy") return sys.copyFile(s.a, s.b, false);
  if (op == "attr") return sys.setAttributes(s.a, uint32_t(std::stoul(s.b, nullptr, 16)));
  if (op == "look") return sys.attributes(s.a).has_value();
  if (op == "list") return !sys.find(s.a).empty();
  ADD_FAILURE() << "unknown step " << op;
  return false;
}

std::string hostText(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Every sidecar under the drive C: folder, as "FOLDER: TEXT" lines.
std::string sidecars(const fs::path& driveRoot) {
  std::string out;
  for (fs::recursive_directory_iterator it(driveRoot), end; it != end; ++it)
    if (it->path().filename() == kAttributeSidecar)
      out += fs::relative(it->path(), driveRoot).string() + ": " + hostText(it->path()) + "\n";
  return out;
}

// Each case runs on two machines, one caching and one reading the host every time; both must
// see what the case expects after its changes, and leave the same sidecars behind.
TEST(HostFolderCache, ChangesDuringARunAreSeenByLaterLookups) {
  struct Case {
    const char* what;
    std::vector<Step> steps;
    std::vector<Look> looks;
  } cases[] = {
      {"a file made after its folder was listed is found in any case",
       {{"mkdir", "C:\\APP"},
        {"list", "C:\\APP\\*.*"},
        {"look", "C:\\APP\\NEW.TXT"},
        {"make", "C:\\APP\\New.txt"}},
       {{"attr", "c:\\app\\NEW.TXT", "A"}, {"list", "C:\\APP\\*.*", "New.txt"}}},
      {"a deleted file is gone, and its attributes with it",
       {{"make", "C:\\A.TXT"},
        {"attr", "C:\\A.TXT", "02"},
        {"look", "C:\\a.txt"},
        {"del", "C:\\A.TXT"}},
       {{"attr", "C:\\A.TXT", "missing"}, {"list", "C:\\*.TXT", ""}}},
      {"a file made again after deletion has the default attributes",
       {{"make", "C:\\B.TXT"},
        {"attr", "C:\\B.TXT", "03"},
        {"attr", "C:\\B.TXT", "02"},
        {"del", "C:\\B.TXT"},
        {"make", "C:\\b.txt"}},
       {{"attr", "C:\\B.TXT", "A"}, {"list", "C:\\*.TXT", "b.txt"}}},
      {"a renamed file answers to its new name only",
       {{"make", "C:\\OLD.TXT"},
        {"attr", "C:\\OLD.TXT", "04"},
        {"look", "C:\\NEW.TXT"},
        {"move", "C:\\OLD.TXT", "C:\\NEW.TXT"}},
       {{"attr", "C:\\old.txt", "missing"},
        {"attr", "C:\\new.txt", "S"},
        {"list", "C:\\*.TXT", "NEW.TXT"}}},
      {"a change of case only keeps one entry, in the new case",
       {{"make", "C:\\Readme.txt"},
        {"look", "C:\\README.TXT"},
        {"move", "C:\\Readme.txt", "C:\\README.TXT"}},
       {{"attr", "C:\\readme.txt", "A"}, {"list", "C:\\*.TXT", "README.TXT"}}},
      {"a folder removed and made again holds nothing of the old one",
       {{"mkdir", "C:\\D"},
        {"make", "C:\\D\\F.TXT"},
        {"attr", "C:\\D\\F.TXT", "01"},
        {"attr", "C:\\D\\F.TXT", "00"},
        {"attr", "C:\\D", "02"},
        {"look", "C:\\D\\F.TXT"},
        {"del", "C:\\D\\F.TXT"},
        {"rmdir", "C:\\D"},
        {"mkdir", "C:\\d"},
        {"make", "C:\\d\\f.txt"}},
       {{"attr", "C:\\D\\F.TXT", "A"}, {"list", "C:\\D\\*.*", "f.txt"}, {"attr", "C:\\D", "D"}}},
      {"a renamed folder takes its files and their attributes along",
       {{"mkdir", "C:\\SRC"},
        {"make", "C:\\SRC\\H.TXT"},
        {"attr", "C:\\SRC\\H.TXT", "22"},
        {"look", "C:\\DST\\H.TXT"},
        {"move", "C:\\SRC", "C:\\DST"}},
       {{"attr", "C:\\SRC\\H.TXT", "missing"},
        {"attr", "C:\\dst\\h.txt", "HA"},
        {"list", "C:\\*.", "DST TEMP WINDOWS"}}},
      {"a copy is listed and gets the source's attributes and the archive bit",
       {{"make", "C:\\S.TXT"},
        {"attr", "C:\\S.TXT", "01"},
        {"list", "C:\\*.TXT"},
        {"copy", "C:\\S.TXT", "C:\\T.TXT"}},
       {{"attr", "C:\\t.txt", "RA"}, {"list", "C:\\*.TXT", "S.TXT T.TXT"}}},
  };
  for (const Case& k : cases) {
    std::string left[2];
    for (bool cached : {false, true}) {
      SimFixture f;
      ASSERT_TRUE(f.ok()) << f.error();
      if (cached) f.sys().enableHostCache();
      for (const Step& s : k.steps)
        if (std::string(s.op) != "look" && std::string(s.op) != "list")
          EXPECT_TRUE(apply(f.sys(), s)) << k.what << ": " << s.op << " " << s.a;
        else
          apply(f.sys(), s);
      for (const Look& l : k.looks) {
        std::string got = std::string(l.op) == "attr" ? attributeLetters(f.sys(), l.path)
                                                      : listed(f.sys(), l.path);
        EXPECT_EQ(got, l.want) << k.what << (cached ? " (cached)" : "") << ": " << l.op << " "
                               << l.path;
      }
      f.sys().flushHostCache();
      left[cached] = sidecars(f.root() / "c");
    }
    EXPECT_EQ(left[true], left[false]) << k.what;
  }
}

TEST(HostFolderCache, SidecarsAreWrittenAtTheFlushAndReadByAFreshMachine) {
  SimFixture f;
  ASSERT_TRUE(f.ok()) << f.error();
  f.sys().enableHostCache();
  const std::pair<const char*, uint32_t> files[] = {
      {"C:\\P.TXT", kAttrReadOnly}, {"C:\\Q.TXT", kAttrHidden | kAttrSystem}, {"C:\\R.TXT", 0}};
  for (const auto& [path, bits] : files) {
    ASSERT_TRUE(apply(f.sys(), {"make", path}));
    ASSERT_TRUE(f.sys().setAttributes(path, bits));
  }
  fs::path sidecar = f.root() / "c" / kAttributeSidecar;
  EXPECT_FALSE(fs::exists(sidecar)) << "written before the flush";
  f.sys().flushHostCache();
  EXPECT_EQ(hostText(sidecar), "01 P.TXT\n06 Q.TXT\n00 R.TXT\n");
  // A change after the flush is written by the next one, not lost.
  ASSERT_TRUE(f.sys().setAttributes("C:\\R.TXT", kAttrArchive));
  ASSERT_TRUE(f.reload());
  EXPECT_EQ(attributeLetters(f.sys(), "C:\\P.TXT"), "R");
  EXPECT_EQ(attributeLetters(f.sys(), "C:\\Q.TXT"), "HS");
  EXPECT_EQ(attributeLetters(f.sys(), "C:\\R.TXT"), "A");
}

TEST(HostFolderCache, ALinkOnTheWayEndsCachingAndItsSidecarStaysUntouched) {
  SimFixture f;
  ASSERT_TRUE(f.ok()) << f.error();
  f.writeFile("C:\\DATA\\A.TXT", "a");
  fs::create_directory_symlink(f.root() / "c" / "DATA", f.root() / "c" / "ALIAS");
  f.sys().enableHostCache();
  // The same folder under two names: a change through one is seen through the other.
  ASSERT_TRUE(f.sys().setAttributes("C:\\DATA\\A.TXT", kAttrHidden));
  EXPECT_EQ(attributeLetters(f.sys(), "C:\\ALIAS\\A.TXT"), "H");
  EXPECT_FALSE(f.sys().hostCacheEnabled());
  ASSERT_TRUE(apply(f.sys(), {"make", "C:\\ALIAS\\B.TXT"}));
  EXPECT_EQ(listed(f.sys(), "C:\\DATA\\*.TXT"), "A.TXT B.TXT");
  ASSERT_TRUE(f.sys().setAttributes("C:\\DATA\\B.TXT", kAttrReadOnly));
  EXPECT_EQ(attributeLetters(f.sys(), "C:\\ALIAS\\B.TXT"), "R");
}

}  // namespace
}  // namespace qm
