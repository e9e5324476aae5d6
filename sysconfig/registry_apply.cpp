// The registry step after a successful installation: each block in script order, then the
// REGKEY lines of the keys it created, deepest first, so that the uninstaller removes children
// before their parents.
#include "sysconfig/registry_apply.h"

#include <algorithm>

#include <cstdio>

#include "base/text.h"
#include "engine/engine.h"
#include "engine/replaced_files.h"
#include "platform/file_handle.h"
#include "sysconfig/config_values.h"
#include "sysconfig/system_configuration.h"

namespace qm {

namespace {

bool isTextType(uint32_t type) {
  return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz;
}

std::vector<uint8_t> numberBytes(uint32_t type, uint32_t n) {
  if (type == kRegDwordBigEndian)
    return {uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)};
  return {uint8_t(n), uint8_t(n >> 8), uint8_t(n >> 16), uint8_t(n >> 24)};
}

// A stored value of at most four bytes as a number in its type's byte order; nullopt when it is
// longer (a text, a long binary): such a value is no number to compare or count up.
std::optional<uint32_t> storedNumber(const RegistryValue& v) {
  if (v.data.size() > 4) return std::nullopt;
  uint8_t b[4] = {0, 0, 0, 0};
  for (size_t i = 0; i < v.data.size(); ++i) b[i] = v.data[i];
  if (v.type == kRegDwordBigEndian)
    return uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3];
  return uint32_t(b[3]) << 24 | uint32_t(b[2]) << 16 | uint32_t(b[1]) << 8 | b[0];
}

// Windows keeps one default value per key; on the 9x family it always exists, holding an empty
// text, so only a default value with something in it counts as present.
bool valuePresent(const RegistryValue& v, bool named) {
  if (named) return true;
  if (v.data.empty()) return false;
  return !(isTextType(v.type) && v.data[0] == 0);
}

bool writeNew(Registry& registry, RegistryRoot root, const std::string& key,
              const std::string& name, const RegistryValueRequest& value, const std::string& data) {
  auto bytes = registryBytes(value, data);
  if (!bytes) return false;
  return registry.setRegistryValue(root, key, name, RegistryValue{value.type, std::move(*bytes)});
}

bool renameValue(Registry& registry, RegistryRoot root, const std::string& key,
                 const std::string& from, const std::string& to) {
  auto old = registry.readRegistryValue(root, key, from);
  if (!old) return false;
  if (from == to) return true;
  if (equalsNoCase(from, to)) {
    // Value names ignore case: a new spelling needs the old value gone first, and it comes back
    // if the new one cannot be written.
    registry.deleteRegistryValue(root, key, from);
    if (registry.setRegistryValue(root, key, to, *old)) return true;
    registry.setRegistryValue(root, key, from, *old);
    return false;
  }
  // Writing over the new name replaces what was there in one step; the old value goes only once
  // the new one is safe.
  if (!registry.setRegistryValue(root, key, to, *old)) return false;
  registry.deleteRegistryValue(root, key, from);
  return true;
}

bool combineNumber(Registry& registry, RegistryRoot root, const std::string& key,
                   const std::string& name, const RegistryValueRequest& value,
                   const std::string& data) {
  auto current = registry.readRegistryValue(root, key, name);
  // A missing value counts as 0 of the request's own type.
  uint32_t type = current ? current->type : value.type;
  uint32_t have = 0;
  if (current) {
    auto n = storedNumber(*current);
    if (!n) return false;  // never overwrite a text or a long binary with a number
    have = *n;
  }
  const uint32_t given = readUnsigned32(data, type == kRegBinary ? 2 : 0);
  uint32_t result = have;
  switch (value.operation) {
    case RegistryValueOp::Max:
      result = std::max(have, given);
      break;
    case RegistryValueOp::Min:
      result = std::min(have, given);
      break;
    default:
      result = have + given;
      break;
  }
  return registry.setRegistryValue(root, key, name, RegistryValue{type, numberBytes(type, result)});
}

// Copies a key with all its values and subkeys; false at the first thing that cannot be copied.
bool copyKeyTree(Registry& registry, RegistryRoot root, const std::string& from,
                 const std::string& to, int depth) {
  // The registry allows 512 levels; a deeper walk could only be a loop in a damaged tree.
  if (depth > 512) return false;
  if (registry.createRegistryKey(root, to) == RegistryKeyResult::Failed) return false;
  auto names = registry.registryValueNames(root, from);
  if (!names) return false;
  for (const auto& name : *names) {
    auto v = registry.readRegistryValue(root, from, name);
    if (!v || !registry.setRegistryValue(root, to, name, *v)) return false;
  }
  auto subkeys = registry.registrySubkeys(root, from);
  if (!subkeys) return false;
  for (const auto& sub : *subkeys)
    if (!copyKeyTree(registry, root, from + "\\" + sub, to + "\\" + sub, depth + 1)) return false;
  return true;
}

