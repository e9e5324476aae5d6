// Records the answers a person gives, so that the same installation can be replayed unattended
// elsewhere: a view wrapped around the one that shows the run, passing every call through and
// noting each answer under its answers-file key.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/text.h"
#include "platform/system.h"
#include "ui/ui.h"

namespace qm {

class AnswerRecorder : public Ui {
 public:
  explicit AnswerRecorder(Ui& inner) : inner_(inner) {}

  MsgResult messageBox(const MessageRequest& request) override;
  void trace(const std::string& line) override { inner_.trace(line); }
  DialogOutcome runDialog(const DialogSpec& dialog, DialogController& controller) override;
  int textExtent(const std::string& text, const FontSpec& font) override {
    return inner_.textExtent(text, font);
  }
  int dialogBaseUnitX() override { return inner_.dialogBaseUnitX(); }
  DiskAnswer diskPrompt(const DiskRequest& request) override;
  void beep() override { inner_.beep(); }
  void showCheckingSystem() override { inner_.showCheckingSystem(); }
  // How long to wait for another installation (WaitForOther) is the deployment's setting, not a
  // question anyone answers: it is carried over as the answers file gave it, so a replay waits as
  // long.
  std::optional<std::string> answer(const std::string& key) const override {
    std::optional<std::string> given = inner_.answer(key);
    if (given && equalsNoCase(key, "WaitForOther")) waitForOther_ = *given;
    return given;
  }
  std::string answerPlace(const std::string& key) const override { return inner_.answerPlace(key); }
  bool unattended() const override { return inner_.unattended(); }

  // The answers file: a [Setup] section with the answers in the order first given. A field the
  // person left as the dialog showed it is not recorded, so the script's own default applies on
  // replay; a later answer that differs from the first, or a value the file cannot hold, is
  // noted in a comment instead.
  std::string answersText() const;
  // Writes answersText with CR LF line ends, as a Windows text file; false when it cannot.
  bool writeAnswers(FileSystem& files, const std::string& path) const;

  // Notes one answer under its key (the first answer of a key is the one kept).
  void note(const std::string& key, const std::string& value);

 private:
  Ui& inner_;
  std::vector<std::pair<std::string, std::string>> answers_;
  std::vector<std::string> comments_;
  std::vector<int> groups_;  // numbers checked in the group dialogs the person changed
  mutable std::optional<std::string> waitForOther_;
};

}  // namespace qm
