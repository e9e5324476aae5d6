// What a statement handler is given: the state it fills, the line it reads, and the run's
// services. A handler returns 0 when the line was good and anything else for a syntax error.
#pragma once

#include "platform/system.h"
#include "records/startup_values.h"
#include "script/install_state.h"
#include "script/macros.h"
#include "script/statement_line.h"
#include "platform/ui_seam.h"

namespace qm {

class ScriptReader;  // the parser's line source; block readers pull their lines through it

struct StatementContext {
  InstallState& state;
  StatementLine& line;
  MacroValues& macros;
  const StartupValues& startup;
  System& sys;
  Ui& ui;
  ScriptReader& reader;
  bool secondPass = false;
  int lineNumber = 0;
  // Lines a block reader consumed beyond the statement's own line (end line included); the
  // first pass adds them to its line count.
  int consumedLines = 0;
};

using StatementHandler = int (*)(StatementContext& ctx);

}  // namespace qm
