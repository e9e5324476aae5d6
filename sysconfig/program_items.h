// Program Manager groups and items: the command texts sent to the shell and the step that sends
// them after a successful installation.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/install_log.h"
#include "platform/system.h"
#include "records/config_records.h"
#include "script/macros.h"

namespace qm {

class Engine;

// A name or text as one argument of the shell's DDE commands: between quotes when it holds a
// comma, a parenthesis, a bracket or blanks at its ends, which would otherwise end, split or
// trim it; nullopt for one holding a quote, which no argument can carry.
std::optional<std::string> ddeArgument(const std::string& text);

// "[AddItem(...)]" for an item: command line, title, icon file and working directory expanded
// and quoted as the shell needs, the icon index as written; nullopt when a title, icon file or
// folder holds a quote.
std::optional<std::string> addItemCommand(const ProgramItem& item, const MacroValues& macros);

enum class ShellAnswer { Done, Refused, None };

// Sends one command in a conversation of its own: Done when the shell carried it out, Refused
// when it did not, None when no shell took up the conversation.
ShellAnswer sendToShell(ProgramGroups& shell, const std::string& command);

// Carries out the items in script order and records a WINITEM line for each group or item the
// shell added (and the item's command line in instback.log). Nothing happens when the DDE client
// cannot start; a command the shell refuses is traced and not logged. With no shell to answer,
// the items are traced and logged as the script asks for them.
void runProgramItems(ProgramGroups& shell, Engine& engine, const std::vector<ProgramItem>& items);

}  // namespace qm
