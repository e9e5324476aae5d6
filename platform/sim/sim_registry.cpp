// The simulated registry: registry.reg beside the machine file, in REGEDIT4 text.
#include <fstream>
#include <iterator>

#include "platform/sim/regedit4.h"
#include "platform/sim/sim_system.h"

namespace qm {

std::optional<RegistryValue> SimSystem::readRegistryValue(RegistryRoot root, const std::string& key,
                                                          const std::string& name) {
  std::string rootName = registryRootName(uint32_t(root));
  if (rootName.empty()) return std::nullopt;
  RegistryTree tree;
  std::ifstream in(machineDir_ / kRegistryFileName, std::ios::binary);
  if (in) {
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string error;
    // A damaged file still answers from the lines before the damage; the machine loader is the
    // place that reports it.
    tree.load(text, error);
  }
  std::string path = key.empty() ? rootName : rootName + "\\" + key;
  auto v = tree.value(path, name);
  // As on Windows, the classes root shows what was registered under the machine's classes key.
  if (!v && root == RegistryRoot::ClassesRoot && !tree.keyExists(path))
    v = tree.value("HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes" + (key.empty() ? "" : "\\" + key), name);
  if (!v) return std::nullopt;
  return RegistryValue{v->type, v->bytes};
}

}  // namespace qm
