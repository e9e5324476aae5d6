// The decoder for the PKWARE Data Compression Library "implode" stream format, and the format's
// fixed code tables, which our own compressor (tools/implode) shares.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace qm {

// Size of the work area the caller hands to explode; the decoder uses nothing else.
constexpr size_t kExplodeWorkSize = 12596;
// The decoder asks for input in chunks of this size and hands output on in chunks of
// kExplodeOutputChunk bytes (the last hand-off may be shorter).
constexpr uint32_t kExplodeInputChunk = 2048;
constexpr uint32_t kExplodeOutputChunk = 4096;

// A larger work area for callers that can spare it: the decoder then reads and hands on
// kExplodeLargeChunk bytes at a time, so a file costs far fewer reads and writes.
constexpr uint32_t kExplodeLargeChunk = 65536;
constexpr size_t kExplodeLargeWorkSize = 3 * size_t(kExplodeLargeChunk) + 1024;

enum ExplodeResult : int {
  kExplodeOk = 0,
  kExplodeBadDictionary = 1,   // header byte 1 is not 4, 5 or 6
  kExplodeBadLiteralMode = 2,  // header byte 0 is not 0 or 1
  kExplodeShortHeader = 3,     // fewer than 5 bytes in the first chunk
  kExplodeStreamError = 4,     // truncated stream or a copy reaching before the output's start
};

// Fills up to count bytes into buffer and returns how many were delivered; 0 at the end.
using ExplodeReadFn = uint32_t (*)(uint8_t* buffer, uint32_t count, void* user);
// Takes count decoded bytes.
using ExplodeWriteFn = void (*)(const uint8_t* buffer, uint32_t count, void* user);

// Decodes one stream from read to write. work must hold kExplodeWorkSize bytes; its contents
// on entry do not matter. Never reads or writes outside work, whatever the input.
[[nodiscard]] int explode(ExplodeReadFn read, ExplodeWriteFn write, void* work, void* user);
// The same with a work area of kExplodeLargeWorkSize bytes, read and handed on in chunks of
// kExplodeLargeChunk.
[[nodiscard]] int explodeLarge(ExplodeReadFn read, ExplodeWriteFn write, void* work, void* user);

// The format's fixed codes. A code's bits are given in stream order: the first bit of the code
// is bit 0 of `bits`, as the stream is read least significant bit first.
namespace dcl {

struct Code {
  uint16_t bits = 0;
  uint8_t length = 0;
};

constexpr int kLiteralModeBinary = 0;
constexpr int kLiteralModeAscii = 1;
constexpr int kLengthSymbols = 16;
constexpr int kDistanceSymbols = 64;
constexpr int kMaxCopyLength = 518;
constexpr int kEndMarkerLength = 519;

extern const std::array<Code, 256> kLiteralCodes;  // literals in ASCII mode
extern const std::array<Code, kLengthSymbols> kLengthCodes;
extern const std::array<Code, kDistanceSymbols> kDistanceCodes;  // a distance's high part
extern const uint16_t kLengthBase[kLengthSymbols];
extern const uint8_t kLengthExtraBits[kLengthSymbols];

}  // namespace dcl
}  // namespace qm
