#include "finish/finish.h"

#include "base/pe_version.h"
#include "base/text.h"
#include "platform/file_handle.h"
#include "platform/system.h"
#include "records/startup_values.h"
#include "script/install_state.h"
#include "script/macros.h"
#include "script/source.h"
#include "ui/ui.h"

namespace qm {

namespace {

bool isDriveLetterPath(const std::string& path, size_t at) {
  return path.size() > at + 1 && path[at + 1] == ':';
}

// The system's temporary folder with its backslash; "c:\" when it names none.
std::string temporaryFolder(System& sys) {
  std::string temp = sys.files().tempDirectory();
  return temp.empty() ? std::string("c:\\") : withTrailingBackslash(temp);
}

void start(System& sys, Ui& ui, const std::string& command, int showState) {
  bool started = sys.machine().startProcess(command, showState, false);
  ui.trace(std::string(started ? "started " : "could not start ") + command);
}

// The file version of an executable's version resource; nullopt when it has none.
std::optional<uint64_t> fileVersion(FileSystem& fs, const std::string& path) {
  ScopedFile h = ScopedFile::openRead(fs, path);
  if (!h) return std::nullopt;
  const int64_t size = fs.fileSize(h.get());
  ByteReader read = [&](uint64_t offset, uint8_t* out, size_t count) {
    return fs.seek(h.get(), int64_t(offset), SeekOrigin::Begin) == int64_t(offset) &&
           fs.read(h.get(), out, uint32_t(count)) == int32_t(count);
  };
  std::optional<std::vector<uint8_t>> resource =
      size > 0 ? findVersionResource(read, uint64_t(size)) : std::nullopt;
  if (!resource) return std::nullopt;
  std::optional<VersionInfo> info = VersionInfo::parse(*resource);
  if (!info || !info->fixed()) return std::nullopt;
  return uint64_t(info->fixed()->fileVersionMS) << 32 | info->fixed()->fileVersionLS;
}

bool brokenOff(const InstallState& state, const std::string& path) {
  for (const std::string& broken : state.engine.brokenFiles)
    if (equalsNoCase(broken, path)) return true;
  return false;
}

// The uninstaller in the Windows directory serves every installation on the machine: it is
// replaced only by a copy that was installed whole and is not older, and in one step, so that a
// copy that breaks off (a full disk) leaves the one that was there.
void copyUninstaller(System& sys, Ui& ui, const InstallState& state, const MacroValues& macros) {
  const std::string from = withTrailingBackslash(macros.defaultDir) + kUninstallerName;
  const std::string windows = withTrailingBackslash(sys.files().windowsDirectory());
  const std::string to = windows + kUninstallerName;
  // The script may not have installed it; nothing is said then.
  if (!sys.files().attributes(from)) return;
  if (brokenOff(state, from)) {
    ui.trace(from + " was not installed whole; " + to + " is left as it is");
    return;
  }
  const std::optional<uint64_t> ours = fileVersion(sys, from);
  const std::optional<uint64_t> there = fileVersion(sys, to);
  if (ours && there && *there > *ours) {
    ui.trace(to + " is newer than " + from + "; it is left as it is");
    return;
  }
  const std::string temp = windows + kUninstallerTempName;
  if (sys.files().attributes(temp)) sys.files().deleteFile(temp);
  if (!sys.files().copyFile(from, temp, false) || !sys.files().moveFile(temp, to, true)) {
    sys.files().deleteFile(temp);
    ui.trace(from + " could not be copied to " + to + "; it is left as it is");
    return;
  }
  ui.trace("copied " + from + " to " + to);
}

}  // namespace

std::string readmeCommand(const std::string& readme, const std::string& destination) {
  bool rooted = (!readme.empty() && readme[0] == '\\') || isDriveLetterPath(readme, 0) ||
                (readme.size() > 1 && readme[0] == '"' &&
                 (readme[1] == '\\' || isDriveLetterPath(readme, 1)));
  return "notepad " + (rooted ? readme : destination + "\\" + readme);
}

bool needsShutdownPrivilege(double windowsVersion) {
  return windowsVersion >= 3.5 && windowsVersion <= 3.6;
}

int restart(System& sys, RebootMode mode) {
  if (mode != RebootMode::Windows && mode != RebootMode::System) return 0;
  const double version = windowsVersionOf(sys.machine().versionWord());
  const std::string temp = temporaryFolder(sys);
  sys.files().deleteFile(temp + kTempBatName);
  sys.files().deleteFile(temp + kTempPifName);
  if (needsShutdownPrivilege(version) && !sys.machine().enableShutdownPrivilege()) return 0;
  // Both modes make the same request: the system decides what a restart means.
  return sys.machine().requestRestart() ? 1 : 0;
}

RestartOutcome exitHandler(System& sys, Ui& ui, InstallState* state, const MacroValues& macros) {
  if (!state) return RestartOutcome::NotAsked;
  FinishRecords& finish = state->finish;
  // A silent deployment leaves no window behind: the answers file may keep these closed.
  auto declined = [&ui](const char* key, const std::string& what) {
    std::optional<std::string> given = ui.answer(key);
    if (!given || !equalsNoCase(*given, "No")) return false;
    ui.trace("not started (" + std::string(key) + "=No): " + what);
    return true;
  };
  if (!finish.readme.empty()) {
    std::string readme = finish.readme;
    expandMacros(macros, readme);
    std::string command = readmeCommand(readme, macros.defaultDir);
    if (!declined("Readme", command)) start(sys, ui, command, kShowDefault);
  }
  for (const std::string& command : finish.runAtExit)
    if (!command.empty() && !declined("RunAtExit", command)) start(sys, ui, command, kShowDefault);

  if (finish.rebootMode == RebootMode::None) return RestartOutcome::NotAsked;
  const MessageRequest question = installerBox(state->settings.prompts.reboot, MsgIcon::Question,
                                               MsgButtons::YesNo, true, "Reboot");
  if (ui.messageBox(question) == MsgResult::No) finish.rebootMode = RebootMode::None;
  if (finish.rebootMode == RebootMode::None) return RestartOutcome::Declined;
  if (restart(sys, finish.rebootMode) == 0) {
    ui.trace("restart refused by the system");
    return RestartOutcome::Refused;
  }
  ui.trace("restart requested");
  return RestartOutcome::Requested;
}

void applicationEnd(System& sys, Ui& ui, const InstallState* state, const MacroValues& macros,
                    Container& container) {
  if (state && state->engine.logging) copyUninstaller(sys, ui, *state, macros);
  container.closeContainer();
  if (sys.machine().modulePath().find(kTempCopyMark) != std::string::npos) {
    const std::string temp = temporaryFolder(sys);
    start(sys, ui, temp + kTempPifName + " /C " + temp + kTempBatName, kShowHidden);
  }
}

int finishExitCode(int installExitCode, RestartOutcome restart) {
  if (installExitCode != 0) return installExitCode;
  return restart == RestartOutcome::Declined || restart == RestartOutcome::Refused
             ? kExitRestartPending
             : 0;
}

}  // namespace qm
