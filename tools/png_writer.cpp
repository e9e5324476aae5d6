#include "tools/png_writer.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace qm::pack {

namespace {

// Deflate's length codes 257..285: the shortest length of each and its extra bits.
constexpr std::array<int, 29> kLengthBase{3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                          15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                          67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::array<int, 29> kLengthExtra{0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                           2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
// Distance codes 0..29.
constexpr std::array<int, 30> kDistanceBase{
    1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr int kMinMatch = 3;
constexpr int kMaxMatch = 258;
constexpr size_t kMaxDistance = 32768;

class BitWriter {
 public:
  explicit BitWriter(std::vector<uint8_t>& out) : out_(out) {}
  // value's low count bits, least significant first (deflate's order for everything but codes).
  void bits(uint32_t value, int count) {
    for (int i = 0; i < count; ++i) bit((value >> i) & 1);
  }
  // A Huffman code, most significant bit first.
  void code(uint32_t value, int count) {
    for (int i = count - 1; i >= 0; --i) bit((value >> i) & 1);
  }
  void flush() {
    if (used_ > 0) out_.push_back(current_);
    current_ = 0;
    used_ = 0;
  }

 private:
  void bit(uint32_t b) {
    current_ |= uint8_t(b << used_);
    if (++used_ == 8) flush();
  }
  std::vector<uint8_t>& out_;
  uint8_t current_ = 0;
  int used_ = 0;
};

// The fixed literal/length code of symbol 0..287.
void fixedSymbol(BitWriter& w, int symbol) {
  if (symbol < 144)
    w.code(0x30 + symbol, 8);
  else if (symbol < 256)
    w.code(0x190 + symbol - 144, 9);
  else if (symbol < 280)
    w.code(symbol - 256, 7);
  else
    w.code(0xC0 + symbol - 280, 8);
}

void match(BitWriter& w, int length, size_t distance) {
  int l =
      int(std::upper_bound(kLengthBase.begin(), kLengthBase.end(), length) - kLengthBase.begin()) -
      1;
  fixedSymbol(w, 257 + l);
  w.bits(uint32_t(length - kLengthBase[size_t(l)]), kLengthExtra[size_t(l)]);
  int d = int(std::upper_bound(kDistanceBase.begin(), kDistanceBase.end(), int(distance)) -
              kDistanceBase.begin()) -
          1;
  w.code(uint32_t(d), 5);
  // Distance codes 4 and up carry (code / 2 - 1) extra bits.
  w.bits(uint32_t(int(distance) - kDistanceBase[size_t(d)]), d < 4 ? 0 : d / 2 - 1);
}

size_t matchLength(const std::vector<uint8_t>& data, size_t at, size_t distance) {
  if (distance == 0 || distance > at || distance > kMaxDistance) return 0;
  size_t n = 0;
  const size_t limit = std::min<size_t>(kMaxMatch, data.size() - at);
  while (n < limit && data[at + n] == data[at + n - distance]) ++n;
  return n;
}

void put32(std::string& out, uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) out += char((v >> s) & 0xFF);
}

void chunk(std::string& out, const char* type, const std::vector<uint8_t>& body) {
  put32(out, uint32_t(body.size()));
  std::vector<uint8_t> typed(type, type + 4);
  typed.insert(typed.end(), body.begin(), body.end());
  out.append(typed.begin(), typed.end());
  put32(out, crc32Of(typed.data(), typed.size()));
}

}  // namespace

uint32_t crc32Of(const uint8_t* data, size_t size, uint32_t crc) {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  crc = ~crc;
  for (size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

uint32_t adler32Of(const uint8_t* data, size_t size) {
  uint32_t a = 1, b = 0;
  for (size_t i = 0; i < size; ++i) {
    a = (a + data[i]) % 65521;
    b = (b + a) % 65521;
  }
  return (b << 16) | a;
}

std::vector<uint8_t> zlibCompress(const std::vector<uint8_t>& data,
                                  const std::vector<size_t>& distances) {
  std::vector<uint8_t> out{0x78, 0x01};  // deflate, 32 KB window, no dictionary
  BitWriter w(out);
  w.bits(1, 1);  // the only block, and the last
  w.bits(1, 2);  // fixed Huffman codes
  // Earlier places of the same three bytes, newest first: a hash of them leads to the latest,
  // and each place to the one before it with the same hash.
  constexpr size_t kHashSize = 1 << 15;
  constexpr int kMaxTries = 32;
  constexpr size_t kNone = SIZE_MAX;
  std::vector<size_t> head(kHashSize, kNone), previous(data.size(), kNone);
  auto hashAt = [&](size_t at) {
    return ((size_t(data[at]) << 10) ^ (size_t(data[at + 1]) << 5) ^ data[at + 2]) &
           (kHashSize - 1);
  };
  auto remember = [&](size_t at) {
    if (at + kMinMatch > data.size()) return;
    size_t& h = head[hashAt(at)];
    previous[at] = h;
    h = at;
  };
  for (size_t at = 0; at < data.size();) {
    size_t best = 0, bestDistance = 0;
    auto consider = [&](size_t d) {
      size_t n = matchLength(data, at, d);
      if (n > best) best = n, bestDistance = d;
    };
    for (size_t d : distances) consider(d);
    if (best < kMaxMatch && at + kMinMatch <= data.size()) {
      size_t candidate = head[hashAt(at)];
      for (int tries = 0; tries < kMaxTries && candidate != kNone && at - candidate <= kMaxDistance;
           ++tries, candidate = previous[candidate])
        consider(at - candidate);
    }
    if (best >= kMinMatch) {
      match(w, int(best), bestDistance);
      for (size_t i = 0; i < best; ++i) remember(at + i);
      at += best;
    } else {
      fixedSymbol(w, data[at]);
      remember(at++);
    }
  }
  fixedSymbol(w, 256);
  w.flush();
  uint32_t adler = adler32Of(data.data(), data.size());
  for (int s = 24; s >= 0; s -= 8) out.push_back(uint8_t(adler >> s));
  return out;
}

std::string encodePng(const RgbImage& image) {
  if (image.width <= 0 || image.height <= 0 ||
      image.rgb.size() != size_t(image.width) * size_t(image.height) * 3)
    return {};
  const size_t stride = size_t(image.width) * 3 + 1;
  std::vector<uint8_t> raw;
  raw.reserve(stride * size_t(image.height));
  for (int y = 0; y < image.height; ++y) {
    raw.push_back(0);  // no filter: the matches below do the work of one
    auto row = image.rgb.begin() + std::ptrdiff_t(size_t(y) * (stride - 1));
    raw.insert(raw.end(), row, row + std::ptrdiff_t(stride - 1));
  }
  std::string out("\x89PNG\r\n\x1a\n", 8);
  std::vector<uint8_t> header;
  for (uint32_t v : {uint32_t(image.width), uint32_t(image.height)})
    for (int s = 24; s >= 0; s -= 8) header.push_back(uint8_t(v >> s));
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, deflate, no filter, no interlace
  chunk(out, "IHDR", header);
  // The same pixel to the left, and the same place a row up: flat areas and repeated rows.
  chunk(out, "IDAT", zlibCompress(raw, {3, stride}));
  chunk(out, "IEND", {});
  return out;
}

}  // namespace qm::pack
