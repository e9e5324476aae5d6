#include "sysconfig/system_configuration.h"

#include "sysconfig/text_edits.h"

namespace qm {

void SystemConfiguration::editAutoexec(Engine& engine) { editAutoexecFile(engine); }
void SystemConfiguration::editConfig(Engine& engine) { editConfigFile(engine); }
void SystemConfiguration::editIniFiles(Engine& engine) { applyIniEntries(engine); }
void SystemConfiguration::addTexts(Engine& engine) { applyTextAdditions(engine); }
void SystemConfiguration::applyRegistry(Engine& engine) { applyRegistryBlocks(engine); }
void SystemConfiguration::createProgramItems(Engine& engine) {
  applyProgramItems(engine);
  registerUninstallEntry(engine);
}

}  // namespace qm
