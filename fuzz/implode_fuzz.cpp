// Compresses arbitrary bytes at a level, literal mode and dictionary taken from the first byte,
// and checks that the decoder gives the same bytes back.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "engine/explode.h"
#include "tools/implode.h"

namespace {

struct Pipe {
  const std::vector<uint8_t>* in;
  size_t pos = 0;
  std::vector<uint8_t> out = {};
};

uint32_t pipeRead(uint8_t* buffer, uint32_t count, void* user) {
  auto* p = static_cast<Pipe*>(user);
  const size_t n = std::min<size_t>(count, p->in->size() - p->pos);
  if (n != 0) std::memcpy(buffer, p->in->data() + p->pos, n);
  p->pos += n;
  return static_cast<uint32_t>(n);
}

void pipeWrite(const uint8_t* buffer, uint32_t count, void* user) {
  auto* p = static_cast<Pipe*>(user);
  p->out.insert(p->out.end(), buffer, buffer + count);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  qm::ImplodeOptions options;
  options.ascii = data[0] & 1;
  options.dictionarySize = 1024 << ((data[0] >> 1) % 3);
  options.level = data[0] & 8 ? qm::ImplodeLevel::Best : qm::ImplodeLevel::Default;
  const std::vector<uint8_t> input(data + 1, data + size);
  const std::vector<uint8_t> stream = qm::implodeData(input.data(), input.size(), options);
  std::vector<uint8_t> work(qm::kExplodeWorkSize);
  Pipe pipe{&stream};
  if (qm::explode(pipeRead, pipeWrite, work.data(), &pipe) != qm::kExplodeOk) std::abort();
  if (pipe.out != input) std::abort();
  return 0;
}
