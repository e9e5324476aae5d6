#include "ui/answers_file.h"

#include "base/text.h"
#include "platform/file_handle.h"

namespace qm {

namespace {

enum class ValueKind { Text, YesNo, OkCancel, Disks, Milliseconds, Seconds };

struct KnownKey {
  const char* name;
  ValueKind kind;
};

const KnownKey kKeys[] = {
    {"DefaultDir", ValueKind::Text},
    {"Dir2", ValueKind::Text},
    {"Dir3", ValueKind::Text},
    {"Ask1", ValueKind::Text},
    {"Ask2", ValueKind::Text},
    {"Ask3", ValueKind::Text},
    {"Ask4", ValueKind::Text},
    {"Ask5", ValueKind::Text},
    {"Groups", ValueKind::Text},
    {"Screens", ValueKind::OkCancel},
    {"Overwrite", ValueKind::YesNo},
    {"Autoexec", ValueKind::YesNo},
    {"Config", ValueKind::YesNo},
    {"IniFile", ValueKind::YesNo},
    {"Reboot", ValueKind::YesNo},
    {"Disks", ValueKind::Disks},
    {"Quit", ValueKind::YesNo},
    {"Show", ValueKind::YesNo},
    {"ShowDelay", ValueKind::Milliseconds},
    {"DiskWait", ValueKind::Seconds},
    {"Uninstall", ValueKind::YesNo},
    {"Rollback", ValueKind::YesNo},
    {"Readme", ValueKind::YesNo},
    {"RunAtExit", ValueKind::YesNo},
    {"GroupWindow", ValueKind::YesNo},
    {"WaitForOther", ValueKind::Seconds},
};

const KnownKey* findKey(const std::string& key) {
  for (const KnownKey& k : kKeys)
    if (equalsNoCase(k.name, key)) return &k;
  return nullptr;
}

std::string trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return "";
  size_t e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

// A ";" after white space starts a comment; one inside a word (a path, a typed answer) does not.
std::string withoutComment(const std::string& value) {
  for (size_t i = 1; i < value.size(); ++i)
    if (value[i] == ';' && (value[i - 1] == ' ' || value[i - 1] == '\t')) return value.substr(0, i);
  return value;
}

}  // namespace

namespace {

std::optional<int> parseUpTo(const std::string& text, int most) {
  if (text.empty() || text.size() > 6) return std::nullopt;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value > most) return std::nullopt;
  return value;
}

}  // namespace

std::optional<int> parseSeconds(const std::string& text) { return parseUpTo(text, kMaxWaitSeconds); }

std::optional<int> parseMilliseconds(const std::string& text) {
  return parseUpTo(text, kMaxShowDelayMs);
}

std::optional<std::string> AnswersFile::get(const std::string& key) const {
  auto it = values_.find(upperAscii(key));
  if (it == values_.end()) return std::nullopt;
  return it->second;
}

std::string AnswersFile::where(const std::string& key) const {
  auto it = lines_.find(upperAscii(key));
  return it == lines_.end() ? "" : name_ + ":" + std::to_string(it->second);
}

void AnswersFile::set(const std::string& key, const std::string& value) {
  values_[upperAscii(key)] = value;
}

std::optional<AnswersFile> AnswersFile::parse(const std::string& text, const std::string& fileName,
                                              std::string& error) {
  AnswersFile file;
  bool inSetup = false;
  int number = 0;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    std::string line = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
    at = end == std::string::npos ? text.size() : end + 1;
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (number == 1 && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
    line = trim(line);
    auto fail = [&](const std::string& what) {
      error = fileName + ":" + std::to_string(number) + ": " + what;
      return std::nullopt;
    };
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      if (!equalsNoCase(trim(withoutComment(line)), "[Setup]"))
        return fail("unknown section " + line + " (the answers file has one section, [Setup])");
      inSetup = true;
      continue;
    }
    size_t eq = line.find('=');
    if (eq == std::string::npos) return fail("expected Key=Value, found \"" + line + "\"");
    if (!inSetup) return fail("a key before the [Setup] section");
    std::string key = trim(line.substr(0, eq));
    std::string value = trim(withoutComment(line.substr(eq + 1)));
    const KnownKey* known = findKey(key);
    if (!known) return fail("unknown key \"" + key + "\"");
    if (file.get(key)) return fail("\"" + key + "\" is given twice");
    if (known->kind == ValueKind::YesNo && !equalsNoCase(value, "Yes") &&
        !equalsNoCase(value, "No"))
      return fail(std::string(known->name) + " must be Yes or No, not \"" + value + "\"");
    // Merged: every disk was copied into the one source folder; disks are taken as present.
    // Wait: someone swaps the disks, and the program waits until the drive holds another one.
    if (known->kind == ValueKind::Disks && !equalsNoCase(value, "Yes") &&
        !equalsNoCase(value, "No") && !equalsNoCase(value, "Merged") &&
        !equalsNoCase(value, "Wait"))
      return fail(std::string(known->name) + " must be Yes, No, Merged or Wait, not \"" + value +
                  "\"");
    if (known->kind == ValueKind::OkCancel && !equalsNoCase(value, "OK") &&
        !equalsNoCase(value, "Cancel"))
      return fail(std::string(known->name) + " must be OK or Cancel, not \"" + value + "\"");
    if (known->kind == ValueKind::Milliseconds && !parseMilliseconds(value))
      return fail(std::string(known->name) + " must be a number of milliseconds from 0 to " +
                  std::to_string(kMaxShowDelayMs) + ", not \"" + value + "\"");
    if (known->kind == ValueKind::Seconds && !parseSeconds(value))
      return fail(std::string(known->name) + " must be a number of seconds from 0 to " +
                  std::to_string(kMaxWaitSeconds) + ", not \"" + value + "\"");
    file.set(key, value);
    file.lines_[upperAscii(key)] = number;
  }
  file.name_ = fileName;
  return file;
}

std::optional<AnswersFile> loadAnswersFile(FileSystem& fs, const std::string& path,
                                           std::string& error) {
  ScopedFile file = ScopedFile::openRead(fs, path);
  if (!file) {
    error = path + ": cannot open the answers file";
    return std::nullopt;
  }
  std::optional<std::string> text = readRest(fs, file.get());
  if (!text) {
    error = path + ": cannot read the answers file";
    return std::nullopt;
  }
  return AnswersFile::parse(*text, path, error);
}

}  // namespace qm
