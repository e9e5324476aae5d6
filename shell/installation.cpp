#include "shell/installation.h"

#include "engine/install_driver.h"
#include "finish/finish.h"
#include "finish/rollback.h"

namespace qm {

Installation::Installation(Run& run)
    : engine(run.sys, run.ui, *run.state, run.macros, run.startup, run.container),
      run_(run),
      packages_(engine) {
  engine.packages = &packages_;
  engine.config = &configuration_;
}

int Installation::start() {
  started_ = true;
  return installExitCode(engine, installWithRollback(engine));
}

int Installation::finish(int code) {
  // A start that never reached the start message ran no installation and starts nothing.
  RestartOutcome restart =
      exitHandler(run_.sys, run_.ui, started_ ? run_.state.get() : nullptr, run_.macros);
  if (started_) code = finishExitCode(code, restart);
  applicationEnd(run_.sys, run_.ui, run_.state.get(), run_.macros, run_.container);
  return code;
}

}  // namespace qm
