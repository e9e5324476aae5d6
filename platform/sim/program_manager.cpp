#include "platform/sim/program_manager.h"

#include <algorithm>

#include "base/text.h"

namespace qm {

namespace {

std::vector<std::string>::iterator openWindow(ShellSession& session, std::string_view group) {
  return std::find_if(session.openWindows.begin(), session.openWindows.end(),
                      [&](const std::string& open) { return equalsNoCase(open, group); });
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

void skipBlanks(std::string_view s, size_t& i) {
  while (i < s.size() && isBlank(s[i])) ++i;
}

std::string trimmed(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && isBlank(s[b])) ++b;
  while (e > b && isBlank(s[e - 1])) --e;
  return std::string(s.substr(b, e - b));
}

// One argument up to the next comma or closing parenthesis; a quoted argument may hold both.
std::optional<std::string> readArgument(std::string_view s, size_t& i) {
  skipBlanks(s, i);
  if (i < s.size() && s[i] == '"') {
    size_t close = s.find('"', i + 1);
    if (close == std::string_view::npos) return std::nullopt;
    std::string arg(s.substr(i + 1, close - i - 1));
    i = close + 1;
    skipBlanks(s, i);
    return arg;
  }
  size_t start = i;
  while (i < s.size() && s[i] != ',' && s[i] != ')') ++i;
  return trimmed(s.substr(start, i - start));
}

// The file name of a command line's program without folder and extension: the title the shell
// gives an item that was added without one.
std::string titleFromCommand(const std::string& command) {
  std::string program = command.substr(0, command.find(' '));
  size_t slash = program.find_last_of("\\/:");
  if (slash != std::string::npos) program.erase(0, slash + 1);
  size_t dot = program.rfind('.');
  if (dot != std::string::npos && dot > 0) program.erase(dot);
  return program;
}

// Texts groups.ini cannot hold on one line, or that would read back differently.
bool storable(const std::string& text, bool allowBar) {
  return std::none_of(text.begin(), text.end(), [&](char c) {
    return c == '\r' || c == '\n' || c == '\0' || (!allowBar && c == '|');
  });
}

size_t findItem(const ShellGroup& group, const std::string& title) {
  for (size_t i = 0; i < group.items.size(); ++i)
    if (equalsNoCase(group.items[i].title, title)) return i;
  return std::string::npos;
}

std::string arg(const std::vector<std::string>& args, size_t i) {
  return i < args.size() ? args[i] : std::string();
}

}  // namespace

std::optional<std::vector<ShellCommand>> parseShellCommands(std::string_view s) {
  std::vector<ShellCommand> out;
  size_t i = 0;
  skipBlanks(s, i);
  while (i < s.size()) {
    if (s[i] != '[') return std::nullopt;
    ++i;
    skipBlanks(s, i);
    size_t start = i;
    while (i < s.size() && s[i] != '(' && s[i] != ']' && !isBlank(s[i])) ++i;
    ShellCommand cmd{std::string(s.substr(start, i - start)), {}};
    if (cmd.name.empty()) return std::nullopt;
    skipBlanks(s, i);
    if (i < s.size() && s[i] == '(') {
      ++i;
      for (;;) {
        auto a = readArgument(s, i);
        if (!a || i >= s.size()) return std::nullopt;
        cmd.args.push_back(std::move(*a));
        if (s[i] == ')') break;
        if (s[i] != ',') return std::nullopt;
        ++i;
      }
      ++i;
      skipBlanks(s, i);
    }
    if (i >= s.size() || s[i] != ']') return std::nullopt;
    ++i;
    skipBlanks(s, i);
    out.push_back(std::move(cmd));
  }
  if (out.empty()) return std::nullopt;
  return out;
}

ShellGroup* ProgramManagerGroups::findGroup(std::string_view name) {
  for (auto& g : groups_)
    if (equalsNoCase(g.name, name)) return &g;
  return nullptr;
}

bool ProgramManagerGroups::execute(std::string_view commandText, ShellSession& session) {
  auto commands = parseShellCommands(commandText);
  if (!commands) return false;
  for (auto& c : *commands)
    if (!run(c.name, c.args, session)) return false;
  return true;
}

bool ProgramManagerGroups::run(const std::string& command, std::vector<std::string>& args,
                               ShellSession& session) {
  if (equalsNoCase(command, "CreateGroup") || equalsNoCase(command, "ShowGroup")) {
    const std::string name = arg(args, 0);
    if (name.empty() || !storable(name, true) || name.find(']') != std::string::npos) return false;
    if (!findGroup(name)) {
      if (equalsNoCase(command, "ShowGroup")) return false;
      groups_.push_back(ShellGroup{name, {}, {}, {}});
    }
    session.activeGroup = findGroup(name)->name;
    session.replaceAt.reset();
    if (session.opensWindows && openWindow(session, name) == session.openWindows.end())
      session.openWindows.push_back(session.activeGroup);
    return true;
  }
  if (equalsNoCase(command, "DeleteGroup")) {
    ShellGroup* g = findGroup(arg(args, 0));
    if (!g) return false;
    if (equalsNoCase(session.activeGroup, g->name)) {
      session.activeGroup.clear();
      session.replaceAt.reset();
    }
    if (auto open = openWindow(session, g->name); open != session.openWindows.end())
      session.openWindows.erase(open);
    groups_.erase(groups_.begin() + (g - groups_.data()));
    return true;
  }
  // Every item command works on the active group.
  ShellGroup* group = findGroup(session.activeGroup);
  if (!group) return false;
  if (equalsNoCase(command, "AddItem")) {
    ShellItem item{arg(args, 1), arg(args, 0), arg(args, 6), arg(args, 2), arg(args, 3)};
    if (item.command.empty()) return false;
    if (item.title.empty()) item.title = titleFromCommand(item.command);
    if (item.title.empty()) return false;  // "C:\TOOLS\" names no program to call it after
    if (!storable(item.title, false) || !storable(item.command, true) ||
        !storable(item.workingDir, false) || !storable(item.iconFile, false) ||
        !storable(item.iconIndex, false))
      return false;
    size_t at = std::min(session.replaceAt.value_or(group->items.size()), group->items.size());
    group->items.insert(group->items.begin() + at, std::move(item));
    session.replaceAt.reset();
    return true;
  }
  if (equalsNoCase(command, "DeleteItem") || equalsNoCase(command, "ReplaceItem")) {
    size_t at = findItem(*group, arg(args, 0));
    if (at == std::string::npos) return false;
    group->items.erase(group->items.begin() + at);
    if (equalsNoCase(command, "ReplaceItem")) session.replaceAt = at;
    return true;
  }
  return false;
}

bool ProgramManagerGroups::load(std::string_view text, std::string& error) {
  groups_.clear();
  tailComments_.clear();
  std::string comments;  // waiting for the line they stand before
  size_t pos = 0;
  int lineNo = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view raw = text.substr(pos, end - pos);
    if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
    std::string line = trimmed(raw);
    pos = end + 1;
    ++lineNo;
    if (!line.empty() && line[0] == ';') comments += line + "\r\n";
    if (line.empty() || line[0] == ';') continue;
    auto fail = [&](const std::string& message) {
      error = std::to_string(lineNo) + ": " + message;
      return false;
    };
    if (line[0] == '[') {
      if (line.back() != ']' || line.size() < 3) return fail("bad group line \"" + line + "\"");
      std::string name = line.substr(1, line.size() - 2);
      if (findGroup(name)) return fail("group \"" + name + "\" appears twice");
      groups_.push_back(ShellGroup{name, {}, std::move(comments), {}});
      comments.clear();
      continue;
    }
    if (!startsWithNoCase(line, "Item="))
      return fail("expected Item= or [group], got \"" + line + "\"");
    if (groups_.empty()) return fail("Item= before the first [group]");
    // Blanks at the end belong to the last field: an icon index or folder may end with one.
    std::string rest(raw.substr(raw.find('=') + 1));
    // TITLE|COMMAND|WORKDIR|ICONFILE|ICONINDEX: only the command may hold a bar, so the fields
    // after it are cut from the right.
    size_t first = rest.find('|');
    std::string fields[3];
    bool ok = first != std::string::npos;
    for (int k = 2; ok && k >= 0; --k) {
      size_t bar = rest.rfind('|');
      ok = bar != std::string::npos && bar > first;
      if (ok) {
        fields[k] = rest.substr(bar + 1);
        rest.erase(bar);
      }
    }
    if (!ok) return fail("Item= wants TITLE|COMMAND|WORKDIR|ICONFILE|ICONINDEX");
    ShellItem item{rest.substr(0, first), rest.substr(first + 1), fields[0], fields[1], fields[2]};
    if (item.title.empty() || item.command.empty())
      return fail("an item needs a title and a command");
    groups_.back().items.push_back(std::move(item));
    groups_.back().itemComments += comments;
    comments.clear();
  }
  tailComments_ = std::move(comments);
  return true;
}

std::string ProgramManagerGroups::save() const {
  std::string out;
  for (const auto& g : groups_) {
    out += g.comments + "[" + g.name + "]\r\n" + g.itemComments;
    for (const auto& i : g.items)
      out += "Item=" + i.title + "|" + i.command + "|" + i.workingDir + "|" + i.iconFile + "|" +
             i.iconIndex + "\r\n";
  }
  return out + tailComments_;
}

}  // namespace qm
