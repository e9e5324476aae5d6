#include "sysconfig/program_items.h"

#include "base/text.h"
#include "engine/engine.h"
#include "sysconfig/system_configuration.h"

namespace qm {

namespace {

std::string expanded(const MacroValues& macros, std::string text) {
  expandMacros(macros, text);
  return text;
}

}  // namespace

std::string addItemCommand(const ProgramItem& item, const MacroValues& macros) {
  const std::string command = expanded(macros, item.command);
  const std::string title = expanded(macros, item.title);
  const std::string icon = expanded(macros, item.iconFile);
  const std::string dir = expanded(macros, item.workingDir);
  std::string text = "[AddItem(" + command;
  if (!title.empty()) {
    text += ", " + title;
    // The shell's arguments are positional: icon file, icon index, x and y (-1 for the default
    // place), working directory. Missing ones before a given one stay empty.
    if (!icon.empty()) {
      text += ", " + icon;
      if (!item.iconIndex.empty()) {
        text += ", " + item.iconIndex;
        if (!dir.empty()) text += ", -1, -1," + dir;
      } else if (!dir.empty()) {
        text += ", , -1, -1," + dir;
      }
    } else if (!dir.empty()) {
      text += ", , , -1, -1," + dir;
    }
  }
  return text + ")]";
}

bool sendToShell(ProgramGroups& shell, const std::string& command) {
  if (!shell.connectShell()) return false;
  const bool done = shell.executeShellCommand(command);
  shell.disconnectShell();
  return done;
}

void runProgramItems(ProgramGroups& shell, InstallLog& log, const MacroValues& macros,
                     const std::vector<ProgramItem>& items) {
  if (items.empty() || !shell.startShellClient()) return;
  std::string current;
  for (const auto& item : items) {
    std::string group = item.group;
    expandLeadingMacro(macros, group);
    if (item.mode == 2 && item.command.empty()) {
      sendToShell(shell, "[DeleteGroup(" + group + ")]");
      // The deleted group is no longer the shell's active one: a later entry for it must create
      // it again.
      if (equalsNoCase(current, group)) current.clear();
      continue;
    }
    if (current.empty() || !equalsNoCase(current, group)) {
      // Also makes an existing group the active one.
      sendToShell(shell, "[CreateGroup(" + group + ")]");
      current = group;
    }
    if (item.command.empty()) {
      log.record(WinItemRecord{group, item.title});
      continue;
    }
    if (item.mode == 2) {
      sendToShell(shell, "[DeleteItem(" + item.title + ")]");
      continue;
    }
    // The shell removes the item and puts the next one added in its place.
    if (item.mode == 1) sendToShell(shell, "[ReplaceItem(" + item.title + ")]");
    sendToShell(shell, addItemCommand(item, macros));
    log.record(WinItemRecord{group, item.title});
  }
}

void applyProgramItems(Engine& engine) {
  runProgramItems(engine.sys, engine.log, engine.macros, engine.state.config.programItems);
}

}  // namespace qm
