#include "ui/answers_ui.h"

#include "base/text.h"
#include "script/install_state.h"

namespace qm {

namespace {

struct TopicDefault {
  const char* topic;
  const char* answer;
};

// Unattended runs keep what is on the machine and never restart it by themselves; the system
// files the installation asks to change are changed, and a disk asked for is taken as inserted.
const TopicDefault kDefaults[] = {
    {"Overwrite", "No"}, {"Autoexec", "Yes"}, {"Config", "Yes"},
    {"IniFile", "Yes"},  {"Reboot", "No"},    {"Disks", "Yes"},
    {"Quit", "Yes"},     {"Screens", "OK"},   {"Rollback", "Yes"},
};

MsgResult firstButton(MsgButtons buttons) {
  return buttons == MsgButtons::YesNo || buttons == MsgButtons::YesNoCancel ? MsgResult::Yes
                                                                            : MsgResult::Ok;
}

MsgResult resultFor(const std::string& answer, MsgButtons buttons) {
  // Merged (Disks=): every disk is in the one source folder, so a disk is always there.
  bool yes =
      equalsNoCase(answer, "Yes") || equalsNoCase(answer, "OK") || equalsNoCase(answer, "Merged");
  switch (buttons) {
    case MsgButtons::Ok:
      return MsgResult::Ok;
    case MsgButtons::OkCancel:
      return yes ? MsgResult::Ok : MsgResult::Cancel;
    case MsgButtons::YesNo:
      return yes ? MsgResult::Yes : MsgResult::No;
    case MsgButtons::YesNoCancel:
      return yes                              ? MsgResult::Yes
             : equalsNoCase(answer, "Cancel") ? MsgResult::Cancel
                                              : MsgResult::No;
  }
  return MsgResult::Ok;
}

}  // namespace

namespace {

// A macro-free proposed destination with its drive, as the driver completes it; "" when it
// depends on macros only known later.
std::string plainProposal(const std::string& path) {
  if (path.find('$') != std::string::npos || path.empty()) return "";
  if (path.size() > 1 && path[1] == ':') return path;
  return path[0] == '\\' ? "C:" + path : "C:\\" + path;
}

// Why a destination answer cannot be typed into the dialog its record asks with, or "".
std::string destinationMisfit(const DestinationRecord* record, const std::string& answer) {
  if (!record) return "the script has no such destination statement";
  if (record->mode == 0) return "the script asks for no destination (NOASKDRIVE NOASKDIR)";
  if (equalsNoCase(answer, "Cancel")) return "";
  const std::string proposed = plainProposal(record->path);
  if (proposed.empty() || answer.size() < 2 || answer[1] != ':') return "";
  if (record->mode == 1 && toUpperAscii(answer[0]) != toUpperAscii(proposed[0]))
    return "the script lets only the directory be typed (NOASKDRIVE); the drive stays " +
           proposed.substr(0, 2);
  if (record->mode == 2 && !equalsNoCase(answer.substr(1), proposed.substr(1)))
    return "the script lets only the drive be typed (NOASKDIR); the directory stays " +
           proposed.substr(2);
  return "";
}

}  // namespace

std::string inapplicableAnswer(const InstallState& state, const Ui& ui) {
  auto problem = [&ui](const std::string& key, const std::string& value, const std::string& why) {
    return ui.answerPlace(key) + ": " + key + "=" + value + " cannot apply: " + why;
  };
  if (std::optional<std::string> groups = ui.answer("Groups")) {
    for (int number : parseGroupNumbers(*groups)) {
      bool known = number >= 0 && number < kMaxGroupIndexes &&
                   state.screens.groups.indexOfNumber[number] >= 0;
      if (!known)
        return problem(
            "Groups", *groups,
            "no group dialog of the script has a box numbered " + std::to_string(number));
    }
  }
  const char* destinationKeys[] = {"DefaultDir", "DIR2", "DIR3"};
  for (int i = kDefaultDirIndex; i <= kDir3Index; ++i) {
    std::optional<std::string> given = ui.answer(destinationKeys[i]);
    if (!given) continue;
    const std::optional<DestinationRecord>& record = state.settings.destinations[i];
    // Without a DEFAULTDIR statement the default destination is asked in full.
    if (i == kDefaultDirIndex && !record) continue;
    std::string why = destinationMisfit(record ? &*record : nullptr, *given);
    if (!why.empty()) return problem(destinationKeys[i], *given, why);
  }
  for (int n = 0; n < 5; ++n) {
    const std::string key = "Ask" + std::to_string(n + 1);
    if (std::optional<std::string> given = ui.answer(key); given && !state.screens.ask[n])
      return problem(key, *given, "the script has no ASK" + std::to_string(n + 1) + " statement");
  }
  return "";
}

WatchSettings watchSettings(const AnswersFile& answers) {
  WatchSettings watch;
  std::optional<std::string> show = answers.get("Show");
  if (!show || !equalsNoCase(*show, "Yes")) return watch;
  watch.show = true;
  std::optional<std::string> delay = answers.get("ShowDelay");
  std::optional<int> ms = delay ? parseMilliseconds(*delay) : std::nullopt;
  watch.delayMs = ms.value_or(kDefaultShowDelayMs);
  return watch;
}

std::optional<std::string> AnswersUi::defaultAnswer(const std::string& topic) {
  for (const TopicDefault& d : kDefaults)
    if (equalsNoCase(d.topic, topic)) return std::string(d.answer);
  return std::nullopt;
}

MsgResult AnswersUi::messageBox(const MessageRequest& request) {
  MsgResult result = firstButton(request.buttons);
  std::string source;
  if (!request.topic.empty()) {
    std::optional<std::string> given = answers_.get(request.topic);
    std::optional<std::string> chosen = given ? given : defaultAnswer(request.topic);
    if (chosen) result = resultFor(*chosen, request.buttons);
    source = given ? " (answers file)" : " (default)";
  }
  std::string caption = request.captionDefault ? "" : " \"" + request.caption + "\"";
  std::string topic = request.topic.empty() ? "" : " [" + request.topic + "]";
  trace("message" + topic + caption + ": " + request.text + " -> " + msgResultName(result) +
        source);
  return result;
}

void AnswersUi::trace(const std::string& line) {
  if (sink_) sink_->write(line);
}

}  // namespace qm
