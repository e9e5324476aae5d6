#include "shell/screen_bitmap.h"

#include <cstring>

#include "script/settings.h"

namespace qm {

namespace {

uint16_t le16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t le32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
void putLe16(uint8_t* p, uint16_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
void putLe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

bool fail(std::string* why, const char* text) {
  if (why) *why = text;
  return false;
}

bool validBitCount(int bits) {
  return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

}  // namespace

bool ScreenBitmap::load(const ReadAt& readAt, uint64_t fileSize, std::string* why) {
  image_.clear();
  width_ = height_ = bitCount_ = colourCount_ = 0;

  uint8_t file[kBitmapFileHeaderSize];
  if (fileSize < kBitmapFileHeaderSize || !readAt(0, file, sizeof file))
    return fail(why, "shorter than a bitmap file header");
  if (file[kBitmapFileTypeOffset] != 'B' || file[kBitmapFileTypeOffset + 1] != 'M')
    return fail(why, "not a BM bitmap file");

  uint8_t header[kBitmapInfoHeaderSize];
  if (fileSize < kBitmapFileHeaderSize + sizeof header ||
      !readAt(kBitmapFileHeaderSize, header, sizeof header))
    return fail(why, "shorter than a bitmap information header");
  const uint32_t headerSize = le32(header + kBitmapSizeOffset);
  if (headerSize == kBitmapCoreHeaderSize) return fail(why, "uses the old 12-byte header");
  // Only the first 40 bytes are kept; a header that claims fewer is none the system knows.
  if (headerSize < kBitmapInfoHeaderSize) return fail(why, "unknown information header size");

  const int32_t width = int32_t(le32(header + kBitmapWidthOffset));
  const int32_t storedHeight = int32_t(le32(header + kBitmapHeightOffset));
  const int bits = le16(header + kBitmapBitCountOffset);
  const uint32_t compression = le32(header + kBitmapCompressionOffset);
  // A negative height stores the rows top down; INT32_MIN has no positive counterpart.
  if (width <= 0 || storedHeight == 0 || storedHeight == INT32_MIN)
    return fail(why, "empty or negative size");
  const int64_t height = storedHeight < 0 ? -int64_t(storedHeight) : storedHeight;
  if (width > kMaxBitmapSide || height > kMaxBitmapSide ||
      int64_t(width) * height > kMaxBitmapPixels)
    return fail(why, "too large");
  if (!validBitCount(bits)) return fail(why, "unsupported bits per pixel");
  const bool rle = compression == kBitmapRle8 || compression == kBitmapRle4;
  if (compression != kBitmapRgb && !(compression == kBitmapRle8 && bits == 8 && storedHeight > 0) &&
      !(compression == kBitmapRle4 && bits == 4 && storedHeight > 0))
    return fail(why, "unsupported compression");

  // Colour table: the used-colours field, else every colour the bit count can address. Above 8
  // bits a pixel holds its colour itself, so there is no table unless one is declared.
  const uint64_t addressable = bits <= 8 ? uint64_t(1) << bits : 256;
  uint64_t colours = le32(header + kBitmapColoursUsedOffset);
  if (colours == 0 && bits <= 8) colours = addressable;
  if (colours > addressable) return fail(why, "claims more colours than its pixels can address");

  const uint64_t rowSize = (uint64_t(width) * uint64_t(bits) + 31) / 32 * 4;
  const uint64_t rowsSize = rowSize * uint64_t(height);
  uint64_t imageSize = le32(header + kBitmapImageSizeOffset);
  if (imageSize == 0) imageSize = rowsSize;
  // The system reads whole rows from an uncompressed image, whatever its size field says.
  if (!rle && imageSize < rowsSize) return fail(why, "image size smaller than its rows");

  // The table follows the header at the size the file declares for it.
  const uint64_t tableAt = kBitmapFileHeaderSize + uint64_t(headerSize);
  const uint64_t tableSize = 4 * colours;
  const uint32_t bitsField = le32(file + kBitmapFileBitsOffset);
  const uint64_t bitsAt = bitsField != 0 ? bitsField : tableAt + tableSize;
  if (tableAt + tableSize > fileSize)
    return fail(why, "colour table runs past the end of the file");
  if (bitsAt > fileSize || imageSize > fileSize - bitsAt)
    return fail(why, "pixel rows run past the end of the file");

  std::vector<uint8_t> image(kBitmapInfoHeaderSize + size_t(tableSize) + size_t(imageSize));
  std::memcpy(image.data(), header, sizeof header);
  if (tableSize > 0 && !readAt(tableAt, image.data() + sizeof header, size_t(tableSize)))
    return fail(why, "cannot read the colour table");
  if (imageSize > 0 && !readAt(bitsAt, image.data() + sizeof header + tableSize, size_t(imageSize)))
    return fail(why, "cannot read the pixel rows");

  // The block describes itself as a plain 40-byte header with the table and size it really has,
  // so the system never reads past it.
  putLe32(image.data() + kBitmapSizeOffset, kBitmapInfoHeaderSize);
  putLe16(image.data() + kBitmapPlanesOffset, 1);
  putLe32(image.data() + kBitmapImageSizeOffset, uint32_t(imageSize));
  putLe32(image.data() + kBitmapColoursUsedOffset, uint32_t(colours));

  image_ = std::move(image);
  width_ = width;
  height_ = int(height);
  bitCount_ = bits;
  colourCount_ = int(colours);
  return true;
}

std::vector<PaletteColour> ScreenBitmap::colours() const {
  std::vector<PaletteColour> out;
  out.reserve(size_t(colourCount_));
  for (int i = 0; i < colourCount_; ++i) {
    const uint8_t* entry = image_.data() + kBitmapInfoHeaderSize + 4 * size_t(i);
    out.push_back({entry[2], entry[1], entry[0]});
  }
  return out;
}

bool ScreenBitmap::covers(int right, int bottom) const {
  if (!loaded()) return false;
  // Tiled and stretched bitmaps fill every pixel of the area.
  if (placement == kPlacementTile || placement == kPlacementFullScreen) return true;
  return int64_t(width_) >= int64_t(right) + 1 && int64_t(height_) >= int64_t(bottom) + 1;
}

ScreenBitmap loadScreenBitmap(Container& container, const std::string& path, int placement,
                              std::string* why) {
  ScreenBitmap bitmap;
  bitmap.placement = placement;
  std::unique_ptr<SourceFile> file = container.openSource(path);
  if (!file) {
    if (why) *why = "cannot be opened";
    return bitmap;
  }
  ReadAt readAt = [&](uint64_t offset, uint8_t* buffer, size_t n) {
    if (container.seekSource(*file, int64_t(offset), 0) != int64_t(offset)) return false;
    while (n > 0) {
      uint32_t chunk = n > kCopyBlockSize ? kCopyBlockSize : uint32_t(n);
      int32_t got = container.readSource(*file, buffer, chunk);
      if (got <= 0) return false;
      buffer += got;
      n -= size_t(got);
    }
    return true;
  };
  bitmap.load(readAt, uint64_t(container.sourceSize(*file)), why);
  container.closeSource(file);
  return bitmap;
}

}  // namespace qm
