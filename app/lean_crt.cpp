// The C runtime of the installer and the uninstaller, on kernel32 alone.
//
// Both programs run before anything is installed, on every Windows from 3.1 with Win32s to
// today's, and msvcrt.dll is not on all of them. So they link no C runtime DLL and no start-up
// code of the compiler's: this file is their entry point, their heap and the handful of C
// library functions their code and the static C++ library call.
#include <windows.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>

#include "base/lean_decimal.h"

extern "C" {

// --- memory: the process heap, which every target has
void* malloc(size_t size) { return HeapAlloc(GetProcessHeap(), 0, size ? size : 1); }

void free(void* block) {
  if (block) HeapFree(GetProcessHeap(), 0, block);
}

void* calloc(size_t count, size_t size) {
  if (size && count > SIZE_MAX / size) return nullptr;
  const size_t bytes = count * size;
  return HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes ? bytes : 1);
}

void* realloc(void* block, size_t size) {
  if (!block) return malloc(size);
  if (!size) {
    free(block);
    return nullptr;
  }
  return HeapReAlloc(GetProcessHeap(), 0, block, size);
}

// --- bytes and strings. The string instructions keep these small, and the compiler cannot turn
// them back into calls to themselves.
void* memcpy(void* to, const void* from, size_t count) {
  void* result = to;
  asm volatile("rep movsb" : "+D"(to), "+S"(from), "+c"(count) : : "memory");
  return result;
}

void* memmove(void* to, const void* from, size_t count) {
  void* result = to;
  if (to <= from || static_cast<char*>(to) >= static_cast<const char*>(from) + count) {
    asm volatile("rep movsb" : "+D"(to), "+S"(from), "+c"(count) : : "memory");
  } else if (count) {  // overlapping with the target above: copied from the end down
    to = static_cast<char*>(to) + count - 1;
    from = static_cast<const char*>(from) + count - 1;
    asm volatile("std\n\trep movsb\n\tcld" : "+D"(to), "+S"(from), "+c"(count) : : "memory");
  }
  return result;
}

void* memset(void* to, int value, size_t count) {
  void* result = to;
  asm volatile("rep stosb" : "+D"(to), "+c"(count) : "a"(value) : "memory");
  return result;
}

int memcmp(const void* a, const void* b, size_t count) {
  const unsigned char *p = static_cast<const unsigned char*>(a),
                      *q = static_cast<const unsigned char*>(b);
  for (; count; --count, ++p, ++q)
    if (*p != *q) return *p < *q ? -1 : 1;
  return 0;
}

void* memchr(const void* block, int value, size_t count) {
  const unsigned char* p = static_cast<const unsigned char*>(block);
  for (; count; --count, ++p)
    if (*p == static_cast<unsigned char>(value)) return const_cast<unsigned char*>(p);
  return nullptr;
}

size_t strlen(const char* text) {
  const char* end = text;
  while (*end) ++end;
  return static_cast<size_t>(end - text);
}

size_t strnlen(const char* text, size_t limit) {
  size_t length = 0;
  while (length < limit && text[length]) ++length;
  return length;
}

int strncmp(const char* a, const char* b, size_t count) {
  for (; count; --count, ++a, ++b) {
    unsigned char p = static_cast<unsigned char>(*a), q = static_cast<unsigned char>(*b);
    if (p != q) return p < q ? -1 : 1;
    if (!p) break;
  }
  return 0;
}

int strcmp(const char* a, const char* b) { return strncmp(a, b, SIZE_MAX); }

char* strncpy(char* to, const char* from, size_t count) {
  size_t i = 0;
  for (; i < count && from[i]; ++i) to[i] = from[i];
  for (; i < count; ++i) to[i] = 0;
  return to;
}

// The headers declare these as imported from the C library's DLL; the names given to the linker
// are the C library's own.
int leanIsSpace(int c) __asm__("_isspace");
int* leanErrno() __asm__("__errno");

int leanIsSpace(int c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
// Code that calls isalpha through the headers' import reference finds this pointer in its place.
int leanIsAlpha(int c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
__attribute__((used)) int (*leanIsAlphaImport)(int) __asm__("__imp__isalpha") = leanIsAlpha;

int atoi(const char* text) {
  while (leanIsSpace(static_cast<unsigned char>(*text))) ++text;
  bool negative = *text == '-';
  if (*text == '-' || *text == '+') ++text;
  unsigned value = 0;
  for (; *text >= '0' && *text <= '9'; ++text)
    value = value * 10 + static_cast<unsigned>(*text - '0');
  return static_cast<int>(negative ? 0u - value : value);
}

double ceil(double x) {
  // NaN, the infinities and everything from 2^52 up are whole already.
  if (!(x < 4503599627370496.0 && x > -4503599627370496.0)) return x;
  double whole = static_cast<double>(static_cast<long long>(x));
  if (whole < x) whole += 1;
  return whole == 0 && x < 0 ? -0.0 : whole;
}

int* leanErrno() {
  static int error;
  return &error;
}

// Under C++ the headers send every strtod call here.
double __mingw_strtod(const char* text, char** end) {
  return qm::readDouble(text, end, [](const char* s, char** e) {
    bool outOfRange = false;
    double value = qm::decimalToDouble(s, e, &outOfRange);
    if (outOfRange) *leanErrno() = ERANGE;
    return value;
  });
}

// --- the program's end. Destructors of static objects run at exit, newest first, as the C
// library would run them.
namespace {
constexpr int kMaxExitFunctions = 64;
void (*exitFunctions[kMaxExitFunctions])();
int exitFunctionCount = 0;
}  // namespace

int atexit(void (*function)()) {
  if (exitFunctionCount == kMaxExitFunctions) return -1;
  exitFunctions[exitFunctionCount++] = function;
  return 0;
}

void exit(int code) {
  while (exitFunctionCount > 0) exitFunctions[--exitFunctionCount]();
  ExitProcess(static_cast<UINT>(code));
}

// As the C library's: no clean-up, exit code 3.
void abort() { ExitProcess(3); }

// The constructors of static objects, listed by the linker between these two markers (a count
// or -1 first, then the functions, then 0); run last to first, as the compiler's own start-up
// code does.
extern void (*__CTOR_LIST__[])();

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int);

// The entry point: the command line without the program's name, the show state the starter
// asked for, and WinMain's return value as the exit code.
__attribute__((used)) void WinMainCRTStartup() {
  size_t count = 0;
  while (__CTOR_LIST__[count + 1]) ++count;
  while (count) __CTOR_LIST__[count--]();

  char* line = GetCommandLineA();
  if (*line == '"') {
    ++line;
    while (*line && *line != '"') ++line;
    if (*line == '"') ++line;
  } else {
    while (*line > ' ') ++line;
  }
  while (*line && *line <= ' ') ++line;
  STARTUPINFOA startup;
  startup.cb = sizeof startup;
  GetStartupInfoA(&startup);
  int show = startup.dwFlags & STARTF_USESHOWWINDOW ? startup.wShowWindow : SW_SHOWDEFAULT;
  exit(WinMain(GetModuleHandleA(nullptr), nullptr, line, show));
}

}  // extern "C"
