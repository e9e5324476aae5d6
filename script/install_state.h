// The one installation state: filled by the parser, read by every later phase. Each area's
// records are declared by the folder that executes them.
#pragma once

#include "records/config_records.h"
#include "records/engine_records.h"
#include "records/finish_records.h"
#include "records/screen_records.h"
#include "script/deferred.h"
#include "script/settings.h"

namespace qm {

struct InstallState {
  Settings settings;
  ScreenRecords screens;
  EngineRecords engine;
  ConfigRecords config;
  FinishRecords finish;
  DeferredBlocks deferred;
  int lineNumber = 0;        // of the line being parsed, stored before its statement is handled
  bool syntaxError = false;  // set by a reader that finds an error and shows its own message first
};

}  // namespace qm
