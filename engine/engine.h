// The installation engine of one run: the services the driver, the file copy and the other
// phases share (the run's objects, the install log, the progress counters, the current disk
// entry) and the main window's engine messages, which the engine handles itself.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/install_driver.h"
#include "engine/install_log.h"
#include "platform/system.h"
#include "records/engine_records.h"
#include "records/startup_values.h"
#include "script/install_state.h"
#include "script/macros.h"
#include "script/source.h"
#include "ui/dialog_texts.h"
#include "ui/progress_dialog.h"
#include "ui/ui.h"

namespace qm {

struct DiskEntry;

// The modeless windows the copy loop keeps on screen. The Win32 view shows real windows; the
// default keeps nothing, which is all the simulated and unattended runs need.
class EngineWindows {
 public:
  virtual ~EngineWindows() = default;
  virtual void createProgress(int fileCount) {}
  virtual void destroyProgress() {}
  // Controls 101 and 103 of the progress window.
  virtual void setProgressTexts(const std::string& prompt, const std::string& name) {}
  virtual void showPercent(int percent) {}
  // Puts the progress window 24 pixels below the pop-up and makes it active again.
  virtual void placeProgressBelowPopup() {}
  // The pop-up message with that index into the script's pop-ups; -1 destroys the current one.
  virtual void showPopup(int index) {}
  // Removes and dispatches every waiting message; the progress window's Cancel runs in here.
  virtual void pumpMessages() {}
  // Puts the pop-up and the progress window back in front of the main window, which a closed
  // disk prompt leaves active.
  virtual void bringProgressToFront() {}
  // The intro screen, if it is still up when the installation starts.
  virtual void destroyIntro() {}
};

// The compressed-file handling the copy offers every source to first.
class PackageHandler {
 public:
  virtual ~PackageHandler() = default;
  // 0 expanded, -1 failed (already shown) or cancelled, -2 not a package: copy it plainly.
  virtual int extract(const std::string& target, const std::string& source, Overwrite overwrite,
                      uint32_t attributes) = 0;
  // The source is the first volume of a package that goes on in further volumes.
  virtual bool continuesOnAnotherVolume(const std::string& source) = 0;
  // COMPRESSED and SELF-EXTRACT files: the outside unpacker, started and waited for.
  virtual void unpackExternally(const FileEntry& entry, const std::string& source,
                                const std::string& targetDir) = 0;
};

class Engine {
 public:
  Engine(System& sys, Ui& ui, InstallState& state, MacroValues& macros,
         const StartupValues& startup, Container& container);
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  System& sys;
  Ui& ui;
  InstallState& state;
  MacroValues& macros;
  const StartupValues& startup;
  Container& container;
  InstallLog log;
  // Files whose state before the installation's first edit is kept in instback.log.
  std::vector<std::string> priorKept;
  // Shared files whose count this run raised: once each.
  std::vector<std::string> sharedCounted;

  // Packages and outside unpackers: the engine's own extractor unless replaced; none: every
  // source is copied plainly.
  PackageHandler* packages = nullptr;
  // AUTOEXEC, CONFIG, INI, text additions, registry and program items; none: nothing changes.
  ConfigurationPhases* config = nullptr;
  // How the last installation ended; Quit when the user chose to, Failed otherwise.
  InstallEnd end = InstallEnd::Completed;

  void setWindows(EngineWindows* windows) { windows_ = windows ? windows : &noWindows_; }
  EngineWindows& windows() { return *windows_; }

  // --- Process-wide values of the copy.
  int32_t progressTotal = -1;    // bytes expected; byte progress only while above 0
  int32_t progressCounter = 0;   // bytes written or skipped so far
  int32_t lastRefresh = 0;       // the counter at the last refresh
  int currentDiskEntry = -1;     // the last INSERTDISK entry reached; -1 before any
  std::string continuationName;  // the last package volume opened as a continuation
  bool cancel = false;           // set by the progress window's Cancel
  int currentDrive = 0;          // 1 = A:, kept by directory creation
  bool progressShown = false;    // the progress window exists
  int popupShown = -1;           // index of the shown pop-up message, -1 for none
  // Set when a dialog could not be answered unattended: the run ends with code 3, not 2.
  bool unanswerable = false;

  // Byte-based progress: no compressed file in the script and a known total.
  bool byteProgress() const { return !state.engine.anyCompressed && progressTotal > 0; }
  void addProgress(int64_t bytes);

  // --- The main window's engine messages.
  // 1024: completed 1 after a whole file, 0 for a partial step.
  void progressMessage(int completed);
  // 1026: advance (first parameter) moves on to the next disk entry first; a missing file's
  // name (second parameter) is shown in the prompt, and the position is put back afterwards.
  // 0 to go on, above 0 to stop.
  int insertDiskRequest(bool advance, const std::string* missingFile);
  // Every disk prompt of the run goes through here. The user may take the first disk out at the
  // prompt, so the archive container on it is closed, and from then on every source is read
  // from the disk in the drive: an entry still open from the container fails its reads.
  int askForDisk(const DiskEntry* entry, const std::string* missingFile);
  // 1027: the file being copied.
  void copyFileMessage(const std::string& name);
  // Runs the window's waiting messages; returns the cancel flag.
  bool pumpMessages();

  // --- Messages boxes the engine shows.
  MsgResult warn(const std::string& text, bool owned, const std::string& caption = " ");

  // The destination directory ($DEFAULTDIR$).
  const std::string& destination() const { return macros.defaultDir; }

  ProgressDialog& progress() { return progress_; }
  // The dialog texts of the script's prompt settings (taken when the installation starts).
  DialogTexts texts;

 private:
  EngineWindows noWindows_;
  EngineWindows* windows_ = &noWindows_;
  ProgressDialog progress_;
  std::unique_ptr<PackageHandler> extractor_;
};

}  // namespace qm
