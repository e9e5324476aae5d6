#include "tools/package_writer.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace qm {
namespace {

uint32_t get32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24;
}

TEST(PackageWriter, ContinuationVolumesTakeTheirNumberAtTheEndOfTheExtension) {
  struct Case {
    const char* first;
    int index;
    const char* name;
  } cases[] = {
      {"SETUP.PAK", 0, "SETUP.PAK"},   {"SETUP.PAK", 1, "SETUP.PA1"},
      {"SETUP.PAK", 9, "SETUP.PA9"},   {"SETUP.PAK", 10, "SETUP.P10"},
      {"SETUP.PAK", 123, "SETUP.123"}, {"DATA.Z", 2, "DATA.Z2"},
      {"DATA", 3, "DATA.3"},           {"SETUP.PAK", 1000, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(volumeName(c.first, c.index), c.name) << c.first << c.index;
  for (const char* good : {"A", "SETUP.PAK", "12345678.123", "A-B_C.X"})
    EXPECT_TRUE(isShortName(good)) << good;
  for (const char* bad :
       {"", "TOOLONGNAME.PAK", "A.ABCD", "A.", ".PAK", "A B.PAK", "A.B.C", "D\\A"})
    EXPECT_FALSE(isShortName(bad)) << bad;
}

TEST(PackageWriter, HeadersAndRecordsAreLaidOutByteByByte) {
  std::mt19937 rng(1);
  std::vector<uint8_t> data(9000);
  for (auto& b : data) b = static_cast<uint8_t>(rng());
  std::string error;
  PackageOptions options;
  options.volumeSize = kMinVolumeSize;
  auto volumes = buildPackage(
      "SETUP.PAK",
      {{"SUB\\A.BIN", data, FatTime{0x1234, 0x5678}}, {"E.TXT", {}, FatTime{0x2222, 0x3333}}},
      options, error);
  ASSERT_TRUE(volumes) << error;
  ASSERT_GE(volumes->size(), 3u);
  for (size_t v = 0; v < volumes->size(); ++v) {
    const std::vector<uint8_t>& b = (*volumes)[v].bytes;
    EXPECT_LE(b.size(), kMinVolumeSize);
    EXPECT_EQ(b[14], 't');
    EXPECT_EQ(b[15], 0);
    EXPECT_EQ(b[16] | b[17] << 8, 2);
    EXPECT_EQ(b[18], v == 0 ? 't' : 'u');
    const std::string next(reinterpret_cast<const char*>(b.data()));
    EXPECT_EQ(next, v + 1 < volumes->size() ? volumeName("SETUP.PAK", int(v + 1)) : "");
  }
  const std::vector<uint8_t>& first = (*volumes)[0].bytes;
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&first[58])), "SUB\\A.BIN");
  EXPECT_EQ(get32(first, 58 + 140), 0x1234u);
  EXPECT_EQ(get32(first, 58 + 144), 0x5678u);
  size_t stored = 0;
  for (const auto& v : *volumes) stored += v.bytes.size() - 58;
  // Everything but the two records is A's data; the empty file has none.
  EXPECT_EQ(get32(first, 58 + 136), stored - 2 * 168);
  const std::vector<uint8_t>& last = volumes->back().bytes;
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&last[last.size() - 168])), "E.TXT");
  EXPECT_EQ(get32(last, last.size() - 168 + 136), 0u);
}

TEST(PackageWriter, RefusesWhatReadersCouldNotUse) {
  std::string error;
  PackageOptions small;
  small.volumeSize = kMinVolumeSize - 1;
  EXPECT_FALSE(buildPackage("SETUP.PAK", {{"A", {1}, {}}}, small, error));
  EXPECT_FALSE(buildPackage("TOOLONGNAME.PAK", {{"A", {1}, {}}}, {}, error));
  // A first volume named like its own continuation would be overwritten by it.
  std::vector<uint8_t> noisy(9000);
  std::mt19937 rng(2);
  for (auto& b : noisy) b = static_cast<uint8_t>(rng());
  EXPECT_FALSE(buildPackage("A.PA1", {{"A", noisy, {}}}, {kMinVolumeSize, {}}, error));
  EXPECT_NE(error.find("A.PA1"), std::string::npos) << error;
  EXPECT_TRUE(buildPackage("A.PA1", {{"A", noisy, {}}}, {}, error)) << error;
  const std::string badNames[] = {"..\\X", "\\X", "C:X", "A\\\\B", std::string(136, 'n'), ""};
  for (const std::string& bad : badNames) {
    EXPECT_FALSE(buildPackage("SETUP.PAK", {{bad, {1}, {}}}, {}, error)) << bad;
    EXPECT_NE(entryNameProblem(bad), "") << bad;
  }
}

}  // namespace
}  // namespace qm
