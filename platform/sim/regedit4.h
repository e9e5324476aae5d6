// The simulated machine's registry: an in-memory key tree that is loaded from and saved to the
// REGEDIT4 text format, so a machine's registry.reg can be written by hand, diffed in tests and
// merged into a real registry with the system's own editor.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/system.h"  // value type numbers

namespace qm {

struct RegValueData {
  uint32_t type = kRegSz;
  std::vector<uint8_t> bytes;  // as stored: a text includes its terminating NUL
  friend bool operator==(const RegValueData&, const RegValueData&) = default;
};

// A text value with its terminating NUL, as the registry stores a REG_SZ.
RegValueData regText(std::string_view text, uint32_t type = kRegSz);
RegValueData regDword(uint32_t value);

// The simulated machine's registry file, beside its machine file.
constexpr const char* kRegistryFileName = "registry.reg";

// The root name of a predefined key handle (0x80000000 HKEY_CLASSES_ROOT ... 0x80000006
// HKEY_DYN_DATA), or empty for any other number.
std::string registryRootName(uint32_t handle);

// Keys are full paths starting with a root name ("HKEY_LOCAL_MACHINE\Software\X"). Names of keys
// and values compare without regard to case; the case of the first writer is kept. An empty
// value name is the key's default value.
class RegistryTree {
 public:
  // The root name spelled as the registry spells it, or empty when the text names no root.
  static std::string canonicalRoot(std::string_view name);

  bool keyExists(std::string_view key) const;
  // Creates the key and every missing parent; returns the number of keys that were new, or -1
  // when the path has no known root, an empty component or a control character.
  int createKey(std::string_view key);
  // Removes the key with everything under it; false when it was not there.
  bool deleteKey(std::string_view key);
  // Direct subkey names in the order the tree lists them (by name, without regard to case).
  std::vector<std::string> subkeys(std::string_view key) const;
  // Value names of a key in the order they were first written.
  std::vector<std::string> valueNames(std::string_view key) const;

  std::optional<RegValueData> value(std::string_view key, std::string_view name) const;
  // Writes a value, creating the key when it is missing; false for an unusable key path or a
  // name holding a control character.
  bool setValue(std::string_view key, std::string_view name, RegValueData data);
  bool deleteValue(std::string_view key, std::string_view name);

  bool empty() const { return keys_.empty(); }

  // Applies REGEDIT4 text: "[key]" creates, "[-key]" deletes, "name"=data / @=data set and
  // "name"=- deletes a value. On a malformed line returns false with "LINE: message" in error;
  // the lines before it stay applied.
  bool load(std::string_view text, std::string& error);
  // The whole tree as REGEDIT4 text (CR LF line ends), parents before children.
  std::string save() const;

 private:
  struct Key {
    std::string path;  // as first written
    std::vector<std::pair<std::string, RegValueData>> values;
  };
  // Upper-cased path with the root in its canonical spelling; empty when unusable.
  static std::string normalise(std::string_view key, std::string* display);
  std::map<std::string, Key> keys_;  // keyed by the normalised path
  // Comment lines (with their CR LF) of a file written by hand, so that saving keeps them: those
  // before REGEDIT4, before a key's line, among a key's values (saved after its line), and after
  // the last value. Keyed by the normalised path.
  std::string headComments_, tailComments_;
  std::map<std::string, std::string> keyComments_, valueComments_;
};

}  // namespace qm
