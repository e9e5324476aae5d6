#include "ui/answer_recorder.h"

#include <gtest/gtest.h>

#include "ui/dialogs.h"
#include "ui/scripted_ui_for_tests.h"

namespace qm {
namespace {

// A dialog as the installer's controllers behave: opens with a proposed text and the script's
// marks, refuses OK while the text is "BAD" (an invalid directory), ends on Cancel.
class FakeController : public DialogController {
 public:
  FakeController(std::string proposed, std::vector<std::pair<int, int>> marks)
      : proposed_(std::move(proposed)), marks_(std::move(marks)) {}
  void open(DialogControls& c) override {
    c.setText(kIdAskEdit, proposed_);
    c.setText(kIdDestinationEdit, proposed_);
    for (auto [id, on] : marks_) c.setChecked(id, on);
  }
  DialogAction command(int id, DialogControls& c) override {
    if (id == kIdCancel) return DialogAction::EndCancel;
    bool bad = c.text(kIdAskEdit, 99) == "BAD" || c.text(kIdDestinationEdit, 99) == "BAD";
    return bad ? DialogAction::Stay : DialogAction::EndOk;
  }

 private:
  std::string proposed_;
  std::vector<std::pair<int, int>> marks_;  // control id, checked
};

TEST(AnswerRecorder, RecordsWhatThePersonGaveAndLeavesDefaultsOut) {
  using Steps = std::deque<ScriptedUi::Step>;
  auto type = [](int id, const char* t, int button = kIdOk) {
    return ScriptedUi::type(id, t, button);
  };
  auto check = [](int id, bool on) {
    return ScriptedUi::Step{[id, on](MemoryControls& c) { c.setChecked(id, on); }, kIdOk};
  };
  struct Case {
    const char* topic;
    Steps steps;
    std::vector<MsgResult> boxes;  // answers to the quit question asked after a Cancel
    const char* expected;          // the answers after [Setup]
  } cases[] = {
      {"Ask1", {type(kIdAskEdit, "Pat")}, {}, "Ask1=Pat\n"},
      {"Ask2", {ScriptedUi::press(kIdOk)}, {}, ""},      // the default stays out
      {"Ask3", {type(kIdAskEdit, "proposed")}, {}, ""},  // typed as proposed
      {"Ask4", {ScriptedUi::press(kIdCancel)}, {}, ""},  // the quit question tells
      {"DefaultDir",
       {type(kIdDestinationEdit, "BAD"), type(kIdDestinationEdit, "D:\\APP")},
       {},
       "DefaultDir=D:\\APP\n"},  // the accepted one counts
      {"DefaultDir",
       {type(kIdDestinationEdit, "BAD")},
       {},
       "DefaultDir=BAD\n"},  // it stopped there
      {"Dir2", {ScriptedUi::press(kIdCancel)}, {}, "DIR2=Cancel\n"},
      {"FirstScreen", {ScriptedUi::press(kIdOk)}, {}, "Screens=OK\n"},
      {"LastScreen", {ScriptedUi::press(kIdCancel)}, {}, "Screens=Cancel\n"},
      {"Groups", {check(101, false)}, {}, "Groups=3\n"},
      {"Groups", {check(101, true)}, {}, ""},  // the script's marks left as they were
      {"Ask5",
       {type(kIdAskEdit, " padded")},
       {},
       "; Ask5: the answer typed cannot be written here (blanks at its ends, or a ';' after a "
       "blank); the replay gets the script's default\n"},
  };
  for (const Case& c : cases) {
    ScriptedUi person;
    person.steps = c.steps;
    AnswerRecorder recorder(person);
    DialogSpec request;
    request.topic = c.topic;
    request.choices = {{101, 1}, {102, 2}, {103, 3}};
    FakeController controller("proposed", {{101, 1}, {102, 0}, {103, 1}});
    recorder.runDialog(request, controller);
    std::string text = recorder.answersText();
    EXPECT_EQ(text.substr(text.find("[Setup]\n") + 8), c.expected) << c.topic;
  }
}

TEST(AnswerRecorder, QuestionsKeepTheFirstAnswerAndNoteALaterOtherOne) {
  ScriptedUi person;
  person.boxAnswers = {MsgResult::Yes, MsgResult::Yes, MsgResult::No, MsgResult::Ok};
  person.diskAnswers = {DiskAnswer::Inserted};
  AnswerRecorder recorder(person);
  auto ask = [&](const char* topic, MsgButtons buttons) {
    MessageRequest r;
    r.topic = topic;
    r.buttons = buttons;
    return recorder.messageBox(r);
  };
  EXPECT_EQ(ask("Overwrite", MsgButtons::YesNo), MsgResult::Yes);
  EXPECT_EQ(ask("Autoexec", MsgButtons::YesNo), MsgResult::Yes);
  EXPECT_EQ(ask("Overwrite", MsgButtons::YesNo), MsgResult::No);
  ask("", MsgButtons::Ok);  // a notice asks nothing
  EXPECT_EQ(recorder.diskPrompt(DiskRequest{}), DiskAnswer::Inserted);
  EXPECT_EQ(recorder.answersText(),
            "; Answers recorded from an installation; replay them with QUILLMOUNT_ANSWERS.\n"
            "[Setup]\nOverwrite=Yes\nAutoexec=Yes\nDisks=Yes\n"
            "; Overwrite was answered No later; a replay answers Yes every time\n");
}

}  // namespace
}  // namespace qm
