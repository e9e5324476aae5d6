// REGKEY and RegServer lines, and the registry values and keys instback.log records: a value the
// installation wrote goes back to what it was while it still holds what the installation left;
// a key goes only when nothing is left in it, never with what it holds.
#include <algorithm>

#include "base/text.h"
#include "sysconfig/config_values.h"
#include "uninstall/undo_context.h"

namespace qm {

namespace {

std::string valueName(const BackupRecord& r) {
  return registryRootText(r.root) + "\\" + r.key + (r.name.empty() ? " (default)" : " " + r.name);
}

bool sameValue(const std::optional<RegistryValue>& a, const RegistryValue& b) {
  return a && a->type == b.type && a->data == b.data;
}

bool isEmptyDefault(Registry& registry, RegistryRoot root, const std::string& key,
                    const std::string& name) {
  if (!name.empty()) return false;
  std::optional<RegistryValue> v = registry.readRegistryValue(root, key, name);
  return !v || v->data.empty() || (v->data.size() <= 2 && v->data[0] == 0);
}

// Makes key and its missing parents.
bool makeKey(Registry& registry, RegistryRoot root, const std::string& key) {
  for (size_t slash = key.find('\\');; slash = key.find('\\', slash + 1)) {
    if (registry.createRegistryKey(root, key.substr(0, slash)) == RegistryKeyResult::Failed)
      return false;
    if (slash == std::string::npos) return true;
  }
}

}  // namespace

void undoRegServer(UndoContext& cx, const LogLine& line) {
  auto path = cx.safe(line, line.record<RegServerRecord>().path);
  if (!path) return;
  switch (cx.sys.machine().unregisterServer(*path)) {
    case RegisterResult::Registered:
      return cx.done("unregistered " + *path);
    case RegisterResult::LoadFailed:
      return cx.note(*path + " cannot be loaded; nothing to unregister");
    case RegisterResult::NoExport:
      return cx.note(*path + " has no DllUnregisterServer; nothing to unregister");
    case RegisterResult::Failed:
      return cx.problem(&line, *path + " refused to unregister");
  }
}

void undoRegKey(UndoContext& cx, const LogLine& line) {
  if (line.readings.size() != 1) return cx.problem(&line, "the key cannot be told apart");
  const RegKeyRecord& r = line.record<RegKeyRecord>();
  const std::string name = r.rootName + "\\" + r.keyPath;
  std::optional<RegistryRoot> root = findRegistryRoot(r.rootName);
  if (!root) return cx.problem(&line, r.rootName + " is no registry root; left alone");
  const std::string& key = r.keyPath;
  if (key.empty() || key.front() == '\\' || key.back() == '\\' ||
      key.find("\\\\") != std::string::npos)
    return cx.problem(&line, name + " is no key path; left alone");
  // Never a tree: the key goes only once nothing but what this installation made was in it.
  removeKeyIfEmpty(cx, &line, *root, key);
}

bool registryKeyIsEmpty(Registry& registry, RegistryRoot root, const std::string& key) {
  std::optional<std::vector<std::string>> subkeys = registry.registrySubkeys(root, key);
  std::optional<std::vector<std::string>> names = registry.registryValueNames(root, key);
  if (!subkeys || !names || !subkeys->empty()) return false;
  for (const std::string& name : *names)
    if (!isEmptyDefault(registry, root, key, name)) return false;
  return true;
}

void undoRegistryRecords(UndoContext& cx) {
  System& sys = cx.sys;
  // Keys that were there before the installation deleted them come back first, parents first,
  // so that their values have somewhere to go.
  for (const KeptCopy& b : cx.backups) {
    const BackupRecord& r = b.record;
    if (r.kind != BackupRecord::Kind::RegKeyWas || sys.registry().openRegistryKey(r.root, r.key))
      continue;
    if (makeKey(sys, r.root, r.key)) {
      cx.done("made " + registryRootText(r.root) + "\\" + r.key + " again");
    } else {
      cx.problem(nullptr, registryRootText(r.root) + "\\" + r.key + " could not be made again");
    }
  }
  // Per value, the state before the installation first changed it and the state it left.
  struct Change {
    const BackupRecord* before = nullptr;
    const BackupRecord* after = nullptr;
    size_t last = 0;
  };
  std::vector<std::pair<std::string, Change>> changes;
  for (size_t i = 0; i < cx.backups.size(); ++i) {
    const BackupRecord& r = cx.backups[i].record;
    if (!r.isRegistry() || r.kind == BackupRecord::Kind::RegKeyWas ||
        r.kind == BackupRecord::Kind::RegKeyNew)
      continue;
    const std::string id = std::to_string(uint32_t(r.root)) + "\\" + upperAscii(r.key) + "\\\\" +
                           upperAscii(r.name);
    auto known = std::find_if(changes.begin(), changes.end(),
                              [&](const auto& change) { return change.first == id; });
    if (known == changes.end()) known = changes.insert(changes.end(), {id, Change{}});
    Change& c = known->second;
    if (r.kind == BackupRecord::Kind::RegWas || r.kind == BackupRecord::Kind::RegNew) {
      if (!c.before) c.before = &r;
    } else {
      c.after = &r;
      c.last = i;
    }
  }
  // Newest change first; each value's last record has an index of its own.
  std::vector<const Change*> order(cx.backups.size(), nullptr);
  for (const auto& [id, c] : changes)
    if (c.before && c.after) order[c.last] = &c;
  for (auto it = order.rbegin(); it != order.rend(); ++it) {
    const Change* c = *it;
    if (!c) continue;
    const BackupRecord &before = *c->before, &after = *c->after;
    std::optional<RegistryValue> now =
        sys.registry().readRegistryValue(after.root, after.key, after.name);
    bool asLeft = after.kind == BackupRecord::Kind::RegSet ? sameValue(now, after.value) : !now;
    if (!asLeft) {
      cx.left(valueName(after) + " was changed after the installation; left alone");
      continue;
    }
    if (before.kind == BackupRecord::Kind::RegNew) {
      if (!now) continue;
      if (!sys.registry().deleteRegistryValue(after.root, after.key, after.name)) {
        cx.problem(nullptr, valueName(after) + " could not be deleted");
      } else {
        cx.done("deleted the value " + valueName(after));
      }
    } else if (!sys.registry().setRegistryValue(before.root, before.key, before.name,
                                                before.value)) {
      cx.problem(nullptr, valueName(before) + " could not be put back");
    } else {
      cx.done("put back the value " + valueName(before));
    }
  }
  // Keys the installation made outside its REGKEY lines (a renamed key's new name), deepest
  // first.
  for (auto it = cx.backups.rbegin(); it != cx.backups.rend(); ++it) {
    const BackupRecord& r = it->record;
    if (r.kind == BackupRecord::Kind::RegKeyNew) removeKeyIfEmpty(cx, nullptr, r.root, r.key);
  }
}

void removeKeyIfEmpty(UndoContext& cx, const LogLine* line, RegistryRoot root,
                      const std::string& key) {
  const std::string name = registryRootText(root) + "\\" + key;
  if (!cx.sys.registry().openRegistryKey(root, key)) return cx.note(name + " is already gone");
  if (!registryKeyIsEmpty(cx.sys, root, key))
    return cx.left(name + " holds values or keys that are not this installation's; left alone");
  if (!cx.sys.registry().deleteRegistryKey(root, key))
    return cx.problem(line, name + " could not be deleted");
  cx.done("deleted " + name);
}

}  // namespace qm
