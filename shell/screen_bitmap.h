// The screen bitmap: a Windows device-independent bitmap file (SCREENGRAPHIC, INTROSCREEN) read
// into one block laid out as the system's packed bitmap (information header, colour table, pixel
// rows), so that a view hands it to the system as it is. Reading is bounded by the file: a
// truncated or lying file is refused before anything is allocated for it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "script/source.h"

namespace qm {

// File header ("BM", file size, two reserved words, bits offset).
constexpr size_t kBitmapFileHeaderSize = 14;
constexpr size_t kBitmapFileTypeOffset = 0;
constexpr size_t kBitmapFileBitsOffset = 10;
// Information header; only its first 40 bytes are read, whatever size it declares.
constexpr size_t kBitmapInfoHeaderSize = 40;
constexpr size_t kBitmapSizeOffset = 0;
constexpr size_t kBitmapWidthOffset = 4;
constexpr size_t kBitmapHeightOffset = 8;
constexpr size_t kBitmapPlanesOffset = 12;
constexpr size_t kBitmapBitCountOffset = 14;
constexpr size_t kBitmapCompressionOffset = 16;
constexpr size_t kBitmapImageSizeOffset = 20;
constexpr size_t kBitmapColoursUsedOffset = 32;
// The older 12-byte header, which is refused.
constexpr uint32_t kBitmapCoreHeaderSize = 12;

constexpr uint32_t kBitmapRgb = 0;   // uncompressed rows
constexpr uint32_t kBitmapRle8 = 1;  // run-length encoded, 8 bits a pixel
constexpr uint32_t kBitmapRle4 = 2;  // run-length encoded, 4 bits a pixel

// No side longer than this, and no more pixels than this in all: a run-length bitmap of a few
// bytes could otherwise ask the view for a device bitmap of gigabytes.
constexpr int kMaxBitmapSide = 16384;
constexpr int64_t kMaxBitmapPixels = int64_t(4096) * 4096;

struct PaletteColour {
  uint8_t red = 0, green = 0, blue = 0;
  friend bool operator==(const PaletteColour&, const PaletteColour&) = default;
};

class ScreenBitmap {
 public:
  // Reads the bitmap through readAt from a file of fileSize bytes. On failure the bitmap stays
  // empty (it then draws and covers nothing) and why says what was wrong.
  bool load(const ReadAt& readAt, uint64_t fileSize, std::string* why = nullptr);

  bool loaded() const { return !image_.empty(); }
  int width() const { return width_; }
  // Rows, whichever way they are stored.
  int height() const { return height_; }
  int bitCount() const { return bitCount_; }
  int colourCount() const { return colourCount_; }
  // The packed bitmap: a 40-byte information header, colourCount() table entries of 4 bytes
  // (blue, green, red, reserved), then the rows from bitsOffset() on.
  const std::vector<uint8_t>& image() const { return image_; }
  size_t bitsOffset() const { return kBitmapInfoHeaderSize + 4 * size_t(colourCount_); }
  size_t imageSize() const { return image_.size() - bitsOffset(); }
  std::vector<PaletteColour> colours() const;

  // SCREENGRAPHIC's placement (GraphicPlacement); the intro screen is always stretched.
  int placement = 0;
  // Whether drawing into the area from (0, 0) to (right, bottom), both included, leaves no
  // background to paint.
  bool covers(int right, int bottom) const;

 private:
  std::vector<uint8_t> image_;
  int width_ = 0, height_ = 0, bitCount_ = 0, colourCount_ = 0;
};

// Opens path through the source reader (a container entry or a plain file) and loads it; the
// result is empty when the file is missing or unusable, with why set.
ScreenBitmap loadScreenBitmap(Container& container, const std::string& path, int placement,
                              std::string* why = nullptr);

}  // namespace qm
