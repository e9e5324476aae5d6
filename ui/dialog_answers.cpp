#include "ui/dialog_answers.h"

#include <algorithm>

#include "base/text.h"
#include "ui/dialogs.h"
#include "ui/memory_controls.h"

namespace qm {
namespace {

bool isYes(const std::string& v) { return equalsNoCase(v, "Yes") || equalsNoCase(v, "OK"); }

// The part of a full destination path that the dialog of a mode lets the user type.
std::string destinationField(int resourceId, const std::string& path) {
  switch (resourceId) {
    case 250: {  // directory only: drop "X:\" when given
      if (path.size() >= 2 && path[1] == ':') {
        size_t from = path.size() >= 3 && path[2] == '\\' ? 3 : 2;
        return path.substr(from);
      }
      return !path.empty() && path[0] == '\\' ? path.substr(1) : path;
    }
    case 300:  // drive only
      return path.substr(0, 1);
    default:
      return path;
  }
}

}  // namespace

std::string answerKey(const std::string& topic) {
  if (equalsNoCase(topic, "Dir2")) return "DIR2";
  if (equalsNoCase(topic, "Dir3")) return "DIR3";
  if (topic == "FirstScreen" || topic == "LastScreen" || topic == "ExitMessage") return "Screens";
  return topic;
}

std::vector<int> parseGroupNumbers(const std::string& text) {
  std::vector<int> numbers;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && !(text[i] >= '0' && text[i] <= '9')) ++i;
    if (i == text.size()) break;
    long value = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9' && value < 1000)
      value = value * 10 + (text[i++] - '0');
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
    numbers.push_back(static_cast<int>(value));
  }
  return numbers;
}

std::optional<std::string> DialogAnswers::answer(const std::string& key) const {
  return lookup_ ? lookup_(key) : std::nullopt;
}

DialogOutcome DialogAnswers::run(const DialogSpec& spec, DialogController& controller) {
  MemoryControls controls;
  controller.open(controls);
  std::string key = answerKey(spec.topic);
  std::optional<std::string> given = answer(key);
  int button = kIdOk;
  std::string shown;
  if (key == "Screens") {
    if (given && equalsNoCase(*given, "Cancel")) button = kIdCancel;
    shown = button == kIdOk ? "OK" : "Cancel";
  } else if (key == "Groups") {
    std::vector<int> wanted = given ? parseGroupNumbers(*given) : std::vector<int>{};
    bool applies = std::any_of(spec.choices.begin(), spec.choices.end(), [&](const auto& c) {
      return std::find(wanted.begin(), wanted.end(), c.second) != wanted.end();
    });
    if (applies) {
      bool taken = false;
      for (const auto& [id, number] : spec.choices) {
        bool on = std::find(wanted.begin(), wanted.end(), number) != wanted.end();
        if (spec.exclusive)
          on = on && !taken;  // radio buttons: the first one named, in dialog order
        taken = taken || on;
        controls.setChecked(id, on);
      }
    }
    for (const auto& [id, number] : spec.choices)
      if (controls.checked(id)) shown += (shown.empty() ? "" : ",") + std::to_string(number);
  } else if (key.rfind("Ask", 0) == 0) {
    if (given) controls.setText(kIdAskEdit, *given);
    shown = controls.text(kIdAskEdit, kMaxAnswerChars);
  } else if (key == "DefaultDir" || key == "DIR2" || key == "DIR3") {
    if (given) controls.setText(kIdDestinationEdit, destinationField(spec.resourceId, *given));
    shown = controls.text(kIdDestinationEdit, kMaxAnswerChars);
  }
  if (trace_)
    trace_("dialog " + spec.topic + ": " + shown + (given ? "" : " (default)") + " -> " +
           (button == kIdOk ? "OK" : "Cancel"));
  switch (controller.command(button, controls)) {
    case DialogAction::EndOk:
      return DialogOutcome::Ok;
    case DialogAction::EndCancel:
      return DialogOutcome::Cancel;
    case DialogAction::Stay:
      break;
  }
  if (trace_)
    trace_("dialog " + spec.topic +
           ": the answer was refused and the dialog would stay open; "
           "the run ends (exit code 3)");
  return DialogOutcome::Failed;
}

DiskAnswer DialogAnswers::disk(const DiskRequest& request) {
  std::string value = answer("Disks").value_or("Yes");
  if (request.kind == 2 && request.message == lastDisk_) {
    ++diskRepeats_;
  } else {
    diskRepeats_ = 0;
  }
  lastDisk_ = request.kind == 2 ? request.message : std::string();
  std::string line = "disk: " + request.message + " -> " + value;
  if (equalsNoCase(value, "Merged")) {
    if (trace_) trace_(line);
    return DiskAnswer::Present;
  }
  if (!isYes(value)) {
    if (trace_) trace_(line);
    return DiskAnswer::Cancel;
  }
  bool inserted = inserter_ && inserter_(request.root);
  if (diskRepeats_ >= kMaxDiskRepeats || (diskRepeats_ > 0 && inserter_ && !inserted)) {
    if (trace_)
      trace_("disk: " + request.message + ": the disk labelled " + request.expectedLabel +
             " never came; the run ends (exit code 3)");
    return DiskAnswer::Failed;
  }
  if (trace_) trace_(line);
  return DiskAnswer::Inserted;
}

}  // namespace qm
