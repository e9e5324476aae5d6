// The profile cases of tests/data/profiles/cases.txt (the format is described there), run on any
// machine: the simulated one in profile_text_test.cpp, the real functions in profiles_probe.exe.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_handle.h"
#include "platform/system.h"

namespace qm::testing {

struct ProfileCase {
  int line = 0;
  std::string name;
  std::optional<std::string> before;  // nullopt: no file
  std::string op, section, key, value, result;
  std::optional<std::string> after;
};

// Undoes the escapes of a field; false on a malformed one.
inline bool unescapeField(std::string_view field, std::string& out) {
  out.clear();
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] != '\\') {
      out += field[i];
      continue;
    }
    if (++i >= field.size()) return false;
    switch (field[i]) {
      case 'r':
        out += '\r';
        break;
      case 'n':
        out += '\n';
        break;
      case 't':
        out += '\t';
        break;
      case '0':
        out += '\0';
        break;
      case '\\':
        out += '\\';
        break;
      case 'x': {
        if (i + 2 >= field.size()) return false;
        unsigned v = 0;
        if (std::sscanf(std::string(field.substr(i + 1, 2)).c_str(), "%2x", &v) != 1) return false;
        out += char(v);
        i += 2;
        break;
      }
      default:
        return false;
    }
  }
  return true;
}

inline std::string escapeField(std::string_view bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    if (c == '\r')
      out += "\\r";
    else if (c == '\n')
      out += "\\n";
    else if (c == '\t')
      out += "\\t";
    else if (c == '\\')
      out += "\\\\";
    else if (c == 0)
      out += "\\0";
    else if (c < 0x20 || c >= 0x7F) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02x", c);
      out += hex;
    } else
      out += char(c);
  }
  return out;
}

// Reads every case; error names the first bad line.
inline std::vector<ProfileCase> parseProfileCases(std::string_view text, std::string& error) {
  std::vector<ProfileCase> cases;
  int number = 0;
  while (!text.empty()) {
    const size_t lf = text.find('\n');
    std::string_view line = text.substr(0, lf);
    text.remove_prefix(lf == std::string_view::npos ? text.size() : lf + 1);
    ++number;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> fields;
    for (size_t start = 0;;) {
      const size_t tab = line.find('\t', start);
      std::string field;
      if (!unescapeField(line.substr(start, tab - start), field)) {
        error = "line " + std::to_string(number) + ": bad escape";
        return {};
      }
      fields.push_back(field);
      if (tab == std::string_view::npos) break;
      start = tab + 1;
    }
    if (fields.size() != 8) {
      error = "line " + std::to_string(number) + ": " + std::to_string(fields.size()) +
              " fields, 8 wanted";
      return {};
    }
    ProfileCase c;
    c.line = number;
    c.name = fields[0];
    if (fields[1] != "-") c.before = fields[1];
    c.op = fields[2];
    c.section = fields[3];
    c.key = fields[4];
    c.value = fields[5];
    c.result = fields[6];
    if (fields[7] != "-") c.after = fields[7];
    cases.push_back(std::move(c));
  }
  return cases;
}

// Runs one case with its file in folder (or, for a "windir-" case, in the Windows directory);
// empty when it passed, else what differed.
inline std::string runProfileCase(System& sys, const ProfileCase& c, const std::string& folder) {
  const bool inWindows = c.name.rfind("windir-", 0) == 0;
  const std::string file = inWindows ? "QMCASE.INI" : folder + "\\CASE.INI";
  std::string path = file;
  if (inWindows) {
    path = sys.files().windowsDirectory();
    if (path.empty() || path.back() != '\\') path += '\\';
    path += file;
  }
  sys.files().deleteFile(path);
  if (c.before && !writeFileBytes(sys, path, *c.before)) return "cannot create " + path;
  std::string result;
  const bool sized = (c.op == "get" || c.op == "keys") && !c.value.empty();
  const size_t buffer = sized ? size_t(std::strtoul(c.value.c_str(), nullptr, 10)) : 998;
  if (c.op == "write") {
    result = sys.profiles().writeProfileString(file, c.section, c.key, c.value) ? "1" : "0";
  } else if (c.op == "delkey") {
    result = sys.profiles().deleteProfileKey(file, c.section, c.key) ? "1" : "0";
  } else if (c.op == "delsec") {
    result = sys.profiles().deleteProfileSection(file, c.section) ? "1" : "0";
  } else if (c.op == "get") {
    result = sys.profiles().profileString(file, c.section, c.key, "~Mirn", buffer);
  } else if (c.op == "keys") {
    result = sys.profiles().profileKeys(file, c.section, "~Mirn", buffer);
  } else {
    return "unknown operation " + c.op;
  }
  sys.profiles().flushProfile(file);
  std::string problems;
  if (result != c.result)
    problems += "result [" + escapeField(result) + "], want [" + escapeField(c.result) + "]; ";
  const std::optional<std::string> after = readAll(sys, path);
  if (after != c.after) {
    problems += "file [" + (after ? escapeField(*after) : std::string("-")) + "], want [" +
                (c.after ? escapeField(*c.after) : std::string("-")) + "]";
  }
  sys.files().deleteFile(path);
  return problems;
}

}  // namespace qm::testing
