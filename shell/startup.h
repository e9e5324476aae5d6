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
constexpr size_t kMaxCommandLineChars = 999;
constexpr int kMaxOptions = 3;

// Command-line tokens: up to three "-" options and the last script token (made absolute against
// programDir when it names neither a drive nor a directory).
struct CommandLine {
  std::string options[kMaxOptions];
  int optionCount = 0;
  std::string scriptPath;  // empty when no script was named
};
CommandLine parseCommandLine(const std::string& arguments, const std::string& programDir);

// The script beside the program: its extension replaced by "cfg".
std::string defaultScriptPath(const std::string& programPath);

// True when a line of the script begins in column 1 with "INSERTDISK:" in any case.
bool isInsertDiskLine(const std::string& line);

// Runs start-up to its end.
StartupResult startUp(Run& run, StartupHooks& hooks);

// The exit code for a start-up that did not carry on into the message loop.
inline int startupExitCode(StartupResult result) { return result == StartupResult::Failed ? 1 : 0; }

}  // namespace qm
