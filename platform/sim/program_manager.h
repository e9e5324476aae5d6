// The simulated machine's Program Manager: the groups and items it keeps in groups.ini beside the
// machine file, and the DDE commands it carries out on them, as the Windows 3.x/95 shell does.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

constexpr const char* kGroupsFileName = "groups.ini";

struct ShellItem {
  std::string title;
  std::string command;
  std::string workingDir;
  std::string iconFile;
  std::string iconIndex;
  friend bool operator==(const ShellItem&, const ShellItem&) = default;
};

struct ShellGroup {
  std::string name;  // as first created
  std::vector<ShellItem> items;
  // Comment lines of a groups.ini written by hand (each with its CR LF), kept on saving: those
  // before the group's line, and those among its items (saved right after its line).
  std::string comments, itemComments;
};

// What the shell remembers between commands while it runs: the group that AddItem goes to and
// the place a ReplaceItem freed for the next AddItem.
struct ShellSession {
  std::string activeGroup;
  std::optional<size_t> replaceAt;
  // From Windows 95 on the shell opens a group's folder window when the group is created or
  // shown; these are the groups whose window is up, and a deleted group's window goes with it.
  bool opensWindows = false;
  std::vector<std::string> openWindows;
};

class ProgramManagerGroups {
 public:
  // Reads groups.ini text; false with "LINE: message" in error at a malformed line (the groups
  // before it stay loaded).
  bool load(std::string_view text, std::string& error);
  // The groups as groups.ini text (CR LF line ends), in creation order.
  std::string save() const;

  // Carries out a command text such as "[CreateGroup(Tools)][AddItem(C:\T.EXE, Tool)]" in order;
  // false when the text is malformed (nothing done) or a command failed (the commands before it
  // stay done, the ones after it are not carried out).
  bool execute(std::string_view commandText, ShellSession& session);

  const std::vector<ShellGroup>& groups() const { return groups_; }
  ShellGroup* findGroup(std::string_view name);

 private:
  bool run(const std::string& command, std::vector<std::string>& args, ShellSession& session);
  std::vector<ShellGroup> groups_;
  std::string tailComments_;  // after the last item
};

// One shell command: its name and its arguments, blanks around them dropped and quotes removed.
struct ShellCommand {
  std::string name;
  std::vector<std::string> args;
};
// Splits a command text into its commands; nullopt when the text is not in the command language.
std::optional<std::vector<ShellCommand>> parseShellCommands(std::string_view text);

}  // namespace qm
