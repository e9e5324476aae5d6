#include "tools/container_writer.h"

#include <gtest/gtest.h>

#include <cstdio>

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
