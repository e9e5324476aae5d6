#include "engine/explode.h"

#include <array>
#include <cstring>

namespace qm {
namespace dcl {
namespace {

// The format's code lengths in run form: each byte is (count - 1) << 4 | bit length.
constexpr uint8_t kLiteralRuns[] = {
    11, 124, 8,   7,   28,  7,   188, 13, 76, 4,  10, 8,  12, 10, 12, 10, 8,  23, 8,  9,
    7,  6,   7,   8,   7,   6,   55,  8,  23, 24, 12, 11, 7,  9,  11, 12, 6,  7,  22, 5,
    7,  24,  6,   11,  9,   6,   7,   22, 7,  11, 38, 7,  9,  8,  25, 11, 8,  11, 9,  12,
    8,  12,  5,   38,  5,   38,  5,   11, 7,  5,  6,  21, 6,  10, 53, 8,  7,  24, 10, 27,
    44, 253, 253, 253, 252, 252, 252, 13, 12, 45, 12, 45, 12, 61, 12, 45, 44, 173};
constexpr uint8_t kLengthRuns[] = {2, 35, 36, 53, 38, 23};
constexpr uint8_t kDistanceRuns[] = {2, 20, 53, 230, 247, 151, 248};

template <size_t N, size_t R>
constexpr std::array<Code, N> buildCodes(const uint8_t (&runs)[R]) {
  std::array<uint8_t, N> lengths{};
  size_t symbol = 0;
  for (uint8_t run : runs)
    for (int i = 0; i <= run >> 4 && symbol < N; ++i) lengths[symbol++] = run & 15;
  // Canonical assignment (shorter codes first, then symbol order), most significant bit
  // first; the stream carries each code inverted and least significant bit first.
  std::array<Code, N> codes{};
  unsigned next = 0;
  for (unsigned len = 1; len <= 15; ++len) {
    for (size_t s = 0; s < N; ++s) {
      if (lengths[s] != len) continue;
      unsigned inverted = ~next & ((1u << len) - 1);
      unsigned reversed = 0;
      for (unsigned b = 0; b < len; ++b) reversed |= ((inverted >> b) & 1u) << (len - 1 - b);
      codes[s] = Code{static_cast<uint16_t>(reversed), static_cast<uint8_t>(len)};
      ++next;
    }
    next <<= 1;
  }
  return codes;
}

constexpr auto kLiteralTable = buildCodes<256>(kLiteralRuns);
constexpr auto kLengthTable = buildCodes<kLengthSymbols>(kLengthRuns);
constexpr auto kDistanceTable = buildCodes<kDistanceSymbols>(kDistanceRuns);

}  // namespace

const std::array<Code, 256> kLiteralCodes = kLiteralTable;
const std::array<Code, kLengthSymbols> kLengthCodes = kLengthTable;
const std::array<Code, kDistanceSymbols> kDistanceCodes = kDistanceTable;

const uint16_t kLengthBase[kLengthSymbols] = {3,  2,  4,  5,  6,  7,  8,   9,
                                              10, 12, 16, 24, 40, 72, 136, 264};
const uint8_t kLengthExtraBits[kLengthSymbols] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8};

}  // namespace dcl

