// Feeds arbitrary text to the REGEDIT4 reader. Whatever it accepts must save to text that reads
// back without error into a tree that saves to the very same text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/sim/regedit4.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  qm::RegistryTree tree;
  std::string error;
  tree.load(text, error);  // lines before a bad one stay applied: the tree is usable either way
  std::string saved = tree.save();
  qm::RegistryTree back;
  if (!back.load(saved, error)) std::abort();
  if (back.save() != saved) std::abort();
  return 0;
}
