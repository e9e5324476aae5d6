#include "ui/answers_ui.h"

#include "base/text.h"

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
