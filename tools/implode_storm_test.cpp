// Both levels of our compressor against StormLib's implode and explode, an independent
// implementation of the stream format (the classic callback interface, declared here).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tools/implode.h"
#include "tools/implode_test_inputs.h"

extern "C" {
unsigned int implode(unsigned int (*read)(char* buffer, unsigned int* size, void* param),
                     void (*write)(char* buffer, unsigned int* size, void* param), char* work,
                     void* param, unsigned int* type, unsigned int* dictionarySize);
unsigned int explode(unsigned int (*read)(char* buffer, unsigned int* size, void* param),
                     void (*write)(char* buffer, unsigned int* size, void* param), char* work,
                     void* param);
}

namespace qm {
namespace {

using Bytes = std::vector<uint8_t>;

struct PeerPipe {
  const Bytes* in;
  size_t pos = 0;
  Bytes out = {};
};
unsigned int peerRead(char* buffer, unsigned int* size, void* param) {
  auto* p = static_cast<PeerPipe*>(param);
  const size_t n = std::min<size_t>(*size, p->in->size() - p->pos);
  if (n != 0) std::memcpy(buffer, p->in->data() + p->pos, n);
  p->pos += n;
  return static_cast<unsigned int>(n);
}
void peerWrite(char* buffer, unsigned int* size, void* param) {
  auto* p = static_cast<PeerPipe*>(param);
  p->out.insert(p->out.end(), buffer, buffer + *size);
}

Bytes peerCompress(const Bytes& data, bool ascii, unsigned dictionary) {
  std::vector<char> work(65536);
  PeerPipe pipe{&data};
  unsigned type = ascii ? 1 : 0;
  EXPECT_EQ(::implode(peerRead, peerWrite, work.data(), &pipe, &type, &dictionary), 0u);
  return pipe.out;
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
          std::vector<char> work(65536);
          PeerPipe pipe{&stream};
          ASSERT_EQ(::explode(peerRead, peerWrite, work.data(), &pipe), 0u);
          EXPECT_TRUE(pipe.out == in.data)
              << "decoded " << pipe.out.size() << " of " << in.data.size();
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
