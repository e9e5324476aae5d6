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

namespace qm {

// As std::strtod(text, end), for a C library whose strtod reads decimal numbers only: "inf",
// "infinity" and "nan" (with an optional "(chars)"), in any case and after blanks and a sign, are
// read here; every other text is given to convert.
double readDouble(const char* text, char** end, double (*convert)(const char*, char**));

}  // namespace qm
