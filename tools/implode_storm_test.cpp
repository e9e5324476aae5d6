// Both levels of our compressor against StormLib's implode and explode, an independent
// implementation of the stream format (the classic callback interface, declared here).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/storm_peer_for_tests.h"
#include "tools/implode.h"
#include "tools/implode_test_inputs.h"

namespace qm {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes peerCompress(const Bytes& data, bool ascii, unsigned dictionary) {
  return storm_peer::implodeBytes(data, ascii, dictionary);
}

TEST(ImplodeCrossCheck, PeerDecoderReadsEveryLevelExactly) {
  for (const ImplodeTestInput& in : implodeEdgeInputs()) {
    for (ImplodeLevel level : {ImplodeLevel::Default, ImplodeLevel::Best}) {
      for (bool ascii : {false, true}) {
        for (int dict : {1024, 2048, 4096}) {
          SCOPED_TRACE(in.name + (level == ImplodeLevel::Best ? " best" : " default") +
                       (ascii ? " ascii " : " binary ") + std::to_string(dict));
          const Bytes stream =
              implodeData(in.data.data(), in.data.size(), ImplodeOptions{ascii, dict, level});
          Bytes decoded;
          ASSERT_EQ(storm_peer::explodeBytes(stream, decoded), 0);
          EXPECT_TRUE(decoded == in.data)
              << "decoded " << decoded.size() << " of " << in.data.size();
        }
      }
    }
  }
}

TEST(ImplodeCrossCheck, BestLevelIsWellBelowThePeersSizeOnText) {
  // The peer's search is thorough on text from a few words; our deepest one stays 2% below it.
  const Bytes text = smallVocabularyText(150000, 20261208);
  for (bool ascii : {false, true}) {
    for (int dict : {1024, 2048, 4096}) {
      SCOPED_TRACE(std::string(ascii ? "ascii " : "binary ") + std::to_string(dict));
      const size_t ours =
          implodeData(text.data(), text.size(), ImplodeOptions{ascii, dict, ImplodeLevel::Best})
              .size();
      const size_t theirs = peerCompress(text, ascii, static_cast<unsigned>(dict)).size();
      EXPECT_LT(ours, theirs * 98 / 100) << ours << " against " << theirs;
    }
  }
}

}  // namespace
}  // namespace qm
