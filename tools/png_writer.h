// A PNG file from RGB pixels, written without any library: the zlib stream is deflated with the
// fixed Huffman codes, matching the pixel to the left, the row above and earlier repeats of three
// bytes, which the flat colours, bands and boxes of a drawn screen shrink to a few kilobytes by.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qm::pack {

// CRC-32 (polynomial 0xEDB88320) as PNG chunks and zip files carry it.
uint32_t crc32Of(const uint8_t* data, size_t size, uint32_t crc = 0);
// Adler-32 as a zlib stream ends with it.
uint32_t adler32Of(const uint8_t* data, size_t size);

// A complete zlib stream (header, one fixed-code deflate block, Adler-32) of data. Repeats are
// looked for at the given distances back (each at most 32768) and where the same three bytes
// were seen before; the longest wins.
std::vector<uint8_t> zlibCompress(const std::vector<uint8_t>& data,
                                  const std::vector<size_t>& distances = {1});

// An 8-bit RGB image, rows top down, 3 bytes a pixel: rgb.size() == 3 * width * height.
struct RgbImage {
  int width = 0, height = 0;
  std::vector<uint8_t> rgb;
};

// The PNG file's bytes; empty for an image without pixels or with a buffer of the wrong size.
std::string encodePng(const RgbImage& image);

}  // namespace qm::pack
