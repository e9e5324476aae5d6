// One uninstall on a simulated machine, as `quillpack uninstall` runs it: the uninstaller's core,
// unattended, on the machine an installation left.
#pragma once

#include <string>

#include "uninstall/uninstaller.h"

namespace qm {

struct UninstallSimulation {
  std::string machineFile;  // host path of the machine file
  std::string answersFile;  // host path; empty: every question gets its default
  std::string traceFile;    // host path; empty: no trace
  std::string logPath;      // the install log's Windows path on that machine
};

struct UninstallSimulationResult {
  int exitCode = kUninstallCannotStart;
  UninstallReport report;
  std::string error;  // why the simulation itself could not run (bad machine or answers file)
};

UninstallSimulationResult runUninstallSimulation(const UninstallSimulation& request);

}  // namespace qm
