#include "engine/package.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "engine/engine_fixture_for_tests.h"
#include "engine/file_ops.h"
#include "tools/implode.h"
#include "tools/package_writer.h"

namespace qm {
namespace {

using testing::EngineFixture;

constexpr FatTime kOld{0x5A21, 0x6000};
constexpr FatTime kEntryTime{0x5B3C, 0x7A10};
constexpr FatTime kLater{0x5C00, 0x0000};

std::vector<uint8_t> bytesOf(const std::string& s) { return {s.begin(), s.end()}; }
std::string textOf(const std::vector<uint8_t>& b) { return {b.begin(), b.end()}; }

std::vector<uint8_t> noise(size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> b(n);
  for (auto& x : b) x = static_cast<uint8_t>(rng());
  return b;
}

std::vector<PackageVolume> build(const std::vector<PackageFile>& files, uint64_t volumeSize,
                                 const std::string& name = "SETUP.PAK") {
  std::string error;
  PackageOptions options;
  options.volumeSize = volumeSize;
  auto volumes = buildPackage(name, files, options, error);
  EXPECT_TRUE(volumes) << error;
  return volumes.value_or(std::vector<PackageVolume>{});
}

void put(EngineFixture& f, const std::vector<PackageVolume>& volumes) {
  for (const PackageVolume& v : volumes) f.sim.writeFile("C:\\SETUP\\" + v.name, textOf(v.bytes));
}

// The file list as the copy leaves it when it reaches the package: the FILE entry, then one
// INSERTDISK entry per further volume.
void diskEntries(EngineFixture& f, int disks) {
  FileEntry file;
  file.name = "SETUP.PAK";
  f.state.engine.files = {file};
  for (int i = 0; i < disks; ++i) {
    FileEntry disk;
    disk.diskMarker = 1;
    disk.diskName = "Disk " + std::to_string(i + 2);
    f.state.engine.files.push_back(disk);
  }
  f.state.engine.position = 0;
}

// One volume written by hand, for records the writer refuses to make.
std::string rawVolume(const std::vector<std::pair<std::string, std::vector<uint8_t>>>& entries,
                      int count = -1) {
  std::string v(kPackageHeaderSize, '\0');
  v[kPackageMarkerOffset] = 't';
  v[kPackageVolumeMarkerOffset] = 't';
  v[kPackageCountOffset] = static_cast<char>(count < 0 ? entries.size() : count);
  for (const auto& [name, data] : entries) {
    std::string record(kPackageEntrySize, '\0');
    record.replace(0, name.size(), name);
    for (int i = 0; i < 4; ++i) record[kPackagePackedSizeOffset + i] = char(data.size() >> (8 * i));
    record[kPackageDateOffset] = char(kEntryTime.date);
    record[kPackageDateOffset + 1] = char(kEntryTime.date >> 8);
    v += record + textOf(data);
  }
  return v;
}

std::vector<uint8_t> imploded(const std::string& text) {
  return implodeData(reinterpret_cast<const uint8_t*>(text.data()), text.size(), ImplodeOptions{});
}

int extract(EngineFixture& f, Overwrite overwrite = Overwrite::Yes,
            const std::string& source = "C:\\SETUP\\SETUP.PAK") {
  PackageExtractor x(f.engine);
  return x.extract("C:\\APP\\SETUP.PAK", source, overwrite, kAttrArchive);
}

std::vector<std::string> boxTexts(const EngineFixture& f) {
  std::vector<std::string> t;
  for (const MessageRequest& b : f.ui.boxes) t.push_back(b.text);
  return t;
}

TEST(Package, ThreeVolumesWithRecordsAndDataCrossingBoundaries) {
  EngineFixture f;
  f.settleDestination();
  const std::vector<uint8_t> big = noise(3000, 1), bigger = noise(5000, 2);
  const std::vector<uint8_t> deep = bytesOf("deep text\r\n");
  std::vector<PackageFile> files = {
      {"A.BIN", big, kEntryTime},
      {"SUB\\DEEP\\B.TXT", deep, kOld},
      {"C.BIN", bigger, kEntryTime},
      {"EMPTY.TXT", {}, kOld},
  };
  // Room for A and B and 100 bytes more: C's record must go whole to the second volume.
  const uint64_t volumeSize = kPackageHeaderSize + 2 * kPackageEntrySize +
                              implodeData(big.data(), big.size(), ImplodeOptions{}).size() +
                              implodeData(deep.data(), deep.size(), ImplodeOptions{}).size() + 100;
  std::vector<PackageVolume> volumes = build(files, volumeSize);
  ASSERT_EQ(volumes.size(), 3u);
  EXPECT_EQ(volumes[0].bytes.size(), volumeSize - 100);
  // The second ends in the middle of C.BIN's data, which goes on after the third's header.
  EXPECT_EQ(volumes[1].bytes.size(), volumeSize);
  put(f, volumes);
  diskEntries(f, 2);

  ASSERT_EQ(extract(f), 0) << ::testing::PrintToString(boxTexts(f));
  EXPECT_EQ(f.sim.readFile("C:\\APP\\A.BIN"), textOf(big));
  EXPECT_EQ(f.sim.readFile("C:\\APP\\SUB\\DEEP\\B.TXT"), "deep text\r\n");
  EXPECT_EQ(f.sim.readFile("C:\\APP\\C.BIN"), textOf(bigger));
  EXPECT_EQ(f.sim.readFile("C:\\APP\\EMPTY.TXT"), "");
  EXPECT_EQ(readFileTime(f.sim.sys(), "C:\\APP\\A.BIN"), kEntryTime);
  EXPECT_EQ(readFileTime(f.sim.sys(), "C:\\APP\\EMPTY.TXT"), kOld);
  EXPECT_EQ(readFileTime(f.sim.sys(), "C:\\APP\\SUB\\DEEP\\B.TXT"), kOld);
  const std::string log = f.log();
  EXPECT_NE(log.find("DIRECTORY: \"C:\\APP\\SUB\"\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find("DIRECTORY: \"C:\\APP\\SUB\\DEEP\"\r\n"), std::string::npos) << log;
  const size_t a = log.find("FILE: \"C:\\APP\\A.BIN\"\r\n");
  const size_t c = log.find("FILE: \"C:\\APP\\C.BIN\"\r\n");
  const size_t e = log.find("FILE: \"C:\\APP\\EMPTY.TXT\"\r\n");
  ASSERT_NE(a, std::string::npos);
  ASSERT_NE(c, std::string::npos);
  ASSERT_NE(e, std::string::npos);
  EXPECT_TRUE(a < c && c < e);
  // One disk request per further volume, each moving on to the next INSERTDISK entry.
  EXPECT_EQ(f.ui.boxes.size(), 2u);
  EXPECT_EQ(f.state.engine.position, 2);
  EXPECT_EQ(f.engine.continuationName, "SETUP.PA2");
}

TEST(Package, EveryVolumeSplitExpandsExactly) {
  const std::vector<uint8_t> first = noise(6000, 3);
  const std::vector<uint8_t> packed = implodeData(first.data(), first.size(), ImplodeOptions{});
  std::string text;
  for (int i = 0; text.size() < 9000; ++i) text += "entry line " + std::to_string(i % 97) + "\r\n";
  const std::vector<PackageFile> files = {{"FIRST.BIN", first, kEntryTime},
                                          {"SECOND.TXT", bytesOf(text), kEntryTime}};
  struct Split {
    const char* why;
    uint64_t size;
  } splits[] = {
      {"smallest volumes", kMinVolumeSize},
      {"a volume ends on a read boundary", kPackageHeaderSize + kPackageEntrySize + 2048},
      {"a volume ends right after the first data",
       kPackageHeaderSize + kPackageEntrySize + packed.size()},
      {"a record would fit but one byte",
       kPackageHeaderSize + kPackageEntrySize + packed.size() + kPackageEntrySize - 1},
      {"one volume", 0},
  };
  for (const Split& s : splits) {
    SCOPED_TRACE(s.why);
    EngineFixture f;
    f.settleDestination();
    std::vector<PackageVolume> volumes = build(files, s.size);
    put(f, volumes);
    diskEntries(f, static_cast<int>(volumes.size()) - 1);
    ASSERT_EQ(extract(f), 0) << ::testing::PrintToString(boxTexts(f));
    EXPECT_EQ(f.sim.readFile("C:\\APP\\FIRST.BIN"), textOf(first));
    EXPECT_EQ(f.sim.readFile("C:\\APP\\SECOND.TXT"), text);
    EXPECT_EQ(f.ui.boxes.size(), volumes.size() - 1);
  }
}

TEST(Package, SourcesThatAreNotFirstVolumesAreCopiedPlainly) {
  std::string continuation = rawVolume({{"A.TXT", imploded("a")}});
  continuation[kPackageVolumeMarkerOffset] = 'u';
  std::string badMarker = rawVolume({{"A.TXT", imploded("a")}});
  badMarker[kPackageMarkerOffset] = 'T';
  const std::string cases[] = {continuation, badMarker, std::string(57, 't'), "plain text file",
                               ""};
  for (const std::string& data : cases) {
    EngineFixture f;
    f.settleDestination();
    f.sim.writeFile("C:\\SETUP\\SETUP.PAK", data);
    EXPECT_EQ(extract(f), -2);
    EXPECT_TRUE(f.ui.boxes.empty());
    EXPECT_FALSE(f.sim.exists("C:\\APP\\A.TXT"));
  }
}

TEST(Package, OverwriteModesDecideAndSkippedDataIsPassedOver) {
  struct Case {
    const char* why;
    Overwrite mode;
    FatTime existingTime;
    std::vector<MsgResult> answers;
    bool replaced;
  } cases[] = {
      {"no", Overwrite::No, kOld, {}, false},
      {"yes on a read-only target", Overwrite::Yes, kLater, {}, true},
      {"ask answered yes", Overwrite::Ask, kOld, {MsgResult::Yes}, true},
      {"ask answered no", Overwrite::Ask, kOld, {MsgResult::No}, false},
      {"new: entry is later", Overwrite::New, kOld, {}, true},
      {"new: same time", Overwrite::New, kEntryTime, {}, false},
      {"new: target is later", Overwrite::New, kLater, {}, false},
  };
  const std::vector<uint8_t> skipped = noise(7000, 4);  // its data crosses a volume boundary
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    EngineFixture f;
    f.settleDestination();
    f.sim.writeFile("C:\\APP\\OLD.BIN", "existing", c.existingTime, kAttrReadOnly);
    std::vector<PackageVolume> volumes =
        build({{"OLD.BIN", skipped, kEntryTime}, {"NEXT.TXT", bytesOf("next"), kEntryTime}},
              kMinVolumeSize * 2);
    ASSERT_GE(volumes.size(), 2u);
    put(f, volumes);
    diskEntries(f, static_cast<int>(volumes.size()) - 1);
    f.ui.answers.assign(c.answers.begin(), c.answers.end());
    ASSERT_EQ(extract(f, c.mode), 0) << ::testing::PrintToString(boxTexts(f));
    EXPECT_EQ(f.sim.readFile("C:\\APP\\OLD.BIN"), c.replaced ? textOf(skipped) : "existing");
    EXPECT_EQ(f.sim.readFile("C:\\APP\\NEXT.TXT"), "next");
    EXPECT_EQ(f.log().find("OLD.BIN") != std::string::npos, c.replaced);
    if (c.mode == Overwrite::Ask) {
      ASSERT_FALSE(f.ui.boxes.empty());
      EXPECT_EQ(f.ui.boxes[0].text, "File exists.  Overwrite C:\\APP\\OLD.BIN?");
      EXPECT_EQ(f.ui.boxes[0].topic, "Overwrite");
    }
  }
}

TEST(Package, NamesClimbingOutOfTheTargetAreRefused) {
  const std::string names[] = {
      "..\\EVIL.TXT",          "\\EVIL.TXT",  "C:\\EVIL.TXT",           "C:EVIL.TXT",
      "SUB\\..\\..\\EVIL.TXT", "../EVIL.TXT", "SUB\\. .\\..\\EVIL.TXT", "/EVIL.TXT"};
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    EngineFixture f;
    f.settleDestination();
    f.sim.writeFile("C:\\SETUP\\SETUP.PAK",
                    rawVolume({{"GOOD.TXT", imploded("good")}, {name, imploded("evil")}}));
    EXPECT_EQ(extract(f), -1);
    ASSERT_EQ(f.ui.boxes.size(), 1u);
    EXPECT_EQ(f.ui.boxes[0].text, "Invalid compressed file " + name);
    EXPECT_EQ(f.ui.boxes[0].caption, "");
    EXPECT_EQ(f.sim.readFile("C:\\APP\\GOOD.TXT"), "good");  // expanded before stays
    EXPECT_FALSE(f.sim.exists("C:\\EVIL.TXT"));
    EXPECT_FALSE(f.sim.exists("C:\\APP\\EVIL.TXT"));
  }
  for (const char* fine : {"A.TXT", "SUB\\A.TXT", "..A.TXT", "A..TXT", "SUB.\\A"})
    EXPECT_TRUE(isSafeEntryName(fine)) << fine;
}

