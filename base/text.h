// Text helpers with the installer's case rules: keywords and names compare without regard to the
// case of the ASCII letters A to Z only; every other byte must be equal.
#pragma once

#include <string>
#include <string_view>

namespace qm {

char toUpperAscii(char c);
char toLowerAscii(char c);
std::string upperAscii(std::string_view s);
bool equalsNoCase(std::string_view a, std::string_view b);
bool startsWithNoCase(std::string_view text, std::string_view prefix);
// Position of needle in haystack ignoring ASCII case, or npos.
size_t findNoCase(std::string_view haystack, std::string_view needle, size_t from = 0);
// Win32 wildcard match of one file name: * any run, ? one character (or none at the end),
// "*.*" matches names without a dot too; case-insensitive.
bool wildcardMatch(std::string_view pattern, std::string_view name);
bool hasWildcard(std::string_view path);
// Everything up to and including the last backslash (or colon); empty when there is neither.
std::string directoryPart(std::string_view path);
// The part after the last backslash or colon.
std::string fileNamePart(std::string_view path);
// Appends a backslash unless the text is empty or already ends with one.
std::string withTrailingBackslash(std::string_view dir);
// Converts "\n" to "\r\n" (text written in Windows text mode) and back.
std::string toCrLf(std::string_view text);
std::string fromCrLf(std::string_view text);
// Decimal integer as atoi reads it: white space, optional sign, digits up to the first non-digit.
long parseLeadingInt(std::string_view s);

}  // namespace qm
