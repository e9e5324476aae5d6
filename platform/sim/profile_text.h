// An INI file as the private-profile functions see it: sections of keys, parsed and written back
// the way Wine's implementation does, so that a simulated run leaves the bytes a real one leaves.
// Writing normalises the whole file: blank lines go, white space around names and values goes,
// every line ends in CR LF. Comment lines and lines without "=" are kept as keys without a value.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

struct ProfileKey {
  std::string name;
  std::optional<std::string> value;  // nullopt: a line without "=" (a comment, a bare word)
};

struct ProfileSection {
  std::string name;  // empty for the keys before the first section header
  std::vector<ProfileKey> keys;
};

class ProfileText {
 public:
  // Any bytes are accepted; nothing in them is an error.
  static ProfileText parse(std::string_view bytes);
  // The bytes the system writes for this content.
  std::string text() const;

  // The key's value when the section and the key exist and the key has a value.
  const std::string* value(std::string_view section, std::string_view key) const;
  // The key names of the first section of that name, each followed by a NUL, as a key list read
  // gives them at most bufferChars long; empty when the section is missing or lists none.
  std::string keyList(std::string_view section, size_t bufferChars) const;
  // Sets a key, adding the section or key at the end when it is missing. False when nothing
  // changed (the key already held exactly that value).
  bool set(std::string_view section, std::string_view key, std::string_view value);
  // False when there was no such key or section.
  bool removeKey(std::string_view section, std::string_view key);
  bool removeSection(std::string_view section);

  const std::vector<ProfileSection>& sections() const { return sections_; }

 private:
  ProfileKey* find(std::string_view section, std::string_view key, bool create);

  std::vector<ProfileSection> sections_;
  bool utf8Mark_ = false;  // a UTF-8 byte-order mark opens the file and is written back
};

// The text a profile read hands back for a stored value: one pair of enclosing single or double
// quotes removed, at most bufferChars - 1 characters.
std::string profileCopy(std::string_view value, size_t bufferChars);

}  // namespace qm
