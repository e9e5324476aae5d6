#include <fstream>

#include "base/text.h"
#include "platform/sim/sim_system.h"

namespace qm {

uint32_t SimSystem::versionWord() { return versionWordOf(config_); }

int SimSystem::screenWidth() { return config_.screenWidth; }
int SimSystem::screenHeight() { return config_.screenHeight; }

std::optional<std::string> SimSystem::environment(const std::string& name) {
  for (const auto& [key, value] : config_.environment)
    if (equalsNoCase(key, name)) return value;
  return std::nullopt;
}

void SimSystem::disableCriticalErrorBoxes() { criticalBoxesOff_ = true; }

bool SimSystem::startProcess(const std::string& commandLine, int showState, bool wait) {
  // Nothing runs: the log line is the whole effect, and an empty command cannot start.
  size_t start = commandLine.find_first_not_of(" \t");
  if (start == std::string::npos) return false;
  // A program named by its full path must be there, as Windows will not start a missing file
  // (the temporary copy's clean-up names a ~0000.pif only a distribution with install.pif has).
  // A bare name may be found on the path, which the simulated machine does not search.
  std::string program = commandLine.substr(start, commandLine.find_first_of(" \t", start) - start);
  if (program.size() > 2 && program[1] == ':' && !attributes(program)) return false;
  appendProcessLog("start show=" + std::to_string(showState) + " wait=" + (wait ? "1" : "0") + " " +
                   commandLine);
  return true;
}

void SimSystem::appendProcessLog(const std::string& line) {
  std::ofstream out(machineDir_ / "processes.log", std::ios::binary | std::ios::app);
  // One entry per line whatever the text holds, so the log stays readable line by line.
  std::string clean = line;
  for (char& c : clean)
    if (c == '\n' || c == '\r') c = ' ';
  out << clean << '\n';
}

std::string SimSystem::modulePath() { return modulePath_; }
std::string SimSystem::commandLineArguments() { return arguments_; }

}  // namespace qm
