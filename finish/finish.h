// The end of a run: the exit handler after the message loop (readme, programs run at exit, the
// restart question and the restart) and the application end (the uninstaller's copy in the
// Windows folder, the container, the temporary copy's clean-up).
#pragma once

#include <string>

#include "records/finish_records.h"

namespace qm {

class System;
class Ui;
class Container;
struct InstallState;
struct MacroValues;

// What became of a restart the script asked for.
enum class RestartOutcome {
  NotAsked,  // no restart was asked for (or the installation did not complete)
  Declined,  // the question was answered No
  Refused,   // the system (or the shutdown privilege) refused the request
  Requested  // the system accepted the request; it restarts after this program ends
};

// "notepad " and the readme's path; a path that names no drive or root directory is taken in
// the destination directory.
std::string readmeCommand(const std::string& readme, const std::string& destination);

// Windows versions from 3.5 to 3.6 (Windows NT 3.5x) grant the restart only with the shutdown
// privilege enabled first.
bool needsShutdownPrivilege(double windowsVersion);

// Deletes the temporary copy's batch and information files, enables the shutdown privilege where
// the version needs it and asks the system to restart. 1 when the request was made, else 0.
int restart(System& sys, RebootMode mode);

// Runs once after the message loop. state is null when no installation ran (a relaunch, a start
// that failed): nothing is started then. The readme, the programs at exit and the restart were
// already dropped by the driver when the installation was aborted.
RestartOutcome exitHandler(System& sys, Ui& ui, InstallState* state, const MacroValues& macros);

// Runs once at the very end: copies the uninstaller into the Windows folder when logging is on,
// closes the container and, in the temporary copy, starts the hidden clean-up batch.
void applicationEnd(System& sys, Ui& ui, const InstallState* state, const MacroValues& macros,
                    Container& container);

// The process exit code once the finish has run: a completed installation whose restart was
// declined or refused reports 3010.
int finishExitCode(int installExitCode, RestartOutcome restart);

constexpr int kExitRestartPending = 3010;
// The new uninstaller's name in the Windows directory until it replaces the old one.
constexpr const char* kUninstallerTempName = "~qmunst.tmp";

}  // namespace qm
