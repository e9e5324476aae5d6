// Decimal numbers read into doubles without the C library: std::from_chars for a double in the
// general format and strtod's decimal form, correctly rounded as both are, for programs that link
// no C runtime DLL and cannot spare the standard library's own converter (the installer and the
// uninstaller, see app/lean_runtime.cpp).
#pragma once

#include <charconv>

namespace qm {

// As std::from_chars(first, last, value): no leading blanks, no "+", no hexadecimal form;
// invalid_argument when no number begins at first; result_out_of_range (value unchanged) when the
// number overflows or underflows. The C locale is assumed, as the installer never changes it.
std::from_chars_result decimalFromChars(const char* first, const char* last, double& value);

}  // namespace qm

namespace qm {

// As std::strtod(text, end) for the decimal form only: blanks, a sign, digits with an optional
// point, an optional exponent. The result is the double nearest the exact value (ties to even).
// outOfRange, when given, is set when the value overflows to infinity or underflows to zero.
// When no number begins at text, returns 0 and sets end to text.
double decimalToDouble(const char* text, char** end, bool* outOfRange = nullptr);

// As std::strtod(text, end), for a C library whose strtod reads decimal numbers only: "inf",
// "infinity" and "nan" (with an optional "(chars)"), in any case and after blanks and a sign, are
// read here; every other text is given to convert.
double readDouble(const char* text, char** end, double (*convert)(const char*, char**));

}  // namespace qm
