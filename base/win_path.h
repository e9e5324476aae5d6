// Windows path rules, one set for the installer, the uninstaller, the vendor's tool and the
// simulated machine: how a path is taken apart and made canonical, and how a directory is
// written before it is made current or has a name joined to it.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

// A full path after resolution: a drive letter and names, without "." and "..".
struct WinPath {
  char drive = 'C';
  std::vector<std::string> parts;
  std::string text() const;  // "C:\A\B", "C:\" for the root
  bool isRoot() const { return parts.empty(); }
};

// A path as Windows reads it: "/" is "\", "." and ".." are resolved (".." stops at the root),
// every name loses its trailing dots and blanks (a wildcard pattern keeps them), empty names are
// dropped. A path without a drive, or without a leading backslash, is taken against current.
// nullopt for a UNC path, a drive that is no letter, or a name with a byte no name may hold.
std::optional<WinPath> resolveWinPath(std::string_view path, const WinPath& current);

// A directory to make current or to compare: trailing backslashes go, a drive root keeps its
// own ("C:\"), and "\" stays the root of the current drive.
std::string withoutTrailingBackslash(std::string_view dir);
// A directory that names are joined to with a backslash ($WINDIR$ + "\WIN.INI"): every trailing
// backslash goes, a drive root's too ("C:\" becomes "C:").
std::string joinableDirectory(std::string_view dir);

// CON, PRN, AUX, NUL, COM1 to COM9, LPT1 to LPT9 (with any extension): a device, never a file
// or folder.
bool isDeviceName(std::string_view name);

}  // namespace qm
