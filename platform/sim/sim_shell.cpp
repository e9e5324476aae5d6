// The simulated Program Manager behind the DDE seam: each command text is carried out against
// groups.ini beside the machine file, read afresh and written back when it changed.
#include <algorithm>
#include <fstream>
#include <iterator>

#include "base/text.h"
#include "platform/sim/sim_system.h"

namespace qm {

bool SimSystem::startShellClient() { return true; }

bool SimSystem::connectShell() {
  shellConnected_ = config_.shellRunning;
  return shellConnected_;
}

void SimSystem::disconnectShell() { shellConnected_ = false; }

bool SimSystem::executeShellCommand(const std::string& command) {
  if (!shellConnected_) return false;
  const auto file = machineDir_ / kGroupsFileName;
  ProgramManagerGroups groups;
  std::string before;
  if (std::ifstream in{file, std::ios::binary}) {
    before.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    std::string error;
    // A shell that cannot read its groups refuses to touch them rather than lose them.
    if (!groups.load(before, error)) return false;
  }
  shell_.opensWindows = windowsVersionOf(versionWord()) >= 4.0;
  const bool done = groups.execute(command, shell_);
  const std::string after = groups.save();
  // Commands before a failing one in the same text stay done, as in the shell.
  if (after != before) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << after;
    if (!out.flush()) return false;
  }
  return done;
}

// The simulated shell's windows come up with the command, so there is nothing to wait for.
std::vector<std::string> SimSystem::closeShellGroupWindows(const std::vector<std::string>& groups,
                                                           uint32_t) {
  std::vector<std::string> closed;
  for (const std::string& group : groups) {
    auto& open = shell_.openWindows;
    auto it = std::find_if(open.begin(), open.end(),
                           [&](const std::string& name) { return equalsNoCase(name, group); });
    if (it == open.end()) continue;
    open.erase(it);
    closed.push_back(group);
  }
  return closed;
}

}  // namespace qm
