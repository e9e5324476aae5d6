// Records the script fills for the dialogs and screens: ASK questions, screen templates, option
// groups, pop-up messages.
#pragma once

namespace qm {

struct ScreenRecords {};

}  // namespace qm
