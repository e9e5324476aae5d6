#include "engine/install_lock.h"

#include "platform/system.h"
#include "platform/ui_seam.h"
#include "ui/answers_file.h"

namespace qm {

namespace {

// A person who chose OK gets a short wait, so that the lock the other program is just letting go
// is taken without a second click.
constexpr uint32_t kRetryWaitMs = 2000;

int waitSeconds(const Ui& ui) {
  std::optional<std::string> given = ui.answer("WaitForOther");
  std::optional<int> n = given ? parseSeconds(*given) : std::nullopt;
  return n.value_or(kDefaultWaitForOtherSeconds);
}

}  // namespace

LockOutcome waitForOtherInstallations(System& sys, Ui& ui) {
  if (sys.machine().lockInstallations(0)) return LockOutcome::Held;
  if (ui.unattended()) {
    const int seconds = waitSeconds(ui);
    ui.trace("lock: another installation or uninstallation is running; waiting up to " +
             std::to_string(seconds) + " s");
    if (sys.machine().lockInstallations(uint32_t(seconds) * 1000u)) {
      ui.trace("lock: the other program has finished; going on");
      return LockOutcome::Held;
    }
    ui.trace("lock: the other program still runs after " + std::to_string(seconds) +
             " s; nothing was changed");
    return LockOutcome::TimedOut;
  }
  for (;;) {
    if (ui.messageBox(installerBox(kOtherInstallationText, MsgIcon::Information,
                                   MsgButtons::OkCancel)) != MsgResult::Ok) {
      ui.trace("lock: another installation or uninstallation is running; stopped by the user");
      return LockOutcome::Cancelled;
    }
    if (sys.machine().lockInstallations(kRetryWaitMs)) return LockOutcome::Held;
  }
}

}  // namespace qm
