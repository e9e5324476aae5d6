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

// Defined constexpr so that the decoding tables below can be built from them at compile time.
constexpr uint16_t kLengthBase[kLengthSymbols] = {3,  2,  4,  5,  6,  7,  8,   9,
                                                  10, 12, 16, 24, 40, 72, 136, 264};
constexpr uint8_t kLengthExtraBits[kLengthSymbols] = {0, 0, 0, 0, 0, 0, 0, 0,
                                                      1, 2, 3, 4, 5, 6, 7, 8};

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
constexpr auto kDistanceDecoder = buildDecoder<kDistancePeek>(dcl::kDistanceTable);

// The length codes and their extra bits in one lookup: each entry holds the copy length's base
// (bits 0-9), the mask for its extra bits (bits 10-17), the length of its code (bits 18-21) and
// the bits the flag, code and extra bits take together (bits 22-26).
constexpr std::array<uint32_t, (1u << kLengthPeek)> buildLengthDecoder() {
  const auto codes = buildDecoder<kLengthPeek>(dcl::kLengthTable);
  std::array<uint32_t, (1u << kLengthPeek)> table{};
  for (size_t i = 0; i < table.size(); ++i) {
    const unsigned symbol = codes[i] & 0xFF;
    const unsigned codeLength = codes[i] >> 8;
    const unsigned extra = dcl::kLengthExtraBits[symbol];
    table[i] = dcl::kLengthBase[symbol] | ((1u << extra) - 1) << 10 | codeLength << 18 |
               (1 + codeLength + extra) << 22;
  }
  return table;
}
constexpr auto kLengthDecoder = buildLengthDecoder();
constexpr unsigned kLengthCodeShift = 18;
inline unsigned lengthBase(uint32_t e) { return e & 0x3FF; }
inline unsigned lengthExtraMask(uint32_t e) { return (e >> 10) & 0xFF; }
inline unsigned lengthCodeBits(uint32_t e) { return 1 + ((e >> kLengthCodeShift) & 15); }
inline unsigned lengthFieldBits(uint32_t e) { return e >> 22; }

// Work area layout: the input chunk, then a circular output window of two halves, then room for
// what one token may write past the window's end. Output is decoded straight into the window and
// each half is handed on when full; the other half keeps the history copies reach back into, so
// nothing is moved at a hand-off but the few bytes a token wrote past the window's end.
// Past the window's end: the longest copy, the literals one refill's bits can still hold after
// the room check, and the overshoot of a copy's 16-byte steps.
constexpr size_t kCopySlack = 32;
constexpr size_t kWindowSlack = dcl::kMaxCopyLength + kCopySlack;
// The farthest a copy reaches (the largest dictionary); a half must hold it.
constexpr size_t kMaxReach = 4096;

struct Layout {
  uint32_t input;  // bytes asked for per read
  uint32_t half;   // bytes handed on per write; a power of two
};
constexpr Layout kClassic{kExplodeInputChunk, kExplodeOutputChunk};
constexpr Layout kLarge{kExplodeLargeChunk, kExplodeLargeChunk};
constexpr size_t workSizeOf(Layout l) { return l.input + 2 * size_t(l.half) + kWindowSlack; }
static_assert(workSizeOf(kClassic) <= kExplodeWorkSize);
static_assert(workSizeOf(kLarge) <= kExplodeLargeWorkSize);
static_assert(kExplodeOutputChunk >= kMaxReach);

// The most bits one token takes: a copy's flag, length code and extra bits, distance code and
// low bits. A literal takes fewer: its flag and 8 bits in binary mode, at most 13 in ASCII mode.
constexpr unsigned kMaxTokenBits = 1 + 7 + 8 + 8 + 6;
constexpr unsigned kBinaryLiteralBits = 1 + 8;
constexpr unsigned kMaxAsciiLiteralBits = 1 + 13;
// One refill leaves at most 63 bits; binary literals are taken while a whole one remains.
constexpr size_t kMaxLiteralRun = (63 - kBinaryLiteralBits) / kBinaryLiteralBits + 1;
static_assert(kMaxLiteralRun + 15 <= kCopySlack);

class BitReader {
 public:
  BitReader(ExplodeReadFn read, void* user, uint8_t* buffer, uint32_t size)
      : read_(read), user_(user), buffer_(buffer), size_(size) {}

