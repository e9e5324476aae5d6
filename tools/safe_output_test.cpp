#include "tools/safe_output.h"

#include <gtest/gtest.h>

#include "platform/sim/sim_fixture_for_tests.h"
#include "tools/container_writer.h"
#include "tools/host_files_for_tests.h"
#include "tools/implode.h"
#include "tools/simulation.h"

namespace qm::pack {
namespace {

namespace fs = std::filesystem;
using testing::CommandRun;
using testing::randomBytes;
using testing::runCommand;
using testing::ScratchDir;

std::string imploded(const std::string& data) {
  std::vector<uint8_t> packed =
      implodeData(reinterpret_cast<const uint8_t*>(data.data()), data.size(), ImplodeOptions{});
  return std::string(packed.begin(), packed.end());
}

// The files every case starts from: a stub, a script, data files, a built SETUP.EXE, a
// compressed stream, a machine, and a file that a package's second volume would be named.
struct Distribution : ScratchDir {
  std::string stub, cfg, in, big, setup, link, imp, pa1, machine;
  Distribution() {
    stub = write("stub.exe", "MZ" + randomBytes(35662, 1));
    cfg = write("s.cfg", "DEFAULTDIR \"C:\\APP\"\r\nFILE BIG.BIN\r\n");
    in = write("in.bin", randomBytes(700, 2));
    big = write("big.bin", randomBytes(20000, 3));
    PackItem a, b;
    a.name = "SETUP.CFG", a.data = "FILE BIG.BIN\r\n";
    b.name = "BIG.BIN", b.data = randomBytes(20000, 4);
    setup = write("SETUP.EXE", containerImage("MZ" + randomBytes(500, 5), {a, b}));
    link = at("LINK.EXE");
    fs::create_hard_link(setup, link);
    imp = write("t.imp", imploded(randomBytes(3000, 6) + std::string(3000, 'x')));
    pa1 = write("X.PA1", randomBytes(3000, 7));
    machine = write("m/machine.ini", SimFixture::kDefaultMachine);
    for (const char* medium : {"disk1", "disk2", "disk3", "c"})
      fs::create_directory(path / "m" / medium);
  }
};

TEST(SafeOutput, AnOutputThatIsAnInputIsRefusedBeforeAnythingIsWritten) {
  struct Case {
    const char* what;
    int (*command)(const Args&);
    std::function<Args(const Distribution&)> args;
  } cases[] = {
      {"extract onto its container", runExtract,
       [](const Distribution& d) {
         return Args{d.setup, "BIG.BIN", "-o", d.setup};
       }},
      {"extract onto another spelling of it", runExtract,
       [](const Distribution& d) {
         return Args{d.setup, "BIG.BIN", "-o", (d.path / "." / "m" / ".." / "SETUP.EXE").string()};
       }},
      {"extract onto a hard link of it", runExtract,
       [](const Distribution& d) {
         return Args{d.setup, "BIG.BIN", "-o", d.link};
       }},
      {"build onto its stub", runBuild,
       [](const Distribution& d) {
         return Args{"--stub", d.stub, "-o", d.stub, d.cfg};
       }},
      {"build onto a file it packs", runBuild,
       [](const Distribution& d) { return Args{"--stub", d.stub, "-o", d.in, d.in, d.cfg}; }},
      {"implode onto its input", runImplode,
       [](const Distribution& d) {
         return Args{d.in, d.in};
       }},
      {"explode onto its input", runExplode,
       [](const Distribution& d) {
         return Args{d.imp, d.imp};
       }},
      {"package onto a file it packs", runPackage,
       [](const Distribution& d) {
         return Args{"-o", d.pa1, d.pa1, d.big};
       }},
      {"package whose second volume is a file it packs", runPackage,
       [](const Distribution& d) {
         return Args{"-o", d.at("X.PAK"), "--volume-size", "2274", d.pa1, d.big};
       }},
      {"simulate tracing onto its machine file", runSimulate,
       [](const Distribution& d) {
         return Args{"--machine", d.machine, "--trace", d.machine, "A:\\SETUP.EXE"};
       }},
  };
  for (const Case& c : cases) {
    Distribution d;
    const auto before = d.snapshot();
    CommandRun r = runCommand(c.command, c.args(d));
    EXPECT_EQ(r.code, c.command == runSimulate ? kSimulateCannotRun : 2) << c.what << "\n" << r.err;
    EXPECT_NE(r.err.find("is the same file as"), std::string::npos) << c.what << "\n" << r.err;
    EXPECT_EQ(d.snapshot(), before) << c.what;
  }
}

TEST(SafeOutput, AFailedCommandLeavesNoPartialOutputAndKeepsTheOldOne) {
  struct Case {
    const char* what;
    int (*command)(const Args&);
    std::function<Args(Distribution&)> args;
    int code;
  } cases[] = {
      {"explode of a stream with a bad header onto an existing file", runExplode,
       [](Distribution& d) {
         return Args{d.write("rnd.bin", "\x07\x09" + randomBytes(100, 8)), d.in};
       },
       1},
      {"explode of a truncated stream onto a new file", runExplode,
       [](Distribution& d) {
         std::string stream = imploded(randomBytes(5000, 9));
         return Args{d.write("cut.imp", stream.substr(0, stream.size() / 2)), d.at("new.txt")};
       },
       1},
      {"extract of a damaged entry onto an existing file", runExtract,
       [](Distribution& d) {
         PackItem a;
         a.name = "README.TXT", a.data = "seventeen bytes!!";
         std::string image = containerImage("MZ", {a});
         image[2 + 16] = char(200);  // the size runs into the trailer
         return Args{d.write("bad.exe", image), "README.TXT", "-o", d.in};
       },
       1},
      {"build that fails after the stub was copied", runBuild,
       [](Distribution& d) {
         std::string huge = d.at("huge.bin");
         std::ofstream(huge, std::ios::binary).put('h');
         fs::resize_file(huge, (uint64_t(1) << 32) + 10);  // sparse: a 4 GiB container is refused
         return Args{"--stub", d.stub, "-o", d.in, d.cfg, huge};
       },
       1},
      {"package that needs more than 1000 volumes", runPackage,
       [](Distribution& d) {
         return Args{"-o", d.at("X.PAK"), "--volume-size", "2274",
                     d.write("noise.bin", randomBytes(2400000, 10))};
       },
       1},
      {"implode into a folder that does not exist", runImplode,
       [](Distribution& d) {
         return Args{d.in, d.at("nowhere/out.imp")};
       },
       2},
      {"simulate with an unusable answers file keeps the old trace", runSimulate,
       [](Distribution& d) {
         return Args{"--machine", d.machine, "--answers",    d.write("bad.ini", "Ask1=x\n"),
                     "--trace",   d.in,      "A:\\SETUP.EXE"};
       },
       1},  // as the installer ends on an answers file it cannot use
  };
  for (const Case& c : cases) {
    Distribution d;
    Args args = c.args(d);  // writes the case's own inputs first
    const auto before = d.snapshot();
    CommandRun r = runCommand(c.command, args);
    EXPECT_EQ(r.code, c.code) << c.what << "\n" << r.err;
    EXPECT_FALSE(r.err.empty()) << c.what;
    EXPECT_EQ(d.snapshot(), before) << c.what << "\n" << r.err;
  }
}

TEST(SafeOutput, SuccessfulOutputsReplaceTheOldFileAndKeepItsPermissions) {
  Distribution d;
  fs::permissions(d.in, fs::perms::owner_all | fs::perms::group_read);
  ASSERT_EQ(runCommand(runExtract, {d.setup, "big.bin", "-o", d.in}).code, 0);
  EXPECT_EQ(d.read("in.bin"), randomBytes(20000, 4));
  EXPECT_EQ(fs::status(d.in).permissions() & fs::perms::all,
            fs::perms::owner_all | fs::perms::group_read);
  // Through a link the file it names is replaced, and the link stays a link.
  fs::create_symlink(d.in, d.at("via-link"));
  ASSERT_EQ(runCommand(runImplode, {d.big, d.at("via-link")}).code, 0);
  EXPECT_TRUE(fs::is_symlink(d.at("via-link")));
  EXPECT_EQ(d.read("in.bin"), imploded(randomBytes(20000, 3)));
  // A trace is put in place even when the installation it records failed.
  std::string trace = d.write("trace.txt", "old");
  d.write("m/disk1/SETUP.EXE", "MZ without a script");
  CommandRun r =
      runCommand(runSimulate, {"--machine", d.machine, "--trace", trace, "A:\\SETUP.EXE"});
  EXPECT_NE(r.code, 0);
  EXPECT_NE(d.read("trace.txt"), "old");
  for (const auto& [name, hash] : d.snapshot())
    EXPECT_EQ(name.find(".quillpack-"), std::string::npos) << name;
}

// Each command on a missing file, a folder and (where it must hold something) an empty file.
// simulate and uninstall give their installer's codes, so their own failures are 4, and an
// answers file the program could not use is its 1.
TEST(SafeOutput, EveryUnusableInputIsAMessageAndExitCodeTwo) {
  struct Case {
    const char* what;
    int (*command)(const Args&);
    std::function<Args(const Distribution&, const std::string&)> args;
    bool emptyIsAnError;
    int code = 2;
  } cases[] = {
      {"build stub", runBuild,
       [](const Distribution& d, const std::string& x) {
         return Args{"--stub", x, "-o", d.at("out"), d.cfg};
       },
       true},
      {"build file", runBuild,
       [](const Distribution& d, const std::string& x) {
         return Args{"--stub", d.stub, "-o", d.at("out"), d.cfg, x};
       },
       false},
      {"list", runList, [](const Distribution&, const std::string& x) { return Args{x}; }, true},
      {"extract", runExtract,
       [](const Distribution& d, const std::string& x) {
         return Args{x, "A.TXT", "-o", d.at("out")};
       },
       true},
      {"check script", runCheck, [](const Distribution&, const std::string& x) { return Args{x}; },
       true},
      {"check machine", runCheck,
       [](const Distribution& d, const std::string& x) {
         return Args{"--machine", x, d.cfg};
       },
       true},
      {"implode", runImplode,
       [](const Distribution& d, const std::string& x) {
         return Args{x, d.at("out")};
       },
       false},
      {"explode", runExplode,
       [](const Distribution& d, const std::string& x) {
         return Args{x, d.at("out")};
       },
       true},
      {"package", runPackage,
       [](const Distribution& d, const std::string& x) {
         return Args{"-o", d.at("OUT.PAK"), x};
       },
       false},
      {"simulate machine", runSimulate,
       [](const Distribution&, const std::string& x) {
         return Args{"--machine", x, "A:\\SETUP.EXE"};
       },
       true, 4},
      {"uninstall machine", runUninstall,
       [](const Distribution&, const std::string& x) {
         return Args{"--machine", x, "C:\\APP\\install.log"};
       },
       true, 4},
      {"simulate answers", runSimulate,
       [](const Distribution& d, const std::string& x) {
         return Args{"--machine", d.machine, "--answers", x, "A:\\SETUP.EXE"};
       },
       true, 1},
  };
  for (const Case& c : cases) {
    Distribution d;
    fs::create_directory(d.at("adir"));
    d.write("empty", "");
    const auto before = d.snapshot();
    struct Bad {
      std::string path, message;
      bool applies;
    } bads[] = {{d.at("missing"), ": no such file", true},
                {d.at("adir"), ": is a directory", true},
                {d.at("empty"), ": is empty", c.emptyIsAnError}};
    for (const Bad& bad : bads) {
      if (!bad.applies) continue;
      CommandRun r = runCommand(c.command, c.args(d, bad.path));
      EXPECT_EQ(r.code, c.code) << c.what << " " << bad.path << "\n" << r.err;
      EXPECT_NE(r.err.find(bad.path + bad.message), std::string::npos) << c.what << "\n" << r.err;
      EXPECT_EQ(d.snapshot(), before) << c.what << " " << bad.path;
    }
  }
  // An output that is a folder is refused as well.
  Distribution d;
  fs::create_directory(d.at("adir"));
  using Command = int (*)(const Args&);
  const std::pair<Command, Args> folderOutputs[] = {
      {runSimulate, {"--machine", d.machine, "--trace", d.at("adir"), "A:\\S.EXE"}},
      {runExtract, {d.setup, "BIG.BIN", "-o", d.at("adir")}}};
  for (const auto& [command, args] : folderOutputs) {
    CommandRun r = runCommand(command, args);
    EXPECT_EQ(r.code, command == runSimulate ? kSimulateCannotRun : 2) << r.err;
    EXPECT_NE(r.err.find(d.at("adir") + ": is a directory"), std::string::npos) << r.err;
  }
}

TEST(SafeOutput, PackageLimitsAreCheckedBeforeAnyFileIsRead) {
  Distribution d;
  Args many{"-o", d.at("P.PAK")};
  for (int i = 0; i <= 32767; ++i) many.push_back(d.at("f" + std::to_string(i)));  // none exist
  CommandRun r = runCommand(runPackage, many);
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("a package holds at most 32767 files; 32768 were given"), std::string::npos)
      << r.err;
  for (const char* size : {"0", "2273"}) {
    r = runCommand(runPackage, {"-o", d.at("P.PAK"), "--volume-size", size, d.cfg});
    EXPECT_EQ(r.code, 2) << size;
    EXPECT_NE(r.err.find("a volume holds at least 2274 bytes"), std::string::npos) << r.err;
  }
  EXPECT_FALSE(fs::exists(d.at("P.PAK")));
  EXPECT_EQ(runCommand(runPackage, {"-o", d.at("P.PAK"), "--volume-size", "2274", d.cfg}).code, 0);
  d.write("sub/S.CFG", "other");
  r = runCommand(runPackage, {"-o", d.at("Q.PAK"), d.cfg, d.at("sub/S.CFG")});
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("two files would be stored as S.CFG"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(d.at("Q.PAK")));
}

}  // namespace
}  // namespace qm::pack
