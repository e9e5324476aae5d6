#include "sysconfig/system_configuration.h"

namespace qm {

void SystemConfiguration::editAutoexec(Engine& engine) {}
void SystemConfiguration::editConfig(Engine& engine) {}
void SystemConfiguration::editIniFiles(Engine& engine) {}
void SystemConfiguration::addTexts(Engine& engine) {}
void SystemConfiguration::applyRegistry(Engine& engine) { applyRegistryBlocks(engine); }
void SystemConfiguration::createProgramItems(Engine& engine) { applyProgramItems(engine); }

}  // namespace qm
