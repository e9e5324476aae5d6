#include "sysconfig/config_values.h"

#include <climits>

#include "base/text.h"

namespace qm {

namespace {

int readShareNumber(const std::string& upper, std::string_view option) {
  size_t at = upper.find(option);
  if (at == std::string::npos) return 0;
  at += option.size();
  while (at < upper.size() && upper[at] == ' ') ++at;
  long long value = 0;
  while (at < upper.size() && upper[at] >= '0' && upper[at] <= '9') {
    value = value * 10 + (upper[at] - '0');
    if (value > INT_MAX) value = INT_MAX;
    ++at;
  }
  return static_cast<int>(value);
}

int digitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'z') return c - 'a' + 10;
  if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
  return 99;
}

bool isCSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

}  // namespace

ShareValues readShareValues(std::string_view text) {
  std::string upper = upperAscii(text);
  return ShareValues{readShareNumber(upper, "/F:"), readShareNumber(upper, "/L:")};
}

uint32_t readUnsigned32(std::string_view text, int base) {
  size_t at = 0;
  while (at < text.size() && isCSpace(text[at])) ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
  const bool hexPrefix = at + 2 < text.size() && text[at] == '0' &&
                         (text[at + 1] == 'x' || text[at + 1] == 'X') &&
                         digitValue(text[at + 2]) < 16;
  if (base == 0) {
    if (hexPrefix) {
      base = 16;
      at += 2;
    } else if (at < text.size() && text[at] == '0') {
      base = 8;
    } else {
      base = 10;
    }
  } else if (base == 16 && hexPrefix) {
    at += 2;
  }
  uint64_t value = 0;
  bool overflow = false;
  for (; at < text.size() && digitValue(text[at]) < base; ++at) {
    value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(digitValue(text[at]));
    if (value > UINT32_MAX) {
      overflow = true;
      value = UINT32_MAX;
    }
  }
  if (overflow) return UINT32_MAX;
  uint32_t result = static_cast<uint32_t>(value);
  return negative ? static_cast<uint32_t>(0u - result) : result;
}

std::vector<uint8_t> convertBinaryDigits(std::string_view text) {
  std::vector<uint8_t> bytes;
  for (size_t at = 0; at < text.size(); at += 8) {
    bytes.push_back(static_cast<uint8_t>(readUnsigned32(text.substr(at, 8), 2)));
  }
  return bytes;
}

namespace {

constexpr struct {
  const char* name;
  RegistryRoot root;
} kRoots[] = {
    {"HKEY_CLASSES_ROOT", RegistryRoot::ClassesRoot},
    {"HKEY_USERS", RegistryRoot::Users},
    {"HKEY_LOCAL_MACHINE", RegistryRoot::LocalMachine},
    {"HKEY_CURRENT_USER", RegistryRoot::CurrentUser},
    {"HKEY_CURRENT_CONFIG", RegistryRoot::CurrentConfig},
    {"HKEY_DYN_DATA", RegistryRoot::DynData},
};

}  // namespace

std::optional<RegistryRoot> findRegistryRoot(std::string_view name) {
  for (const auto& entry : kRoots) {
    if (equalsNoCase(name, entry.name)) return entry.root;
  }
  return std::nullopt;
}

std::string registryRootText(RegistryRoot root) {
  for (const auto& entry : kRoots)
    if (entry.root == root) return entry.name;
  return "";
}

uint32_t findRegistryType(std::string_view word) {
  static constexpr struct {
    const char* word;
    uint32_t type;
  } kTypes[] = {
      {"STRING", kRegSz},
      {"REG_SZ", kRegSz},
      {"REG_EXPAND_SZ", kRegExpandSz},
      {"BINARY", kRegBinary},
      {"REG_BINARY", kRegBinary},
      {"DWORD", kRegDword},
      {"REG_DWORD", kRegDword},
      {"REG_DWORD_BIG_ENDIAN", kRegDwordBigEndian},
      {"REG_LINK", kRegLink},
      {"REG_MULTI_SZ", kRegMultiSz},
      {"REG_RESOURCE_LIST", kRegResourceList},
      {"REG_FULL_RESOURCE_DESCRIPTOR", kRegFullResourceDescriptor},
  };
  for (const auto& entry : kTypes) {
    if (equalsNoCase(word, entry.word)) return entry.type;
  }
  return 0;
}

void replaceAllNoCase(std::string& text, std::string_view token, std::string_view value) {
  if (token.empty()) return;
  size_t from = 0;
  for (size_t at; (at = findNoCase(text, token, from)) != std::string::npos;) {
    text.replace(at, token.size(), value);
    from = at + value.size();
  }
}

bool readQuotedArgument(StatementLine& line, std::string& out) {
  out.clear();
  line.skipSeparators();
  if (line.peek() != '"') return false;
  const size_t open = line.position();
  out = line.readQuoted();
  if (!out.empty()) return true;
  // An empty result is either a pair of quotes or a string the line ended inside.
  const std::string& text = line.text();
  // A doubled quote right after the opening one would have put a quote into out.
  return open + 1 < text.size() && text[open + 1] == '"' &&
         (open + 2 >= text.size() || text[open + 2] != '"');
}

}  // namespace qm
