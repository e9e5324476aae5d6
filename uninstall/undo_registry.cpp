// REGKEY and RegServer lines: keys the installation created, libraries it registered.
#include "sysconfig/config_values.h"
#include "uninstall/undo_context.h"

namespace qm {

void undoRegServer(UndoContext& cx, const LogLine& line) {
  auto path = cx.safe(line, line.record<RegServerRecord>().path);
  if (!path) return;
  switch (cx.sys.unregisterServer(*path)) {
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
  if (!cx.sys.openRegistryKey(*root, key)) return cx.note(name + " is already gone");
  if (!cx.sys.deleteRegistryKey(*root, key))
    return cx.problem(&line, name + " could not be deleted");
  cx.done("deleted " + name);
}

}  // namespace qm
