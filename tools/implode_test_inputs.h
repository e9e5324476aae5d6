// Inputs that sit on the edges of the stream format, shared by the compressor's tests against our
// decoder and against StormLib's.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace qm {

struct ImplodeTestInput {
  std::string name;
  std::vector<uint8_t> data;
};

inline std::vector<uint8_t> randomBytes(size_t size, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> b(size);
  for (auto& x : b) x = static_cast<uint8_t>(rng());
  return b;
}

// Random bytes whose last `tail` bytes repeat those `distance` bytes before them.
inline std::vector<uint8_t> repeatAt(size_t distance, size_t tail, uint32_t seed) {
  std::vector<uint8_t> b = randomBytes(distance + tail, seed);
  for (size_t i = distance; i < b.size(); ++i) b[i] = b[i - distance];
  return b;
}

// Text from a handful of words: many near-equal copy sources for every position.
inline std::vector<uint8_t> smallVocabularyText(size_t size, uint32_t seed) {
  const char* words[] = {"install ", "the ", "FILE",  "directory ", "Windows\r\n",
                         "setup ",   "of ",  "disk ", "readme.txt", ", "};
  std::mt19937 rng(seed);
  std::string text;
  while (text.size() < size) text += words[rng() % std::size(words)];
  return std::vector<uint8_t>(text.begin(), text.end());
}

// Empty and one-byte inputs, runs around the longest copy (518 bytes), copies at the largest
// distances of each dictionary and of the two-byte copy (256), and text with a small vocabulary.
inline std::vector<ImplodeTestInput> implodeEdgeInputs() {
  std::vector<ImplodeTestInput> in = {
      {"empty", {}}, {"one byte", {0x41}}, {"two bytes", {0, 0xFF}}};
  for (size_t run : {517, 518, 519, 520, 1036, 1037, 5000})
    in.push_back({"run of " + std::to_string(run), std::vector<uint8_t>(run, 0x20)});
  for (size_t distance : {256, 257, 1023, 1024, 1025, 2047, 2048, 2049, 4095, 4096, 4097})
    in.push_back({"repeat at " + std::to_string(distance), repeatAt(distance, 700, distance)});
  // Two-byte copies only: pairs repeating at distances either side of the short form's reach.
  std::vector<uint8_t> pairs = randomBytes(3000, 5);
  for (size_t i = 257; i + 1 < pairs.size(); i += 7) {
    const size_t distance = i % 2 ? 256 : 257;
    pairs[i] = pairs[i - distance];
    pairs[i + 1] = pairs[i + 1 - distance];
  }
  in.push_back({"two-byte copies", pairs});
  in.push_back({"small vocabulary text", smallVocabularyText(60000, 9)});
  in.push_back({"random", randomBytes(20000, 77)});
  return in;
}

}  // namespace qm
