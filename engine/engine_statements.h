// Helpers shared by the engine's statement readers and their tests.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "script/install_state.h"

namespace qm {

// The disk name an INSERTDISK statement gets when it names none.
inline constexpr const char* kDefaultDiskName = "the next disk";

// A MINDISKSPACE / PROGRESSBAR size: a decimal number (fractions allowed) and the first K/k
// (x 1000) or M/m (x 1000000) of the word, truncated to whole bytes. Negative sizes ask for
// nothing; nullopt when the size cannot be held in 64 bits.
std::optional<uint64_t> parseSize(std::string_view word);

// The option-group index that a declared group number (0 .. 99) maps to, or -1 when no group
// block has declared that number so far.
int optionGroupIndex(const InstallState& state, int number);

// Whether the user selected the option group with that index.
bool optionGroupSelected(const InstallState& state, uint32_t index);

}  // namespace qm
