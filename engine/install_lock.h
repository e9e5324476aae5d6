// One installation at a time. Two installations (or an installation and an uninstallation) that
// change the machine at once interleave their install.log lines and may each replace what the
// other just wrote, so every run takes the machine's installation lock before its first change.
// A person is told and chooses to wait or to stop; an unattended run waits up to the answers
// key WaitForOther=SECONDS (600 by default) and then ends without changing anything.
#pragma once

#include <string>

namespace qm {

class System;
class Ui;

enum class LockOutcome { Held, Cancelled, TimedOut };

// The exit code of an installation or uninstallation that found the lock taken for longer than
// it would wait.
constexpr int kOtherInstallationExitCode = 5;

constexpr int kDefaultWaitForOtherSeconds = 600;

constexpr const char* kOtherInstallationText =
    "Another installation or uninstallation is running on this computer. Let it finish, then "
    "choose OK to go on, or choose Cancel to stop.";

// Takes the lock, waiting as above. The trace says when and how long it waited.
LockOutcome waitForOtherInstallations(System& sys, Ui& ui);

}  // namespace qm
