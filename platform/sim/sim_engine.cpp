// Library registration and the processor type on the simulated machine. A library cannot run
// here, so its file decides: an executable image that names the DllRegisterServer export
// registers (and the registration is written to processes.log); anything else is refused the
// way the loader or the export lookup would refuse it.
#include <algorithm>
#include <string_view>

#include "platform/sim/sim_system.h"

namespace qm {

namespace {
constexpr std::string_view kExportName = "DllRegisterServer";
}

RegisterResult SimSystem::registerServer(const std::string& path) {
  FileHandle h = openRead(path);
  if (h == kInvalidFile) return RegisterResult::LoadFailed;
  std::string bytes;
  char block[65536];
  for (;;) {
    int32_t n = read(h, block, sizeof block);
    if (n <= 0) break;
    bytes.append(block, static_cast<size_t>(n));
  }
  close(h);
  if (bytes.size() < 64 || bytes[0] != 'M' || bytes[1] != 'Z') return RegisterResult::LoadFailed;
  // The export's name is stored NUL-terminated in the export name table.
  std::string needle(kExportName);
  needle += '\0';
  if (std::search(bytes.begin(), bytes.end(), needle.begin(), needle.end()) == bytes.end())
    return RegisterResult::NoExport;
  appendProcessLog("register " + path);
  return RegisterResult::Registered;
}

int SimSystem::processorType() { return config_.processor; }

}  // namespace qm