  // Loads the first chunk; returns the bytes delivered.
  uint32_t start() { return fetch(); }
  uint8_t headerByte(size_t i) const { return buffer_[i]; }
  void skipHeader() {
    pos_ = buffer_ + 2;
    topUp();
  }

  // Moves bytes from the current chunk into the bit buffer, up to 56 bits; never calls read.
  void topUp() {
    if (end_ - pos_ >= 8) {
      refill(bits_, count_, pos_);
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

  // Fills the bit buffer to at least 56 bits with one 8-byte load from at, which must have 8
  // bytes left in the chunk. The bits above count were either clear or loaded from the same
  // bytes before, so OR-ing them in again changes nothing.
  static inline void refill(uint64_t& bits, unsigned& count, const uint8_t*& at) {
    uint64_t v;
    std::memcpy(&v, at, 8);
    bits |= v << count;
    at += (63 - count) >> 3;
    count |= 56;
  }

  // The fast path works on copies of the reader's state and hands them back.
  const uint8_t* pos_ = nullptr;
  const uint8_t* end_ = nullptr;
  uint64_t bits_ = 0;
  unsigned count_ = 0;

 private:
  uint32_t fetch() {
    uint32_t got = read_(buffer_, size_, user_);
    if (got > size_) got = size_;
    pos_ = buffer_;
    end_ = buffer_ + got;
    // Uncounted bits above count_ must be clear before the new chunk's bytes are merged in.
    bits_ &= count_ ? (~uint64_t(0) >> (64 - count_)) : 0;
    return got;
  }

  ExplodeReadFn read_;
  void* user_;
  uint8_t* buffer_;
  uint32_t size_;
};

// Looks a prefix code up after `skip` bits, fetching more input only when the code found is
// longer than the bits at hand. lengthShift places the code's length in the table entry.
// Returns the table entry, or 0 when the input ended first (no entry is 0: every code has a
// length).
template <unsigned Peek, typename Entry, size_t N>
inline Entry decodeSymbol(BitReader& in, const std::array<Entry, N>& table, unsigned skip,
                          unsigned lengthShift) {
  for (;;) {
    Entry e = table[(in.peek() >> skip) & ((1u << Peek) - 1)];
    if (((e >> lengthShift) & 15) + skip <= in.available()) return e;
    if (!in.need(in.available() + 1)) return 0;
  }
}

// Copies length bytes from distance bytes back, as the format defines an overlapping copy:
// byte by byte in effect. May write up to kCopySlack - 1 bytes past the copy's end.
inline void copyMatch(uint8_t* dst, size_t distance, unsigned length) {
  const uint8_t* src = dst - distance;
  if (distance >= 16) {
    // 16-byte steps never read a byte this copy has not written yet.
    unsigned done = 0;
    do {
      std::memcpy(dst + done, src + done, 16);
      done += 16;
    } while (done < length);
  } else if (distance >= 8) {
    unsigned done = 0;
    do {
      std::memcpy(dst + done, src + done, 8);
      done += 8;
    } while (done < length);
  } else {
    // A short period: lay down the first 8 bytes one at a time, then copy 8-byte steps from
    // a whole number of periods back, at least 8 bytes away.
    for (unsigned i = 0; i < 8; ++i) dst[i] = src[i];
    static constexpr uint8_t kPeriodStep[8] = {0, 8, 8, 9, 8, 10, 12, 14};
    const unsigned step = kPeriodStep[distance];
    for (unsigned done = 8; done < length; done += 8) std::memcpy(dst + done, dst + done - step, 8);
  }
}

// Copies length bytes from src to a dst below it, in 16-byte steps; the steps read at most 15
// bytes past the source's end and write as far past the destination's.
inline void copyDown(uint8_t* dst, const uint8_t* src, unsigned length) {
  unsigned done = 0;
  do {
    std::memcpy(dst + done, src + done, 16);
    done += 16;
  } while (done < length);
}

struct Window {
  uint8_t* out;
  size_t size;     // both halves
  size_t pos;      // next output byte
  size_t handOff;  // the end of the half being filled
  bool wrapped;    // the window has been filled once: every reach finds history
};

// Places a copy at out + pos. A copy whose source lies before the window's start takes it from
// the window's end, where the other half keeps it; the part that runs on past the end continues
// at the start, at the same distance. False for a copy that reaches before the output's start.
inline bool placeCopy(uint8_t* out, size_t pos, size_t size, bool wrapped, size_t distance,
                      unsigned length) {
  if (distance <= pos) {
    copyMatch(out + pos, distance, length);
    return true;
  }
  if (!wrapped) return false;
  const size_t before = distance - pos;  // source bytes at the window's end
  if (length <= before) {
    copyDown(out + pos, out + size - before, length);
  } else {
    copyDown(out + pos, out + size - before, unsigned(before));
    copyMatch(out + pos + before, distance, length - unsigned(before));
  }
  return true;
}

enum class Run { kMore, kEnd, kError };

// The fast path: decodes tokens while the input chunk has 8 bytes left for a refill and the
// window is short of its hand-off point. One refill gives at least 56 bits, more than any
// token takes, and a token that starts below the hand-off point stays inside the window, so
// nothing is checked per byte. Stops with kMore when either room runs out.
template <bool ascii>
Run fastTokens(BitReader& in, Window& w, unsigned dictBits, const uint16_t* literals) {
  static_assert(kMaxTokenBits <= 56);
  const uint8_t* at = in.pos_;
  const uint8_t* const end = in.end_;
  uint64_t bits = in.bits_;
  unsigned count = in.count_;
  uint8_t* const out = w.out;
  uint8_t* op = out + w.pos;
  uint8_t* const handOff = out + w.handOff;
  Run result = Run::kMore;
  const auto literal = [&] {
    if constexpr (!ascii) {
      *op++ = static_cast<uint8_t>(bits >> 1);
      bits >>= 9;
      count -= 9;
    } else {
      const uint16_t e = literals[(bits >> 1) & ((1u << kLiteralPeek) - 1)];
      *op++ = static_cast<uint8_t>(e);
      bits >>= 1 + (e >> 8);
      count -= 1 + (e >> 8);
    }
  };
  while (end - at >= 8 && op < handOff) {
    BitReader::refill(bits, count, at);
    if constexpr (ascii) {
      // A literal leaves bits enough for a token of either kind, which still starts at or
      // below the hand-off point.
      static_assert(kMaxAsciiLiteralBits + kMaxTokenBits <= 56);
      if ((bits & 1) == 0) {
        literal();
        if ((bits & 1) == 0) {
          literal();
          continue;
        }
      }
    } else {
      // A run of literals takes what the bit buffer holds before the next refill; the
      // window's slack has room for the bytes it adds past the hand-off point.
      while ((bits & 1) == 0 && count >= kBinaryLiteralBits) literal();
      if ((bits & 1) == 0 || count < kMaxTokenBits) continue;
    }
    const uint32_t e = kLengthDecoder[(bits >> 1) & ((1u << kLengthPeek) - 1)];
    const unsigned length =
        lengthBase(e) + unsigned((bits >> lengthCodeBits(e)) & lengthExtraMask(e));
    unsigned used = lengthFieldBits(e);
    if (length == dcl::kEndMarkerLength) {
      bits >>= used;
      count -= used;
      result = Run::kEnd;
      break;
    }
    const uint16_t d = kDistanceDecoder[(bits >> used) & ((1u << kDistancePeek) - 1)];
    used += d >> 8;
    const unsigned lowBits = length == 2 ? 2 : dictBits;
    const size_t distance =
        ((size_t(d & 0xFF) << lowBits) | ((bits >> used) & ((1u << lowBits) - 1))) + 1;
    used += lowBits;
    bits >>= used;
    count -= used;
    if (distance <= size_t(op - out)) [[likely]] {
      copyMatch(op, distance, length);
    } else if (!placeCopy(out, size_t(op - out), w.size, w.wrapped, distance, length)) {
      return Run::kError;
    }
    op += length;
  }
  in.pos_ = at;
  in.bits_ = bits;
  in.count_ = count;
  w.pos = op - w.out;
  return result;
}

// The careful path, for the last bytes of an input chunk: each field's bits are made available
// before it is read, fetching the next chunk when needed.
inline Run carefulToken(BitReader& in, Window& w, unsigned dictBits, bool ascii,
                        const std::array<uint16_t, (1u << kLiteralPeek)>& literals) {
  in.topUp();
  if (in.available() < 1 && !in.need(1)) return Run::kError;
  if ((in.peek() & 1) == 0) {
    if (!ascii) {
      if (in.available() < 9 && !in.need(9)) return Run::kError;
      w.out[w.pos++] = static_cast<uint8_t>(in.peek() >> 1);
      in.drop(9);
    } else {
      const uint16_t e = decodeSymbol<kLiteralPeek>(in, literals, 1, 8);
      if (e == 0) return Run::kError;
      w.out[w.pos++] = static_cast<uint8_t>(e);
      in.drop(1 + (e >> 8));
    }
    return Run::kMore;
  }
  const uint32_t e = decodeSymbol<kLengthPeek>(in, kLengthDecoder, 1, kLengthCodeShift);
  if (e == 0) return Run::kError;
  const unsigned used = lengthFieldBits(e);
  if (in.available() < used && !in.need(used)) return Run::kError;
  const unsigned length =
      lengthBase(e) + unsigned((in.peek() >> lengthCodeBits(e)) & lengthExtraMask(e));
  in.drop(used);
  if (length == dcl::kEndMarkerLength) return Run::kEnd;

  const uint16_t d = decodeSymbol<kDistancePeek>(in, kDistanceDecoder, 0, 8);
  if (d == 0) return Run::kError;
  const unsigned highBits = d >> 8;
  const unsigned lowBits = length == 2 ? 2 : dictBits;
  if (in.available() < highBits + lowBits && !in.need(highBits + lowBits)) return Run::kError;
  const size_t distance =
      ((size_t(d & 0xFF) << lowBits) | ((in.peek() >> highBits) & ((1u << lowBits) - 1))) + 1;
  in.drop(highBits + lowBits);
  if (!placeCopy(w.out, w.pos, w.size, w.wrapped, distance, length)) return Run::kError;
  w.pos += length;
  return Run::kMore;
}

}  // namespace

namespace {

int explodeIn(ExplodeReadFn read, ExplodeWriteFn write, uint8_t* area, Layout layout, void* user) {
  BitReader in(read, user, area, layout.input);
  if (in.start() < 5) return kExplodeShortHeader;
  const unsigned literalMode = in.headerByte(0);
  const unsigned dictBits = in.headerByte(1);
  if (literalMode > 1) return kExplodeBadLiteralMode;
  if (dictBits < 4 || dictBits > 6) return kExplodeBadDictionary;
  in.skipHeader();

  Window w{area + layout.input, 2 * size_t(layout.half), 0, layout.half, false};
  const bool ascii = literalMode == dcl::kLiteralModeAscii;
  static_assert((size_t(64) << 6) == kMaxReach);
  const std::array<uint16_t, (1u << kLiteralPeek)>& literals = literalDecoder();
  // Hands on the half just filled. Past the window's end, what the last token wrote there goes
  // back to the start, where it belongs.
  const auto handOn = [&] {
    write(w.out + w.handOff - layout.half, layout.half, user);
    if (w.handOff == w.size) {
      std::memcpy(w.out, w.out + w.size, w.pos - w.size);
      w.pos -= w.size;
      w.handOff = layout.half;
      w.wrapped = true;
    } else {
      w.handOff = w.size;
    }
  };

  // Every token starts with pos below the hand-off point, so a copy's bytes (and its slack) stay
  // inside the window and the room past its end.
  for (;;) {
    Run r = ascii ? fastTokens<true>(in, w, dictBits, literals.data())
                  : fastTokens<false>(in, w, dictBits, literals.data());
    if (r == Run::kMore && w.pos < w.handOff) r = carefulToken(in, w, dictBits, ascii, literals);
    if (r == Run::kError) return kExplodeStreamError;
    if (r == Run::kEnd) break;
    if (w.pos >= w.handOff) handOn();
  }
  if (w.pos >= w.handOff) handOn();
  const size_t start = w.handOff - layout.half;
  if (w.pos > start) write(w.out + start, static_cast<uint32_t>(w.pos - start), user);
  return kExplodeOk;
}

}  // namespace

int explode(ExplodeReadFn read, ExplodeWriteFn write, void* work, void* user) {
  return explodeIn(read, write, static_cast<uint8_t*>(work), kClassic, user);
}

int explodeLarge(ExplodeReadFn read, ExplodeWriteFn write, void* work, void* user) {
  return explodeIn(read, write, static_cast<uint8_t*>(work), kLarge, user);
}

}  // namespace qm
