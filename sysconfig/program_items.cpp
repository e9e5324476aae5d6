#include "sysconfig/system_configuration.h"

namespace qm {

void applyProgramItems(Engine& engine) {}

}  // namespace qm
