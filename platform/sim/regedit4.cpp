#include "platform/sim/regedit4.h"

#include <algorithm>
#include <cstdio>

#include "base/text.h"

namespace qm {

namespace {

constexpr const char* kRoots[] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER",   "HKEY_LOCAL_MACHINE",
                                  "HKEY_USERS",        "HKEY_CURRENT_CONFIG", "HKEY_DYN_DATA"};
constexpr size_t kHexLineWidth = 76;

// Names hold no control characters: they could not be written back on one line, and the tree
// keeps its paths with a control character as the separator.
bool cleanName(std::string_view name) {
  return std::none_of(name.begin(), name.end(),
                      [](char c) { return static_cast<unsigned char>(c) < 0x20; });
}

std::vector<std::string_view> splitPath(std::string_view path) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  while (true) {
    size_t slash = path.find('\\', start);
    parts.push_back(path.substr(start, slash == std::string_view::npos ? slash : slash - start));
    if (slash == std::string_view::npos) break;
    start = slash + 1;
  }
  return parts;
}

std::string trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
  return std::string(s.substr(b, e - b));
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = toUpperAscii(c);
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads a quoted text with the format's two escapes (\\ and \") starting at the opening quote;
// pos ends after the closing quote. nullopt when the quote is never closed.
std::optional<std::string> readQuotedText(std::string_view line, size_t& pos) {
  std::string out;
  for (size_t i = pos + 1; i < line.size(); ++i) {
    char c = line[i];
    if (c == '\\' && i + 1 < line.size() && (line[i + 1] == '\\' || line[i + 1] == '"')) {
      out += line[++i];
    } else if (c == '"') {
      pos = i + 1;
      return out;
    } else {
      out += c;
    }
  }
  return std::nullopt;
}

std::string quote(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out + "\"";
}

// A REG_SZ that the quoted form can carry exactly: one terminating NUL, no other NUL and no line
// break. Anything else is written as hex so that it reads back byte for byte.
bool quotable(const RegValueData& v) {
  if (v.type != kRegSz || v.bytes.empty() || v.bytes.back() != 0) return false;
  return std::none_of(v.bytes.begin(), v.bytes.end() - 1,
                      [](uint8_t b) { return b == 0 || b == '\r' || b == '\n'; });
}

std::string valueLine(const std::string& name, const RegValueData& v) {
  std::string line = name.empty() ? "@=" : quote(name) + "=";
  if (quotable(v)) {
    return line + quote(std::string_view(reinterpret_cast<const char*>(v.bytes.data()),
                                         v.bytes.size() - 1));
  }
  char buf[32];
  if (v.type == kRegDword && v.bytes.size() == 4) {
    uint32_t n = v.bytes[0] | (v.bytes[1] << 8) | (v.bytes[2] << 16) | (uint32_t(v.bytes[3]) << 24);
    std::snprintf(buf, sizeof buf, "dword:%08x", n);
    return line + buf;
  }
  if (v.type == kRegBinary) {
    line += "hex:";
  } else {
    std::snprintf(buf, sizeof buf, "hex(%x):", v.type);
    line += buf;
  }
  std::string out;
  for (size_t i = 0; i < v.bytes.size(); ++i) {
    std::snprintf(buf, sizeof buf, "%02x", v.bytes[i]);
    line += buf;
    if (i + 1 < v.bytes.size()) {
      line += ',';
      if (line.size() >= kHexLineWidth) {
        out += line + "\\\r\n";
        line = "  ";
      }
    }
  }
  return out + line;
}

}  // namespace

RegValueData regText(std::string_view text, uint32_t type) {
  RegValueData v;
  v.type = type;
  v.bytes.assign(text.begin(), text.end());
  v.bytes.push_back(0);
  return v;
}

RegValueData regDword(uint32_t value) {
  return {kRegDword,
          {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)}};
}

std::string registryRootName(uint32_t handle) {
  switch (handle) {
    case 0x80000000u:
      return "HKEY_CLASSES_ROOT";
    case 0x80000001u:
      return "HKEY_CURRENT_USER";
    case 0x80000002u:
      return "HKEY_LOCAL_MACHINE";
    case 0x80000003u:
      return "HKEY_USERS";
    case 0x80000005u:
      return "HKEY_CURRENT_CONFIG";
    case 0x80000006u:
      return "HKEY_DYN_DATA";
    default:
      return {};
  }
}

std::string RegistryTree::canonicalRoot(std::string_view name) {
  for (const char* root : kRoots)
    if (equalsNoCase(name, root)) return root;
  return {};
}

std::string RegistryTree::normalise(std::string_view key, std::string* display) {
  if (!key.empty() && key.back() == '\\') key.remove_suffix(1);
  auto parts = splitPath(key);
  std::string root = canonicalRoot(parts[0]);
  if (root.empty()) return {};
  // Backslashes become 0x01 in the map key so that children sort right after their parent.
  std::string norm = root;
  std::string shown = root;
  for (size_t i = 1; i < parts.size(); ++i) {
    if (parts[i].empty() || !cleanName(parts[i])) return {};
    norm += '\x01';
    norm += upperAscii(parts[i]);
    shown += '\\';
    shown += parts[i];
  }
  if (display) *display = shown;
  return norm;
}