TEST(Package, DamagedDataFailsQuietlyInsideTheTarget) {
  std::vector<uint8_t> corrupt = imploded(std::string(5000, 'x') + "tail");
  corrupt.resize(corrupt.size() - 3);           // the end marker is gone
  std::vector<uint8_t> farCopy = {0, 6, 0x01};  // a copy before the first byte
  farCopy.resize(8, 0);
  std::vector<uint8_t> dict7 = {0, 7, 0, 0, 0, 0};
  for (const auto& data : {corrupt, farCopy, dict7}) {
    EngineFixture f;
    f.settleDestination();
    const auto before = f.sim.tree('C');
    f.sim.writeFile("C:\\SETUP\\SETUP.PAK", rawVolume({{"BROKEN.TXT", data}}));
    EXPECT_EQ(extract(f), -1);
    EXPECT_TRUE(f.ui.boxes.empty()) << f.ui.boxes[0].text;
    auto after = f.sim.tree('C');
    std::vector<std::string> added;
    for (const std::string& p : after)
      if (std::find(before.begin(), before.end(), p) == before.end()) added.push_back(p);
    for (const std::string& p : added)
      EXPECT_TRUE(p.rfind("APP\\", 0) == 0 || p.rfind("SETUP\\", 0) == 0) << p;
  }
}

