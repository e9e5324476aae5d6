#include "engine/explode.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "tools/implode.h"

namespace qm {
namespace {

using Bytes = std::vector<uint8_t>;

struct Decoding {
  const Bytes* in;
  size_t pos = 0;
  Bytes out;
  std::vector<uint32_t> asked;
  std::vector<uint32_t> handed;
  uint32_t readCap = 0;  // when not 0, no read after the first delivers more than this
};

uint32_t readFn(uint8_t* buffer, uint32_t count, void* user) {
  auto* r = static_cast<Decoding*>(user);
  r->asked.push_back(count);
  size_t n = std::min<size_t>(count, r->in->size() - r->pos);
  if (r->readCap != 0 && r->asked.size() > 1) n = std::min<size_t>(n, r->readCap);
  if (n != 0) std::memcpy(buffer, r->in->data() + r->pos, n);
  r->pos += n;
  return static_cast<uint32_t>(n);
}
void writeFn(const uint8_t* buffer, uint32_t count, void* user) {
  auto* r = static_cast<Decoding*>(user);
  r->handed.push_back(count);
  r->out.insert(r->out.end(), buffer, buffer + count);
}

// Decodes with the work area between two guard zones and checks that the zones survive; large
// picks the large work area.
int decode(const Bytes& stream, Decoding& run, bool large = false) {
  constexpr size_t kGuard = 4096;
  const size_t size = large ? kExplodeLargeWorkSize : kExplodeWorkSize;
  Bytes area(kGuard + size + kGuard, 0xA5);
  run.in = &stream;
  int r = large ? explodeLarge(readFn, writeFn, area.data() + kGuard, &run)
                : explode(readFn, writeFn, area.data() + kGuard, &run);
  for (size_t i = 0; i < kGuard; ++i) {
    EXPECT_EQ(area[i], 0xA5) << "below the work area at " << i;
    EXPECT_EQ(area[kGuard + size + i], 0xA5) << "above the work area at " << i;
    if (area[i] != 0xA5 || area[kGuard + size + i] != 0xA5) break;
  }
  return r;
}

// Writes a stream token by token with the format's own tables.
class StreamBuilder {
 public:
  StreamBuilder(int literalMode, int dictBits) : dictBits_(dictBits) {
    out_ = {static_cast<uint8_t>(literalMode), static_cast<uint8_t>(dictBits)};
  }
  StreamBuilder& literal(uint8_t b) {
    expected_.push_back(b);
    put(0, 1);
    if (out_[0] == 1)
      put(dcl::kLiteralCodes[b].bits, dcl::kLiteralCodes[b].length);
    else
      put(b, 8);
    return *this;
  }
  StreamBuilder& copy(int length, int distance) {
    put(1, 1);
    int s = 0;
    while (length < dcl::kLengthBase[s] ||
           length >= dcl::kLengthBase[s] + (1 << dcl::kLengthExtraBits[s]))
      ++s;
    put(dcl::kLengthCodes[s].bits, dcl::kLengthCodes[s].length);
    put(length - dcl::kLengthBase[s], dcl::kLengthExtraBits[s]);
    if (length == dcl::kEndMarkerLength) return *this;
    // What the copy means, one byte at a time (nothing, for one that reaches before the start).
    for (int i = 0; i < length && static_cast<size_t>(distance) <= expected_.size(); ++i)
      expected_.push_back(expected_[expected_.size() - static_cast<size_t>(distance)]);
    int low = length == 2 ? 2 : dictBits_;
    put(dcl::kDistanceCodes[(distance - 1) >> low].bits,
        dcl::kDistanceCodes[(distance - 1) >> low].length);
    put((distance - 1) & ((1 << low) - 1), low);
    return *this;
  }
  StreamBuilder& end() { return copy(dcl::kEndMarkerLength, 0); }
  // The output the tokens so far stand for.
  const Bytes& expected() const { return expected_; }
  size_t bitCount() const { return 8 * (out_.size() - 2) + static_cast<size_t>(count_); }
  Bytes bytes() const {
    Bytes b = out_;
    if (count_) b.push_back(static_cast<uint8_t>(acc_));
    return b;
  }

