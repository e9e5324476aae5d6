// Cross-checks against an independent implementation of the stream format: StormLib's implode
// and explode (the classic callback interface, declared here rather than taken from a header).
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "engine/explode.h"
#include "engine/storm_peer_for_tests.h"
#include "tools/implode.h"

namespace qm {
namespace {

using Bytes = std::vector<uint8_t>;

using Pipe = storm_peer::Pipe;

uint32_t ourRead(uint8_t* buffer, uint32_t count, void* user) {
  auto* p = static_cast<Pipe*>(user);
  size_t n = std::min<size_t>(count, p->in->size() - p->pos);
  if (n != 0) std::memcpy(buffer, p->in->data() + p->pos, n);
  p->pos += n;
  return static_cast<uint32_t>(n);
}
void ourWrite(const uint8_t* buffer, uint32_t count, void* user) {
  auto* p = static_cast<Pipe*>(user);
  p->out.insert(p->out.end(), buffer, buffer + count);
}

Bytes peerImplode(const Bytes& data, bool ascii, unsigned dictionary) {
  return storm_peer::implodeBytes(data, ascii, dictionary);
}

int peerExplode(const Bytes& stream, Bytes& out) { return storm_peer::explodeBytes(stream, out); }

// Both work areas must give the same result and output.
int ourExplode(const Bytes& stream, Bytes& out) {
  std::vector<uint8_t> work(kExplodeLargeWorkSize);
  Pipe pipe{&stream}, large{&stream};
  const int r = qm::explode(ourRead, ourWrite, work.data(), &pipe);
  EXPECT_EQ(qm::explodeLarge(ourRead, ourWrite, work.data(), &large), r);
  EXPECT_TRUE(large.out == pipe.out) << "the large work area decodes differently";
  out = pipe.out;
  return r;
}

struct Sample {
  const char* name;
  Bytes data;
};

std::vector<Sample> samples() {
  std::vector<Sample> s;
  std::mt19937 rng(20261207);
  std::string text;
  const char* words[] = {"install",     "the ", "FILE",        "directory ", "Windows\r\n",
                         "setup ",      "of ",  "program",     ", ",         "disk ",
                         "readme.txt ", "\t",   "Version 2.0 "};
  while (text.size() < 150000) text += words[rng() % std::size(words)];
  s.push_back({"text", Bytes(text.begin(), text.end())});
  Bytes binary;
  for (int i = 0; i < 120000; ++i) {
    // Structured binary: small integers, repeated records, a few random bytes.
    uint32_t v = (i % 7 == 0) ? rng() : uint32_t(i / 16);
    binary.push_back(static_cast<uint8_t>(v));
    if (i % 64 < 8) binary.push_back(0);
  }
  s.push_back({"binary", binary});
  s.push_back({"empty", {}});
  s.push_back({"one byte", {0x41}});
  s.push_back({"two bytes", {0xFF, 0x00}});
  s.push_back({"long run", Bytes(70000, 0x20)});
  Bytes runs;
  for (int i = 0; i < 40; ++i) runs.insert(runs.end(), 1 + rng() % 900, uint8_t(rng()));
  s.push_back({"runs of varied length", runs});
  Bytes random(50000);
  for (auto& b : random) b = static_cast<uint8_t>(rng());
  s.push_back({"random", random});
  Bytes high;
  for (int i = 0; i < 20000; ++i) high.push_back(static_cast<uint8_t>(0x80 + rng() % 8));
  s.push_back({"high bytes", high});
  return s;
}

struct Mode {
  bool ascii;
  int dictionary;
};
constexpr Mode kModes[] = {{false, 1024}, {false, 2048}, {false, 4096},
                           {true, 1024},  {true, 2048},  {true, 4096}};

TEST(ExplodeCrossCheck, OurDecoderReadsPeerStreamsExactly) {
  for (const Sample& sample : samples()) {
    for (Mode m : kModes) {
      SCOPED_TRACE(std::string(sample.name) + (m.ascii ? " ascii " : " binary ") +
                   std::to_string(m.dictionary));
      const Bytes stream = peerImplode(sample.data, m.ascii, m.dictionary);
      Bytes ours, theirs;
      const int peerResult = peerExplode(stream, theirs);
      const int result = ourExplode(stream, ours);
      if (stream.size() < 5) {
        // Too short for any reader to start on (the peer's empty stream).
        EXPECT_EQ(result, kExplodeShortHeader);
        EXPECT_NE(peerResult, 0);
        continue;
      }
      ASSERT_EQ(result, kExplodeOk);
      EXPECT_TRUE(ours == sample.data) << "decoded " << ours.size() << " of " << sample.data.size();
    }
  }
}

TEST(ExplodeCrossCheck, PeerDecoderReadsOurStreamsExactly) {
  for (const Sample& sample : samples()) {
    for (Mode m : kModes) {
      SCOPED_TRACE(std::string(sample.name) + (m.ascii ? " ascii " : " binary ") +
                   std::to_string(m.dictionary));
      const Bytes stream = implodeData(sample.data.data(), sample.data.size(),
                                       ImplodeOptions{m.ascii, m.dictionary});
      ASSERT_GE(stream.size(), 5u);
      EXPECT_EQ(stream[0], m.ascii ? 1 : 0);
      Bytes theirs;
      ASSERT_EQ(peerExplode(stream, theirs), 0);
      EXPECT_TRUE(theirs == sample.data)
          << "decoded " << theirs.size() << " of " << sample.data.size();
    }
  }
}

TEST(ExplodeCrossCheck, OurStreamsAreNoLargerThanPeerStreamsOnCompressibleInput) {
  for (const Sample& sample : samples()) {
    if (sample.data.size() < 10000 || std::string(sample.name) == "random") continue;
    for (Mode m : kModes) {
      SCOPED_TRACE(std::string(sample.name) + (m.ascii ? " ascii " : " binary ") +
                   std::to_string(m.dictionary));
      const Bytes ours = implodeData(sample.data.data(), sample.data.size(),
                                     ImplodeOptions{m.ascii, m.dictionary});
      const Bytes theirs = peerImplode(sample.data, m.ascii, m.dictionary);
      EXPECT_LE(ours.size(), theirs.size());
    }
  }
}

}  // namespace
}  // namespace qm
