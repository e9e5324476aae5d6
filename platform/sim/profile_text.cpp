#include "platform/sim/profile_text.h"

#include "base/text.h"

namespace qm {

namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

// The profile functions count CR, LF, tab, vertical tab, form feed, blank and the DOS end-of-file
// mark (found on CD-ROMs) as white space.
bool isProfileSpace(char c) { return (c >= 0x09 && c <= 0x0D) || c == 0x1A || c == ' '; }

std::string_view trimLeft(std::string_view s) {
  while (!s.empty() && isProfileSpace(s.front())) s.remove_prefix(1);
  return s;
}

std::string_view trimRight(std::string_view s) {
  while (!s.empty() && isProfileSpace(s.back())) s.remove_suffix(1);
  return s;
}

// Names and values are C strings to the system: whatever follows a NUL byte is never seen.
std::string_view untilNul(std::string_view s) { return s.substr(0, s.find('\0')); }

}  // namespace

ProfileText ProfileText::parse(std::string_view bytes) {
  ProfileText doc;
  if (bytes.empty()) return doc;
  if (bytes.substr(0, kUtf8Mark.size()) == kUtf8Mark) {
    doc.utf8Mark_ = true;
    bytes.remove_prefix(kUtf8Mark.size());
  }
  doc.sections_.push_back(ProfileSection{});
  // Of several lines in a row that have "=" first (no name), only the first is kept.
  bool lastKeyUnnamed = false;
  bool anyKey = false;
  size_t pos = 0;
  while (pos < bytes.size()) {
    const size_t start = pos;
    while (pos < bytes.size() && bytes[pos] != '\n' && bytes[pos] != '\r') ++pos;
    std::string_view line = bytes.substr(start, pos - start);
    while (pos < bytes.size() && (bytes[pos] == '\n' || bytes[pos] == '\r')) ++pos;
    line = trimRight(trimLeft(line));
    if (line.empty()) continue;

    if (line.front() == '[') {
      const size_t close = line.rfind(']');
      if (close != std::string_view::npos) {
        // Blanks inside the brackets are not part of the name.
        const std::string_view name = trimRight(trimLeft(line.substr(1, close - 1)));
        doc.sections_.push_back(ProfileSection{std::string(untilNul(name)), {}});
        anyKey = false;
        continue;
      }
      // A header without its closing bracket is an ordinary line.
    }
    ProfileKey key;
    std::string_view name = line;
    const size_t equals = line.find('=');
    if (equals != std::string_view::npos) {
      name = trimRight(line.substr(0, equals));
      key.value = std::string(untilNul(trimLeft(line.substr(equals + 1))));
    }
    if (name.empty() && anyKey && lastKeyUnnamed) continue;
    key.name = std::string(untilNul(name));
    lastKeyUnnamed = name.empty();
    anyKey = true;
    doc.sections_.back().keys.push_back(std::move(key));
  }
  return doc;
}

std::string ProfileText::text() const {
  std::string out;
  if (utf8Mark_) out += kUtf8Mark;
  for (const ProfileSection& section : sections_) {
    if (!section.name.empty()) out += "[" + section.name + "]\r\n";
    for (const ProfileKey& key : section.keys) {
      out += key.name;
      if (key.value) out += "=" + *key.value;
      out += "\r\n";
    }
  }
  return out;
}

ProfileKey* ProfileText::find(std::string_view section, std::string_view key, bool create) {
  // A name asked for is matched without the white space around it; a name created keeps the
  // white space after it, as the system stores it.
  section = trimLeft(untilNul(section));
  key = trimLeft(untilNul(key));
  const std::string_view sectionName = trimRight(section);
  const std::string_view keyName = trimRight(key);
  for (ProfileSection& s : sections_) {
    if (!equalsNoCase(s.name, sectionName)) continue;
    for (ProfileKey& k : s.keys)
      if (equalsNoCase(k.name, keyName)) return &k;
    if (!create) return nullptr;
    s.keys.push_back(ProfileKey{std::string(key), std::nullopt});
    return &s.keys.back();
  }
  if (!create) return nullptr;
  sections_.push_back(ProfileSection{std::string(section), {ProfileKey{std::string(key), {}}}});
  return &sections_.back().keys.back();
}

const std::string* ProfileText::value(std::string_view section, std::string_view key) const {
  const ProfileKey* k = const_cast<ProfileText*>(this)->find(section, key, false);
  return k && k->value ? &*k->value : nullptr;
}

std::string ProfileText::keyList(std::string_view section, size_t bufferChars) const {
  section = untilNul(section);
  for (const ProfileSection& s : sections_) {
    if (!equalsNoCase(s.name, section)) continue;
    // The buffer arithmetic of the key list read: names are cut to what still fits, and a list
    // that fills the buffer loses its last character.
    size_t room = bufferChars;
    std::string out;
    for (const ProfileKey& k : s.keys) {
      if (room <= 2) break;
      if (!k.value || (!k.name.empty() && k.name[0] == ';')) continue;
      const std::string name = k.name.substr(0, room - 2);
      out += name;
      out += '\0';
      room -= name.size() + 1;
      if (room < 2) break;
    }
    if (room <= 1 && bufferChars >= 2) out.resize(bufferChars - 2);
    // A list that begins with an unnamed key reads as no list at all.
    if (!out.empty() && out[0] == '\0') out.clear();
    return out;
  }
  return {};
}

bool ProfileText::set(std::string_view section, std::string_view key, std::string_view value) {
  ProfileKey* k = find(section, key, true);
  const std::string text(trimLeft(untilNul(value)));
  if (k->value && *k->value == text) return false;
  k->value = text;
  return true;
}

bool ProfileText::removeKey(std::string_view section, std::string_view key) {
  section = untilNul(section);
  key = untilNul(key);
  for (ProfileSection& s : sections_) {
    if (!equalsNoCase(s.name, section)) continue;
    for (auto k = s.keys.begin(); k != s.keys.end(); ++k) {
      if (equalsNoCase(k->name, key)) {
        s.keys.erase(k);
        return true;
      }
    }
  }
  return false;
}

bool ProfileText::removeSection(std::string_view section) {
  section = untilNul(section);
  for (auto s = sections_.begin(); s != sections_.end(); ++s) {
    if (equalsNoCase(s->name, section)) {
      sections_.erase(s);
      return true;
    }
  }
  return false;
}

std::string profileCopy(std::string_view value, size_t bufferChars) {
  if (bufferChars == 0) return {};
  value = untilNul(value);
  bool quoted = false;
  if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0]) {
    quoted = true;
    value.remove_prefix(1);
  }
  std::string out(value.substr(0, bufferChars - 1));
  // The closing quote goes only when the whole value fitted; a cut value loses its last
  // character instead, as the system's copy does.
  if (quoted && bufferChars >= value.size() && !out.empty()) out.pop_back();
  return out;
}

}  // namespace qm