// Gives the key's last level a new name under the same parent: the tree is copied, then the old
// key deleted. A name that is taken, or a copy that fails, leaves the old key as it was.
std::optional<std::string> renameKey(Registry& registry, RegistryRoot root, const std::string& path,
                                     const std::string& newName) {
  if (newName.empty() || newName.find('\\') != std::string::npos) return std::nullopt;
  if (path.empty() || !registry.openRegistryKey(root, path)) return std::nullopt;
  const size_t slash = path.rfind('\\');
  const std::string target =
      (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + newName;
  if (equalsNoCase(target, path)) return path;
  if (registry.openRegistryKey(root, target)) return std::nullopt;
  if (!copyKeyTree(registry, root, path, target, 0)) {
    registry.deleteRegistryKey(root, target);
    return std::nullopt;
  }
  if (!registry.deleteRegistryKey(root, path)) return std::nullopt;
  return target;
}

// The registry as the script's blocks change it: every change goes on to the machine, and
// instback.log gets the state before the first change of each value and key (so the uninstaller
// can put it back) and the state each change left (so it can tell whether someone changed it
// since).
class RecordingRegistry : public Registry {
 public:
  explicit RecordingRegistry(Engine& engine) : engine_(engine), inner_(engine.sys) {}
  // Set while a key is renamed: the keys made then are not REGKEY lines.
  bool recordNewKeys = false;

  std::optional<RegistryValue> readRegistryValue(RegistryRoot root, const std::string& key,
                                                 const std::string& name) override {
    return inner_.readRegistryValue(root, key, name);
  }
  bool openRegistryKey(RegistryRoot root, const std::string& key) override {
    return inner_.openRegistryKey(root, key);
  }
  RegistryKeyResult createRegistryKey(RegistryRoot root, const std::string& key) override {
    RegistryKeyResult result = inner_.createRegistryKey(root, key);
    if (result == RegistryKeyResult::Created && recordNewKeys)
      keep(BackupRecord::Kind::RegKeyNew, root, key);
    return result;
  }
  bool setRegistryValue(RegistryRoot root, const std::string& key, const std::string& name,
                        const RegistryValue& value) override {
    before(root, key, name);
    if (!inner_.setRegistryValue(root, key, name, value)) return false;
    keep(BackupRecord::Kind::RegSet, root, key, name, value);
    return true;
  }
  bool deleteRegistryValue(RegistryRoot root, const std::string& key,
                           const std::string& name) override {
    if (!inner_.readRegistryValue(root, key, name))
      return inner_.deleteRegistryValue(root, key, name);
    before(root, key, name);
    if (!inner_.deleteRegistryValue(root, key, name)) return false;
    keep(BackupRecord::Kind::RegGone, root, key, name);
    return true;
  }
  bool deleteRegistryKey(RegistryRoot root, const std::string& key) override {
    std::vector<std::pair<std::string, std::string>> values;
    if (inner_.openRegistryKey(root, key)) keepTree(root, key, values, 0);
    if (!inner_.deleteRegistryKey(root, key)) return false;
    for (const auto& [k, name] : values) keep(BackupRecord::Kind::RegGone, root, k, name);
    return true;
  }
  std::optional<std::vector<std::string>> registrySubkeys(RegistryRoot root,
                                                          const std::string& key) override {
    return inner_.registrySubkeys(root, key);
  }
  std::optional<std::vector<std::string>> registryValueNames(RegistryRoot root,
                                                             const std::string& key) override {
    return inner_.registryValueNames(root, key);
  }

 private:
  void keep(BackupRecord::Kind kind, RegistryRoot root, const std::string& key,
            const std::string& name = "", const RegistryValue& value = {}) {
    BackupRecord r;
    r.kind = kind;
    r.root = root;
    r.key = key;
    r.name = name;
    r.value = value;
    keepRecord(engine_, r);
  }
  // The value as it was, once per value and run.
  void before(RegistryRoot root, const std::string& key, const std::string& name) {
    std::string id =
        std::to_string(uint32_t(root)) + "\\" + upperAscii(key) + "\\\\" + upperAscii(name);
    if (std::find(seen_.begin(), seen_.end(), id) != seen_.end()) return;
    seen_.push_back(id);
    if (std::optional<RegistryValue> old = inner_.readRegistryValue(root, key, name)) {
      keep(BackupRecord::Kind::RegWas, root, key, name, *old);
    } else {
      keep(BackupRecord::Kind::RegNew, root, key, name);
    }
  }
  // A key about to be deleted: itself, its values and its subkeys, parents first.
  void keepTree(RegistryRoot root, const std::string& key,
                std::vector<std::pair<std::string, std::string>>& values, int depth) {
    if (depth > 512) return;
    keep(BackupRecord::Kind::RegKeyWas, root, key);
    for (const std::string& name :
         inner_.registryValueNames(root, key).value_or(std::vector<std::string>{})) {
      before(root, key, name);
      values.push_back({key, name});
    }
    for (const std::string& sub :
         inner_.registrySubkeys(root, key).value_or(std::vector<std::string>{}))
      keepTree(root, key + "\\" + sub, values, depth + 1);
  }

  Engine& engine_;
  Registry& inner_;
  std::vector<std::string> seen_;
};

}  // namespace