bool RegistryTree::keyExists(std::string_view key) const {
  std::string norm = normalise(key, nullptr);
  if (norm.empty()) return false;
  return norm.find('\x01') == std::string::npos || keys_.count(norm) != 0;
}

int RegistryTree::createKey(std::string_view key) {
  std::string shown;
  std::string norm = normalise(key, &shown);
  if (norm.empty()) return -1;
  int created = 0;
  // Each level in turn, so that parents exist as keys of their own.
  size_t n = 0, s = 0;
  while (true) {
    n = norm.find('\x01', n + 1);
    s = shown.find('\\', s + 1);
    std::string levelNorm = norm.substr(0, n);
    std::string levelShown = shown.substr(0, s);
    // A root always exists; it gets an entry of its own only when a value is set on it.
    if (levelNorm.find('\x01') != std::string::npos && !keys_.count(levelNorm)) {
      keys_[levelNorm].path = levelShown;
      ++created;
    }
    if (n == std::string::npos) break;
  }
  return created;
}

bool RegistryTree::deleteKey(std::string_view key) {
  std::string norm = normalise(key, nullptr);
  if (norm.empty()) return false;
  auto first = keys_.lower_bound(norm);
  auto last = first;
  while (last != keys_.end() &&
         (last->first == norm || last->first.compare(0, norm.size() + 1, norm + '\x01') == 0))
    ++last;
  bool found = first != last;
  keys_.erase(first, last);
  return found;
}

std::vector<std::string> RegistryTree::subkeys(std::string_view key) const {
  std::vector<std::string> out;
  std::string norm = normalise(key, nullptr);
  if (norm.empty()) return out;
  std::string prefix = norm + '\x01';
  for (auto it = keys_.lower_bound(prefix); it != keys_.end(); ++it) {
    if (it->first.compare(0, prefix.size(), prefix) != 0) break;
    if (it->first.find('\x01', prefix.size()) != std::string::npos) continue;
    out.push_back(fileNamePart(it->second.path));
  }
  return out;
}

std::vector<std::string> RegistryTree::valueNames(std::string_view key) const {
  std::vector<std::string> out;
  auto it = keys_.find(normalise(key, nullptr));
  if (it != keys_.end())
    for (const auto& [name, data] : it->second.values) out.push_back(name);
  return out;
}

std::optional<RegValueData> RegistryTree::value(std::string_view key, std::string_view name) const {
  auto it = keys_.find(normalise(key, nullptr));
  if (it == keys_.end()) return std::nullopt;
  for (const auto& [n, data] : it->second.values)
    if (equalsNoCase(n, name)) return data;
  return std::nullopt;
}

bool RegistryTree::setValue(std::string_view key, std::string_view name, RegValueData data) {
  if (!cleanName(name) || createKey(key) < 0) return false;
  std::string shown;
  Key& k = keys_[normalise(key, &shown)];
  if (k.path.empty()) k.path = shown;
  for (auto& [n, d] : k.values)
    if (equalsNoCase(n, name)) {
      d = std::move(data);
      return true;
    }
  k.values.emplace_back(std::string(name), std::move(data));
  return true;
}

bool RegistryTree::deleteValue(std::string_view key, std::string_view name) {
  auto it = keys_.find(normalise(key, nullptr));
  if (it == keys_.end()) return false;
  auto& values = it->second.values;
  for (auto v = values.begin(); v != values.end(); ++v)
    if (equalsNoCase(v->first, name)) {
      values.erase(v);
      return true;
    }
  return false;
}

