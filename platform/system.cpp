#include "platform/system.h"

namespace qm {

void runAndWait(System& sys, const std::string& commandLine, int showState) {
  sys.startProcess(commandLine, showState, true);
}

}  // namespace qm
