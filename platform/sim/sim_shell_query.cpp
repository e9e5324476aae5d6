// What the simulated Program Manager can tell about a group: it keeps its groups in groups.ini,
// so it knows how many items each holds.
#include <fstream>
#include <iterator>

#include "platform/sim/sim_system.h"

namespace qm {

std::optional<std::vector<std::pair<std::string, std::string>>> SimSystem::shellGroupItems(
    const std::string& group) {
  if (!config_.shellRunning) return std::nullopt;
  std::ifstream in(machineDir_ / kGroupsFileName, std::ios::binary);
  std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  ProgramManagerGroups groups;
  std::string error;
  if (!groups.load(text, error)) return std::nullopt;
  const ShellGroup* found = groups.findGroup(group);
  if (!found) return std::nullopt;
  std::vector<std::pair<std::string, std::string>> items;
  for (const ShellItem& item : found->items) items.push_back({item.title, item.command});
  return items;
}

std::optional<size_t> SimSystem::shellGroupItemCount(const std::string& group) {
  auto items = shellGroupItems(group);
  if (!items) return std::nullopt;
  return items->size();
}

}  // namespace qm
