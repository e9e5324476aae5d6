// Test support: StormLib's implode and explode, an independent implementation of the stream
// format, through its classic callback interface (declared here rather than taken from a header),
// with whole-buffer helpers for the cross-checks.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

extern "C" {
unsigned int implode(unsigned int (*read)(char* buffer, unsigned int* size, void* param),
                     void (*write)(char* buffer, unsigned int* size, void* param), char* work,
                     void* param, unsigned int* type, unsigned int* dictionarySize);
unsigned int explode(unsigned int (*read)(char* buffer, unsigned int* size, void* param),
                     void (*write)(char* buffer, unsigned int* size, void* param), char* work,
                     void* param);
}

namespace qm::storm_peer {

using Bytes = std::vector<uint8_t>;

// One input read from the front and one output grown at the back.
struct Pipe {
  const Bytes* in;
  size_t pos = 0;
  Bytes out = {};
};

inline unsigned int read(char* buffer, unsigned int* size, void* param) {
  auto* p = static_cast<Pipe*>(param);
  const size_t n = std::min<size_t>(*size, p->in->size() - p->pos);
  if (n != 0) std::memcpy(buffer, p->in->data() + p->pos, n);
  p->pos += n;
  return static_cast<unsigned int>(n);
}

inline void write(char* buffer, unsigned int* size, void* param) {
  auto* p = static_cast<Pipe*>(param);
  p->out.insert(p->out.end(), buffer, buffer + *size);
}

// The peer's whole stream for data; a failure of the peer fails the test.
inline Bytes implodeBytes(const Bytes& data, bool ascii, unsigned dictionary) {
  std::vector<char> work(65536);  // larger than the peer's own work area needs
  Pipe pipe{&data};
  unsigned type = ascii ? 1 : 0;
  EXPECT_EQ(::implode(read, write, work.data(), &pipe, &type, &dictionary), 0u);
  return pipe.out;
}

// The peer's result code; out gets what it wrote before it stopped.
inline int explodeBytes(const Bytes& stream, Bytes& out) {
  std::vector<char> work(65536);
  Pipe pipe{&stream};
  const int r = static_cast<int>(::explode(read, write, work.data(), &pipe));
  out = pipe.out;
  return r;
}

}  // namespace qm::storm_peer
