// The simulated registry: registry.reg beside the machine file, in REGEDIT4 text. Every call
// reads the file afresh and every change writes it back whole, so edits made between runs show
// and a run that stops half-way leaves what it had done.
#include <fstream>
#include <functional>
#include <iterator>

#include "platform/sim/regedit4.h"
#include "platform/sim/sim_system.h"

namespace qm {

namespace {

// Keys every Windows 95 machine has. Without them a registry.reg written by hand would make an
// installer "create" HKEY_CURRENT_USER\Software and log it for the uninstaller to remove.
constexpr const char* kStandardKeys[] = {
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
    "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet",
    "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion",
    "HKEY_CURRENT_USER\\Control Panel",
    "HKEY_USERS\\.DEFAULT",
};

// The tree of registry.reg with the standard keys; false when the file is damaged (its valid
// lines are still loaded).
bool loadTree(const std::filesystem::path& file, RegistryTree& tree) {
  bool clean = true;
  if (std::ifstream in{file, std::ios::binary}) {
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string error;
    clean = tree.load(text, error);
  }
  for (const char* key : kStandardKeys) tree.createKey(key);
  return clean;
}

std::string fullKey(RegistryRoot root, const std::string& key) {
  std::string rootName = registryRootName(uint32_t(root));
  if (rootName.empty() || key.empty()) return rootName;
  return rootName + "\\" + key;
}

}  // namespace

std::optional<RegistryValue> SimSystem::readRegistryValue(RegistryRoot root, const std::string& key,
                                                          const std::string& name) {
  std::string path = fullKey(root, key);
  if (path.empty()) return std::nullopt;
  RegistryTree tree;
  // A damaged file still answers from the lines before the damage; the machine loader is the
  // place that reports it.
  loadTree(machineDir_ / kRegistryFileName, tree);
  auto v = tree.value(path, name);
  // As on Windows, the classes root shows what was registered under the machine's classes key.
  if (!v && root == RegistryRoot::ClassesRoot && !tree.keyExists(path))
    v = tree.value("HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes" + (key.empty() ? "" : "\\" + key), name);
  if (!v) return std::nullopt;
  return RegistryValue{v->type, v->bytes};
}

bool SimSystem::changeRegistry(const std::function<bool(RegistryTree&)>& change) {
  RegistryTree tree;
  // Saving a tree that lost the lines after a damaged one would destroy them: refuse instead.
  if (!loadTree(machineDir_ / kRegistryFileName, tree)) return false;
  if (!change(tree)) return false;
  std::ofstream out(machineDir_ / kRegistryFileName, std::ios::binary | std::ios::trunc);
  out << tree.save();
  return bool(out.flush());
}

bool SimSystem::openRegistryKey(RegistryRoot root, const std::string& key) {
  std::string path = fullKey(root, key);
  RegistryTree tree;
  loadTree(machineDir_ / kRegistryFileName, tree);
  return !path.empty() && (key.empty() || tree.keyExists(path));
}

RegistryKeyResult SimSystem::createRegistryKey(RegistryRoot root, const std::string& key) {
  std::string path = fullKey(root, key);
  int created = -1;
  bool ok = !path.empty() && changeRegistry([&](RegistryTree& tree) {
    std::string parent = path.substr(0, path.rfind('\\'));
    if (parent != path && parent.find('\\') != std::string::npos && !tree.keyExists(parent))
      return false;
    created = tree.createKey(path);
    return created >= 0;
  });
  if (!ok) return RegistryKeyResult::Failed;
  return created > 0 ? RegistryKeyResult::Created : RegistryKeyResult::Opened;
}

bool SimSystem::setRegistryValue(RegistryRoot root, const std::string& key, const std::string& name,
                                 const RegistryValue& value) {
  std::string path = fullKey(root, key);
  return !path.empty() && changeRegistry([&](RegistryTree& tree) {
    if (!key.empty() && !tree.keyExists(path)) return false;
    return tree.setValue(path, name, RegValueData{value.type, value.data});
  });
}

bool SimSystem::deleteRegistryValue(RegistryRoot root, const std::string& key,
                                    const std::string& name) {
  std::string path = fullKey(root, key);
  return !path.empty() &&
         changeRegistry([&](RegistryTree& tree) { return tree.deleteValue(path, name); });
}

bool SimSystem::deleteRegistryKey(RegistryRoot root, const std::string& key) {
  std::string path = fullKey(root, key);
  // A root cannot be deleted.
  return !path.empty() && !key.empty() &&
         changeRegistry([&](RegistryTree& tree) { return tree.deleteKey(path); });
}

std::optional<std::vector<std::string>> SimSystem::registrySubkeys(RegistryRoot root,
                                                                   const std::string& key) {
  std::string path = fullKey(root, key);
  RegistryTree tree;
  loadTree(machineDir_ / kRegistryFileName, tree);
  if (path.empty() || !tree.keyExists(path)) return std::nullopt;
  return tree.subkeys(path);
}

std::optional<std::vector<std::string>> SimSystem::registryValueNames(RegistryRoot root,
                                                                      const std::string& key) {
  std::string path = fullKey(root, key);
  RegistryTree tree;
  loadTree(machineDir_ / kRegistryFileName, tree);
  if (path.empty() || !tree.keyExists(path)) return std::nullopt;
  return tree.valueNames(path);
}

}  // namespace qm
