// Damaged containers are reported by quillpack and refused by the installer's reader, and on any
// container, damaged or not, `list`, `extract` and the installer's copy agree on every entry.
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <sstream>

#include "base/text.h"
#include "platform/sim/sim_fixture_for_tests.h"
#include "script/memory_system_for_tests.h"
#include "script/source.h"
#include "tools/container_writer.h"
#include "tools/host_files_for_tests.h"
#include "tools/simulation.h"

namespace qm::pack {
namespace {

namespace fs = std::filesystem;
using testing::CommandRun;
using testing::randomBytes;
using testing::runCommand;
using testing::ScratchDir;

void put32(std::string& image, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) image[at + i] = char(v >> (8 * i));
}

PackItem item(const std::string& name, const std::string& data) {
  PackItem i;
  i.name = name;
  i.data = data;
  return i;
}

// The bytes the installer's reader gives for an entry, or nullopt when it finds no entry of that
// name or a read fails.
std::optional<std::string> installerRead(const std::string& image, const std::string& name) {
  qm::testing::MemorySystem sys;
  sys.put("A:\\SETUP.EXE", image);
  Container c(sys);
  c.setContainer("A:\\SETUP.EXE");
  std::unique_ptr<SourceFile> f = c.openSource("A:\\SUB\\" + name);
  if (!f || !f->isContainerEntry()) return std::nullopt;
  std::string out;
  char block[kCopyBlockSize];
  for (int32_t n; (n = c.readSource(*f, block, sizeof block)) != 0;) {
    if (n < 0) return std::nullopt;
    out.append(block, size_t(n));
  }
  if (int64_t(out.size()) != c.sourceSize(*f)) return std::nullopt;
  return out;
}

// A container whose second entry, README.TXT, holds 17 bytes, followed by LATER.TXT.
struct ThreeEntries {
  std::string stub = "MZ" + randomBytes(98, 1);
  std::string script =
      "UNINSTALL YES\r\nDEFAULTDIR \"C:\\APP\"\r\nFILE README.TXT\r\nFILE LATER.TXT\r\n";
  std::string image =
      containerImage(stub, {item("SETUP.CFG", script), item("README.TXT", "seventeen bytes!!"),
                            item("LATER.TXT", "later")});
  size_t readmeRecord = stub.size() + kEntrySize + script.size();
};

TEST(ContainerDamage, ListReportsAChainThatStartsOutsideOrRunsIntoTheTrailer) {
  struct Case {
    const char* what;
    std::function<void(std::string&, const ThreeEntries&)> damage;
    const char* listed;
  } cases[] = {
      {"first entry past the end of the file",
       [](std::string& im, const ThreeEntries&) {
         put32(im, im.size() - 8, uint32_t(im.size() + 100));
       },
       ""},
      {"first entry inside the trailer",
       [](std::string& im, const ThreeEntries&) {
         put32(im, im.size() - 8, uint32_t(im.size() - 10));
       },
       ""},
      {"first record running into the trailer",
       [](std::string& im, const ThreeEntries&) {
         put32(im, im.size() - 8, uint32_t(im.size() - 200));
       },
       ""},
      {"a later record running into the trailer",
       [](std::string& im, const ThreeEntries& t) {
         put32(im, t.readmeRecord, uint32_t(im.size() - 100));
       },
       "SETUP.CFG README.TXT "},
  };
  for (const Case& c : cases) {
    ScratchDir d;
    ThreeEntries t;
    c.damage(t.image, t);
    std::string path = d.write("SETUP.EXE", t.image);
    CommandRun r = runCommand(runList, {path});
    EXPECT_EQ(r.code, 1) << c.what;
    EXPECT_NE(r.err.find(path + ": "), std::string::npos) << c.what << "\n" << r.err;
    std::string names;
    std::istringstream lines(r.out);
    for (std::string name, rest; lines >> name && std::getline(lines, rest);) names += name + " ";
    EXPECT_EQ(names, c.listed) << c.what;
  }
}

TEST(ContainerDamage, AnEntryWhoseSizeRunsPastTheDataIsNamedAndUnreadable) {
  struct Case {
    const char* what;
    uint32_t size;  // README.TXT's size field; 0 stands for "to the end of the file"
  } cases[] = {
      {"over the next entry and the trailer", 0},
      {"over the next entry's record only", 17 + 100},
      {"far past the end of the file", 0xFFFFFFFFu},
  };
  for (const Case& c : cases) {
    ScratchDir d;
    ThreeEntries t;
    const uint32_t size = c.size ? c.size : uint32_t(t.image.size() - t.readmeRecord - kEntrySize);
    put32(t.image, t.readmeRecord + 16, size);
    std::string path = d.write("SETUP.EXE", t.image);

    CommandRun r = runCommand(runList, {path});
    EXPECT_EQ(r.code, 1) << c.what;
    EXPECT_NE(r.err.find("entry README.TXT claims " + std::to_string(size) + " bytes"),
              std::string::npos)
        << c.what << "\n"
        << r.err;
    r = runCommand(runExtract, {path, "readme.txt", "-o", d.at("out")});
    EXPECT_EQ(r.code, 1) << c.what;
    EXPECT_FALSE(fs::exists(d.at("out"))) << c.what;
    EXPECT_EQ(runCommand(runExtract, {path, "LATER.TXT", "-o", d.at("out")}).code, 0);
    EXPECT_EQ(d.read("out"), "later");

    EXPECT_EQ(installerRead(t.image, "README.TXT"), std::nullopt) << c.what;
    EXPECT_EQ(installerRead(t.image, "LATER.TXT"), "later") << c.what;
  }
}

TEST(ContainerDamage, InstallingAnOverrunningEntryFailsWithAReadErrorAndLogsTheFile) {
  SimFixture f(
      "[Machine]\nWindowsDir=C:\\WINDOWS\nSystemDir=C:\\WINDOWS\\SYSTEM\nTempDir=C:\\TEMP\n"
      "[Drives]\nC=fixed c\nD=fixed d\n");
  ASSERT_TRUE(f.ok()) << f.error();
  ThreeEntries t;
  put32(t.image, t.readmeRecord + 16, uint32_t(t.image.size() - t.readmeRecord - kEntrySize));
  f.writeFile("D:\\SETUP.EXE", t.image);
  SimulationRequest request;
  request.machineFile = f.machineFile().string();
  request.traceFile = (f.root() / "trace.txt").string();
  request.program = "D:\\SETUP.EXE";
  // The undo declined, so the failed run's log stays to be read.
  request.answersFile = (f.root() / "answers.ini").string();
  std::ofstream(request.answersFile) << "[Setup]\nRollback=No\n";
  SimulationResult result = runSimulation(request);
  ASSERT_EQ(result.error, "");
  EXPECT_EQ(result.exitCode, 3);
  std::ifstream in(request.traceFile, std::ios::binary);
  std::string trace(std::istreambuf_iterator<char>(in), {});
  EXPECT_NE(trace.find("Reading disk error."), std::string::npos) << trace;
  EXPECT_NE(result.installLog.find("FILE: \"C:\\APP\\README.TXT\""), std::string::npos)
      << result.installLog;
  std::optional<std::string> installed = f.readFile("C:\\APP\\README.TXT");
  EXPECT_TRUE(!installed || installed->find("LATER.TXT") == std::string::npos);
  EXPECT_FALSE(f.exists("C:\\APP\\LATER.TXT"));
}

// Random containers, whole or damaged in their sizes, chain offsets or length: whatever list
// shows, extract and the installer's reader read alike, and what list does not show neither finds.
TEST(ContainerDamage, ListExtractAndTheInstallerAgreeOnRandomContainers) {
  ScratchDir d;
  int damagedSeen = 0;
  for (uint32_t seed = 0; seed < 160; ++seed) {
    std::mt19937 rng(seed);
    auto below = [&rng](uint32_t n) { return uint32_t(rng() % n); };
    std::vector<PackItem> items;
    std::vector<size_t> records;
    std::string stub = "MZ" + randomBytes(below(300), seed);
    size_t at = stub.size();
    for (uint32_t i = 0, n = 1 + below(6); i < n; ++i) {
      items.push_back(item("F" + std::to_string(i) + ".BIN",
                           randomBytes(below(4) == 0 ? 0 : below(3000), seed * 7 + i)));
      records.push_back(at);
      at += kEntrySize + items.back().data.size();
    }
    std::string image = containerImage(stub, items);
    const int kind = int(seed % 5);
    const size_t index = below(uint32_t(records.size()));
    const size_t victim = records[index];
    if (kind == 1) {  // a size grown
      put32(image, victim + 16, uint32_t(items[index].data.size() + 1 + below(600)));
    } else if (kind == 2) {  // cut short, trailer kept
      image = image.substr(0, stub.size() + below(uint32_t(image.size() - stub.size()))) +
              image.substr(image.size() - kTrailerSize);
    } else if (kind == 3) {  // a next offset to a record (a loop or a skip), the trailer, beyond
      const uint32_t targets[] = {uint32_t(records[below(uint32_t(records.size()))]),
                                  uint32_t(image.size() - 1 - below(kEntrySize)),
                                  uint32_t(image.size() + below(600)), 0};
      put32(image, victim, targets[below(4)]);
    } else if (kind == 4) {  // a size field of random bits
      put32(image, victim + 16, uint32_t(rng()));
    }
    const std::string path = d.write("SETUP.EXE", image);
    CommandRun listed = runCommand(runList, {path});
    ASSERT_NE(listed.code, 2) << seed << listed.err;
    if (kind == 0) {
      EXPECT_EQ(listed.code, 0) << seed << listed.err;
    }
    damagedSeen += listed.code == 1;

    std::set<std::string> shown;
    std::istringstream lines(listed.out);
    std::string name;
    uint64_t size = 0;
    for (std::string rest; lines >> name >> size && std::getline(lines, rest);) {
      if (!shown.insert(name).second) continue;  // a looping chain lists no name twice
      CommandRun extracted = runCommand(runExtract, {path, name, "-o", d.at("out")});
      std::optional<std::string> read = installerRead(image, name);
      ASSERT_EQ(extracted.code == 0, read.has_value()) << seed << " " << name << extracted.err;
      if (!read) {
        EXPECT_EQ(listed.code, 1) << seed << " " << name;
        continue;
      }
      EXPECT_EQ(read->size(), size) << seed << " " << name;
      EXPECT_EQ(d.read("out"), *read) << seed << " " << name;
      // Whatever damage was done, what is read is the entry's own data (a shrunk size gives
      // a part of it), never another entry's record or the trailer.
      const std::string& original = items.at(std::stoul(name.substr(1))).data;
      EXPECT_EQ(*read, original.substr(0, read->size())) << seed << " " << name;
      if (kind == 0) {
        EXPECT_EQ(*read, original) << seed << " " << name;
      }
    }
    for (const PackItem& i : items) {
      if (shown.count(i.name)) continue;
      EXPECT_EQ(runCommand(runExtract, {path, i.name, "-o", d.at("out")}).code, 1) << seed;
      EXPECT_EQ(installerRead(image, i.name), std::nullopt) << seed << " " << i.name;
    }
    if (kind == 0) {
      EXPECT_EQ(shown.size(), items.size()) << seed;
    }
  }
  EXPECT_GT(damagedSeen, 60);  // the damage really reached the reader
}

}  // namespace
}  // namespace qm::pack
