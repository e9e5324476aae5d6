#include "tools/implode.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>

#include "engine/explode.h"

namespace qm {
namespace {

// The parse is chosen by cost over blocks of this many bytes: every position's matches are
// found, then the cheapest sequence of literals and copies through the block is emitted.
constexpr size_t kBlock = 4096;
// How far each level searches. A match at least `nice` long is taken at once and the positions it
// covers are not searched: they rarely start a cheaper path. `chain` is the number of steps per
// position along four-byte sources (three-byte copies use the nearest source only: a farther one
// costs about as much as its literals). The window is small, but text with a small vocabulary
// fills a chain with many near-equal candidates, and the longest is often deep in it; shorter
// limits than the default's lose on such text, longer ones mostly buy search time on binaries.
// With `skip`, a position that the longest copy found so far still covers for at least that many
// bytes is not searched either: its only copy is that copy's remainder. Where the longest copy of
// a searched position ends, the search goes on all the same, as a greedy parse's would: cheaper
// paths change course there. 0 searches everywhere; otherwise at least 2, and a remainder of 2 is
// taken only from a source near enough for a two-byte copy (otherwise the position is searched).
//
// The default level's effort depends on the dictionary. The per-position work of the parse does
// not shrink with the window, and a smaller window's copies are shorter, which leaves more
// positions to search. So the smaller dictionaries take copies at once sooner and also skip
// positions covered by 2 bytes. The chain stays as deep: text with a small vocabulary needs it
// whatever the window.
struct Effort {
  int nice;
  int chain;
  int skip;
};
// Indexed by the dictionary's low distance bits less 4: 1024, 2048 and 4096 bytes.
constexpr Effort kDefaultEffort[3] = {{16, 32, 2}, {20, 32, 2}, {32, 32, 3}};
constexpr Effort kBestEffort{64, 64, 0};
constexpr bool validSkip(const Effort& e) { return e.skip == 0 || e.skip >= 2; }
static_assert(validSkip(kDefaultEffort[0]) && validSkip(kDefaultEffort[1]) &&
              validSkip(kDefaultEffort[2]) && validSkip(kBestEffort));
// Small heads: the window holds at most 4096 positions.
constexpr int kHashBits = 13;
constexpr int kPairHashBits = 12;
constexpr uint32_t kRing = 8192;  // previous-position ring; larger than the largest window
constexpr int32_t kNone = std::numeric_limits<int32_t>::min() / 2;
constexpr uint32_t kMaxLongDistance = 4096;
constexpr uint32_t kMaxShortDistance = 256;  // a length-2 copy has 2 low distance bits

// Writes codes lowest bit first, four whole bytes at a time into room made beforehand with
// reserve(); flush() writes the last bits and trims the output to what was written.
class BitWriter {
 public:
  explicit BitWriter(std::vector<uint8_t>& out) : out_(out), size_(out.size()) {}
  // Room for `bytes` more bytes: what at most `bytes` / 4 codes of up to 32 bits take.
  void reserve(size_t bytes) {
    const size_t need = size_ + bytes + 8;
    if (out_.size() < need) out_.resize(std::max(need, out_.size() * 2));
  }
  void put(uint32_t bits, unsigned count) {
    acc_ |= uint64_t(bits) << count_;
    count_ += count;
    if (count_ >= 32) {
      uint8_t* at = out_.data() + size_;
      at[0] = static_cast<uint8_t>(acc_);
      at[1] = static_cast<uint8_t>(acc_ >> 8);
      at[2] = static_cast<uint8_t>(acc_ >> 16);
      at[3] = static_cast<uint8_t>(acc_ >> 24);
      size_ += 4;
      acc_ >>= 32;
      count_ -= 32;
    }
  }
  void flush() {
    reserve(8);
    for (; count_ > 0; count_ = count_ > 8 ? count_ - 8 : 0, acc_ >>= 8)
      out_[size_++] = static_cast<uint8_t>(acc_);
    out_.resize(size_);
  }

