// Library registration and the processor type on the simulated machine. A library cannot run
// here, so its file decides: an executable image that names the DllRegisterServer export
// registers (and the registration is written to processes.log); anything else is refused the
// way the loader or the export lookup would refuse it.
#include <algorithm>
#include <string_view>

#include "platform/file_handle.h"
#include "platform/sim/sim_system.h"

namespace qm {

namespace {
constexpr std::string_view kRegisterExport = "DllRegisterServer";
constexpr std::string_view kUnregisterExport = "DllUnregisterServer";
}  // namespace

RegisterResult SimSystem::registerServer(const std::string& path) {
  return callServerExport(path, kRegisterExport, "register ");
}

RegisterResult SimSystem::unregisterServer(const std::string& path) {
  return callServerExport(path, kUnregisterExport, "unregister ");
}

RegisterResult SimSystem::callServerExport(const std::string& path, std::string_view exportName,
                                           const std::string& logWord) {
  const std::string bytes = readAll(*this, path).value_or("");
  if (bytes.size() < 64 || bytes[0] != 'M' || bytes[1] != 'Z') return RegisterResult::LoadFailed;
  // The export's name is stored NUL-terminated in the export name table.
  std::string needle(exportName);
  needle += '\0';
  if (std::search(bytes.begin(), bytes.end(), needle.begin(), needle.end()) == bytes.end())
    return RegisterResult::NoExport;
  appendProcessLog(logWord + path);
  return RegisterResult::Registered;
}

int SimSystem::processorType() { return config_.processor; }

}  // namespace qm
