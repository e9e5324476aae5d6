// One whole installation on a simulated machine, as `quillpack simulate` runs it: the real
// start-up, parser, driver and finish, unattended, following a relaunch into the temporary copy.
#pragma once

#include <string>
#include <vector>

#include "platform/ui_seam.h"
#include "script/settings.h"
#include "shell/screen_bitmap.h"

namespace qm {

// A window the run put up, in the order met: a modal dialog (a script screen or a fixed
// dialog), a message box, a pop-up message, or the progress window.
struct ShownWindow {
  enum class Kind { Dialog, Message, Popup, PopupGone, Progress, ProgressGone };
  Kind kind = Kind::Dialog;
  std::string topic;             // the dialog's or box's topic, "Popup N", "Progress"
  DialogTemplate templateBytes;  // dialogs, pop-ups and the progress window
  bool windowColour = false;     // painted in the window colour (ASK, progress)
  std::string text;              // a message box's text
  // What the dialog's controller put into its controls as it opened (id, text), and the boxes
  // it checked.
  std::vector<std::pair<int, std::string>> controlTexts;
  std::vector<int> checked;
};

// What a run showed, for pictures of it: the main window as the script set it up and the windows
// in front of it.
struct ShownScreens {
  int screenWidth = 0, screenHeight = 0;
  bool mainWindow = false;  // the start-up got as far as showing it
  Settings settings;        // title, title font and colour, background colours
  ScreenBitmap graphic;     // SCREENGRAPHIC, when it could be read
  std::vector<ShownWindow> windows;
};

struct SimulationRequest {
  std::string machineFile;  // host path of the machine file
  std::string answersFile;  // host path; empty: every question gets its default
  std::string traceFile;    // host path; empty: no trace
  std::string recordFile;   // host path; empty: the answers given are not recorded
  std::string program;      // Windows path of the installer on the machine (A:\SETUP.EXE)
  std::vector<std::string> arguments;
  ShownScreens* screens = nullptr;  // when set, filled with what the run showed
};

// One IF condition as the script's first reading tested it on the machine.
struct ConditionResult {
  int line = 0;      // the script line
  std::string text;  // the IF line as written
  int result = 0;    // 1 true, 0 false, -1 malformed, 100 deferred to the user's answers
};

struct SimulationResult {
  int exitCode = 1;
  std::string installLog;  // the install log's text (line feeds only), empty when none was written
  std::string logPath;     // the install log's Windows path, empty when none was set
  std::string error;       // why the simulation itself could not run (bad machine or answers file)
  std::vector<std::string> traceTail;       // the trace's last lines, which say why a run failed
  std::vector<ConditionResult> conditions;  // first-reading IF conditions, in script order
};

SimulationResult runSimulation(const SimulationRequest& request);

// Why the installer could not use an answers file on the host ("FILE:LINE: what"), or "".
std::string answersFileProblem(const std::string& hostPath);

// A shell keeps 8 bits of an exit status, so `quillpack simulate` gives the installer's codes as
// statuses that stay apart: 0 to 3 as they are, 3010 (a restart was asked for) as 10, any other
// code as 11; kSimulateCannotRun when the simulation itself could not run.
constexpr int kSimulateCannotRun = 4;
constexpr int kRestartPendingStatus = 10;
int simulateExitStatus(int installerCode);

}  // namespace qm
