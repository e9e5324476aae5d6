#include "tools/container_writer.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "script/memory_system_for_tests.h"
#include "script/source.h"

namespace qm {
namespace {

TEST(ContainerWriter, FatTimeFromUtcSeconds) {
  struct Case {
    int64_t seconds;
    uint16_t date, time;
  };
  const Case cases[] = {
      {315532800, 0x0021, 0x0000},                 // 1980-01-01 00:00:00
      {315532799, 0x0021, 0x0000},                 // before 1980: clamped
      {951782400 + 86399, 0x285D, 0xBF7D},         // 2000-02-29 23:59:59 (seconds halved down)
      {1700000000, 0x576E, 0xB1AA},                // 2023-11-14 22:13:20
      {4354819200 + 86400 * 400, 0xFF9F, 0xBF7D},  // after 2107: clamped to the last time
  };
  for (const Case& c : cases) {
    FatTime t = fatTimeForPacking(c.seconds);
    EXPECT_EQ(t.date, c.date) << c.seconds;
    EXPECT_EQ(t.time, c.time) << c.seconds;
  }
}

TEST(ContainerWriter, StoredNamesDropDirectoriesAndFirstGivenWins) {
  EXPECT_EQ(storedName("dist/sub/README.TXT"), "README.TXT");
  EXPECT_EQ(storedName("C:\\dist\\SETUP.CFG"), "SETUP.CFG");
  EXPECT_EQ(storedName("A:X.BIN"), "X.BIN");
  std::vector<PackItem> items(4);
  const char* names[] = {"a.txt", "B.TXT", "A.TXT", "b.txt"};
  for (int i = 0; i < 4; ++i) items[i].name = names[i], items[i].data = std::to_string(i);
  std::vector<PackItem> kept = withoutDuplicateNames(items);
  ASSERT_EQ(kept.size(), 2u);
  EXPECT_EQ(kept[0].data, "0");
  EXPECT_EQ(kept[1].data, "1");
}

TEST(ContainerWriter, StreamedContainerReadsBackThroughTheReader) {
  std::string dataPath = ::testing::TempDir() + "qm_writer_data.bin";
  std::string outPath = ::testing::TempDir() + "qm_writer_out.bin";
  std::string big(70000, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = char(i * 7);
  std::FILE* d = std::fopen(dataPath.c_str(), "wb");
  ASSERT_TRUE(d);
  std::fwrite(big.data(), 1, big.size(), d);
  std::fclose(d);

  std::vector<PackItem> items(2);
  items[0].name = "BIG.BIN";
  items[0].hostPath = dataPath;
  items[0].size = big.size();
  items[0].time = FatTime{0x4000, 0x1234};
  items[1].name = "SMALL.TXT";
  items[1].data = "small";
  items[1].size = 5;
  std::FILE* o = std::fopen(outPath.c_str(), "wb");
  ASSERT_TRUE(o);
  std::fwrite("STUB", 1, 4, o);
  std::string error;
  ASSERT_TRUE(writeContainer(o, 4, items, error)) << error;
  std::fclose(o);

  std::FILE* r = std::fopen(outPath.c_str(), "rb");
  std::string image;
  char buf[4096];
  for (size_t n; (n = std::fread(buf, 1, sizeof buf, r)) > 0;) image.append(buf, n);
  std::fclose(r);
  EXPECT_EQ(image, containerImage("STUB", {[&] {
                                             PackItem p = items[0];
                                             p.data = big;
                                             return p;
                                           }(),
                                           items[1]}));

  testing::MemorySystem sys;
  sys.put("A:\\SETUP.EXE", image);
  Container c(sys);
  c.setContainer("A:\\SETUP.EXE");
  auto f = c.openSource("big.bin");
  ASSERT_TRUE(f);
  EXPECT_EQ(f->date, 0x4000u);
  EXPECT_EQ(f->time, 0x1234u);
  std::string back(big.size(), '\0');
  EXPECT_EQ(c.readSource(*f, back.data(), uint32_t(back.size())), int32_t(big.size()));
  EXPECT_EQ(back, big);
  std::remove(dataPath.c_str());
  std::remove(outPath.c_str());
}

TEST(ContainerWriter, RefusesWhatTheReaderCouldNotFind) {
  struct Case {
    const char* what;
    std::string name;
    uint64_t size;
  };
  const Case cases[] = {
      {"empty name", "", 1},
      {"name of 256 characters", std::string(256, 'N'), 1},
      {"container past 4 GiB", "HUGE.BIN", 0x100000000ull},
  };
  for (const Case& c : cases) {
    std::vector<PackItem> items(1);
    items[0].name = c.name;
    items[0].size = c.size;
    std::FILE* o = std::tmpfile();
    std::string error;
    EXPECT_FALSE(writeContainer(o, 0, items, error)) << c.what;
    EXPECT_FALSE(error.empty()) << c.what;
    std::fclose(o);
  }
  std::FILE* o = std::tmpfile();
  std::string error;
  EXPECT_FALSE(writeContainer(o, 0, {}, error));
  std::fclose(o);
}

}  // namespace
}  // namespace qm
