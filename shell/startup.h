// Start-up: from the moment the program starts to the start message. Works out the program,
// script and system directories, reads the command line, relaunches from a temporary copy when
// a multi-disk installation runs from a removable disk, and otherwise parses the script and shows
// the main window.
#pragma once

#include <string>

#include "shell/run.h"

namespace qm {

// The parts of a normal start that belong to windows and to the parser, in the order start-up
// calls them. The defaults do nothing, so a test double overrides only what it watches.
class StartupHooks {
 public:
  virtual ~StartupHooks() = default;
  virtual void createWindowBrush(Run& run) {}
  virtual void createMainWindow(Run& run) {}
  // Light grey dialog backgrounds with black text.
  virtual void setDialogColours(Run& run) {}
  // First pass over run.startup.scriptPath into *run.state: 0 good, else failed (the parser has
  // shown its own message).
  virtual int parse(Run& run) { return 0; }
  // Titles the main window, shows it maximised and paints it; it owns message boxes from here.
  virtual void showMainWindow(Run& run) {}
  // Shows the intro screen (run.state names its bitmap); true when it will post the start
  // message itself when it ends.
  virtual bool showIntro(Run& run) { return false; }
  // Posts the start message (1025) to the main window.
  virtual void postStart(Run& run) {}
};

enum class StartupResult {
  Started,     // carry on into the message loop
  Failed,      // a message was shown; the program ends (exit code 1)
  Relaunched,  // the temporary copy was started; the program ends (exit code 0)
};

constexpr const char* kMainWindowTitle = "Quillmount";
// The exit code of a waited-for temporary copy whose end could not be read: a failure.
constexpr int kCopyLost = 3;
constexpr size_t kMaxCommandLineChars = 999;
constexpr int kMaxOptions = 3;

// Command-line tokens: up to three "-" options and the last script token (made absolute against
// programDir when it names neither a drive nor a directory). The deployment switches
// /ANSWERS=FILE and /LOG=FILE (any case, the value quoted when it holds blanks) are taken out
// first, wherever they stand; every other token is read as it always was.
struct CommandLine {
  std::string options[kMaxOptions];
  int optionCount = 0;
  std::string scriptPath;   // empty when no script was named
  std::string answersFile;  // /ANSWERS=, empty when not given
  std::string logFile;      // /LOG=, empty when not given
};
CommandLine parseCommandLine(const std::string& arguments, const std::string& programDir);

// The switches as the temporary copy is given them again (" /ANSWERS=..." ...), or "".
std::string deploymentSwitches(const CommandLine& commandLine);

// The first line of every run's trace: when, which program and script, and the machine it runs
// on. dateTime is the local "YYYY-MM-DD HH:MM:SS".
std::string traceHeader(System& sys, const std::string& dateTime);
constexpr const char* kTraceHeaderWord = "run";

// A program started from a network share may be told its path in the long form
// ("\\?\UNC\server\share\SETUP.EXE"); the script, the directories and every message use the
// ordinary one ("\\server\share\SETUP.EXE").
std::string withoutLongPathPrefix(const std::string& path);

// The script beside the program: its extension replaced by "cfg".
std::string defaultScriptPath(const std::string& programPath);

// True when a line of the script begins in column 1 with "INSERTDISK:" in any case.
bool isInsertDiskLine(const std::string& line);

// Runs start-up to its end.
StartupResult startUp(Run& run, StartupHooks& hooks);

// The exit code for a start-up that did not carry on into the message loop: a relaunch that
// waited for its copy ends with the copy's code.
inline int startupExitCode(StartupResult result, const Run& run) {
  if (result == StartupResult::Failed) return 1;
  return run.waitForCopy ? run.copyExitCode : 0;
}

}  // namespace qm