namespace {

// Decoding tables indexed by the next `Bits` stream bits: each entry is the symbol in the low
// byte and the code length above it. Unused patterns cannot occur: the codes are complete.
template <unsigned Bits, size_t N>
constexpr std::array<uint16_t, (1u << Bits)> buildDecoder(const std::array<dcl::Code, N>& codes) {
  std::array<uint16_t, (1u << Bits)> table{};
  for (size_t s = 0; s < N; ++s) {
    const dcl::Code c = codes[s];
    for (unsigned high = 0; high < (1u << (Bits - c.length)); ++high)
      table[c.bits | (high << c.length)] = static_cast<uint16_t>(s | (c.length << 8));
  }
  return table;
}

constexpr unsigned kLiteralPeek = 13;
constexpr unsigned kLengthPeek = 7;
constexpr unsigned kDistancePeek = 8;
// The literal table (16 KB) is built on first use instead: stored, it would be a tenth of the
// installer on its floppy. Not constexpr, or the compiler folds the table back into the data.
std::array<uint16_t, (1u << kLiteralPeek)> buildLiteralDecoder() {
  return buildDecoder<kLiteralPeek>(dcl::kLiteralCodes);
}

const std::array<uint16_t, (1u << kLiteralPeek)>& literalDecoder() {
  static const std::array<uint16_t, (1u << kLiteralPeek)> table = buildLiteralDecoder();
  return table;
}
constexpr auto kLengthDecoder = buildDecoder<kLengthPeek>(dcl::kLengthTable);
constexpr auto kDistanceDecoder = buildDecoder<kDistancePeek>(dcl::kDistanceTable);

// Work area layout: the input chunk, then the output window: kHistory bytes of history, the new
// output, room for the longest copy past the hand-off point, and slack for 8-byte copy steps.
constexpr size_t kInputOffset = 0;
constexpr size_t kWindowOffset = kExplodeInputChunk;
constexpr size_t kHistory = 4096;
constexpr size_t kFlushAt = kHistory + kExplodeOutputChunk;
constexpr size_t kWindowSize = kFlushAt + dcl::kMaxCopyLength + 16;
static_assert(kWindowOffset + kWindowSize <= kExplodeWorkSize);

class BitReader {
 public:
  BitReader(ExplodeReadFn read, void* user, uint8_t* buffer)
      : read_(read), user_(user), buffer_(buffer) {}

  // Loads the first chunk; returns the bytes delivered.
  uint32_t start() { return fetch(); }
  uint8_t headerByte(size_t i) const { return buffer_[i]; }
  void skipHeader() {
    pos_ = buffer_ + 2;
    topUp();
  }

  // Moves bytes from the current chunk into the bit buffer, up to 56 bits; never calls read.
  inline void topUp() {
    if (end_ - pos_ >= 8) {
      uint64_t v;
      std::memcpy(&v, pos_, 8);
      bits_ |= v << count_;
      pos_ += (63 - count_) >> 3;
      count_ |= 56;
    } else {
      while (count_ < 56 && pos_ < end_) {
        bits_ |= uint64_t(*pos_++) << count_;
        count_ += 8;
      }
    }
  }
  // Makes at least n bits available, asking for more input when the chunk is used up.
  bool need(unsigned n) {
    while (count_ < n) {
      if (pos_ == end_ && fetch() == 0) return false;
      topUp();
    }
    return true;
  }
  uint64_t peek() const { return bits_; }
  unsigned available() const { return count_; }
  void drop(unsigned n) {
    bits_ >>= n;
    count_ -= n;
  }

 private:
  uint32_t fetch() {
    uint32_t got = read_(buffer_, kExplodeInputChunk, user_);
    if (got > kExplodeInputChunk) got = kExplodeInputChunk;
    pos_ = buffer_;
    end_ = buffer_ + got;
    // Uncounted bits above count_ must be clear before the new chunk's bytes are merged in.
    bits_ &= count_ ? (~uint64_t(0) >> (64 - count_)) : 0;
    return got;
  }

  ExplodeReadFn read_;
  void* user_;
  uint8_t* buffer_;
  const uint8_t* pos_ = nullptr;
  const uint8_t* end_ = nullptr;
  uint64_t bits_ = 0;
  unsigned count_ = 0;
};

// Looks a prefix code up after `skip` bits, fetching more input only when the code found is
// longer than the bits at hand. Returns the table entry, or 0 when the input ended first
// (no entry is 0: every code has a length).
template <unsigned Peek, size_t N>
inline uint16_t decodeSymbol(BitReader& in, const std::array<uint16_t, N>& table, unsigned skip) {
  for (;;) {
    uint16_t e = table[(in.peek() >> skip) & ((1u << Peek) - 1)];
    if ((e >> 8) + skip <= in.available()) return e;
    if (!in.need(in.available() + 1)) return 0;
  }
}

}  // namespace