std::string expandRegistryText(const MacroValues& macros, std::string text) {
  size_t at = 0;
  while ((at = text.find('$', at)) != std::string::npos) {
    const size_t close = text.find('$', at + 1);
    if (close == std::string::npos) break;
    std::string token = text.substr(at, close - at + 1);
    std::string value = token;
    expandLeadingMacro(macros, value);
    if (value == token) {
      ++at;  // not a macro: this "$" stays, the next may begin one
      continue;
    }
    text.replace(at, token.size(), value);
    at += value.size();
  }
  return text;
}

std::optional<std::vector<uint8_t>> registryBytes(const RegistryValueRequest& value,
                                                  const std::string& data) {
  switch (value.type) {
    case kRegSz:
    case kRegExpandSz:
    case kRegMultiSz: {
      std::vector<uint8_t> bytes(data.begin(), data.end());
      bytes.push_back(0);
      // A string list ends with an empty string: without it a reader runs off the end.
      if (value.type == kRegMultiSz) bytes.push_back(0);
      return bytes;
    }
    case kRegBinary:
      return value.binary;
    case kRegDword:
    case kRegDwordBigEndian:
      return numberBytes(value.type, readUnsigned32(data, 0));
    default:
      return std::nullopt;
  }
}

bool executeRegistryValue(Registry& registry, const MacroValues& macros, RegistryRoot root,
                          const std::string& key, const RegistryValueRequest& value) {
  const std::string name = value.name ? expandRegistryText(macros, *value.name) : std::string();
  const std::string data = expandRegistryText(macros, value.data);
  switch (value.operation) {
    case RegistryValueOp::New: {
      auto current = registry.readRegistryValue(root, key, name);
      if (current && valuePresent(*current, value.name.has_value())) return true;
      return writeNew(registry, root, key, name, value, data);
    }
    case RegistryValueOp::Delete:
      registry.deleteRegistryValue(root, key, name);
      return true;
    case RegistryValueOp::Rename:
      return renameValue(registry, root, key, name,
                         value.newName ? expandRegistryText(macros, *value.newName) : "");
    case RegistryValueOp::Replace:
      // Setting a value replaces the old one in one step, so a failed write, or a type that is
      // never written, leaves the old value in place.
      return writeNew(registry, root, key, name, value, data);
    case RegistryValueOp::Max:
    case RegistryValueOp::Min:
    case RegistryValueOp::Increment:
      return combineNumber(registry, root, key, name, value, data);
  }
  return false;
}

bool executeRegistryRequest(Registry& registry, const MacroValues& macros,
                            const RegistryKeyRequest& request, std::vector<std::string>& created) {
  auto runValues = [&](const std::string& key) {
    bool all = true;
    // A failing value ends that value only.
    for (const auto& v : request.values)
      all = executeRegistryValue(registry, macros, request.root, key, v) && all;
    return all;
  };
  switch (request.operation) {
    case RegistryKeyOp::New: {
      std::string path;
      size_t from = 0;
      for (;;) {
        const size_t slash = request.keyPath.find('\\', from);
        path = request.keyPath.substr(0, slash);
        const auto result = registry.createRegistryKey(request.root, path);
        if (result == RegistryKeyResult::Failed) return false;
        if (result == RegistryKeyResult::Created) created.push_back(path);
        if (slash == std::string::npos) break;
        from = slash + 1;
      }
      return runValues(request.keyPath);
    }
    case RegistryKeyOp::Delete:
      registry.deleteRegistryKey(request.root, request.keyPath);
      return true;
    case RegistryKeyOp::Query:
      if (!registry.openRegistryKey(request.root, request.keyPath)) return true;
      return runValues(request.keyPath);
    case RegistryKeyOp::Rename: {
      // The renamed key is the user's own, not the installer's: it is never logged for removal.
      auto renamed = renameKey(registry, request.root, request.keyPath,
                               expandRegistryText(macros, request.newKeyName));
      if (!renamed) return false;
      return runValues(*renamed);
    }
    case RegistryKeyOp::None:
      return true;
  }
  return false;
}

