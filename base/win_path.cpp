#include "base/win_path.h"

#include <algorithm>

#include "base/text.h"

namespace qm {

std::string WinPath::text() const {
  std::string out{drive, ':', '\\'};
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i) out += '\\';
    out += parts[i];
  }
  return out;
}

std::optional<WinPath> resolveWinPath(std::string_view path, const WinPath& current) {
  std::string p(path);
  std::replace(p.begin(), p.end(), '/', '\\');
  if (p.empty() || p.rfind("\\\\", 0) == 0) return std::nullopt;
  WinPath out;
  std::string_view rest = p;
  if (p.size() >= 2 && p[1] == ':') {
    const char letter = toUpperAscii(p[0]);
    if (letter < 'A' || letter > 'Z') return std::nullopt;
    out.drive = letter;
    rest.remove_prefix(2);
    // "D:NAME" is relative to the current directory only when D: is the current drive: one
    // current directory is kept, not one per drive.
    if (letter == current.drive && (rest.empty() || rest[0] != '\\')) out.parts = current.parts;
  } else {
    out.drive = current.drive;
    if (rest[0] != '\\') out.parts = current.parts;
  }
  size_t i = 0;
  while (i <= rest.size()) {
    size_t end = rest.find('\\', i);
    if (end == std::string_view::npos) end = rest.size();
    std::string part(rest.substr(i, end - i));
    i = end + 1;
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!out.parts.empty()) out.parts.pop_back();
      continue;
    }
    // Windows drops trailing dots and blanks from every name it is given, but a pattern such as
    // "*." keeps its dot: it asks for names without an extension.
    if (!hasWildcard(part))
      while (!part.empty() && (part.back() == '.' || part.back() == ' ')) part.pop_back();
    if (part.empty()) continue;
    for (char c : part)
      if (static_cast<unsigned char>(c) < 32 || c == ':' || c == '<' || c == '>' || c == '"' ||
          c == '|')
        return std::nullopt;
    out.parts.push_back(std::move(part));
  }
  return out;
}

std::string withoutTrailingBackslash(std::string_view dir) {
  std::string out(dir);
  const size_t keep = out.size() >= 3 && out[1] == ':' && out[2] == '\\' ? 3 : 1;
  while (out.size() > keep && out.back() == '\\') out.pop_back();
  return out;
}

std::string joinableDirectory(std::string_view dir) {
  std::string out(dir);
  while (!out.empty() && out.back() == '\\') out.pop_back();
  return out;
}

bool isDeviceName(std::string_view name) {
  std::string_view base = name.substr(0, name.find('.'));
  while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
  for (const char* device : {"CON", "PRN", "AUX", "NUL", "CLOCK$"})
    if (equalsNoCase(base, device)) return true;
  return base.size() == 4 && (startsWithNoCase(base, "COM") || startsWithNoCase(base, "LPT")) &&
         base[3] >= '1' && base[3] <= '9';
}

}  // namespace qm
