#include "base/text.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdint>

namespace qm {

char toUpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }
char toLowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

std::string upperAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = toUpperAscii(c);
  return out;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (toUpperAscii(a[i]) != toUpperAscii(b[i])) return false;
  return true;
}

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && equalsNoCase(text.substr(0, prefix.size()), prefix);
}

size_t findNoCase(std::string_view haystack, std::string_view needle, size_t from) {
  if (needle.empty()) return from <= haystack.size() ? from : std::string_view::npos;
  for (size_t i = from; i + needle.size() <= haystack.size(); ++i)
    if (equalsNoCase(haystack.substr(i, needle.size()), needle)) return i;
  return std::string_view::npos;
}

namespace {

bool matchFrom(std::string_view p, std::string_view n, int depth = 0) {
  // Recursive on '*' only; patterns are short file names, and the depth bound keeps hostile
  // patterns from running away.
  if (depth > 32) return false;
  size_t pi = 0, ni = 0;
  while (pi < p.size()) {
    char c = p[pi];
    if (c == '*') {
      while (pi < p.size() && p[pi] == '*') ++pi;
      if (pi == p.size()) return true;
      for (size_t k = ni; k <= n.size(); ++k)
        if (matchFrom(p.substr(pi), n.substr(k), depth + 1)) return true;
      return false;
    }
    if (c == '?') {
      // A '?' before a dot or at the end of the name may match nothing, as DOS names did.
      if (ni < n.size() && n[ni] != '.') ++ni;
      ++pi;
      continue;
    }
    if (ni < n.size() && toUpperAscii(c) == toUpperAscii(n[ni])) {
      ++pi;
      ++ni;
      continue;
    }
    return false;
  }
  return ni == n.size();
}

}  // namespace

bool wildcardMatch(std::string_view pattern, std::string_view name) {
  if (pattern == "*.*" || pattern == "*") return true;
  // A pattern ending in "." asks for names without an extension.
  if (pattern.size() >= 2 && pattern.back() == '.' && pattern[pattern.size() - 2] != '.')
    return name.find('.') == std::string_view::npos &&
           matchFrom(pattern.substr(0, pattern.size() - 1), name);
  if (matchFrom(pattern, name)) return true;
  // A name without a dot matches as if it ended with one ("ABC.*").
  if (name.find('.') == std::string_view::npos && pattern.size() >= 2 &&
      pattern.substr(pattern.size() - 2) == ".*") {
    return matchFrom(pattern.substr(0, pattern.size() - 2), name);
  }
  return false;
}

bool hasWildcard(std::string_view path) {
  return path.find_first_of("*?") != std::string_view::npos;
}

std::string directoryPart(std::string_view path) {
  size_t cut = path.find_last_of("\\:");
  return cut == std::string_view::npos ? std::string() : std::string(path.substr(0, cut + 1));
}

std::string fileNamePart(std::string_view path) {
  size_t cut = path.find_last_of("\\:");
  return std::string(cut == std::string_view::npos ? path : path.substr(cut + 1));
}

std::string withTrailingBackslash(std::string_view dir) {
  std::string out(dir);
  if (!out.empty() && out.back() != '\\') out += '\\';
  return out;
}

std::string toCrLf(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

std::string fromCrLf(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out += text[i];
  }
  return out;
}

long parseLeadingInt(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  // Long digit runs saturate. The sum is kept in 64 bits because long has only 32 on Windows,
  // where the run would otherwise overflow.
  int64_t value = 0;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
    if (value < 100000000000) value = value * 10 + (s[i] - '0');
    ++i;
  }
  if (negative) value = -value;
  return static_cast<long>(std::clamp<int64_t>(value, LONG_MIN, LONG_MAX));
}

}  // namespace qm
