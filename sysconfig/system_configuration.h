// The system-configuration phases the installation driver runs: AUTOEXEC.BAT, CONFIG.SYS, INI
// files and text additions at their places in the copy order, and the registry blocks and program
// items after a successful installation. Each step lives in its own file; this class only routes.
#pragma once

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

}  // namespace qm
