// The system-configuration phases the installation driver runs: AUTOEXEC.BAT, CONFIG.SYS, INI
// files and text additions at their places in the copy order, and the registry blocks and program
// items after a successful installation. Each step lives in its own file; this class only routes.
#pragma once

#include <string>

#include "engine/install_driver.h"

namespace qm {

class Engine;

class SystemConfiguration final : public ConfigurationPhases {
 public:
  void editAutoexec(Engine& engine) override;
  void editConfig(Engine& engine) override;
  void editIniFiles(Engine& engine) override;
  void addTexts(Engine& engine) override;
  void applyRegistry(Engine& engine) override;
  void createProgramItems(Engine& engine) override;
};

// The registry blocks of the script (registry_apply.cpp).
void applyRegistryBlocks(Engine& engine);
// The program groups and items of the script over the shell's DDE service (program_items.cpp).
void applyProgramItems(Engine& engine);

// Where Windows 4.0 and later list what can be removed (Control Panel, Add/Remove Programs).
constexpr const char* kUninstallEntriesKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
// The entry's key name: the TITLE text without backslashes and control characters, or the
// destination's last folder when the script gives no title.
std::string uninstallEntryName(const std::string& title, const std::string& defaultDir);
// On Windows 4.0 and later, with logging on and the uninstaller installed beside the log: the
// installation's entry under kUninstallEntriesKey (registry_apply.cpp), each key and value
// recorded in instback.log so that the uninstaller removes them.
void registerUninstallEntry(Engine& engine);

}  // namespace qm
