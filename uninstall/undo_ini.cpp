// INIFILE lines: a key the installation made goes while it holds the installed value, a replaced
// value gets its old one back, an added word is taken off again; sections it made go once empty.
#include "base/text.h"
#include "platform/file_handle.h"
#include "uninstall/undo_context.h"

namespace qm {

namespace {

constexpr const char* kIniMarker = "~Mirn";  // the installer's "absent" marker
constexpr size_t kIniBuffer = 998;

std::string trimmed(const std::string& text) {
  size_t b = text.find_first_not_of(" \t");
  if (b == std::string::npos) return "";
  return text.substr(b, text.find_last_not_of(" \t") - b + 1);
}

// A bare name lies in the Windows folder, as the profile functions take it.
std::string iniPath(const UndoContext& cx, const std::string& file) {
  bool bare = file.find_first_of("\\:/") == std::string::npos;
  return bare ? withTrailingBackslash(cx.windowsDir) + file : file;
}

bool iniPathSafe(UndoContext& cx, const LogLine& line, const std::string& file) {
  return cx.safe(line, iniPath(cx, file)).has_value();
}

// Whether the section still holds a line of someone else's once it has no keys: any line in it
// that is not blank, such as the user's comments.
bool holdsOtherLines(System& sys, const std::string& path, const std::string& section) {
  std::optional<std::string> bytes = readAll(sys, path);
  if (!bytes) return false;
  bool inside = false;
  size_t start = 0;
  while (start < bytes->size()) {
    size_t nl = bytes->find('\n', start);
    std::string line = trimmed(bytes->substr(start, nl == std::string::npos ? nl : nl - start));
    start = nl == std::string::npos ? bytes->size() : nl + 1;
    if (!line.empty() && line.back() == '\r') line = trimmed(line.substr(0, line.size() - 1));
    if (!line.empty() && line.front() == '[') {
      size_t close = line.find(']');
      inside =
          close != std::string::npos && equalsNoCase(trimmed(line.substr(1, close - 1)), section);
    } else if (inside && !line.empty()) {
      return true;
    }
  }
  return false;
}

std::string keyName(const IniKeyRecord& r) {
  return "[" + r.section + "] " + r.key + " in " + r.file;
}

}  // namespace

void undoIniKey(UndoContext& cx, const LogLine& line) {
  System& sys = cx.sys;
  if (cx.wasRestoredWhole(iniPath(cx, line.record<IniKeyRecord>().file))) return;
  // Each reading the file confirms, with the value to put back (none: the key goes).
  std::vector<std::pair<const IniKeyRecord*, std::string>> matches;
  for (const IniKeyRecord* r : line.all<IniKeyRecord>()) {
    std::string current =
        sys.profiles().profileString(r->file, r->section, r->key, kIniMarker, kIniBuffer);
    if (equalsNoCase(current, kIniMarker)) continue;
    // The profile functions trim what they read, so an added word reads back without the blank
    // that joined it to an empty value.
    const std::string& value = r->value;
    bool added =
        r->previous && r->previous->size() > value.size() &&
        equalsNoCase(r->previous->substr(r->previous->size() - value.size() - 1), " " + value) &&
        equalsNoCase(current, trimmed(*r->previous));
    if (added) {
      matches.push_back(
          {r, trimmed(r->previous->substr(0, r->previous->size() - value.size() - 1))});
    } else if (equalsNoCase(current, value)) {
      matches.push_back({r, r->previous.value_or("")});  // new key, or the old value back
    }
  }
  if (matches.empty()) {
    const IniKeyRecord& r = line.record<IniKeyRecord>();
    std::string current =
        sys.profiles().profileString(r.file, r.section, r.key, kIniMarker, kIniBuffer);
    if (equalsNoCase(current, kIniMarker)) return cx.note(keyName(r) + " is already gone");
    return cx.problem(&line, keyName(r) + " was changed after the installation; left alone");
  }
  if (matches.size() > 1) return cx.problem(&line, "the INI line can be read more than one way");
  const IniKeyRecord& r = *matches.front().first;
  const std::string& back = matches.front().second;
  if (!iniPathSafe(cx, line, r.file)) return;
  bool ok = r.previous ? sys.profiles().writeProfileString(r.file, r.section, r.key, back)
                       : sys.profiles().deleteProfileKey(r.file, r.section, r.key);
  sys.profiles().flushProfile(r.file);
  if (!ok) return cx.problem(&line, keyName(r) + " could not be changed");
  cx.done(r.previous ? "put [" + r.section + "] " + r.key + "=" + back + " back into " + r.file
                     : "deleted [" + r.section + "] " + r.key + " from " + r.file);
  removeEmptySections(cx, r.section, r.file);
}

void noteNewSection(UndoContext& cx, const LogLine& line) {
  if (line.readings.size() != 1) return;
  const IniSectionRecord& r = line.record<IniSectionRecord>();
  if (iniPathSafe(cx, line, r.file)) cx.newSections.push_back(r);
}

void removeEmptySections(UndoContext& cx, const std::string& section, const std::string& file) {
  System& sys = cx.sys;
  for (auto it = cx.newSections.begin(); it != cx.newSections.end();) {
    bool same =
        section.empty() || (equalsNoCase(it->section, section) && equalsNoCase(it->file, file));
    if (!same) {
      ++it;
      continue;
    }
    if (cx.wasRestoredWhole(iniPath(cx, it->file))) {
      it = cx.newSections.erase(it);
      continue;
    }
    if (!equalsNoCase(sys.profiles().profileKeys(it->file, it->section, kIniMarker, kIniBuffer),
                      kIniMarker)) {
      cx.left("[" + it->section + "] of " + it->file + " still holds keys and stays");
    } else if (holdsOtherLines(sys, iniPath(cx, it->file), it->section)) {
      // The section goes with everything in it: the user's comments keep it.
      cx.left("[" + it->section + "] of " + it->file + " holds the user's comments and stays");
    } else if (sys.profiles().deleteProfileSection(it->file, it->section)) {
      sys.profiles().flushProfile(it->file);
      cx.done("removed the empty section [" + it->section + "] from " + it->file);
    }
    it = cx.newSections.erase(it);
  }
}

}  // namespace qm
