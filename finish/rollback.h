// The undo of an installation that failed or was cancelled after it changed something. The
// user is asked (unattended: the answers key Rollback=Yes|No, Yes by default) and the
// uninstaller's core undoes what this run logged, and only that: lines an earlier installation
// left in the same install.log stay, and the log and its kept-copies list end as they were
// before the run. The log is written for the undo even when the script asked for no logging
// (UNINSTALL NO); it is removed again when the run ends.
#pragma once

#include <string>

namespace qm {

class Engine;
class System;

constexpr const char* kRollbackQuestion = "Setup did not finish. Undo the changes it made?";

// The start message with its rollback. Returns the driver's result unchanged, so the exit code
// stays the failure's (2 or 3) whether or not the changes were undone.
int installWithRollback(Engine& engine);

// After the driver: result 0 keeps what was installed (and drops a log kept only for the undo);
// any other result asks and undoes.
void settleRollback(Engine& engine, int result);

// The backup list's lines with each install.log offset lowered by `by` (the size the log had
// before this run), so that they point into the log's own part of this run. Lines that are no
// record stay as they are.
std::string shiftBackupOffsets(const std::string& list, uint64_t by);

}  // namespace qm