int explode(ExplodeReadFn read, ExplodeWriteFn write, void* work, void* user) {
  uint8_t* area = static_cast<uint8_t*>(work);
  BitReader in(read, user, area + kInputOffset);
  if (in.start() < 5) return kExplodeShortHeader;
  const unsigned literalMode = in.headerByte(0);
  const unsigned dictBits = in.headerByte(1);
  if (literalMode > 1) return kExplodeBadLiteralMode;
  if (dictBits < 4 || dictBits > 6) return kExplodeBadDictionary;
  in.skipHeader();

  uint8_t* out = area + kWindowOffset;
  size_t pos = kHistory;     // next output byte
  size_t oldest = kHistory;  // first byte a copy may reach
  const bool ascii = literalMode == dcl::kLiteralModeAscii;
  const std::array<uint16_t, (1u << kLiteralPeek)>& literals = literalDecoder();

  for (;;) {
    if (in.available() < 32) in.topUp();
    if (in.available() < 1 && !in.need(1)) return kExplodeStreamError;
    if ((in.peek() & 1) == 0) {
      if (!ascii) {
        if (in.available() < 9 && !in.need(9)) return kExplodeStreamError;
        out[pos++] = static_cast<uint8_t>(in.peek() >> 1);
        in.drop(9);
      } else {
        uint16_t e = decodeSymbol<kLiteralPeek>(in, literals, 1);
        if (e == 0) return kExplodeStreamError;
        out[pos++] = static_cast<uint8_t>(e);
        in.drop(1 + (e >> 8));
      }
    } else {
      uint16_t e = decodeSymbol<kLengthPeek>(in, kLengthDecoder, 1);
      if (e == 0) return kExplodeStreamError;
      const unsigned symbol = e & 0xFF;
      const unsigned codeBits = 1 + (e >> 8);
      const unsigned extra = dcl::kLengthExtraBits[symbol];
      if (in.available() < codeBits + extra && !in.need(codeBits + extra))
        return kExplodeStreamError;
      const unsigned length =
          dcl::kLengthBase[symbol] + unsigned((in.peek() >> codeBits) & ((1u << extra) - 1));
      in.drop(codeBits + extra);
      if (length == dcl::kEndMarkerLength) break;

      uint16_t d = decodeSymbol<kDistancePeek>(in, kDistanceDecoder, 0);
      if (d == 0) return kExplodeStreamError;
      const unsigned highBits = d >> 8;
      const unsigned lowBits = length == 2 ? 2 : dictBits;
      if (in.available() < highBits + lowBits && !in.need(highBits + lowBits))
        return kExplodeStreamError;
      const size_t distance =
          ((size_t(d & 0xFF) << lowBits) | ((in.peek() >> highBits) & ((1u << lowBits) - 1))) + 1;
      in.drop(highBits + lowBits);
      if (distance > pos - oldest) return kExplodeStreamError;

      uint8_t* dst = out + pos;
      const uint8_t* src = dst - distance;
      if (distance >= 8) {
        // 8-byte steps never read a byte this copy has not written yet; the window has slack
        // for the overshoot past the copy's end.
        for (unsigned done = 0; done < length; done += 8) std::memcpy(dst + done, src + done, 8);
      } else if (distance == 1) {
        std::memset(dst, *src, length);
      } else {
        for (unsigned i = 0; i < length; ++i) dst[i] = src[i];
      }
      pos += length;
    }
    if (pos >= kFlushAt) {
      write(out + kHistory, kExplodeOutputChunk, user);
      std::memmove(out, out + kExplodeOutputChunk, pos - kExplodeOutputChunk);
      pos -= kExplodeOutputChunk;
      oldest = 0;
    }
  }
  if (pos > kHistory) write(out + kHistory, static_cast<uint32_t>(pos - kHistory), user);
  return kExplodeOk;
}

}  // namespace qm
