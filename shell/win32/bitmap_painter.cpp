#include "shell/win32/bitmap_painter.h"

#include <cstring>

namespace qm {

namespace {

constexpr int kPaletteThreshold = 16;

// A memory DC holding a bitmap, both freed together.
struct MemoryBitmap {
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ previous = nullptr;
  MemoryBitmap(HDC like, int width, int height) {
    dc = CreateCompatibleDC(like);
    bitmap = CreateCompatibleBitmap(like, width, height);
    if (dc && bitmap) previous = SelectObject(dc, bitmap);
  }
  ~MemoryBitmap() {
    if (previous) SelectObject(dc, previous);
    if (bitmap) DeleteObject(bitmap);
    if (dc) DeleteDC(dc);
  }
  bool ok() const { return dc && bitmap && previous; }
};

}  // namespace

BitmapPainter::~BitmapPainter() {
  if (palette_) DeleteObject(palette_);
}

HPALETTE BitmapPainter::palette(HDC dc) {
  if (paletteTried_ || bitmap_.colourCount() <= kPaletteThreshold) return palette_;
  paletteTried_ = true;
  const std::vector<PaletteColour> colours = bitmap_.colours();
  std::vector<uint8_t> block(sizeof(LOGPALETTE) + colours.size() * sizeof(PALETTEENTRY));
  auto* logical = reinterpret_cast<LOGPALETTE*>(block.data());
  logical->palVersion = 0x300;
  logical->palNumEntries = WORD(colours.size());
  for (size_t i = 0; i < colours.size(); ++i)
    logical->palPalEntry[i] = PALETTEENTRY{colours[i].red, colours[i].green, colours[i].blue, 0};
  palette_ = CreatePalette(logical);
  if (!palette_) return nullptr;  // transferred as colours instead
  indexHeader_.assign(bitmap_.image().begin(), bitmap_.image().begin() + kBitmapInfoHeaderSize);
  for (size_t i = 0; i < colours.size(); ++i) {
    indexHeader_.push_back(uint8_t(i));
    indexHeader_.push_back(uint8_t(i >> 8));
  }
  return palette_;
}

void BitmapPainter::draw(HDC dc, int right, int bottom) {
  if (std::optional<BitmapLayout> layout =
          layoutBitmap(bitmap_.width(), bitmap_.height(), bitmap_.placement, right, bottom))
    draw(dc, *layout);
}

void BitmapPainter::drawStretched(HDC dc, int right, int bottom) {
  BitmapLayout layout;
  layout.cell = stretchedBitmap(bitmap_.width(), bitmap_.height(), right, bottom);
  layout.columns = layout.rows = {0};
  draw(dc, layout);
}

void BitmapPainter::draw(HDC dc, const BitmapLayout& layout) {
  if (!bitmap_.loaded()) return;
  HPALETTE pal = palette(dc);
  HPALETTE previousPalette = nullptr;
  if (pal) {
    previousPalette = SelectPalette(dc, pal, FALSE);
    RealizePalette(dc);
  }

  const int width = bitmap_.width(), height = bitmap_.height();
  MemoryBitmap image(dc, width, height);
  if (image.ok()) {
    const uint8_t* rows = bitmap_.image().data() + bitmap_.bitsOffset();
    const auto* info =
        reinterpret_cast<const BITMAPINFO*>(pal ? indexHeader_.data() : bitmap_.image().data());
    SetDIBits(dc, image.bitmap, 0, UINT(height), rows, info, pal ? DIB_PAL_COLORS : DIB_RGB_COLORS);

    const Blit& cell = layout.cell;
    if (cell.width != cell.srcWidth || cell.height != cell.srcHeight) {
      SetStretchBltMode(dc, COLORONCOLOR);
      StretchBlt(dc, cell.x, cell.y, cell.width, cell.height, image.dc, cell.srcX, cell.srcY,
                 cell.srcWidth, cell.srcHeight, SRCCOPY);
    } else if (layout.columns.size() * layout.rows.size() <= 1) {
      BitBlt(dc, cell.x, cell.y, cell.width, cell.height, image.dc, cell.srcX, cell.srcY, SRCCOPY);
    } else {
      // One row of tiles is built off screen and then copied down the area: as many copies as
      // there are columns plus rows, not their product, however small the tile.
      const int stripWidth = layout.columns.back() + cell.width;
      MemoryBitmap strip(dc, stripWidth, cell.height);
      if (strip.ok()) {
        for (int x : layout.columns)
          BitBlt(strip.dc, x, 0, cell.width, cell.height, image.dc, cell.srcX, cell.srcY, SRCCOPY);
        for (int y : layout.rows)
          BitBlt(dc, 0, y, stripWidth, cell.height, strip.dc, 0, 0, SRCCOPY);
      }
    }
  }
  if (previousPalette) SelectPalette(dc, previousPalette, FALSE);
}

}  // namespace qm
