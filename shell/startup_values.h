// Values worked out once at start-up and read by the rest of the run. The directory macros
// ($SOURCEDIR$, $WINDIR$ ...) live in MacroValues; these are the others.
#pragma once

#include <string>

namespace qm {

struct StartupValues {
  std::string programDir;   // ends with a backslash
  std::string programPath;  // the program's own file: also the archive container
  std::string scriptPath;
  std::string options[3];   // the first three "-" options, without the "-"
  int screenWidth = 0;
  int screenHeight = 0;
  char bootDrive = 'C';     // 'A' when A:\ is a fixed disk
  double windowsVersion = 0;
  double dosVersion = 0;
  bool mainWindowExists = false;  // message boxes are owned by the main window once it exists
};

}  // namespace qm
