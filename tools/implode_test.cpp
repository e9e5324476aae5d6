#include "tools/implode.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "engine/explode.h"
#include "tools/implode_test_inputs.h"

namespace qm {
namespace {

using Bytes = std::vector<uint8_t>;

struct Pipe {
  const Bytes* in;
  size_t pos = 0;
  Bytes out = {};
};
uint32_t readFn(uint8_t* buffer, uint32_t count, void* user) {
  auto* p = static_cast<Pipe*>(user);
  size_t n = std::min<size_t>(count, p->in->size() - p->pos);
  if (n != 0) std::memcpy(buffer, p->in->data() + p->pos, n);
  p->pos += n;
  return static_cast<uint32_t>(n);
}
void writeFn(const uint8_t* buffer, uint32_t count, void* user) {
  auto* p = static_cast<Pipe*>(user);
  p->out.insert(p->out.end(), buffer, buffer + count);
}

Bytes roundTrip(const Bytes& data, ImplodeOptions o, Bytes* streamOut = nullptr) {
  Bytes stream = implodeData(data.data(), data.size(), o);
  if (streamOut) *streamOut = stream;
  std::vector<uint8_t> work(kExplodeWorkSize);
  Pipe pipe{&stream};
  EXPECT_EQ(explode(readFn, writeFn, work.data(), &pipe), kExplodeOk);
  return pipe.out;
}

TEST(Implode, RoundTripsEveryModeAndAwkwardSize) {
  std::mt19937 rng(3);
  std::vector<Bytes> inputs = {{}, {0}, {1, 2}, {7, 7, 7}};
  for (size_t size : {517, 518, 519, 520, 4095, 4096, 4097, 8193, 70001}) {
    Bytes b(size);
    for (size_t i = 0; i < size; ++i)
      b[i] =
          static_cast<uint8_t>(size % 3 == 0 ? rng() : (i % 37 < 20 ? 'a' + i % 5 : rng() % 256));
    inputs.push_back(b);
  }
  inputs.push_back(Bytes(100000, 0));
  for (const Bytes& in : inputs) {
    for (bool ascii : {false, true}) {
      for (int dict : {1024, 2048, 4096}) {
        SCOPED_TRACE(std::to_string(in.size()) + (ascii ? " ascii " : " binary ") +
                     std::to_string(dict));
        Bytes stream;
        Bytes out = roundTrip(in, ImplodeOptions{ascii, dict}, &stream);
        EXPECT_TRUE(out == in) << out.size() << " of " << in.size();
        ASSERT_GE(stream.size(), 5u);
        EXPECT_EQ(stream[0], ascii ? 1 : 0);
        EXPECT_EQ(stream[1], dict == 1024 ? 4 : dict == 2048 ? 5 : 6);
      }
    }
  }
}

TEST(Implode, UsesLongCopiesAndTheWholeWindow) {
  // 200000 equal bytes are 387 copies of at most 518 bytes at 24 bits each: about 1160 bytes.
  const Bytes zeros(200000, 0);
  EXPECT_LT(implodeData(zeros.data(), zeros.size(), ImplodeOptions{}).size(), 1250u);
  // A random block repeated at a distance of 3000 bytes: only the 4096 window can reach it.
  std::mt19937 rng(11);
  Bytes block(3000);
  for (auto& b : block) b = static_cast<uint8_t>(rng());
  Bytes twice = block;
  twice.insert(twice.end(), block.begin(), block.end());
  const size_t big = implodeData(twice.data(), twice.size(), ImplodeOptions{false, 4096}).size();
  const size_t small = implodeData(twice.data(), twice.size(), ImplodeOptions{false, 2048}).size();
  EXPECT_LT(big, 3000u * 9 / 8 + 200);
  EXPECT_GT(small, 6000u);
}

constexpr ImplodeLevel kLevels[] = {ImplodeLevel::Default, ImplodeLevel::Best};

TEST(Implode, EveryLevelRoundTripsTheFormatsEdges) {
  for (const ImplodeTestInput& in : implodeEdgeInputs()) {
    for (ImplodeLevel level : kLevels) {
      for (bool ascii : {false, true}) {
        for (int dict : {1024, 2048, 4096}) {
          SCOPED_TRACE(in.name + (level == ImplodeLevel::Best ? " best" : " default") +
                       (ascii ? " ascii " : " binary ") + std::to_string(dict));
          Bytes stream;
          const Bytes out = roundTrip(in.data, ImplodeOptions{ascii, dict, level}, &stream);
          EXPECT_TRUE(out == in.data) << out.size() << " of " << in.data.size();
          ASSERT_GE(stream.size(), 5u);
          EXPECT_EQ(stream[0], ascii ? 1 : 0);
          EXPECT_EQ(stream[1], dict == 1024 ? 4 : dict == 2048 ? 5 : 6);
        }
      }
    }
  }
}

TEST(Implode, CopiesReachExactlyAsFarAsTheDictionary) {
  // Random bytes, then 2000 bytes repeating them from `distance` back: within the dictionary the
  // repeat is a handful of copies, one byte further it is 2000 more literals of 9 bits.
  struct Case {
    int dictionary;
    size_t distance;
    bool reachable;
  };
  const Case cases[] = {{1024, 1024, true},  {1024, 1025, false}, {2048, 2048, true},
                        {2048, 2049, false}, {4096, 4096, true},  {4096, 4097, false},
                        {1024, 257, true},   {2048, 1500, true}};
  for (const Case& c : cases) {
    const Bytes data = repeatAt(c.distance, 2000, static_cast<uint32_t>(c.distance));
    for (ImplodeLevel level : kLevels) {
      SCOPED_TRACE(std::to_string(c.dictionary) + " at " + std::to_string(c.distance) +
                   (level == ImplodeLevel::Best ? " best" : " default"));
      const ImplodeOptions o{false, c.dictionary, level};
      const Bytes stream = implodeData(data.data(), data.size(), o);
      const size_t literalsOnly = data.size() * 9 / 8;
      if (c.reachable) {
        EXPECT_LT(stream.size(), c.distance * 9 / 8 + 60);
      } else {
        EXPECT_GT(stream.size(), literalsOnly * 98 / 100);
      }
      EXPECT_TRUE(roundTrip(data, o) == data);
    }
  }
}

TEST(Implode, BestLevelIsSmallerWhereTheSearchMatters) {
  // Text from a few words gives every position many near-equal sources: the deeper search finds
  // longer copies than the default one.
  const Bytes text = smallVocabularyText(100000, 4);
  for (bool ascii : {false, true}) {
    for (int dict : {1024, 2048, 4096}) {
      SCOPED_TRACE(std::string(ascii ? "ascii " : "binary ") + std::to_string(dict));
      const size_t normal =
          implodeData(text.data(), text.size(), ImplodeOptions{ascii, dict}).size();
      const size_t best =
          implodeData(text.data(), text.size(), ImplodeOptions{ascii, dict, ImplodeLevel::Best})
              .size();
      EXPECT_LT(best, normal);
    }
  }
}

TEST(Implode, OptionsAreLimitedToTheFormatsDictionaries) {
  for (int dict : {0, 512, 1000, 1024, 2048, 4096, 8192})
    EXPECT_EQ(validImplodeOptions(ImplodeOptions{false, dict}),
              dict == 1024 || dict == 2048 || dict == 4096)
        << dict;
}

}  // namespace
}  // namespace qm
