#include "shell/screen_bitmap.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <fstream>
#include <iterator>

#include "script/memory_system_for_tests.h"
#include "script/settings.h"

namespace qm {
namespace {

std::string readData(const std::string& name) {
  std::ifstream in(std::string(QM_SOURCE_DIR) + "/tests/data/bitmaps/" + name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

ScreenBitmap loadBytes(const std::string& bytes, std::string* why = nullptr) {
  ScreenBitmap bitmap;
  bitmap.load(
      [&](uint64_t offset, uint8_t* buffer, size_t n) {
        if (offset > bytes.size() || n > bytes.size() - offset) return false;
        std::memcpy(buffer, bytes.data() + offset, n);
        return true;
      },
      bytes.size(), why);
  return bitmap;
}

uint32_t get32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24;
}

// The colour of pixel (x, y), counted from the top, of an uncompressed bottom-up image, read
// from the loaded block the way the system reads a packed bitmap.
PaletteColour pixelAt(const ScreenBitmap& bitmap, int x, int y) {
  const std::vector<uint8_t>& b = bitmap.image();
  const int bits = bitmap.bitCount();
  const size_t row = (size_t(bitmap.width()) * bits + 31) / 32 * 4;
  const uint8_t* line = b.data() + bitmap.bitsOffset() + row * size_t(bitmap.height() - 1 - y);
  if (bits == 24) return {line[3 * x + 2], line[3 * x + 1], line[3 * x]};
  const int bit = x * bits;
  const int index = (line[bit / 8] >> (8 - bits - bit % 8)) & ((1 << bits) - 1);
  return bitmap.colours().at(size_t(index));
}

struct Pixel {
  int x, y;
  PaletteColour colour;
};

TEST(ScreenBitmap, LoadsImageMagickFilesOfEveryDepth) {
  const PaletteColour kBlack{0, 0, 0}, kWhite{255, 255, 255};
  struct Case {
    const char* file;
    int width, height, bits, colours;
    std::vector<Pixel> pixels;  // as ImageMagick reports them
  } cases[] = {
      {"bits1.bmp", 5, 3, 1, 2, {{0, 0, kBlack}, {1, 0, kWhite}, {4, 2, kBlack}, {3, 2, kWhite}}},
      {"bits4.bmp",
       5,
       3,
       4,
       16,
       {{0, 0, {255, 0, 0}}, {4, 2, {0, 255, 0}}, {2, 1, {255, 255, 0}}, {1, 1, {0, 0, 255}}}},
      {"bits8.bmp",
       7,
       4,
       8,
       256,
       {{0, 0, {250, 0, 0}}, {1, 1, {167, 19, 83}}, {6, 3, {0, 255, 250}}}},
      // A 124-byte header: the table follows the whole header, not its first 40 bytes.
      {"bits8v5.bmp", 7, 4, 8, 256, {{0, 0, {250, 0, 0}}, {6, 3, {0, 255, 250}}}},
      {"bits24.bmp",
       5,
       3,
       24,
       0,
       {{4, 0, {200, 100, 50}}, {0, 0, {10, 20, 30}}, {4, 2, {10, 20, 30}}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    std::string why;
    ScreenBitmap bitmap = loadBytes(readData(c.file), &why);
    ASSERT_TRUE(bitmap.loaded()) << why;
    EXPECT_EQ(bitmap.width(), c.width);
    EXPECT_EQ(bitmap.height(), c.height);
    EXPECT_EQ(bitmap.bitCount(), c.bits);
    EXPECT_EQ(bitmap.colourCount(), c.colours);
    // The block is a plain 40-byte header whatever the file had.
    EXPECT_EQ(get32(bitmap.image(), 0), 40u);
    for (const Pixel& p : c.pixels)
      EXPECT_EQ(pixelAt(bitmap, p.x, p.y), p.colour) << p.x << "," << p.y;
  }
}

TEST(ScreenBitmap, RunLengthRowsAreKeptAsStoredWithTheirSize) {
  std::string file = readData("bits8rle.bmp");
  ScreenBitmap bitmap = loadBytes(file);
  ASSERT_TRUE(bitmap.loaded());
  const uint32_t size = get32(bitmap.image(), kBitmapImageSizeOffset);
  const uint32_t bitsAt = uint8_t(file[10]) | uint8_t(file[11]) << 8;
  ASSERT_EQ(bitmap.imageSize(), size);
  EXPECT_EQ(std::string(bitmap.image().begin() + long(bitmap.bitsOffset()), bitmap.image().end()),
            file.substr(bitsAt, size));
}

// A bitmap file written field by field, for the cases no tool writes.
struct BmpFields {
  int32_t width = 2, height = 2;
  uint16_t bits = 8;
  uint32_t headerSize = 40, compression = 0, imageSize = 0, coloursUsed = 2;
  uint32_t bitsOffset = 0;  // 0: right after the table
  int tableEntries = 2;
  size_t rowBytes = 8;  // pixel bytes written after the table
};

std::string writeBmp(const BmpFields& f) {
  std::string s(54, '\0');
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) s[at + i] = char(v >> (8 * i));
  };
  s[0] = 'B';
  s[1] = 'M';
  put32(10, f.bitsOffset);
  put32(14, f.headerSize);
  put32(18, uint32_t(f.width));
  put32(22, uint32_t(f.height));
  s[26] = 1;
  s[28] = char(f.bits);
  s[29] = char(f.bits >> 8);
  put32(30, f.compression);
  put32(34, f.imageSize);
  put32(46, f.coloursUsed);
  for (int i = 0; i < f.tableEntries; ++i) s += std::string{char(i), char(2 * i), char(3 * i), 0};
  for (size_t i = 0; i < f.rowBytes; ++i) s += char(i + 1);
  return s;
}

TEST(ScreenBitmap, RefusesWhatCannotBeDrawnSafely) {
  struct Case {
    const char* name;
    std::string bytes;
  };
  auto with = [](auto change) {
    BmpFields f;
    change(f);
    return writeBmp(f);
  };
  std::string notBm = writeBmp({});
  notBm[1] = 'A';
  std::string good = writeBmp({});
  const Case cases[] = {
      {"empty file", ""},
      {"short file header", "BM\0\0\0"},
      {"not BM", notBm},
      {"short information header", good.substr(0, 40)},
      {"old 12-byte header", with([](BmpFields& f) { f.headerSize = 12; })},
      {"header smaller than 40", with([](BmpFields& f) { f.headerSize = 16; })},
      {"zero width", with([](BmpFields& f) { f.width = 0; })},
      {"negative width", with([](BmpFields& f) { f.width = -2; })},
      {"zero height", with([](BmpFields& f) { f.height = 0; })},
      {"height INT32_MIN", with([](BmpFields& f) { f.height = INT32_MIN; })},
      {"absurd width", with([](BmpFields& f) { f.width = 0x7FFFFFFF; })},
      {"too many pixels", with([](BmpFields& f) { f.width = f.height = 8000; })},
      {"seven bits a pixel", with([](BmpFields& f) { f.bits = 7; })},
      {"bit fields", with([](BmpFields& f) { f.compression = 3; })},
      {"run-length 8 on 24 bits", with([](BmpFields& f) { f.compression = 1, f.bits = 24; })},
      {"top-down run-length", with([](BmpFields& f) { f.compression = 1, f.height = -2; })},
      {"more colours than 8 bits address", with([](BmpFields& f) { f.coloursUsed = 257; })},
      {"colour count overflowing", with([](BmpFields& f) { f.coloursUsed = 0xFFFFFFFF; })},
      {"colour table past the end", with([](BmpFields& f) { f.coloursUsed = 200; })},
      {"used colours 0 on 8 bits with a short table",
       with([](BmpFields& f) { f.coloursUsed = 0; })},
      {"truncated rows", with([](BmpFields& f) { f.rowBytes = 7; })},
      {"image size smaller than its rows", with([](BmpFields& f) { f.imageSize = 4; })},
      {"image size past the end", with([](BmpFields& f) { f.imageSize = 0xFFFFFFF0; })},
      {"bits offset past the end", with([](BmpFields& f) { f.bitsOffset = 0x7FFFFFFF; })},
      {"bits offset leaving too few bytes", with([](BmpFields& f) { f.bitsOffset = 64; })},
      {"header size past the end", with([](BmpFields& f) { f.headerSize = 0xFFFFFFF0; })},
  };
  for (const Case& c : cases) {
    std::string why;
    ScreenBitmap bitmap = loadBytes(c.bytes, &why);
    EXPECT_FALSE(bitmap.loaded()) << c.name;
    EXPECT_FALSE(why.empty()) << c.name;
    EXPECT_FALSE(bitmap.covers(0, 0)) << c.name;
    EXPECT_EQ(bitmap.colours().size(), 0u) << c.name;
  }
}

TEST(ScreenBitmap, AcceptsTheFormsTheFormatAllows) {
  struct Case {
    const char* name;
    BmpFields fields;
    int height, colours;
    size_t imageSize;
  } cases[] = {
      {"rows right after the table", {}, 2, 2, 8},
      {"top-down rows", {.height = -2}, 2, 2, 8},
      {"bits offset given", {.bitsOffset = 62}, 2, 2, 8},
      // A size field larger than the rows: the extra bytes are the file's to give.
      {"image size above its rows", {.imageSize = 10, .rowBytes = 10}, 2, 2, 10},
      {"every colour of 4 bits",
       {.bits = 4, .coloursUsed = 0, .tableEntries = 16, .rowBytes = 8},
       2,
       16,
       8},
      {"16 bits, no table", {.bits = 16, .coloursUsed = 0, .tableEntries = 0}, 2, 0, 8},
      {"32 bits, no table",
       {.bits = 32, .coloursUsed = 0, .tableEntries = 0, .rowBytes = 16},
       2,
       0,
       16},
      {"larger header", {.headerSize = 56, .tableEntries = 6}, 2, 2, 8},
  };
  for (const Case& c : cases) {
    std::string why;
    ScreenBitmap bitmap = loadBytes(writeBmp(c.fields), &why);
    ASSERT_TRUE(bitmap.loaded()) << c.name << ": " << why;
    EXPECT_EQ(bitmap.height(), c.height) << c.name;
    EXPECT_EQ(bitmap.colourCount(), c.colours) << c.name;
    EXPECT_EQ(bitmap.imageSize(), c.imageSize) << c.name;
    EXPECT_EQ(get32(bitmap.image(), kBitmapColoursUsedOffset), uint32_t(c.colours)) << c.name;
  }
}

TEST(ScreenBitmap, ReadsTheColourTableAfterTheDeclaredHeaderAndTheRowsAtTheOffset) {
  // Header of 56 bytes: 16 bytes of other fields come before the table.
  BmpFields f{.headerSize = 56, .tableEntries = 6, .rowBytes = 8};
  std::string bytes = writeBmp(f);
  // Table entries 0..5 were written from offset 54; the table begins at 14 + 56 = 70, entry 4.
  ScreenBitmap bitmap = loadBytes(bytes);
  ASSERT_TRUE(bitmap.loaded());
  EXPECT_EQ(bitmap.colours(), (std::vector<PaletteColour>{{12, 8, 4}, {15, 10, 5}}));
  // The rows follow the table: bytes 1..8.
  EXPECT_EQ(bitmap.image()[bitmap.bitsOffset()], 1);

  f = BmpFields{.bitsOffset = 64};
  bitmap = loadBytes(writeBmp(f) + "xx");
  ASSERT_TRUE(bitmap.loaded());
  EXPECT_EQ(bitmap.image()[bitmap.bitsOffset()], 3);  // two row bytes skipped
}

TEST(ScreenBitmap, CoversTheAreaOnlyWhenNoBackgroundShows) {
  ScreenBitmap bitmap = loadBytes(readData("bits4.bmp"));  // 5 x 3
  ASSERT_TRUE(bitmap.loaded());
  struct Case {
    int placement, right, bottom;
    bool covers;
  } cases[] = {
      {kPlacementNone, 4, 2, true},  // the area is one pixel larger than right, bottom
      {kPlacementTopRight, 5, 2, false},
      {kPlacementTopRight, 4, 3, false},
      {kPlacementNone, 0, 0, true},
      {kPlacementTile, 1023, 767, true},
      {kPlacementFullScreen, 1023, 767, true},
  };
  for (const Case& c : cases) {
    bitmap.placement = c.placement;
    EXPECT_EQ(bitmap.covers(c.right, c.bottom), c.covers)
        << c.placement << " " << c.right << "x" << c.bottom;
  }
}

TEST(ScreenBitmap, LoadsThroughTheSourceReaderAndStaysEmptyWhenMissing) {
  testing::MemorySystem sys;
  sys.put("A:\\DISK1\\LOGO.BMP", readData("bits24.bmp"));
  Container container(sys);
  std::string why;
  ScreenBitmap missing = loadScreenBitmap(container, "A:\\DISK1\\NONE.BMP", kPlacementTile, &why);
  EXPECT_FALSE(missing.loaded());
  EXPECT_EQ(why, "cannot be opened");
  ScreenBitmap found = loadScreenBitmap(container, "A:\\DISK1\\logo.bmp", kPlacementTopRight);
  ASSERT_TRUE(found.loaded());
  EXPECT_EQ(found.placement, kPlacementTopRight);
  EXPECT_EQ(pixelAt(found, 4, 0), (PaletteColour{200, 100, 50}));
}

}  // namespace
}  // namespace qm