 private:
  std::vector<uint8_t>& out_;
  size_t size_;  // bytes written
  uint64_t acc_ = 0;
  unsigned count_ = 0;
};

struct Tables {
  uint8_t literalCost[256];
  uint16_t lengthCost[dcl::kEndMarkerLength + 1];
  uint8_t lengthSymbol[dcl::kEndMarkerLength + 1];
  uint8_t longDistanceCost[kMaxLongDistance + 1];
  uint8_t shortDistanceCost[kMaxShortDistance + 1];
};

void buildTables(Tables& t, const ImplodeOptions& o, unsigned dictBits) {
  for (int b = 0; b < 256; ++b) t.literalCost[b] = o.ascii ? 1 + dcl::kLiteralCodes[b].length : 9;
  for (int s = 0; s < dcl::kLengthSymbols; ++s) {
    const int first = dcl::kLengthBase[s];
    const int last = first + (1 << dcl::kLengthExtraBits[s]) - 1;
    for (int len = first; len <= last && len <= dcl::kEndMarkerLength; ++len) {
      t.lengthSymbol[len] = static_cast<uint8_t>(s);
      t.lengthCost[len] = 1 + dcl::kLengthCodes[s].length + dcl::kLengthExtraBits[s];
    }
  }
  // A smaller dictionary reaches less far back: only distances its 64 distance codes can say
  // have a cost, and the match finder never looks further.
  const uint32_t reach = std::min<uint32_t>(kMaxLongDistance, 64u << dictBits);
  for (uint32_t d = 1; d <= kMaxLongDistance; ++d)
    t.longDistanceCost[d] =
        d <= reach ? dcl::kDistanceCodes[(d - 1) >> dictBits].length + dictBits : 0xFF;
  for (uint32_t d = 1; d <= kMaxShortDistance; ++d)
    t.shortDistanceCost[d] = dcl::kDistanceCodes[(d - 1) >> 2].length + 2;
}

inline uint32_t hash3(const uint8_t* p) {
  uint32_t v = uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
  return (v * 2654435761u) >> (32 - kHashBits);
}

inline uint32_t hash2(const uint8_t* p) {
  uint32_t v = uint32_t(p[0]) << 8 | p[1];
  return (v * 2654435761u) >> (32 - kPairHashBits);
}

// The hashes of position p's first two, three and four bytes from one load (p + 3 readable);
// hash2 and hash3 give the same values for the last three positions of the input.
struct Hashes {
  uint32_t h2, h3, h4;
};
inline Hashes hashesAt(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  const uint32_t be = __builtin_bswap32(v);  // p[0] in the high byte
  return Hashes{((be >> 16) * 2654435761u) >> (32 - kPairHashBits),
                ((be >> 8) * 2654435761u) >> (32 - kHashBits),
                (v * 2654435761u) >> (32 - kHashBits)};
}

// Length of the common run of a and b, at most limit bytes (both readable that far).
inline int matchLength(const uint8_t* a, const uint8_t* b, int limit) {
  int n = 0;
  while (n + 8 <= limit) {
    uint64_t x, y;
    std::memcpy(&x, a + n, 8);
    std::memcpy(&y, b + n, 8);
    if (uint64_t diff = x ^ y) return n + (__builtin_ctzll(diff) >> 3);
    n += 8;
  }
  while (n < limit && a[n] == b[n]) ++n;
  return n;
}

struct Match {
  int length;
  uint32_t distance;
};

class Encoder {
 public:
  Encoder(const uint8_t* data, size_t size, const ImplodeOptions& o, std::vector<uint8_t>& out)
      : data_(data),
        size_(size),
        window_(static_cast<uint32_t>(o.dictionarySize)),
        ascii_(o.ascii),
        progress_(o.progress),
        bits_(out) {
    dictBits_ = o.dictionarySize == 1024 ? 4 : o.dictionarySize == 2048 ? 5 : 6;
    buildTables(tables_, o, dictBits_);
    effort_ = o.level == ImplodeLevel::Best ? kBestEffort : kDefaultEffort[dictBits_ - 4];
    std::fill(std::begin(head3_), std::end(head3_), kNone);
    std::fill(std::begin(head4_), std::end(head4_), kNone);
    std::fill(std::begin(head2_), std::end(head2_), kNone);
    bits_.reserve(8);
    bits_.put(o.ascii ? dcl::kLiteralModeAscii : dcl::kLiteralModeBinary, 8);
    bits_.put(dictBits_, 8);
  }

  void run() {
    for (size_t start = 0; start < size_; start += kBlock) {
      parseBlock(start, std::min(size_, start + kBlock));
      if (progress_) progress_(std::min(size_, start + kBlock));
    }
    // End marker: a copy whose length reads as 519.
    bits_.reserve(8);
    bits_.put(1, 1);
    putLength(dcl::kEndMarkerLength);
    bits_.flush();
  }

