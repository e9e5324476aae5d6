// Program Manager groups and items: the command texts sent to the shell and the step that sends
// them after a successful installation.
#pragma once

#include <string>
#include <vector>

#include "engine/install_log.h"
#include "platform/system.h"
#include "records/config_records.h"
#include "script/macros.h"

namespace qm {

// "[AddItem(...)]" for an item: command line, title, icon file and working directory expanded,
// the icon index as written.
std::string addItemCommand(const ProgramItem& item, const MacroValues& macros);

// Sends one command in a conversation of its own; true when the shell carried it out.
bool sendToShell(ProgramGroups& shell, const std::string& command);

// Carries out the items in script order and records a WINITEM line for each group or item added.
// Nothing happens when the DDE client cannot start; a shell that is missing or refuses a command
// is not reported.
void runProgramItems(ProgramGroups& shell, InstallLog& log, const MacroValues& macros,
                     const std::vector<ProgramItem>& items);

}  // namespace qm
