// Path macros: the run's macro values and the three ways they are expanded into texts.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qm {

constexpr size_t kMaxLineChars = 999;  // a script line and every expanded text
constexpr size_t kMaxPathChars = 499;  // directory macro values

struct MacroValues {
  std::string defaultDir, defaultDir8, defaultDrive;
  std::string dir2, dir3;
  std::string sourceDir, sourceDir8, sourceDrive;
  std::string winDir, winHelpDir, winSysDir;
  std::string system, sys2, sys3;
  std::string locateDir = "C:\\NEWFILES";
  std::string locateDrive = "C";
  std::string ask[5];
  std::string left, right;
  // $SEARCH$: the line number (decimal) of the last successful search condition; replaced only
  // inside ADDTEXT positions.
  std::string search;

  // $WINDRIVE$: the first two characters of the Windows directory.
  std::string winDrive() const { return winDir.substr(0, 2); }
};

// Replaces one macro at the very start of text (fixed order, first match wins).
void expandLeadingMacro(const MacroValues& macros, std::string& text);
// Replaces every occurrence of every directory and answer macro, in the fixed order.
// Every name between dollar signs ("$WINDIR$") that some statement expands, and the test for one.
std::vector<std::string> macroNames();
bool isMacroName(std::string_view name);

void expandMacros(const MacroValues& macros, std::string& text);
// Replaces every $LEFT$, then every $RIGHT$.
void expandLeftRight(const MacroValues& macros, std::string& text);

}  // namespace qm
