#include "engine/install_driver.h"

#include "base/text.h"
#include "base/win_path.h"
#include "engine/engine.h"
#include "engine/engine_statements.h"
#include "engine/file_copy.h"
#include "engine/file_ops.h"
#include "engine/install_lock.h"
#include "script/deferred.h"
#include "ui/dialogs.h"
#include "ui/disk_prompt.h"
#include "ui/screen_dialogs.h"

namespace qm {

namespace {

constexpr int32_t kMaxProgress = 0x7FFFFFFF;

// One phase's verdict: go on, or abort with the reason the exit code reports.
enum class Step { Go, Quit, Fail };

Step fromOutcome(Engine& engine, DialogOutcome outcome) {
  switch (outcome) {
    case DialogOutcome::Ok:
      return Step::Go;
    case DialogOutcome::Cancel:
      return Step::Quit;
    case DialogOutcome::Failed:
      engine.unanswerable = true;
      return Step::Fail;
  }
  return Step::Fail;
}

bool hasDrive(const std::string& path) { return path.size() >= 2 && path[1] == ':'; }

bool selected(const Engine& engine, const FileEntry& entry) {
  if (!entry.hasGroups()) return true;
  for (uint32_t index : entry.groups) {
    if (index == kNoGroup) break;
    if (optionGroupSelected(engine.state, index)) return true;
  }
  return false;
}

Step checkProcessor(Engine& engine) {
  int required = engine.state.engine.requiredProcessor;
  if (required <= 0) return Step::Go;
  int reported = engine.sys.machine().processorType();
  bool tooOld = (required >= 486 && reported == 386) || (required >= 586 && reported == 486);
  if (!tooOld) return Step::Go;
  engine.warn(engine.state.settings.prompts.cpu + std::to_string(required), true);
  return Step::Fail;
}

Step showScreen(Engine& engine, std::optional<DialogTemplate>& screen, const char* topic) {
  if (!screen) return Step::Go;
  DialogOutcome outcome = runScreenDialog(engine.ui, engine.texts, *screen, topic);
  screen.reset();  // shown once, then released
  return fromOutcome(engine, outcome);
}

// One destination chosen: its macros expanded, its drive completed, and asked unless its mode
// says not to (the dialog makes the directory it accepts).
Step chooseDirectory(Engine& engine, const DestinationRecord& record, const char* topic,
                     std::string& path, int& mode) {
  DestinationRequest request = prepareDestination(record, engine.texts);
  expandMacros(engine.macros, request.path);
  request.path = completeDrive(request.path);
  mode = request.mode;
  if (mode >= 1 && mode <= 3) {
    // What is typed is made canonical before any folder is made, so a refused path leaves none.
    DirectoryMaker maker = [&engine](const std::string& dir) {
      const std::optional<std::string> canonical = canonicalDestination(dir);
      return canonical && createPath(engine, *canonical, false) == 0;
    };
    DialogOutcome outcome = runDestinationDialog(engine.ui, engine.texts, request, maker, topic);
    Step step = fromOutcome(engine, outcome);
    if (step != Step::Go) return step;
  }
  const std::optional<std::string> canonical = canonicalDestination(request.path);
  if (!canonical) {
    engine.ui.trace("destination " + request.path + " cannot be a folder");
    engine.warn(engine.state.settings.prompts.badDir, true, "");
    return Step::Fail;
  }
  path = *canonical;
  // A deployment reads where the files went from the trace, asked or not.
  engine.ui.trace(std::string("destination ") + topic + ": " + path +
                  (mode >= 1 && mode <= 3 ? "" : " (not asked)"));
  return Step::Go;
}

// An unasked directory is made now, level by level.
Step makeUnasked(Engine& engine, const std::string& path, int mode) {
  if (mode >= 1 && mode <= 3) return Step::Go;
  return createPath(engine, path) == 0 ? Step::Go : Step::Fail;
}

// What the default destination settles before an unasked directory is made: the macros, the
// log and the free space of its drive.
bool settleDefaultDir(Engine& engine, const std::string& path, int mode) {
  // A root is "C:" in the macro, so that "$DEFAULTDIR$\NAME" names a path.
  engine.macros.defaultDir = joinableDirectory(path);
  engine.macros.defaultDir8 =
      joinableDirectory(engine.sys.files().shortPathName(path).value_or(path));
  engine.macros.defaultDrive = path.substr(0, 1);
  engine.currentDrive = toUpperAscii(path[0]) - 'A' + 1;
  engine.log.setDirectory(engine.macros.defaultDir);
  // The unasked form carries a line end of its own; the uninstaller has always read it so.
  engine.log.record(DefaultDirRecord{path, mode < 1 || mode > 3});
  std::optional<uint64_t> free = engine.sys.files().freeSpace(path.substr(0, 1) + ":\\");
  if (!free) {
    engine.warn(engine.state.settings.prompts.badDrive, true);
    return false;
  }
  engine.state.engine.freeSpace = *free;
  return true;
}

Step destinationPhase(Engine& engine) {
  Settings& settings = engine.state.settings;
  DestinationRecord fallback;
  fallback.mode = 3;
  fallback.path = defaultDestination(engine.startup.bootDrive);
  const DestinationRecord& record =
      settings.destinations[kDefaultDirIndex] ? *settings.destinations[kDefaultDirIndex] : fallback;
  std::string path;
  int mode = 3;
  Step step = chooseDirectory(engine, record, "DefaultDir", path, mode);
  if (step != Step::Go) return step;
  if (!settleDefaultDir(engine, path, mode)) return Step::Fail;
  if ((step = makeUnasked(engine, path, mode)) != Step::Go) return step;
  // An unasked directory has a short form only now that it exists.
  engine.macros.defaultDir8 =
      joinableDirectory(engine.sys.files().shortPathName(path).value_or(path));

  const char* topics[] = {"", "Dir2", "Dir3"};
  for (int i = kDir2Index; i <= kDir3Index; ++i) {
    if (!settings.destinations[i]) continue;
    std::string dir;
    if ((step = chooseDirectory(engine, *settings.destinations[i], topics[i], dir, mode)) !=
        Step::Go)
      return step;
    if ((step = makeUnasked(engine, dir, mode)) != Step::Go) return step;
    (i == kDir2Index ? engine.macros.dir2 : engine.macros.dir3) = joinableDirectory(dir);
  }
  // Copies start from the destination.
  engine.sys.files().setCurrentDirectory(path);
  return Step::Go;
}

uint64_t neededSpace(const Engine& engine) {
  const EngineRecords& records = engine.state.engine;
  const GroupTables& groups = engine.state.screens.groups;
  uint64_t needed = records.baseSpace;
  for (int i = 0; i < groups.count && i < kMaxGroupIndexes; ++i) {
    if (!groups.selected[i]) continue;
    int number = groups.numberOfIndex[i];
    std::optional<uint64_t> space;
    if (number >= 0 && number < kGroupNumbers) space = records.spaceByGroupNumber[number];
    needed += space.value_or(1);
  }
  return needed;
}

Step diskSpacePhase(Engine& engine, uint64_t needed) {
  if (needed != 0 && engine.state.engine.freeSpace < needed) {
    engine.warn(engine.state.settings.prompts.noSpace, true);
    return Step::Fail;
  }
  return Step::Go;
}

void showPopupFor(Engine& engine, const FileEntry& entry) {
  const auto& popups = engine.state.screens.popups;
  if (entry.popId <= 0 || popups.empty()) return;
  for (size_t i = 0; i < popups.size(); ++i) {
    if (popups[i].number != entry.popId) continue;
    engine.windows().showPopup(static_cast<int>(i));
    engine.popupShown = static_cast<int>(i);
    engine.ui.trace("popup " + std::to_string(entry.popId));
    return;
  }
}

Step copyLoop(Engine& engine) {
  EngineRecords& records = engine.state.engine;
  for (records.position = 0; records.position < static_cast<int>(records.files.size());
       ++records.position) {
    FileEntry& entry = records.files[records.position];
    showPopupFor(engine, entry);
    if (engine.progressShown) {
      if (engine.popupShown >= 0) engine.windows().placeProgressBelowPopup();
    } else if (records.fileStatements > 0) {
      engine.progress().open(records.fileStatements);
      engine.windows().createProgress(records.fileStatements);
      engine.progressShown = true;
    }

    if (entry.isDisk()) {
      int disk = records.position;
      engine.currentDiskEntry = disk;
      int last = static_cast<int>(records.files.size()) - 1;
      while (records.position < last && !records.files[records.position + 1].isDisk() &&
             !selected(engine, records.files[records.position + 1]))
        ++records.position;
      if (records.position < last && !records.files[records.position + 1].isDisk()) {
        const FileEntry& d = records.files[disk];
        DiskEntry ask{d.diskName, d.volumeLabel, d.diskMarker};
        int answer = engine.askForDisk(&ask, nullptr);
        if (answer == kDiskFailed) {
          engine.unanswerable = true;
          return Step::Fail;
        }
        if (answer != kDiskReady) return answer == kDiskQuit ? Step::Quit : Step::Fail;
      }
      continue;
    }
    if (!selected(engine, entry)) continue;
    if (copyEntry(engine, entry) != 0) return engine.cancel ? Step::Quit : Step::Fail;
    if (engine.log.failed()) return Step::Fail;
    engine.progressMessage(1);
  }
  return Step::Go;
}

void endProgress(Engine& engine) {
  if (engine.progressShown) {
    if (!engine.state.engine.anyCompressed && engine.progressTotal > 0) {
      engine.progressCounter = engine.progressTotal;
      engine.progressMessage(1);
    }
    engine.windows().destroyProgress();
    engine.progressShown = false;
  }
  if (engine.popupShown >= 0) {
    engine.windows().showPopup(-1);
    engine.popupShown = -1;
  }
}

void registerServers(Engine& engine) {
  for (std::string path : engine.state.engine.servers) {
    expandMacros(engine.macros, path);
    if (!(hasDrive(path) || (!path.empty() && path[0] == '\\')))
      path = engine.destination() + "\\" + path;
    if (registerServer(engine, path)) {
      engine.log.record(RegServerRecord{path});
      engine.ui.trace("registered " + path);
    } else {
      engine.ui.trace("not registered " + path);
    }
  }
}

// Once a line could not be written to the install log, every further change would be one the
// uninstaller cannot undo: the installation stops, and says why.
Step logWritten(Engine& engine) {
  if (!engine.log.failed()) return Step::Go;
  engine.warn("The install log " + engine.log.path() +
                  " could not be written (the disk may be full). The installation stops here.",
              true);
  return Step::Fail;
}

Step runPhases(Engine& engine) {
  InstallState& state = engine.state;
  Step step = checkProcessor(engine);
  if (step != Step::Go) return step;
  engine.ui.trace("phase first screen");
  if ((step = showScreen(engine, state.screens.firstScreen, "FirstScreen")) != Step::Go)
    return step;
  engine.ui.trace("phase questions");
  step = fromOutcome(engine, runAskDialogs(engine.ui, engine.texts, state.screens, engine.macros));
  if (step != Step::Go) return step;
  engine.ui.trace("phase groups");
  step = fromOutcome(engine, runGroupDialogs(engine.ui, engine.texts, state.screens));
  if (step != Step::Go) return step;
  if (!state.deferred.blocks.empty() || state.deferred.count != 0) {
    engine.ui.trace("phase second pass");
    if (reparseDeferredBlocks(engine.sys, engine.ui, engine.macros, engine.startup, state) != 0)
      return Step::Fail;
    engine.texts = dialogTexts(state.settings);
  }
  engine.ui.trace("phase destination");
  if ((step = destinationPhase(engine)) != Step::Go) return step;
  if ((step = logWritten(engine)) != Step::Go) return step;
  uint64_t needed = neededSpace(engine);
  engine.ui.trace("phase disk space: needed " + std::to_string(needed) + ", free " +
                  std::to_string(state.engine.freeSpace));
  if ((step = diskSpacePhase(engine, needed)) != Step::Go) return step;
  if (needed > 100)
    engine.progressTotal = static_cast<int32_t>(std::min<uint64_t>(needed, kMaxProgress));
  if (state.engine.progressSize > 100)
    engine.progressTotal =
        static_cast<int32_t>(std::min<int64_t>(state.engine.progressSize, kMaxProgress));

  const UninstallTexts& texts = state.finish.uninstall;
  engine.log.record(BeginPromptRecord{texts.begin});
  engine.log.record(EndPromptRecord{texts.end});
  engine.log.record(TitlePromptRecord{texts.title});

  engine.ui.trace("phase renames");
  for (const RenameEntry& r : state.engine.renames) renameEntry(engine, r);
  if ((step = logWritten(engine)) != Step::Go) return step;
  engine.ui.trace("phase copy");
  step = copyLoop(engine);
  if (step == Step::Fail && engine.log.failed()) return logWritten(engine);
  if (step != Step::Go) return step;
  endProgress(engine);

  engine.ui.trace("phase system files");
  if (engine.config) {
    for (auto edit : {&ConfigurationPhases::editAutoexec, &ConfigurationPhases::editConfig,
                      &ConfigurationPhases::editIniFiles}) {
      (engine.config->*edit)(engine);
      if ((step = logWritten(engine)) != Step::Go) return step;
    }
  }
  engine.ui.trace("phase servers");
  registerServers(engine);
  if ((step = logWritten(engine)) != Step::Go) return step;
  if (engine.config) engine.config->addTexts(engine);
  if ((step = logWritten(engine)) != Step::Go) return step;
  engine.ui.trace("phase last screen");
  if ((step = showScreen(engine, state.screens.lastScreen, "LastScreen")) != Step::Go) return step;
  engine.ui.trace("phase deletions");
  for (const std::string& d : state.engine.deletes) deleteEntry(engine, d);
  for (std::string& command : state.finish.runAtExit) expandMacros(engine.macros, command);
  return Step::Go;
}

}  // namespace

std::optional<std::string> canonicalDestination(const std::string& path) {
  const std::optional<WinPath> p = resolveWinPath(completeDrive(path), WinPath{});
  if (!p || p->text().size() > kMaxFolderPathChars) return std::nullopt;
  for (const std::string& part : p->parts)
    if (isDeviceName(part) || hasWildcard(part)) return std::nullopt;
  return p->text();
}

std::string defaultDestination(char bootDrive) {
  std::string path = "C:\\NEWFILES";
  path[0] = bootDrive;
  return path;
}

std::string completeDrive(const std::string& path) {
  if (hasDrive(path)) return path;
  if (!path.empty() && path[0] == '\\') return "C:" + path;
  return "C:\\" + path;
}

int install(Engine& engine) {
  engine.texts = dialogTexts(engine.state.settings);
  engine.end = InstallEnd::Completed;
  Step step = runPhases(engine);
  // End step: whatever screens were not shown are released.
  engine.state.screens.firstScreen.reset();
  engine.state.screens.lastScreen.reset();
  if (step == Step::Go) {
    engine.ui.trace("installation completed");
    return 0;
  }
  endProgress(engine);
  engine.end = (step == Step::Quit && !engine.unanswerable) ? InstallEnd::Quit : InstallEnd::Failed;
  engine.state.finish.rebootMode = RebootMode::None;
  engine.ui.trace(engine.end == InstallEnd::Quit ? "installation cancelled"
                                                 : "installation failed");
  return 1;
}

int startMessage(Engine& engine) {
  engine.windows().destroyIntro();
  // Nothing is changed before the machine's installation lock is held.
  LockOutcome lock = waitForOtherInstallations(engine.sys, engine.ui);
  if (lock != LockOutcome::Held)
    engine.end = lock == LockOutcome::Cancelled ? InstallEnd::Quit : InstallEnd::OtherInstallation;
  int result = lock == LockOutcome::Held ? install(engine) : 1;
  if (result != 0) {
    engine.state.finish.readme.clear();
    engine.state.finish.runAtExit.clear();
  } else if (engine.config) {
    engine.config->applyRegistry(engine);
    engine.config->createProgramItems(engine);
  }
  return result;
}

int installExitCode(const Engine& engine, int installResult) {
  if (installResult == 0) return 0;
  if (engine.end == InstallEnd::OtherInstallation) return kOtherInstallationExitCode;
  return engine.end == InstallEnd::Quit ? 2 : 3;
}

}  // namespace qm
