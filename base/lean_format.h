// vsnprintf for the integer and text conversions only, for a program that cannot spare the C
// library's full formatter with its floating-point converter (the installer, see
// app/lean_runtime.cpp).
#pragma once

#include <cstdarg>
#include <cstddef>

namespace qm {

// As std::vsnprintf(out, size, format, args) for the conversions d i u x X o c s and %, with the
// flags - + space 0 #, a width and a precision (either may be *) and the length modifiers hh h l
// ll z j t. Any other conversion writes nothing more and returns -1, as a formatting error does.
int formatToBuffer(char* out, size_t size, const char* format, va_list args);

}  // namespace qm
