// Feeds arbitrary bytes to the decoder as a stream, in reads of varying size, and checks that a
// stream it accepts decodes the same however the input is cut.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "engine/explode.h"

namespace {

struct Feed {
  const uint8_t* data;
  size_t size;
  size_t pos = 0;
  uint32_t cut;  // 0: whole requests, else at most this many bytes per read after the first
  bool first = true;
  std::vector<uint8_t> out = {};
  uint32_t chunk = qm::kExplodeOutputChunk;  // the most one hand-off may carry
};

uint32_t feedRead(uint8_t* buffer, uint32_t count, void* user) {
  auto* f = static_cast<Feed*>(user);
  size_t n = std::min<size_t>(count, f->size - f->pos);
  if (f->cut != 0 && !f->first) n = std::min<size_t>(n, f->cut);
  f->first = false;
  if (n != 0) std::memcpy(buffer, f->data + f->pos, n);
  f->pos += n;
  return static_cast<uint32_t>(n);
}

void feedWrite(const uint8_t* buffer, uint32_t count, void* user) {
  auto* f = static_cast<Feed*>(user);
  if (count > f->chunk) std::abort();
  f->out.insert(f->out.end(), buffer, buffer + count);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> work(qm::kExplodeWorkSize);
  Feed whole{data, size, 0, 0};
  const int a = qm::explode(feedRead, feedWrite, work.data(), &whole);
  if (a < 0 || a > 4) std::abort();
  // Refills of any size after the first chunk must not change the result or the output.
  Feed pieces{data, size, 0, size > 0 ? uint32_t(data[size - 1] % 7 + 1) : 1};
  const int b = qm::explode(feedRead, feedWrite, work.data(), &pieces);
  if (a != b || whole.out != pieces.out) std::abort();
  // The large work area (circular window of another size) must decode the same.
  std::vector<uint8_t> large(qm::kExplodeLargeWorkSize);
  Feed big{data, size, 0, size > 1 ? uint32_t(data[size - 2] % 5 + 1) : 0};
  big.chunk = qm::kExplodeLargeChunk;
  const int c = qm::explodeLarge(feedRead, feedWrite, large.data(), &big);
  if (a != c) std::abort();
  // A stream that fails hands on whole chunks before the failure, so the larger chunks may stop
  // sooner: what they hand on is then the start of the other's output.
  if (a == qm::kExplodeOk ? whole.out != big.out
                          : big.out.size() > whole.out.size() ||
                                !std::equal(big.out.begin(), big.out.end(), whole.out.begin()))
    std::abort();
  return 0;
}