TEST(Package, FailuresShowTheirMessages) {
  struct Case {
    const char* why;
    std::function<void(EngineFixture&)> arrange;
    std::string message;
  } cases[] = {
      {"entry records cut short on the last volume",
       [](EngineFixture& f) {
         f.sim.writeFile("C:\\SETUP\\SETUP.PAK", rawVolume({{"A.TXT", imploded("a")}}, 2));
       },
       "Reading file error: C:\\SETUP\\SETUP.PAK"},
      {"next volume with a bad header",
       [](EngineFixture& f) {
         auto v = build({{"A.BIN", noise(5000, 5), kEntryTime}}, kMinVolumeSize);
         v[1].bytes[kPackageVolumeMarkerOffset] = 't';
         put(f, v);
         diskEntries(f, 1);
       },
       "Invalid compressed file C:\\SETUP\\SETUP.PA1"},
      {"disk full while writing",
       [](EngineFixture& f) {
         put(f, build({{"A.BIN", noise(20000, 6), kEntryTime}}, 0));
         f.sim.sys().failWritesAfter(10000);
       },
       "Writing disk error."},
      {"target cannot be created",
       [](EngineFixture& f) {
         f.sim.makeDirectory("C:\\APP\\A.BIN");
         put(f, build({{"A.BIN", noise(100, 7), kEntryTime}}, 0));
       },
       "Cannot create file C:\\APP\\A.BIN"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    EngineFixture f;
    f.settleDestination();
    c.arrange(f);
    EXPECT_EQ(extract(f), -1);
    ASSERT_FALSE(f.ui.boxes.empty());
    EXPECT_EQ(f.ui.boxes.back().text, c.message);
    EXPECT_EQ(f.ui.boxes.back().icon, MsgIcon::Warning);
    EXPECT_TRUE(f.ui.boxes.back().owned);
  }
}

TEST(Package, AMissingVolumeIsNamedAndItsUnfinishedFileRemoved) {
  const std::vector<MsgResult> okForever(20, MsgResult::Ok);
  struct Case {
    const char* why;
    const char* before;  // C:\APP\A.BIN before the run, nullptr for none
    std::vector<MsgResult> answers;
    size_t prompts;      // disk prompts shown
    bool keptAndLogged;  // the cut-short file stays, logged for the uninstaller
    bool toldWhatIsMissing;
  } cases[] = {
      // OK (still missing), then Cancel and Yes to quitting: the user chose, nothing more said.
      {"cancelled, a new file",
       nullptr,
       {MsgResult::Ok, MsgResult::Cancel, MsgResult::Yes},
       2,
       false,
       false},
      {"cancelled, a file it replaced",
       "old",
       {MsgResult::Ok, MsgResult::Cancel, MsgResult::Yes},
       2,
       true,
       false},
      {"answered OK for ever", nullptr, okForever, 16, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    EngineFixture f;
    f.settleDestination();
    if (c.before) f.sim.writeFile("C:\\APP\\A.BIN", c.before);
    auto volumes = build({{"A.BIN", noise(6000, 8), kEntryTime}}, kMinVolumeSize);
    put(f, {volumes[0]});  // the second volume never turns up
    diskEntries(f, 1);
    f.ui.answers.assign(c.answers.begin(), c.answers.end());
    EXPECT_EQ(extract(f), -1);
    std::vector<std::string> prompts;
    for (const MessageRequest& b : f.ui.boxes)
      if (b.topic == "Disk") prompts.push_back(b.text);
    ASSERT_EQ(prompts.size(), c.prompts);
    EXPECT_EQ(prompts[0], "Please insert Disk 2");
    // Asked again, the prompt names the volume the disk said to be in did not hold.
    EXPECT_EQ(prompts[1], "File not found on the installation disk: " + volumes[1].name +
                              ". Please insert Disk 2");
    EXPECT_EQ(f.log().find("FILE: \"C:\\APP\\A.BIN\"") != std::string::npos, c.keptAndLogged);
    EXPECT_EQ(f.sim.exists("C:\\APP\\A.BIN"), c.keptAndLogged);
    EXPECT_EQ(boxTexts(f).back() ==
                  "File not found on the installation disk: C:\\SETUP\\" + volumes[1].name + ". ",
              c.toldWhatIsMissing);
  }
}

TEST(Package, ContinuesOnAnotherVolumeOnlyForFirstVolumesThatGoOn) {
  EngineFixture f;
  auto multi = build({{"A.BIN", noise(6000, 9), kEntryTime}}, kMinVolumeSize, "MULTI.PAK");
  auto single = build({{"A.BIN", noise(60, 9), kEntryTime}}, 0, "ONE.PAK");
  ASSERT_GE(multi.size(), 2u);
  put(f, multi);
  put(f, single);
  PackageExtractor x(f.engine);
  EXPECT_TRUE(x.continuesOnAnotherVolume("C:\\SETUP\\MULTI.PAK"));
  EXPECT_FALSE(x.continuesOnAnotherVolume("C:\\SETUP\\MULTI.PA1"));
  EXPECT_FALSE(x.continuesOnAnotherVolume("C:\\SETUP\\ONE.PAK"));
  EXPECT_FALSE(x.continuesOnAnotherVolume("C:\\SETUP\\NONE.PAK"));
}

}  // namespace
}  // namespace qm
