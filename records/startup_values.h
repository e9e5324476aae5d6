// Values worked out once at start-up and read by the rest of the run. The directory macros
// ($SOURCEDIR$, $WINDIR$ ...) live in MacroValues; these are the others.
#pragma once

#include <string>

namespace qm {

// The temporary copy a multi-disk installation relaunches from, and its clean-up files: start-up
// writes them, the finish removes them.
constexpr const char* kTempCopyMark = "~0000";
constexpr const char* kTempExeName = "~0000.exe";
constexpr const char* kTempPifName = "~0000.pif";
constexpr const char* kTempBatName = "~0000.bat";

struct StartupValues {
  std::string programDir;   // ends with a backslash
  std::string programPath;  // the program's own file: also the archive container
  std::string scriptPath;
  std::string options[3];  // the first three "-" options, without the "-"
  std::string switches;    // the deployment switches, passed on to the temporary copy
  int screenWidth = 0;
  int screenHeight = 0;
  char bootDrive = 'C';  // 'A' when A:\ is a fixed disk
  double windowsVersion = 0;
  double dosVersion = 0;
  bool mainWindowExists = false;  // message boxes are owned by the main window once it exists
};

}  // namespace qm
