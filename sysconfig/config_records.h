// Records the script fills for system configuration: AUTOEXEC and CONFIG requests, INI entries,
// text additions, registry blocks, program items.
#pragma once

namespace qm {

struct ConfigRecords {};

}  // namespace qm
