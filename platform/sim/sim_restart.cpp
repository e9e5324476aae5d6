// The restart on the simulated machine: nothing restarts, and every request is written to
// processes.log, so a dry run shows what a real machine would have been asked to do.
#include "platform/sim/sim_system.h"

namespace qm {

bool SimSystem::enableShutdownPrivilege() {
  appendProcessLog("privilege SeShutdownPrivilege");
  return true;
}

bool SimSystem::requestRestart() {
  appendProcessLog("restart");
  return true;
}

}  // namespace qm
