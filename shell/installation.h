// The installation after start-up, wired once for the real program and the simulation: the
// engine with its package extractor and system configuration, the start message with its
// rollback, and the finish (readme, programs at exit, restart, the program's end) that decides
// the exit code.
#pragma once

#include "engine/engine.h"
#include "engine/package.h"
#include "shell/run.h"
#include "sysconfig/system_configuration.h"

namespace qm {

class Installation {
 public:
  // run.state is the parsed script: start-up has returned Started.
  explicit Installation(Run& run);
  Installation(const Installation&) = delete;
  Installation& operator=(const Installation&) = delete;

  // The start message's work: the installation, undone when it fails and the user agrees.
  // Returns its exit code (0, 2, 3 or 5; a restart is the finish's).
  int start();
  // After the message loop: the exit handler only when the installation started, then the
  // program's end. Returns the exit code: `code` as the loop ended, with the restart's applied.
  int finish(int code);

  Engine engine;

 private:
  Run& run_;
  PackageExtractor packages_;  // the engine's; lives as long as it
  SystemConfiguration configuration_;
  bool started_ = false;
};

}  // namespace qm
