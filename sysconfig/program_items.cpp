#include "sysconfig/program_items.h"

#include <algorithm>

#include "base/text.h"
#include "engine/engine.h"
#include "engine/replaced_files.h"
#include "sysconfig/system_configuration.h"

namespace qm {

namespace {

std::string expanded(const MacroValues& macros, std::string text) {
  expandMacros(macros, text);
  return text;
}

// How long a silent run waits for the shell to open a created group's folder window before it
// closes it; a shell that has to start first takes a few seconds.
constexpr uint32_t kGroupWindowWaitMs = 15000;

// With GroupWindow=No a silent deployment closes the group windows the shell opened for it, so
// none is left on the user's screen. The Program Manager of Windows 3.x and NT 3.51 shows a group
// inside its own window and opens none to wait for.
void closeGroupWindows(ProgramGroups& shell, Engine& engine,
                       const std::vector<std::string>& groups) {
  const std::optional<std::string> given = engine.ui.answer("GroupWindow");
  if (groups.empty() || !given || !equalsNoCase(*given, "No")) return;
  const bool folders = windowsVersionOf(engine.sys.machine().versionWord()) >= 4.0;
  const std::vector<std::string> closed =
      shell.closeShellGroupWindows(groups, folders ? kGroupWindowWaitMs : 0);
  for (const std::string& group : groups) {
    const bool done = std::find(closed.begin(), closed.end(), group) != closed.end();
    engine.ui.trace(std::string("program items: ") +
                    (done ? "closed the window the shell opened for " : "no window came up for ") +
                    group + " (GroupWindow=No)");
  }
}

}  // namespace

std::optional<std::string> ddeArgument(const std::string& text) {
  if (text.find('"') != std::string::npos) return std::nullopt;
  bool plain = text.find_first_of(",()[]") == std::string::npos &&
               (text.empty() || (text.front() != ' ' && text.back() != ' '));
  return plain ? text : "\"" + text + "\"";
}

std::optional<std::string> addItemCommand(const ProgramItem& item, const MacroValues& macros) {
  const std::string command = expanded(macros, item.command);
  const std::string title = expanded(macros, item.title);
  const std::string icon = expanded(macros, item.iconFile);
  const std::string dir = expanded(macros, item.workingDir);
  // A command line may hold quotes of its own; it is quoted only when it needs to be and can be.
  const std::string commandArg = ddeArgument(command).value_or(command);
  std::optional<std::string> titleArg = ddeArgument(title), iconArg = ddeArgument(icon),
                             dirArg = ddeArgument(dir);
  if (!titleArg || !iconArg || !dirArg) return std::nullopt;
  std::string text = "[AddItem(" + commandArg;
  if (!title.empty()) {
    text += ", " + *titleArg;
    // The shell's arguments are positional: icon file, icon index, x and y (-1 for the default
    // place), working directory. Missing ones before a given one stay empty.
    if (!icon.empty()) {
      text += ", " + *iconArg;
      if (!item.iconIndex.empty()) {
        text += ", " + item.iconIndex;
        if (!dir.empty()) text += ", -1, -1," + *dirArg;
      } else if (!dir.empty()) {
        text += ", , -1, -1," + *dirArg;
      }
    } else if (!dir.empty()) {
      text += ", , , -1, -1," + *dirArg;
    }
  }
  return text + ")]";
}

ShellAnswer sendToShell(ProgramGroups& shell, const std::string& command) {
  if (!shell.connectShell()) return ShellAnswer::None;
  const bool done = shell.executeShellCommand(command);
  shell.disconnectShell();
  return done ? ShellAnswer::Done : ShellAnswer::Refused;
}

void runProgramItems(ProgramGroups& shell, Engine& engine, const std::vector<ProgramItem>& items) {
  if (items.empty() || !shell.startShellClient()) return;
  std::string current;
  std::vector<std::string> created;  // each group the shell made active, once
  // A command the shell refused changed nothing it can be asked to undo: it is traced, the item
  // is not logged, and the installation goes on. When no shell answers at all the items are
  // logged as the script asked for them, as they always were; the uninstaller then leaves them
  // to the shell.
  auto send = [&](const std::string& command) {
    const ShellAnswer answer = sendToShell(shell, command);
    if (answer != ShellAnswer::Done)
      engine.ui.trace("program items: the shell did not carry out " + command);
    return answer;
  };
  for (const auto& item : items) {
    std::string group = item.group;
    expandLeadingMacro(engine.macros, group);
    const std::optional<std::string> groupArg = ddeArgument(group);
    const std::string& title = item.title;
    const std::optional<std::string> titleArg = ddeArgument(title);
    auto unnamable = [&] {
      engine.ui.trace("program items: " + group + "\\" + title +
                      " holds a quote and cannot be named to the shell");
    };
    if (!groupArg || !titleArg) {
      unnamable();
      continue;
    }
    if (item.mode == 2 && item.command.empty()) {
      send("[DeleteGroup(" + *groupArg + ")]");
      // The deleted group is no longer the shell's active one: a later entry for it must create
      // it again.
      if (equalsNoCase(current, group)) current.clear();
      std::erase_if(created, [&](const std::string& g) { return equalsNoCase(g, group); });
      continue;
    }
    if (current.empty() || !equalsNoCase(current, group)) {
      // Also makes an existing group the active one.
      const ShellAnswer made = send("[CreateGroup(" + *groupArg + ")]");
      if (made == ShellAnswer::Refused) continue;
      current = group;
      if (made == ShellAnswer::Done &&
          std::none_of(created.begin(), created.end(),
                       [&](const std::string& g) { return equalsNoCase(g, group); }))
        created.push_back(group);
    }
    if (item.command.empty()) {
      engine.log.record(WinItemRecord{group, item.title});
      continue;
    }
    if (item.mode == 2) {
      send("[DeleteItem(" + *titleArg + ")]");
      continue;
    }
    std::optional<std::string> add = addItemCommand(item, engine.macros);
    if (!add) {
      unnamable();
      continue;
    }
    // The shell removes the item and puts the next one added in its place.
    if (item.mode == 1) send("[ReplaceItem(" + *titleArg + ")]");
    const ShellAnswer added = send(*add);
    if (added == ShellAnswer::Refused) continue;
    engine.log.record(WinItemRecord{group, item.title});
    if (added != ShellAnswer::Done) continue;
    BackupRecord record;
    record.kind = BackupRecord::Kind::Item;
    record.group = group;
    record.title = title;
    record.command = expanded(engine.macros, item.command);
    keepRecord(engine, record);
  }
  closeGroupWindows(shell, engine, created);
}

void applyProgramItems(Engine& engine) {
  runProgramItems(engine.sys, engine, engine.state.config.programItems);
}

}  // namespace qm