std::string uninstallEntryName(const std::string& title, const std::string& defaultDir) {
  std::string name;
  for (char c : title) name += c == '\\' || uint8_t(c) < 32 ? ' ' : c;
  const size_t first = name.find_first_not_of(' ');
  if (first != std::string::npos) return name.substr(first, name.find_last_not_of(' ') + 1 - first);
  std::string dir = defaultDir;
  while (!dir.empty() && dir.back() == '\\') dir.pop_back();
  return dir.substr(dir.rfind('\\') + 1);
}

void registerUninstallEntry(Engine& engine) {
  System& sys = engine.sys;
  const std::string log = engine.log.path();
  if (!engine.state.engine.logging || log.empty() ||
      windowsVersionOf(sys.machine().versionWord()) < 4.0)
    return;
  const std::string dir = withTrailingBackslash(engine.macros.defaultDir);
  // Without the uninstaller beside the log there is nothing the entry could start.
  if (!sys.files().attributes(dir + kUninstallerName)) return;
  const std::string name = uninstallEntryName(engine.state.settings.title, engine.macros.defaultDir);
  if (name.empty()) return;
  const std::string uninstaller =
      "\"" + withTrailingBackslash(sys.files().windowsDirectory()) + kUninstallerName + "\"";
  std::vector<std::pair<const char*, std::string>> values = {
      {"DisplayName", name},
      {"UninstallString", uninstaller + " \"" + log + "\""},
      {"QuietUninstallString", uninstaller + " /QUIET \"" + log + "\""},
      {"InstallLocation", engine.macros.defaultDir},
  };
  // The day the log was written: the machine's own date, as its file time gives it.
  ScopedFile file = ScopedFile::openRead(sys, log);
  if (std::optional<FatTime> t = file ? sys.files().fileTime(file.get()) : std::nullopt) {
    char date[9];
    std::snprintf(date, sizeof date, "%04u%02u%02u", 1980u + (t->date >> 9), (t->date >> 5) & 15u,
                  t->date & 31u);
    values.push_back({"InstallDate", date});
  }
  for (const ProgramItem& item : engine.state.config.programItems)
    if (!item.command.empty() && !item.iconFile.empty()) {
      values.push_back({"DisplayIcon", expandRegistryText(engine.macros, item.iconFile)});
      break;
    }

  // Every level it makes is recorded, so the uninstaller takes away exactly what is its own.
  RecordingRegistry registry(engine);
  registry.recordNewKeys = true;
  const std::string path = std::string(kUninstallEntriesKey) + "\\" + name;
  std::string key;
  for (size_t end = 0; end != std::string::npos;) {
    end = path.find('\\', end + 1);
    key = path.substr(0, end);
    if (registry.createRegistryKey(RegistryRoot::LocalMachine, key) == RegistryKeyResult::Failed) {
      engine.ui.trace("uninstall entry: HKEY_LOCAL_MACHINE\\" + key + " cannot be made");
      return;
    }
  }
  for (const auto& [valueName, text] : values) {
    RegistryValue value{kRegSz, std::vector<uint8_t>(text.begin(), text.end())};
    value.data.push_back(0);
    registry.setRegistryValue(RegistryRoot::LocalMachine, key, valueName, value);
  }
  engine.ui.trace("uninstall entry: HKEY_LOCAL_MACHINE\\" + key);
}

void applyRegistryBlocks(Engine& engine) {
  auto& requests = engine.state.config.registry;
  RecordingRegistry registry(engine);
  for (const auto& request : requests) {
    std::vector<std::string> created;
    registry.recordNewKeys = request.operation == RegistryKeyOp::Rename;
    if (!executeRegistryRequest(registry, engine.macros, request, created))
      engine.ui.trace("registry block for " + request.rootName + "\\" + request.keyPath +
                      " did not complete");
    for (auto it = created.rbegin(); it != created.rend(); ++it)
      engine.log.record(RegKeyRecord{request.rootName, *it});
  }
  requests.clear();
}

}  // namespace qm
