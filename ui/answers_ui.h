// The unattended view: nobody sits in front of the screen. Every question is answered from the
// answers file or with its documented default, every box and answer goes to the trace.
#pragma once

#include <optional>
#include <string>

#include "ui/answers_file.h"
#include "ui/dialog_answers.h"
#include "ui/trace_file.h"
#include "ui/ui.h"

namespace qm {

// A watched unattended run (Show=Yes): every window is shown and painted, and held for the
// delay, before its answer is given, so that a vendor can follow the run and tests can take
// screenshots. Without Show=Yes nothing is shown and nothing waits.
struct WatchSettings {
  bool show = false;
  int delayMs = 0;  // how long each window stays up; 0 when not watched
};
constexpr int kDefaultShowDelayMs = 1500;
// ShowDelay= alone does not make a run watched; an unreadable one falls back to the default.
WatchSettings watchSettings(const AnswersFile& answers);

struct InstallState;

// An answer that no question of the parsed script can take ("FILE:LINE: Key=Value cannot
// apply: why"), or "" when every answer can be used. A run with such an answer would do
// something else than the file says, so it does not start.
std::string inapplicableAnswer(const InstallState& state, const Ui& ui);

class AnswersUi : public Ui {
 public:
  // trace may be null (no QUILLMOUNT_LOG).
  AnswersUi(AnswersFile answers, TraceSink* trace) : answers_(std::move(answers)), sink_(trace) {}

  // A box that only informs (no topic) gets its first button; a question gets the answer its
  // topic's key gives, else the topic's default.
  MsgResult messageBox(const MessageRequest& request) override;
  void trace(const std::string& line) override;
  // The dialog answers hold this object's address.
  AnswersUi(const AnswersUi&) = delete;
  AnswersUi& operator=(const AnswersUi&) = delete;

  // Dialogs and disk prompts are answered by DialogAnswers (ui/dialog_answers.h).
  DialogOutcome runDialog(const DialogSpec& dialog, DialogController& controller) override {
    return dialogs_.run(dialog, controller);
  }
  DiskAnswer diskPrompt(const DiskRequest& request) override { return dialogs_.disk(request); }
  // On the simulated machine: a disk prompt answered Yes puts the drive's next medium in; on a
  // real one under Disks=Wait it waits for another medium (see MediumWatch).
  void setDiskInserter(DialogAnswers::DiskInserter inserter) {
    dialogs_.setDiskInserter(std::move(inserter));
  }
  void setDiskAsked(DialogAnswers::DiskAsked asked) { dialogs_.setDiskAsked(std::move(asked)); }

  // What the answers file says for a key, nullopt when it is silent.
  std::optional<std::string> answer(const std::string& key) const override {
    return answers_.get(key);
  }
  std::string answerPlace(const std::string& key) const override { return answers_.where(key); }
  bool unattended() const override { return true; }

  // The answer a question of this topic gets when the file is silent: "Yes", "No", "OK", or
  // nullopt for a topic without one (then the first button).
  static std::optional<std::string> defaultAnswer(const std::string& topic);

 protected:
  AnswersFile answers_;
  TraceSink* sink_;
  DialogAnswers dialogs_{[this](const std::string& key) { return answers_.get(key); },
                         [this](const std::string& line) { trace(line); }};
};

}  // namespace qm
