// The one installation state: filled by the parser, read by every later phase. Each area's
// records are declared by the folder that executes them.
#pragma once

#include "engine/engine_records.h"
#include "finish/finish_records.h"
#include "script/settings.h"
#include "sysconfig/config_records.h"
#include "ui/screen_records.h"

namespace qm {

struct InstallState {
  Settings settings;
  ScreenRecords screens;
  EngineRecords engine;
  ConfigRecords config;
  FinishRecords finish;
};

}  // namespace qm