 private:
  void insert(size_t p) {
    if (p + 3 < size_) {
      insert(p, hashesAt(data_ + p));
      return;
    }
    if (p + 2 < size_) head3_[hash3(data_ + p)] = static_cast<int32_t>(p);
    if (p + 1 < size_) head2_[hash2(data_ + p)] = static_cast<int32_t>(p);
  }
  // Inserts p, which has at least four bytes, under hashes already computed.
  void insert(size_t p, const Hashes& h) {
    prev_[p & (kRing - 1)] = head4_[h.h4];
    head4_[h.h4] = static_cast<int32_t>(p);
    head3_[h.h3] = static_cast<int32_t>(p);
    head2_[h.h2] = static_cast<int32_t>(p);
  }
  // Finds, for growing lengths, the nearest copy source at position p (limit bytes at most);
  // the results go to matches_ in increasing length. Inserts p into the chains.
  int findMatches(size_t p, int limit) {
    int count = 0;
    int best = 1;
    const bool full = p + 3 < size_;
    Hashes h{0, 0, 0};
    if (full) {
      h = hashesAt(data_ + p);
    } else {
      if (p + 1 < size_) h.h2 = hash2(data_ + p);
      if (p + 2 < size_) h.h3 = hash3(data_ + p);
    }
    if (limit >= 2) {
      const int32_t c2 = head2_[h.h2];
      if (c2 != kNone && p - c2 <= kMaxShortDistance && data_[c2] == data_[p] &&
          data_[c2 + 1] == data_[p + 1]) {
        const uint32_t d = static_cast<uint32_t>(p - c2);
        best = 2 + matchLength(data_ + p + 2, data_ + c2 + 2, std::min(limit, 3) - 2);
        matches_[count++] = Match{best, d};
      }
    }
    const uint8_t* cur = data_ + p;
    if (limit >= 3 && best < limit) {
      // Three-byte copies: only the nearest source is worth it, a farther one costs more.
      const int32_t c3 = head3_[h.h3];
      if (c3 != kNone && p - c3 <= window_ && data_[c3] == cur[0] && data_[c3 + 1] == cur[1] &&
          data_[c3 + 2] == cur[2]) {
        const int len = matchLength(cur, data_ + c3, limit);
        const Match m{len, static_cast<uint32_t>(p - c3)};
        if (count > 0 && m.distance <= matches_[count - 1].distance) --count;
        matches_[count++] = m;
        best = len;
      }
    }
    if (limit >= 4 && best < limit) {
      // Longer copies along the chain of sources sharing four bytes.
      int32_t cand = head4_[h.h4];
      for (int steps = effort_.chain; steps > 0 && cand != kNone && p - cand <= window_; --steps) {
        const uint8_t* src = data_ + cand;
        if (src[best] == cur[best] && src[0] == cur[0] && src[1] == cur[1]) {
          int len = matchLength(cur, src, limit);
          if (len > best) {
            const Match m{len, static_cast<uint32_t>(p - cand)};
            // A length-2 hit at a distance kept only for its short form is superseded.
            if (count > 0 && matches_[count - 1].length <= 2 && len >= 3 && best < 3 &&
                m.distance <= matches_[count - 1].distance)
              --count;
            matches_[count++] = m;
            best = len;
            if (len >= limit || count == kMaxMatches) break;
          }
        }
        cand = prev_[cand & (kRing - 1)];
      }
    }
    if (full) {
      insert(p, h);
    } else {
      insert(p);
    }
    return count;
  }

  void parseBlock(size_t start, size_t end) {
    const size_t n = end - start;
    for (size_t i = 0; i <= n; ++i) cost_[i] = std::numeric_limits<uint32_t>::max();
    std::fill(searchAt_, searchAt_ + n + 1, 0);
    cost_[0] = 0;
    for (size_t i = 0; i < n;) {
      const size_t p = start + i;
      const int limit = static_cast<int>(std::min<size_t>(dcl::kMaxCopyLength, n - i));
      const uint32_t here = cost_[i];
      relax(i + 1, here + tables_.literalCost[data_[p]], 1, 0);
      const int covered =
          cover_.end > p ? static_cast<int>(std::min<size_t>(cover_.end - p, limit)) : 0;
      if (effort_.skip > 0 && covered >= effort_.skip && !searchAt_[i] &&
          (covered >= 3 || cover_.distance <= kMaxShortDistance)) {
        insert(p);
        relax(i + covered, here + copyCost(covered, cover_.distance), covered, cover_.distance);
        ++i;
        continue;
      }
      const int count = findMatches(p, limit);
      if (count > 0) {
        const Match longest = matches_[count - 1];
        searchAt_[i + longest.length] = 1;
        if (p + longest.length > cover_.end) cover_ = Cover{p + longest.length, longest.distance};
      }
      if (count > 0 && matches_[count - 1].length >= effort_.nice) {
        // Long copies: take the longest outright and only index what it covers.
        const Match m = matches_[count - 1];
        relax(i + m.length, here + copyCost(m.length, m.distance), m.length, m.distance);
        for (int k = 1; k < m.length; ++k) insert(p + k);
        i += m.length;
        continue;
      }
      int from = 2;
      for (int k = 0; k < count; ++k) {
        const Match m = matches_[k];
        for (int len = from; len <= m.length; ++len) {
          if (len == 2 && m.distance > kMaxShortDistance) continue;
          relax(i + len, here + copyCost(len, m.distance), len, m.distance);
        }
        from = m.length + 1;
      }
      ++i;
    }
    // Walk back along the chosen steps, then emit them in order: a literal or a copy is a few
    // codes of at most 16 bits each, four bytes at most per byte of input.
    size_t steps = 0;
    bits_.reserve(4 * n);
    for (size_t i = n; i > 0; i -= step_[i].length) chosen_[steps++] = static_cast<uint32_t>(i);
    size_t pos = 0;
    while (steps > 0) {
      const size_t to = chosen_[--steps];
      const Step s = step_[to];
      if (s.distance == 0) {
        putLiteral(data_[start + pos]);
      } else {
        putCopy(s.length, s.distance);
      }
      pos = to;
    }
  }

