#include "ui/answer_recorder.h"

#include <algorithm>

#include "base/text.h"
#include "platform/file_handle.h"
#include "ui/dialog_answers.h"
#include "ui/dialogs.h"

namespace qm {

namespace {

// What the person left in a dialog's fields, read when it opens and when it ends.
struct DialogFields {
  std::string text;
  std::vector<int> checked;  // group numbers
};

DialogFields readFields(const DialogSpec& dialog, DialogControls& controls) {
  DialogFields f;
  std::string key = answerKey(dialog.topic);
  if (key.rfind("Ask", 0) == 0) f.text = controls.text(kIdAskEdit, kMaxAnswerChars);
  if (key == "DefaultDir" || key == "DIR2" || key == "DIR3")
    f.text = controls.text(kIdDestinationEdit, kMaxAnswerChars);
  for (const auto& [id, number] : dialog.choices)
    if (controls.checked(id)) f.checked.push_back(number);
  return f;
}

// Passes the dialog on to its own controller and notes how the person ended it. An answer the
// dialog refused (a bad path, a Cancel the quit question took back) counts only when the dialog
// never ended otherwise: an unattended run that stopped there stops there again on replay.
class RecordingController : public DialogController {
 public:
  RecordingController(DialogController& inner, const DialogSpec& dialog, AnswerRecorder& recorder,
                      std::vector<int>& groups)
      : inner_(inner), dialog_(dialog), recorder_(recorder), groups_(groups) {}
  void open(DialogControls& controls) override {
    inner_.open(controls);
    opened_ = readFields(dialog_, controls);
  }
  DialogAction command(int id, DialogControls& controls) override {
    DialogAction action = inner_.command(id, controls);
    Answer answer = answerFor(id, controls);
    if (action == DialogAction::Stay) {
      pending_ = answer;
      return action;
    }
    pending_ = {};
    keep(answer);
    return action;
  }
  // The dialog ended unanswerable: its last refused answer is what stopped the run.
  void failed() { keep(pending_); }

 private:
  struct Answer {
    std::string key, value;         // nothing to note when key is empty
    std::vector<int> groupNumbers;  // a changed group dialog's checked numbers
  };

  Answer answerFor(int id, DialogControls& controls) const {
    Answer a;
    std::string key = answerKey(dialog_.topic);
    bool ok = id == kIdOk;
    DialogFields now = readFields(dialog_, controls);
    if (key == "Screens") {
      a = {key, ok ? "OK" : "Cancel", {}};
    } else if (key == "DefaultDir" || key == "DIR2" || key == "DIR3") {
      // A field left as the dialog showed it stays out: the script's default applies on replay.
      if (!ok) a = {key, "Cancel", {}};
      if (ok && now.text != opened_.text) a = {key, now.text, {}};
    } else if (key.rfind("Ask", 0) == 0) {
      // A cancelled question only asks the quit question, whose answer is noted with it.
      if (ok && now.text != opened_.text) a = {key, now.text, {}};
    } else if (key == "Groups" && ok && now.checked != opened_.checked) {
      a.groupNumbers = now.checked;
    }
    return a;
  }

  void keep(const Answer& a) {
    if (!a.key.empty()) recorder_.note(a.key, a.value);
    for (int n : a.groupNumbers)
      if (std::find(groups_.begin(), groups_.end(), n) == groups_.end()) groups_.push_back(n);
  }

  DialogController& inner_;
  const DialogSpec& dialog_;
  AnswerRecorder& recorder_;
  std::vector<int>& groups_;
  DialogFields opened_;
  Answer pending_;
};

// A value one answers-file line holds as it was typed: blanks at either end, a ";" after a
// blank (a comment) or a line break would be read back differently.
bool fitsOneLine(const std::string& v) {
  if (!v.empty() && (v.front() == ' ' || v.front() == '\t' || v.back() == ' ' || v.back() == '\t'))
    return false;
  for (size_t i = 0; i < v.size(); ++i) {
    if (v[i] == '\r' || v[i] == '\n') return false;
    if (v[i] == ';' && i > 0 && (v[i - 1] == ' ' || v[i - 1] == '\t')) return false;
  }
  return true;
}

}  // namespace

void AnswerRecorder::note(const std::string& key, const std::string& value) {
  for (const auto& [k, v] : answers_) {
    if (!equalsNoCase(k, key)) continue;
    if (v != value)
      comments_.push_back("; " + key + " was answered " + value + " later; a replay answers " + v +
                          " every time");
    return;
  }
  if (!fitsOneLine(value)) {
    comments_.push_back("; " + key +
                        ": the answer typed cannot be written here (blanks at its "
                        "ends, or a ';' after a blank); the replay gets the script's default");
    return;
  }
  answers_.emplace_back(key, value);
}

MsgResult AnswerRecorder::messageBox(const MessageRequest& request) {
  MsgResult result = inner_.messageBox(request);
  // A box that only informs asks nothing; an overwrite question's Cancel has no answer key.
  if (!request.topic.empty() && result != MsgResult::Cancel)
    note(request.topic, msgResultName(result));
  return result;
}

DialogOutcome AnswerRecorder::runDialog(const DialogSpec& dialog, DialogController& controller) {
  RecordingController recording(controller, dialog, *this, groups_);
  DialogOutcome outcome = inner_.runDialog(dialog, recording);
  if (outcome == DialogOutcome::Failed) recording.failed();
  return outcome;
}

DiskAnswer AnswerRecorder::diskPrompt(const DiskRequest& request) {
  DiskAnswer answer = inner_.diskPrompt(request);
  if (answer == DiskAnswer::Inserted) note("Disks", "Yes");
  if (answer == DiskAnswer::Present) note("Disks", "Merged");
  if (answer == DiskAnswer::Cancel) note("Disks", "No");
  return answer;
}

std::string AnswerRecorder::answersText() const {
  std::string text =
      "; Answers recorded from an installation; replay them with QUILLMOUNT_ANSWERS.\n"
      "[Setup]\n";
  for (const auto& [key, value] : answers_) text += key + "=" + value + "\n";
  if (!groups_.empty()) {
    text += "Groups=";
    for (size_t i = 0; i < groups_.size(); ++i) text += (i ? "," : "") + std::to_string(groups_[i]);
    text += "\n";
  }
  if (waitForOther_) text += "WaitForOther=" + *waitForOther_ + "\n";
  for (const std::string& c : comments_) text += c + "\n";
  return text;
}

bool AnswerRecorder::writeAnswers(FileSystem& files, const std::string& path) const {
  ScopedFile h = ScopedFile::create(files, path);
  return h && h.writeAll(toCrLf(answersText()));
}

}  // namespace qm
