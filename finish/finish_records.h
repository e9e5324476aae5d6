// Records the script fills for the finish: readme, programs run at exit, restart mode, the
// uninstaller's texts.
#pragma once

namespace qm {

struct FinishRecords {};

}  // namespace qm
