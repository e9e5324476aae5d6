// Feeds arbitrary bytes to the screen bitmap loader as a bitmap file: it must never read outside
// the file, and what it accepts must be a block the system can draw without reading past it (the
// header's table and image sizes, and whole rows for an uncompressed image), laid out for every
// placement without a copy outside the area.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "script/settings.h"
#include "shell/screen_bitmap.h"
#include "shell/screen_layout.h"

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

uint32_t le32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void checkLayouts(const qm::ScreenBitmap& bitmap) {
  static constexpr int kAreas[][2] = {{0, 0}, {639, 479}, {1023, 767}, {7, 3000}};
  for (const auto& area : kAreas) {
    for (int placement = qm::kPlacementNone; placement <= qm::kPlacementFullScreen; ++placement) {
      auto layout = qm::layoutBitmap(bitmap.width(), bitmap.height(), placement, area[0], area[1]);
      check(layout.has_value());
      const qm::Blit& c = layout->cell;
      check(c.srcX >= 0 && c.srcY >= 0);
      check(c.srcX + c.srcWidth <= bitmap.width() && c.srcY + c.srcHeight <= bitmap.height());
      for (int x : layout->columns) check(x >= 0 && x <= area[0]);
      for (int y : layout->rows) check(y >= 0 && y <= area[1]);
      check(layout->columns.size() <= size_t(area[0]) + 1);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qm::ScreenBitmap bitmap;
  std::string why;
  bool loaded = bitmap.load(
      [&](uint64_t offset, uint8_t* buffer, size_t n) {
        if (offset > size || n > size - offset) return false;
        std::memcpy(buffer, data + offset, n);
        return true;
      },
      size, &why);
  check(loaded == bitmap.loaded());
  if (!loaded) {
    check(!why.empty());
    check(!bitmap.covers(0, 0));
    return 0;
  }
  const std::vector<uint8_t>& image = bitmap.image();
  check(image.size() >= qm::kBitmapInfoHeaderSize);
  check(le32(image.data()) == qm::kBitmapInfoHeaderSize);
  check(le32(image.data() + qm::kBitmapColoursUsedOffset) == uint32_t(bitmap.colourCount()));
  check(bitmap.bitsOffset() <= image.size());
  check(le32(image.data() + qm::kBitmapImageSizeOffset) == bitmap.imageSize());
  check(bitmap.colours().size() == size_t(bitmap.colourCount()));
  check(bitmap.width() > 0 && bitmap.height() > 0);
  if (le32(image.data() + qm::kBitmapCompressionOffset) == qm::kBitmapRgb) {
    const uint64_t row = (uint64_t(bitmap.width()) * bitmap.bitCount() + 31) / 32 * 4;
    check(row * uint64_t(bitmap.height()) <= bitmap.imageSize());
  }
  // The table and the rows each came from the file (they may overlap in it).
  check(image.size() <= qm::kBitmapInfoHeaderSize + 2 * uint64_t(size));
  checkLayouts(bitmap);
  return 0;
}
