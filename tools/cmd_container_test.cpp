#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "script/source.h"
#include "tools/container_writer.h"
#include "tools/quillpack_commands.h"

namespace qm::pack {
namespace {

namespace fs = std::filesystem;

struct TempDir {
  fs::path path;
  TempDir() {
    path = fs::temp_directory_path() / ("qm-pack-" + std::to_string(::getpid()));
    fs::create_directories(path);
  }
  ~TempDir() { fs::remove_all(path); }
  std::string write(const std::string& name, const std::string& data, time_t mtime = 0) {
    fs::path p = path / name;
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << data;
    if (mtime) {
      utimbuf t{mtime, mtime};
      ::utime(p.c_str(), &t);
    }
    return p.string();
  }
  std::string read(const std::string& name) {
    std::ifstream in(path / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
};

int listed(const std::string& container, std::string& out) {
  ::testing::internal::CaptureStdout();
  int rc = runList({container});
  out = ::testing::internal::GetCapturedStdout();
  return rc;
}

TEST(QuillpackContainer, BuildListExtractRoundTrip) {
  TempDir t;
  std::string stub = t.write("stub.exe", "MZ stub bytes");
  // 2023-11-14 22:13:20 UTC; the stored time ignores the host's time zone.
  std::string a = t.write("dist/SETUP.CFG", "TITLE \"x\"\r\n", 1700000000);
  std::string b = t.write("dist/sub/README.TXT", std::string(40000, 'r'), 1700000000);
  std::string dup = t.write("other/setup.cfg", "shadowed", 1700000000);
  std::string out = (t.path / "SETUP.EXE").string();
  ASSERT_EQ(runBuild({"--stub", stub, "-o", out, a, b, dup}), 0);
  EXPECT_EQ(t.read("SETUP.EXE").substr(0, 13), "MZ stub bytes");

  std::string text;
  ASSERT_EQ(listed(out, text), 0);
  EXPECT_EQ(text,
            "SETUP.CFG            11  2023-11-14  22:13:20  ----A\n"
            "README.TXT        40000  2023-11-14  22:13:20  ----A\n");

  std::string extracted = (t.path / "x.cfg").string();
  ASSERT_EQ(runExtract({out, "setup.cfg", "-o", extracted}), 0);
  EXPECT_EQ(t.read("x.cfg"), "TITLE \"x\"\r\n");
  ASSERT_EQ(runExtract({out, "README.TXT", "-o", extracted}), 0);
  EXPECT_EQ(t.read("x.cfg"), std::string(40000, 'r'));
  EXPECT_EQ(runExtract({out, "MISSING.TXT", "-o", extracted}), 1);
}

TEST(QuillpackContainer, ListSurvivesBrokenChainsAndReportsThem) {
  TempDir t;
  PackItem one, two, three;
  one.name = "ONE.TXT", one.data = "1";
  two.name = "TWO.TXT", two.data = "22";
  three.name = "THREE.TXT", three.data = "333";
  std::string image = containerImage("MZ", {one, two, three});
  uint32_t second = 2 + kEntrySize + 1;
  std::string looping = image;
  looping[second] = 2, looping[second + 1] = 0, looping[second + 2] = 0, looping[second + 3] = 0;
  std::string outside = image;
  outside[second + 3] = 0x7F;
  for (const std::string& broken : {looping, outside}) {
    std::string path = t.write("broken.exe", broken);
    std::string text;
    EXPECT_EQ(listed(path, text), 1);
    EXPECT_EQ(text.find("THREE.TXT"), std::string::npos);
    EXPECT_NE(text.find("TWO.TXT"), std::string::npos);
    EXPECT_EQ(runExtract({path, "THREE.TXT", "-o", (t.path / "o").string()}), 1);
  }
  std::string text;
  EXPECT_EQ(listed(t.write("plain.exe", "MZ no trailer at all"), text), 1);
  EXPECT_EQ(text, "");
}

// Installed, quillpack finds its stub under share/quillmount from its bin folder, or beside it
// in the Windows binaries' folder; nothing else is taken for it.
TEST(QuillpackContainer, BuildFindsTheInstalledStub) {
  struct Row {
    const char* stub;  // made as a file; a trailing slash makes a folder
    const char* program;
    const char* expected;
  };
  const Row rows[] = {
      {"share/quillmount/quillmount.exe", "bin/quillpack", "share/quillmount/quillmount.exe"},
      {"share/quillmount/quillmount.exe", "share/quillmount/quillpack.exe",
       "share/quillmount/quillmount.exe"},
      {"share/quillmount/QUILLMOUNT.EXE", "bin/quillpack", ""},
      {"share/quillmount/quillmount.exe/", "bin/quillpack", ""},
      {"bin/other.exe", "bin/quillpack", ""},
  };
  for (const Row& r : rows) {
    TempDir t;
    const std::string stub = r.stub;
    if (stub.back() == '/')
      fs::create_directories(t.path / stub);
    else
      t.write(stub, "MZ");
    fs::create_directories((t.path / r.program).parent_path());
    const std::string expected = *r.expected ? (t.path / r.expected).string() : "";
    EXPECT_EQ(installedStub((t.path / r.program).string()), expected) << r.stub;
  }
  EXPECT_EQ(installedStub(""), "");
}

TEST(QuillpackContainer, BadArgumentsGiveUsage) {
  const Args bad[] = {{},
                      {"--stub", "s"},
                      {"--stub", "s", "-o", "o"},
                      {"-o", "o", "f"},
                      {"--stub", "s", "-o", "o", "--fast", "f"},
                      {"--stub"}};
  for (const Args& a : bad) EXPECT_EQ(runBuild(a), 2);
  EXPECT_EQ(runList({}), 2);
  EXPECT_EQ(runList({"a", "b"}), 2);
  EXPECT_EQ(runExtract({"a", "b"}), 2);
  EXPECT_EQ(runExtract({"a", "-o"}), 2);
  TempDir t;
  std::string stub = t.write("stub.exe", "MZ");
  // A missing input is an input error, like a bad argument.
  EXPECT_EQ(runBuild({"--stub", stub, "-o", (t.path / "o.exe").string(), "/nonexistent/f"}), 2);
  EXPECT_FALSE(fs::exists(t.path / "o.exe"));
}

}  // namespace
}  // namespace qm::pack
