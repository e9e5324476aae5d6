// Draws a screen bitmap with GDI: through a logical palette when it has more than 16 colours
// (built on first use and kept), converted to a device bitmap on every drawing, and copied to
// the places its layout gives.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "shell/screen_bitmap.h"
#include "shell/screen_layout.h"

namespace qm {

class BitmapPainter {
 public:
  explicit BitmapPainter(ScreenBitmap bitmap) : bitmap_(std::move(bitmap)) {}
  ~BitmapPainter();
  BitmapPainter(const BitmapPainter&) = delete;
  BitmapPainter& operator=(const BitmapPainter&) = delete;

  const ScreenBitmap& bitmap() const { return bitmap_; }
  // By the bitmap's placement into (0, 0)-(right, bottom), both corners included.
  void draw(HDC dc, int right, int bottom);
  // Over the whole of that area, whatever the placement.
  void drawStretched(HDC dc, int right, int bottom);

 private:
  void draw(HDC dc, const BitmapLayout& layout);
  HPALETTE palette(HDC dc);

  ScreenBitmap bitmap_;
  HPALETTE palette_ = nullptr;
  bool paletteTried_ = false;
  // The information header followed by 16-bit indexes into the palette, one per colour.
  std::vector<uint8_t> indexHeader_;
};

}  // namespace qm
