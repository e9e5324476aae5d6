// The one per-run object: everything that lives for the whole run of the installer. app/ creates
// it once and passes it (or its members) down by reference.
#pragma once

#include <memory>

#include "platform/system.h"
#include "records/startup_values.h"
#include "script/install_state.h"
#include "script/macros.h"
#include "script/source.h"
#include "ui/ui.h"

namespace qm {

struct Run {
  Run(System& system, Ui& view) : sys(system), ui(view), container(system) {}
  Run(const Run&) = delete;
  Run& operator=(const Run&) = delete;

  System& sys;
  Ui& ui;
  StartupValues startup;
  MacroValues macros;
  Container container;  // the archive container in the program's own file
  // Created by start-up just before the parser fills it; null during the relaunch.
  std::unique_ptr<InstallState> state;
  // An unattended run: the relaunch waits for its temporary copy and takes over its exit code,
  // so a deployment tool sees the installation's result, not the hand-over's.
  bool waitForCopy = false;
  int copyExitCode = 0;
};

}  // namespace qm
