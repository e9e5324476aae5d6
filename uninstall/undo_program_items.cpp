// WINITEM lines: program items and groups, over the shell's DDE conversation. Names are quoted
// as the shell's command syntax needs; an item goes only when it is the installation's own (its
// group, title and command line), never a same-titled item of the user's.
#include <algorithm>

#include "base/text.h"
#include "sysconfig/program_items.h"
#include "uninstall/undo_context.h"

namespace qm {

namespace {

bool sendOne(System& sys, const std::string& command) {
  if (!sys.shell().startShellClient() || !sys.shell().connectShell()) return false;
  bool done = sys.shell().executeShellCommand(command);
  sys.shell().disconnectShell();
  return done;
}

// DeleteGroup removes a group with whatever it holds, so it is sent only for a group the shell
// reports empty.
void removeGroupIfEmpty(UndoContext& cx, const std::string& group, const std::string& groupArg) {
  std::optional<size_t> count = cx.sys.shell().shellGroupItemCount(group);
  if (!count) {
    if (std::find(cx.groupsLeft.begin(), cx.groupsLeft.end(), upperAscii(group)) ==
        cx.groupsLeft.end()) {
      cx.groupsLeft.push_back(upperAscii(group));
      cx.note("the group " + group + " stays: the shell does not say whether it is empty");
    }
    return;
  }
  if (*count != 0) return;
  if (sendOne(cx.sys, "[DeleteGroup(" + groupArg + ")]"))
    cx.done("removed the empty group " + group);
}

// The command line the installation gave the item, from instback.log.
std::optional<std::string> itemCommand(const UndoContext& cx, const WinItemRecord& item) {
  std::optional<std::string> command;
  for (const KeptCopy& b : cx.backups)
    if (b.record.kind == BackupRecord::Kind::Item && equalsNoCase(b.record.group, item.group) &&
        equalsNoCase(b.record.title, item.title))
      command = b.record.command;
  return command;
}

}  // namespace

void undoWinItem(UndoContext& cx, const LogLine& line) {
  System& sys = cx.sys;
  if (line.readings.size() != 1) return cx.problem(&line, "the item cannot be told apart");
  const WinItemRecord& item = line.record<WinItemRecord>();
  const std::string name = item.group + "\\" + item.title;
  std::optional<std::string> groupArg = ddeArgument(item.group), titleArg = ddeArgument(item.title);
  if (!groupArg || !titleArg)
    return cx.problem(&line, "the item " + name + " cannot be named to the shell");
  if (item.title.empty()) return removeGroupIfEmpty(cx, item.group, *groupArg);
  // The shell deletes the first item of that title: it must be this installation's.
  std::optional<std::string> command = itemCommand(cx, item);
  auto items = sys.shell().shellGroupItems(item.group);
  if (command && items) {
    auto first = std::find_if(items->begin(), items->end(),
                              [&](const auto& i) { return equalsNoCase(i.first, item.title); });
    if (first == items->end()) return cx.note("the item " + name + " is already gone");
    if (!equalsNoCase(first->second, *command))
      return cx.left("the item " + name + " is not the one the installation made; left alone");
  }
  // Without a shell there is nothing to ask: the installer logged the item all the same.
  if (!sys.shell().startShellClient() || !sys.shell().connectShell())
    return cx.note("no shell answers; the item " + name + " is left to it");
  bool shown = sys.shell().executeShellCommand("[ShowGroup(" + *groupArg + ",1)]");
  bool deleted = shown && sys.shell().executeShellCommand("[DeleteItem(" + *titleArg + ")]");
  sys.shell().disconnectShell();
  if (!shown) return cx.note("the group " + item.group + " is already gone");
  if (deleted) {
    cx.done("deleted the item " + name);
  } else {
    cx.note("the item " + name + " is already gone");
  }
  removeGroupIfEmpty(cx, item.group, *groupArg);
}

}  // namespace qm
