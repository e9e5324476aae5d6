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

DialogOutcome DialogAnswers::run(const DialogSpec& dialog, DialogController& controller) {
  MemoryControls controls;
  controller.open(controls);
  return press(dialog, controller, controls, fill(dialog, controls));
}

int DialogAnswers::fill(const DialogSpec& dialog, DialogControls& controls) {
  std::string key = answerKey(dialog.topic);
  std::optional<std::string> given = answer(key);
  int button = kIdOk;
  std::string shown;
  bool defaulted = !given;
  if (key == "Screens") {
    if (given && equalsNoCase(*given, "Cancel")) button = kIdCancel;
    shown = button == kIdOk ? "OK" : "Cancel";
  } else if (key == "Groups") {
    std::vector<int> wanted = given ? parseGroupNumbers(*given) : std::vector<int>{};
    bool applies = std::any_of(dialog.choices.begin(), dialog.choices.end(), [&](const auto& c) {
      return std::find(wanted.begin(), wanted.end(), c.second) != wanted.end();
    });
    // A dialog none of whose boxes the answer names keeps the script's marks.
    defaulted = !applies;
    if (applies) {
      bool taken = false;
      for (const auto& [id, number] : dialog.choices) {
        bool on = std::find(wanted.begin(), wanted.end(), number) != wanted.end();
        if (dialog.exclusive)
          on = on && !taken;  // radio buttons: the first one named, in dialog order
        taken = taken || on;
        controls.setChecked(id, on);
      }
    }
    for (const auto& [id, number] : dialog.choices)
      if (controls.checked(id)) shown += (shown.empty() ? "" : ",") + std::to_string(number);
  } else if (key.rfind("Ask", 0) == 0) {
    if (given) controls.setText(kIdAskEdit, *given);
    shown = controls.text(kIdAskEdit, kMaxAnswerChars);
  } else if (key == "DefaultDir" || key == "DIR2" || key == "DIR3") {
    // "Cancel" is no path in any form: a full path has a drive, and a directory of that name is
    // written with one (C:\CANCEL).
    if (given && equalsNoCase(*given, "Cancel"))
      button = kIdCancel;
    else if (given)
      controls.setText(kIdDestinationEdit, destinationField(dialog.resourceId, *given));
    shown = controls.text(kIdDestinationEdit, kMaxAnswerChars);
  }
  if (trace_)
    trace_("dialog " + dialog.topic + ": " + shown + (defaulted ? " (default)" : "") + " -> " +
           (button == kIdOk ? "OK" : "Cancel"));
  return button;
}

DialogOutcome DialogAnswers::press(const DialogSpec& dialog, DialogController& controller,
                                   DialogControls& controls, int button) {
  switch (controller.command(button, controls)) {
    case DialogAction::EndOk:
      return DialogOutcome::Ok;
    case DialogAction::EndCancel:
      return DialogOutcome::Cancel;
    case DialogAction::Stay:
      break;
  }
  if (trace_)
    trace_("dialog " + dialog.topic +
           (button == kIdCancel ? ": cancelled, and the quit question answered No keeps it open"
                                : ": the answer was refused and the dialog would stay open") +
           "; the run ends (exit code 3)");
  return DialogOutcome::Failed;
}

DiskAnswer DialogAnswers::disk(const DiskRequest& request) {
  std::string value = answer("Disks").value_or("Yes");
  std::string identity = std::to_string(request.kind) + '|' + request.root + '|' +
                         request.expectedLabel + '|' + request.missingFile + '|' + request.message;
  // A new request that merely looks like the last one (two disks with one description) is no
  // repeat; the same request shown again, or the same file still missing, is.
  bool again = identity == lastDisk_ && (request.repeated || !request.missingFile.empty());
  diskRepeats_ = again ? diskRepeats_ + 1 : 0;
  lastDisk_ = identity;
  bool merged = equalsNoCase(value, "Merged");
  // Wait: someone changes the disk when asked (a real machine waits until the drive holds
  // another medium); otherwise it is a Yes.
  bool yes = !merged && (isYes(value) || equalsNoCase(value, "Wait"));
  if (yes && asked_) asked_(request.root);
  if (trace_) trace_("disk: " + request.message + " -> " + value);

  bool inserted = yes && inserter_ && inserter_(request.root);
  if (again && (!inserted || diskRepeats_ >= kMaxDiskRepeats)) {
    std::string why;
    if (merged)
      why = "asked for again although every disk is in the source folder";
    else if (!yes)
      why = "refused, and the quit question answered No asks for it again";
    else if (!request.missingFile.empty() && !request.repeated)
      why = request.missingFile + " is on no disk that can be inserted";
    else if (request.kind == 2)
      why = "the disk labelled " + request.expectedLabel + " never came";
    else if (!request.missingFile.empty())
      why = request.missingFile + " is on no disk that can be inserted";
    else
      why = "asked for again with no other disk to insert";
    if (trace_) trace_("disk: " + request.message + ": " + why + "; the run ends (exit code 3)");
    return DiskAnswer::Failed;
  }
  if (merged) return DiskAnswer::Present;
  return yes ? DiskAnswer::Inserted : DiskAnswer::Cancel;
}

}  // namespace qm