 private:
  void put(uint32_t bits, int n) {
    for (int i = 0; i < n; ++i) {
      acc_ |= ((bits >> i) & 1) << count_;
      if (++count_ == 8) {
        out_.push_back(static_cast<uint8_t>(acc_));
        acc_ = 0;
        count_ = 0;
      }
    }
  }
  int dictBits_;
  Bytes out_;
  Bytes expected_;
  uint32_t acc_ = 0;
  int count_ = 0;
};

TEST(Explode, HeaderChecksGiveTheirResults) {
  struct Case {
    Bytes stream;
    int result;
  } cases[] = {
      {{}, kExplodeShortHeader},
      {{0, 6, 0x01, 0x00}, kExplodeShortHeader},
      {{2, 6, 0, 0, 0}, kExplodeBadLiteralMode},
      {{2, 7, 0, 0, 0}, kExplodeBadLiteralMode},  // the literal mode is looked at first
      {{0, 7, 0, 0, 0}, kExplodeBadDictionary},
      {{1, 3, 0, 0, 0}, kExplodeBadDictionary},
      {{0, 0, 0, 0, 0}, kExplodeBadDictionary},
  };
  for (const Case& c : cases) {
    Decoding run;
    EXPECT_EQ(decode(c.stream, run), c.result) << "stream of " << c.stream.size() << " bytes";
    EXPECT_TRUE(run.out.empty());
  }
}

TEST(Explode, HandBuiltStreamsDecodeAsTheFormatDefines) {
  struct Case {
    const char* name;
    Bytes stream;
    int result;
    std::string text;
  } cases[] = {
      {"overlapping copy repeats", StreamBuilder(0, 6).literal('A').copy(5, 1).end().bytes(),
       kExplodeOk, "AAAAAA"},
      {"length 2 uses two low bits",
       StreamBuilder(0, 4).literal('A').literal('B').copy(2, 2).end().bytes(), kExplodeOk, "ABAB"},
      {"ascii literals",
       StreamBuilder(1, 5).literal('h').literal('i').literal('\n').copy(3, 3).end().bytes(),
       kExplodeOk, "hi\nhi\n"},
      {"longest copy", StreamBuilder(0, 6).literal('z').copy(518, 1).end().bytes(), kExplodeOk,
       std::string(519, 'z')},
      {"far copy with 1024 window",
       [] {
         StreamBuilder b(0, 4);
         for (int i = 0; i < 1024; ++i) b.literal(static_cast<uint8_t>('a' + i % 26));
         return b.copy(3, 1024).end().bytes();
       }(),
       kExplodeOk,
       [] {
         std::string s;
         for (int i = 0; i < 1024; ++i) s += static_cast<char>('a' + i % 26);
         return s + s.substr(0, 3);
       }()},
      {"copy before any output", StreamBuilder(0, 6).copy(3, 1).end().bytes(), kExplodeStreamError,
       ""},
      {"copy reaching before the start", StreamBuilder(0, 6).literal('x').copy(2, 2).end().bytes(),
       kExplodeStreamError, ""},
      {"no end marker",
       StreamBuilder(0, 6).literal('a').literal('b').literal('c').literal('d').bytes(),
       kExplodeStreamError, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Decoding run;
    ASSERT_EQ(decode(c.stream, run), c.result);
    if (c.result == kExplodeOk) {
      EXPECT_EQ(std::string(run.out.begin(), run.out.end()), c.text);
    }
  }
}

TEST(Explode, ReadsInInputChunksAndHandsOnOutputChunks) {
  Bytes data(4096 * 5 + 123);
  std::mt19937 rng(7);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(rng() % 4 + i / 4000);
  Bytes stream = implodeData(data.data(), data.size(), ImplodeOptions{});
  ASSERT_GT(stream.size(), 2 * kExplodeInputChunk);
  Decoding run;
  ASSERT_EQ(decode(stream, run), kExplodeOk);
  EXPECT_TRUE(run.out == data);
  for (uint32_t n : run.asked) EXPECT_EQ(n, kExplodeInputChunk);
  ASSERT_EQ(run.handed.size(), 6u);
  for (size_t i = 0; i + 1 < run.handed.size(); ++i) EXPECT_EQ(run.handed[i], kExplodeOutputChunk);
  EXPECT_EQ(run.handed.back(), 123u);

  Decoding large;
  ASSERT_EQ(decode(stream, large, true), kExplodeOk);
  EXPECT_TRUE(large.out == data);
  EXPECT_EQ(large.asked, std::vector<uint32_t>(large.asked.size(), kExplodeLargeChunk));
  EXPECT_EQ(large.handed, std::vector<uint32_t>{uint32_t(data.size())});
}

TEST(Explode, DamagedStreamsFailOrDecodeWithinTheWorkArea) {
  std::mt19937 rng(99);
  std::string text;
  while (text.size() < 30000) text += "line " + std::to_string(rng() % 500) + " of the file\r\n";
  const Bytes data(text.begin(), text.end());
  for (bool ascii : {false, true}) {
    const Bytes good = implodeData(data.data(), data.size(), ImplodeOptions{ascii, 4096});
    int failures = 0;
    for (int trial = 0; trial < 300; ++trial) {
      Bytes bad = good;
      if (trial % 3 == 0) {
        bad.resize(2 + rng() % (bad.size() - 2));  // cut short
      } else {
        for (int k = 0; k < 1 + trial % 4; ++k)
          bad[2 + rng() % (bad.size() - 2)] ^= 1 << (rng() % 8);
      }
      Decoding run;
      int r = decode(bad, run);
      ASSERT_TRUE(r == kExplodeOk || r == kExplodeStreamError || r == kExplodeShortHeader) << r;
      if (r != kExplodeOk) ++failures;
      if (trial % 3 == 0 && bad.size() < good.size() - 1) {
        EXPECT_NE(r, kExplodeOk);
      }
    }
    EXPECT_GT(failures, 100);
  }
}

// Bytes that repeat nowhere in a short stretch, so a copy from the wrong place shows.
uint8_t noise(size_t i) { return static_cast<uint8_t>((i * 2654435761u) >> 13); }

// Short reads put the end of the input, where the decoder must take care, at every point of the
// tokens; all read sizes must give the output that byte-by-byte copying gives.
TEST(Explode, CopiesOfEveryShapeDecodeAlikeWhateverTheReadSizes) {
  const int lengths[] = {2, 3, 7, 8, 9, 15, 16, 17, 31, 32, 33, 100, 517, 518};
  const int distances[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 15, 16, 17, 31, 256, 257, 1024};
  for (int literalMode : {0, 1}) {
    for (int distance : distances) {
      StreamBuilder b(literalMode, 4);
      for (int i = 0; i < 1100; ++i) b.literal(noise(static_cast<size_t>(i)));
      for (int length : lengths) {
        if (length == 2 && distance > 256) continue;  // the format's limit for length 2
        b.copy(length, distance).literal(noise(static_cast<size_t>(length)));
      }
      const Bytes stream = b.end().bytes();
      for (uint32_t cap : {0u, 1u, 2u, 3u, 5u, 7u, 8u, 9u, 13u, 31u}) {
        SCOPED_TRACE("mode " + std::to_string(literalMode) + " distance " +
                     std::to_string(distance) + " reads of " + std::to_string(cap));
        Decoding run;
        run.readCap = cap;
        ASSERT_EQ(decode(stream, run), kExplodeOk);
        EXPECT_TRUE(run.out == b.expected()) << run.out.size() << " of " << b.expected().size();
      }
    }
  }
}

// The window is handed on every 4096 bytes and only the dictionary's reach is kept: copies that
// end at, cross or start just before a hand-off, and copies from the farthest reach after one.
TEST(Explode, CopiesAroundTheHandOffPoint) {
  const size_t before[] = {0, 1, 2, 15, 16, 17, 517, 518, 519, 600};  // bytes short of 8192
  for (int literalMode : {0, 1}) {
    for (int dictBits : {4, 5, 6}) {
      const int reach = 64 << dictBits;
      for (int distance : {1, 3, 8, 16, reach}) {
        for (size_t gap : before) {
          StreamBuilder b(literalMode, dictBits);
          size_t i = 0;
          while (b.expected().size() < 8192 - gap) {
            const size_t left = 8192 - gap - b.expected().size();
            if (b.expected().size() > static_cast<size_t>(reach) && left >= 40 && i % 3 == 0)
              b.copy(static_cast<int>(std::min<size_t>(left - 20, 3 + i % 300)),
                     static_cast<int>(1 + (i * 37) % reach));
            else
              b.literal(noise(i));
            ++i;
          }
          b.copy(518, distance);
          if (gap % 2) b.literal('x').literal('y');
          const Bytes stream = b.end().bytes();
          for (uint32_t cap : {0u, 7u}) {
            SCOPED_TRACE("mode " + std::to_string(literalMode) + " dict " +
                         std::to_string(dictBits) + " distance " + std::to_string(distance) +
                         " short by " + std::to_string(gap) + " reads of " + std::to_string(cap));
            Decoding run;
            run.readCap = cap;
            ASSERT_EQ(decode(stream, run), kExplodeOk);
            EXPECT_TRUE(run.out == b.expected()) << run.out.size() << " of " << b.expected().size();
            for (size_t k = 0; k + 1 < run.handed.size(); ++k)
              EXPECT_EQ(run.handed[k], kExplodeOutputChunk);
          }
        }
      }
    }
  }
}

// The window is circular: after its end, output goes on at its start, and a copy's source may
// begin before the start, at the window's end, and run on across it. Copies placed just after
// the end at every distance that reaches back over it, in both work areas.
TEST(Explode, CopiesWhoseSourceRunsAcrossTheWindowsEnd) {
  for (bool large : {false, true}) {
    const size_t windowEnd = large ? 2 * size_t(kExplodeLargeChunk) : 2 * kExplodeOutputChunk;
    for (size_t after : {0, 1, 7, 16, 100, 517}) {
      StreamBuilder prefix(0, 6);
      for (size_t i = 0; prefix.expected().size() < windowEnd + after; ++i) {
        const size_t have = prefix.expected().size();
        if (i % 5 == 4 && have > 0 && have + 200 < windowEnd + after)
          prefix.copy(static_cast<int>(3 + i % 150),
                      static_cast<int>(1 + (i * 37) % std::min<size_t>(have, 4096)));
        else
          prefix.literal(noise(i));
      }
      for (int distance : {1, 2, 9, 17, 101, 518, 4096}) {
        for (int length : {3, 18, 518}) {
          StreamBuilder b = prefix;
          const Bytes stream = b.copy(length, distance).literal('x').end().bytes();
          for (uint32_t cap : {0u, 7u}) {
            SCOPED_TRACE(std::string(large ? "large" : "classic") + " after " +
                         std::to_string(after) + " distance " + std::to_string(distance) +
                         " length " + std::to_string(length) + " reads of " + std::to_string(cap));
            Decoding run;
            run.readCap = cap;
            ASSERT_EQ(decode(stream, run, large), kExplodeOk);
            ASSERT_TRUE(run.out == b.expected()) << run.out.size() << " of " << b.expected().size();
          }
        }
      }
    }
  }
}

// A stream cut anywhere is an error, never a success; what was handed on before is whole
// chunks of the right output.
TEST(Explode, StreamsCutAtEveryByteFailWithTheRightPrefixHandedOn) {
  for (int literalMode : {0, 1}) {
    StreamBuilder b(literalMode, 5);
    for (int i = 0; i < 40; ++i) b.literal(noise(static_cast<size_t>(i)));
    for (int i = 0; i < 24; ++i) b.copy(518 - i % 5, 1 + i % 40).literal(noise(100u + i));
    const Bytes stream = b.end().bytes();
    ASSERT_GT(b.expected().size(), 3 * kExplodeOutputChunk);
    for (uint32_t cap : {0u, 1u, 6u}) {
      Decoding whole;
      whole.readCap = cap;
      ASSERT_EQ(decode(stream, whole), kExplodeOk);
      ASSERT_TRUE(whole.out == b.expected());
      for (size_t cut = 0; cut < stream.size(); ++cut) {
        SCOPED_TRACE("mode " + std::to_string(literalMode) + " cut at " + std::to_string(cut) +
                     " reads of " + std::to_string(cap));
        const Bytes part(stream.begin(), stream.begin() + static_cast<ptrdiff_t>(cut));
        Decoding run;
        run.readCap = cap;
        EXPECT_EQ(decode(part, run), cut < 5 ? kExplodeShortHeader : kExplodeStreamError);
        EXPECT_EQ(run.out.size() % kExplodeOutputChunk, 0u);
        ASSERT_LE(run.out.size(), b.expected().size());
        EXPECT_TRUE(std::equal(run.out.begin(), run.out.end(), b.expected().begin()));
      }
    }
  }
}

}  // namespace
}  // namespace qm
