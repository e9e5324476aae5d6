// Our compressor for the PKWARE Data Compression Library "implode" stream format: any reader of
// the format (our explode among them) decodes what it writes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace qm {

// How hard the compressor looks for a smaller stream. Every level writes the same format.
enum class ImplodeLevel {
  Default,  // the balance of speed and size
  Best,     // a deeper search for copies: a smaller stream, more slowly
};

struct ImplodeOptions {
  bool ascii = false;         // literals through the format's fixed text code instead of 8 bits
  int dictionarySize = 4096;  // 1024, 2048 or 4096
  ImplodeLevel level = ImplodeLevel::Default;
  // Told the input bytes done so far after each block, for progress; may be empty.
  std::function<void(size_t done)> progress = nullptr;
};

// True when the options name a literal mode and dictionary the format has.
bool validImplodeOptions(const ImplodeOptions& options);

// Compresses data into one whole stream (header, codes, end marker). The stream is never shorter
// than the 5 bytes a reader needs before it starts decoding. Options must be valid.
std::vector<uint8_t> implodeData(const uint8_t* data, size_t size, const ImplodeOptions& options);

}  // namespace qm