  inline uint32_t copyCost(int len, uint32_t distance) const {
    return tables_.lengthCost[len] +
           (len == 2 ? tables_.shortDistanceCost[distance] : tables_.longDistanceCost[distance]);
  }
  inline void relax(size_t to, uint32_t cost, int length, uint32_t distance) {
    if (cost < cost_[to]) {
      cost_[to] = cost;
      step_[to] = Step{static_cast<uint16_t>(length), static_cast<uint16_t>(distance)};
    }
  }

  void putLiteral(uint8_t b) {
    if (ascii_) {
      const dcl::Code c = dcl::kLiteralCodes[b];
      bits_.put(uint32_t(c.bits) << 1, 1 + c.length);
    } else {
      bits_.put(uint32_t(b) << 1, 9);
    }
  }
  void putLength(int len) {
    const int s = tables_.lengthSymbol[len];
    const dcl::Code c = dcl::kLengthCodes[s];
    bits_.put(c.bits | uint32_t(len - dcl::kLengthBase[s]) << c.length,
              c.length + dcl::kLengthExtraBits[s]);
  }
  void putCopy(int len, uint32_t distance) {
    bits_.put(1, 1);
    putLength(len);
    const unsigned low = len == 2 ? 2 : dictBits_;
    const uint32_t d = distance - 1;
    const dcl::Code c = dcl::kDistanceCodes[d >> low];
    bits_.put(c.bits | (d & ((1u << low) - 1)) << c.length, c.length + low);
  }

  struct Step {
    uint16_t length = 1;
    uint16_t distance = 0;  // 0: a literal
  };
  static constexpr int kMaxMatches = 64;

  const uint8_t* data_;
  size_t size_;
  uint32_t window_;
  bool ascii_;
  std::function<void(size_t)> progress_;
  unsigned dictBits_ = 6;
  Effort effort_ = kBestEffort;
  // The copy found so far that reaches furthest ahead: where it ends, and its distance.
  struct Cover {
    size_t end = 0;
    uint32_t distance = 0;
  } cover_;
  BitWriter bits_;
  Tables tables_;
  int32_t head3_[1 << kHashBits];
  int32_t head4_[1 << kHashBits];
  int32_t head2_[1 << kPairHashBits];
  int32_t prev_[kRing];
  Match matches_[kMaxMatches];
  uint32_t cost_[kBlock + 1];
  Step step_[kBlock + 1];
  uint8_t searchAt_[kBlock + 1];  // positions of the block that are searched however covered
  uint32_t chosen_[kBlock + 1];
};

}  // namespace

bool validImplodeOptions(const ImplodeOptions& o) {
  return o.dictionarySize == 1024 || o.dictionarySize == 2048 || o.dictionarySize == 4096;
}

std::vector<uint8_t> implodeData(const uint8_t* data, size_t size, const ImplodeOptions& options) {
  std::vector<uint8_t> out;
  out.reserve(size / 2 + 16);
  auto encoder = std::make_unique<Encoder>(data, size, options, out);
  encoder->run();
  // Readers want 5 bytes before they decode anything; an empty input's stream is only 4 long,
  // and a padding byte after the end marker is never read.
  while (out.size() < 5) out.push_back(0);
  return out;
}

}  // namespace qm