bool RegistryTree::load(std::string_view text, std::string& error) {
  // Split into lines first; a hex value continues over lines that end with a backslash.
  std::vector<std::pair<int, std::string>> lines;
  {
    int number = 0;
    size_t start = 0;
    bool continuing = false;
    while (start <= text.size()) {
      size_t nl = text.find('\n', start);
      std::string line = trim(text.substr(start, nl == std::string_view::npos ? nl : nl - start));
      ++number;
      if (continuing) {
        lines.back().second += line;
      } else {
        lines.emplace_back(number, line);
      }
      std::string& last = lines.back().second;
      // Only hex data is continued: its line ends in a comma or colon before the backslash.
      // A comment is never continued, whatever it ends with.
      continuing = last.size() >= 2 && last[0] != ';' && last.back() == '\\' &&
                   (last[last.size() - 2] == ',' || last[last.size() - 2] == ':');
      if (continuing) last.pop_back();
      if (nl == std::string_view::npos) break;
      start = nl + 1;
    }
  }
  auto fail = [&error](int line, const std::string& message) {
    error = std::to_string(line) + ": " + message;
    return false;
  };

  bool sawHeader = false;
  std::string currentKey;  // empty: no key open (before the first, or after a deletion)
  std::string comments;    // waiting for the line they stand before
  for (auto& [number, line] : lines) {
    if (!sawHeader && number == 1 && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
    if (!line.empty() && line[0] == ';') comments += line + "\r\n";
    if (line.empty() || line[0] == ';') continue;
    if (!sawHeader) {
      if (line != "REGEDIT4") return fail(number, "expected REGEDIT4 as the first line");
      sawHeader = true;
      headComments_ += comments;
      comments.clear();
      continue;
    }
    if (line[0] == '[') {
      size_t close = line.rfind(']');
      if (close == std::string::npos || close != line.size() - 1)
        return fail(number, "key line without a closing bracket");
      std::string path = line.substr(1, close - 1);
      if (!path.empty() && path[0] == '-') {
        deleteKey(path.substr(1));
        currentKey.clear();
        continue;
      }
      if (createKey(path) < 0)
        return fail(number, "unknown root, empty name or control character in key " + path);
      currentKey = path;
      keyComments_[normalise(path, nullptr)] += comments;
      comments.clear();
      continue;
    }
    if (line[0] != '@' && line[0] != '"') return fail(number, "not a key or value line");
    if (currentKey.empty()) return fail(number, "value line outside a key");
    valueComments_[normalise(currentKey, nullptr)] += comments;
    comments.clear();
    std::string name;
    size_t pos = 1;
    if (line[0] == '"') {
      pos = 0;
      auto n = readQuotedText(line, pos);
      if (!n) return fail(number, "value name without a closing quote");
      name = *n;
      if (name.empty()) return fail(number, "empty value name (the default value is written @)");
    }
    while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
    if (pos >= line.size() || line[pos] != '=') return fail(number, "missing '=' after the name");
    std::string data = trim(std::string_view(line).substr(pos + 1));
    if (data == "-") {
      deleteValue(currentKey, name);
      continue;
    }
    RegValueData v;
    if (!data.empty() && data[0] == '"') {
      size_t q = 0;
      auto t = readQuotedText(data, q);
      if (!t || q != data.size()) return fail(number, "malformed quoted data");
      v = regText(*t);
    } else if (startsWithNoCase(data, "dword:")) {
      std::string digits = data.substr(6);
      if (digits.empty() || digits.size() > 8) return fail(number, "dword needs 1 to 8 hex digits");
      uint32_t n = 0;
      for (char c : digits) {
        int d = hexDigit(c);
        if (d < 0) return fail(number, "bad hex digit in dword");
        n = n * 16 + d;
      }
      v = regDword(n);
    } else if (startsWithNoCase(data, "hex")) {
      size_t at = 3;
      v.type = kRegBinary;
      if (at < data.size() && data[at] == '(') {
        size_t close = data.find(')', at);
        if (close == std::string::npos || close == at + 1 || close - at > 9)
          return fail(number, "malformed hex(type)");
        uint32_t type = 0;
        for (size_t i = at + 1; i < close; ++i) {
          int d = hexDigit(data[i]);
          if (d < 0) return fail(number, "bad hex digit in type");
          type = type * 16 + d;
        }
        v.type = type;
        at = close + 1;
      }
      if (at >= data.size() || data[at] != ':') return fail(number, "missing ':' after hex");
      ++at;
      std::string bytes;
      for (size_t i = at; i < data.size(); ++i)
        if (data[i] != ' ' && data[i] != '\t') bytes += data[i];
      size_t i = 0;
      while (i < bytes.size()) {
        size_t comma = bytes.find(',', i);
        std::string item = bytes.substr(i, comma == std::string::npos ? comma : comma - i);
        if (item.empty() || item.size() > 2) return fail(number, "bad byte '" + item + "'");
        int hi = hexDigit(item[0]);
        int lo = item.size() == 2 ? hexDigit(item[1]) : 0;
        if (hi < 0 || lo < 0) return fail(number, "bad byte '" + item + "'");
        v.bytes.push_back(uint8_t(item.size() == 2 ? hi * 16 + lo : hi));
        if (comma == std::string::npos) break;
        i = comma + 1;
        if (i == bytes.size()) return fail(number, "trailing comma");
      }
    } else {
      return fail(number, "unknown data form");
    }
    if (!setValue(currentKey, name, std::move(v)))
      return fail(number, "control character in value name");
  }
  tailComments_ += comments;
  return true;
}

std::string RegistryTree::save() const {
  // Comments that stood before the header go before it again: after it they would read back
  // as comments of the first key.
  std::string out = headComments_ + "REGEDIT4\r\n";
  auto commentsOf = [](const std::map<std::string, std::string>& comments, const std::string& key) {
    auto it = comments.find(key);
    return it == comments.end() ? std::string() : it->second;
  };
  for (const auto& [norm, key] : keys_) {
    out += "\r\n" + commentsOf(keyComments_, norm) + "[" + key.path + "]\r\n";
    // Comments stand before a key's values; a key left without values drops them, since there
    // they would read back as comments of the next key.
    if (!key.values.empty()) out += commentsOf(valueComments_, norm);
    for (const auto& [name, data] : key.values) out += valueLine(name, data) + "\r\n";
  }
  if (!tailComments_.empty()) out += "\r\n" + tailComments_;
  return out;
}

}  // namespace qm
