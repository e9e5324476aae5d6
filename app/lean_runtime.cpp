// Lean replacements of standard library pieces for a program that has to leave room on its
// floppy for the vendor's files.
//
// The installer catches no exception: whatever the standard library would throw ends the program
// anyway, and a GUI program has no console for the terminate handler's report. Replacing the
// library's throwing helpers and its verbose terminate handler keeps their exception classes, a
// second string implementation and the symbol demangler out of the program.
#include <bits/functexcept.h>

#include <cstdarg>
#include <cstdlib>
#include <new>

#include "base/lean_decimal.h"
#include "base/lean_format.h"

namespace std {

void __throw_bad_exception() { std::abort(); }
void __throw_bad_alloc() { std::abort(); }
void __throw_bad_array_new_length() { std::abort(); }
void __throw_bad_cast() { std::abort(); }
void __throw_bad_typeid() { std::abort(); }
void __throw_logic_error(const char*) { std::abort(); }
void __throw_domain_error(const char*) { std::abort(); }
void __throw_invalid_argument(const char*) { std::abort(); }
void __throw_length_error(const char*) { std::abort(); }
void __throw_out_of_range(const char*) { std::abort(); }
void __throw_out_of_range_fmt(const char*, ...) { std::abort(); }
void __throw_runtime_error(const char*) { std::abort(); }
void __throw_range_error(const char*) { std::abort(); }
void __throw_overflow_error(const char*) { std::abort(); }
void __throw_underflow_error(const char*) { std::abort(); }
void __throw_system_error(int) { std::abort(); }
void __throw_future_error(int) { std::abort(); }
void __throw_bad_function_call() { std::abort(); }

// Decimal numbers of conditions are read with from_chars; the library's version brings its own
// 40 KB converter although the C library's strtod, linked anyway, reads the same numbers.
from_chars_result from_chars(const char* first, const char* last, double& value, chars_format) {
  return qm::decimalFromChars(first, last, value);
}

}  // namespace std

namespace __gnu_cxx {

void __verbose_terminate_handler() { std::abort(); }

}  // namespace __gnu_cxx

// The global allocation functions on malloc. Memory that cannot be had ends the program, as the
// library's uncaught bad_alloc would; its versions would bring the exception machinery (and the
// thread library the unwinder locks with) into a program that otherwise has none.
void* operator new(std::size_t size) {
  if (void* p = std::malloc(size ? size : 1)) return p;
  std::abort();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return std::malloc(size ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return std::malloc(size ? size : 1);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

// MinGW's C99 printf and strtod stand in for the C library's under C++, and with them come their
// floating-point converters (about 40 KB). The installer formats integers and text only, and reads
// decimal numbers with its own strtod (app/lean_crt.cpp).
extern "C" int __mingw_vsnprintf(char* out, size_t size, const char* format, va_list args) {
  return qm::formatToBuffer(out, size, format, args);
}
