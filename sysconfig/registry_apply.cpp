#include "sysconfig/system_configuration.h"

namespace qm {

void applyRegistryBlocks(Engine& engine) {}

}  // namespace qm
