// The uninstaller's portable core, shared by unstall.exe and `quillpack uninstall`: reads an
// install log, asks its opening question, undoes every recorded change newest first, puts back
// the files the installation replaced, and reports what it did not undo. Everything goes through
// the OS seam, so the simulated machine runs exactly what a real one does. What each kind of
// change needs to be undone lives in its own file around the shared undo context
// (undo_context.h).
#pragma once

#include <string>
#include <vector>

#include "platform/system.h"

namespace qm {

class Ui;

// Exit codes, as the installer's: done, could not start, the user said No, something was not
// undone.
constexpr int kUninstallDone = 0;
constexpr int kUninstallCannotStart = 1;
constexpr int kUninstallDeclined = 2;
constexpr int kUninstallIncomplete = 3;

// The log the uninstaller is to read: the quoted first argument, else the whole rest of the
// command line (a path cannot hold a quote, but it can hold blanks), or install.log beside the
// program when there is none.
std::string uninstallLogPath(const std::string& arguments, const std::string& modulePath);

// Why a path from the log must not be touched, or empty when it may be: it must be a full path
// on a drive, below the root, without wildcards, climbing parts or device tricks, and neither the
// Windows nor the system folder itself.
std::string unsafePathReason(const std::string& path, const std::string& windowsDir,
                             const std::string& systemDir);

struct UninstallReport {
  std::vector<std::string> done;      // each change undone
  std::vector<std::string> notes;     // left on purpose (already gone, not empty, kept)
  std::vector<std::string> problems;  // not undone: the exit code is 3
  // Left on purpose because someone changed it since the installation (a file, a value, a key
  // holding what is not the installation's): the exit code is 3 too, and nothing is said to be
  // removed successfully.
  std::vector<std::string> left;
};

class Uninstaller {
 public:
  Uninstaller(System& sys, Ui& ui) : sys_(sys), ui_(ui) {}

  // The whole run for one log. Returns one of the exit codes above.
  int run(const std::string& logPath);
  const UninstallReport& report() const { return report_; }
  // Off for the installer's own undo of a failed run: it has asked its own question and tells
  // the outcome itself.
  bool askAndTell = true;

 private:
  System& sys_;
  Ui& ui_;
  UninstallReport report_;
};

}  // namespace qm
