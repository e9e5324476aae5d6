// Records the script fills for the finish: readme, programs run at exit, restart mode, the
// uninstaller's texts.
#pragma once

#include <string>
#include <vector>

namespace qm {

constexpr size_t kReadmeChars = 498;
constexpr size_t kRunAtExitChars = 1000;
constexpr size_t kUninstallTitleChars = 1000;

enum class RebootMode { None = 0, Windows = 1, System = 2 };

// The uninstaller's program file: installed by the script beside its log, copied into the Windows
// folder when the installer ends.
constexpr const char* kUninstallerName = "unstall.exe";

// The three texts written at the head of the install log for the uninstaller.
struct UninstallTexts {
  std::string begin = "Do you want this application removed from your system?";
  std::string end = "This application has been successfully removed from your system.";
  std::string title = "UnInstall";
};

struct FinishRecords {
  std::string readme;                  // empty = none; macros expanded when it is opened
  std::vector<std::string> runAtExit;  // command lines in script order, macros unexpanded
  RebootMode rebootMode = RebootMode::None;
  UninstallTexts uninstall;
};

}  // namespace qm
