// WINITEM lines: program items and groups, over the shell's DDE conversation.
#include <algorithm>

#include "base/text.h"
#include "uninstall/undo_context.h"

namespace qm {

namespace {

// DeleteGroup removes a group with whatever it holds, so it is sent only for a group the shell
// reports empty.
void removeGroupIfEmpty(UndoContext& cx, const std::string& group) {
  System& sys = cx.sys;
  std::optional<size_t> count = sys.shellGroupItemCount(group);
  if (!count) {
    if (std::find(cx.groupsLeft.begin(), cx.groupsLeft.end(), upperAscii(group)) ==
        cx.groupsLeft.end()) {
      cx.groupsLeft.push_back(upperAscii(group));
      cx.note("the group " + group + " stays: the shell does not say whether it is empty");
    }
    return;
  }
  if (*count != 0) return;
  if (!sys.startShellClient() || !sys.connectShell()) return;
  bool deleted = sys.executeShellCommand("[DeleteGroup(" + group + ")]");
  sys.disconnectShell();
  if (deleted) cx.done("removed the empty group " + group);
}

}  // namespace

void undoWinItem(UndoContext& cx, const LogLine& line) {
  System& sys = cx.sys;
  if (line.readings.size() != 1) return cx.problem(&line, "the item cannot be told apart");
  const std::string &group = line.record<WinItemRecord>().group,
                    &title = line.record<WinItemRecord>().title;
  if (group.find_first_of("()[]\"") != std::string::npos ||
      title.find_first_of("()[]\"") != std::string::npos)
    return cx.problem(&line, "the item " + group + "\\" + title + " cannot be named to the shell");
  if (title.empty()) return removeGroupIfEmpty(cx, group);
  // Without a shell there is nothing to ask: the installer logged the item all the same.
  if (!sys.startShellClient() || !sys.connectShell())
    return cx.note("no shell answers; the item " + group + "\\" + title + " is left to it");
  bool shown = sys.executeShellCommand("[ShowGroup(" + group + ",1)]");
  bool deleted = shown && sys.executeShellCommand("[DeleteItem(" + title + ")]");
  sys.disconnectShell();
  if (!shown) return cx.note("the group " + group + " is already gone");
  if (deleted) {
    cx.done("deleted the item " + group + "\\" + title);
  } else {
    cx.note("the item " + group + "\\" + title + " is already gone");
  }
  removeGroupIfEmpty(cx, group);
}

}  // namespace qm
