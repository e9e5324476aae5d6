// std::from_chars for a double in the general format, read with the C library's strtod: the same
// results for every text from_chars accepts, for a program that cannot spare the library's own
// converter (the installer, see app/lean_runtime.cpp).
#pragma once

#include <charconv>

namespace qm {

// As std::from_chars(first, last, value): no leading blanks, no "+", no hexadecimal form;
// invalid_argument when no number begins at first; result_out_of_range (value unchanged) when the
// number overflows or underflows. The C locale is assumed, as the installer never changes it.
std::from_chars_result decimalFromChars(const char* first, const char* last, double& value);

}  // namespace qm
