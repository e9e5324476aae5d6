// Records the script fills for the installation engine: file list, disk entries, deletions,
// renames, servers, processor and disk-space requirements, the log switch.
#pragma once

namespace qm {

struct EngineRecords {};

}  // namespace qm
