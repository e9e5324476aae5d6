#include "engine/install_lock.h"

#include <gtest/gtest.h>

#include <deque>

#include "platform/sim/sim_system.h"
#include "ui/answers_ui.h"
#include "ui/scripted_ui_for_tests.h"

namespace qm {
namespace {

// A machine whose lock is free or taken as the test says, one answer per attempt.
class LockMachine : public SimSystem {
 public:
  explicit LockMachine(std::deque<bool> free) : SimSystem(MachineConfig{}), free_(free) {}
  bool lockInstallations(uint32_t waitMs) override {
    waits.push_back(waitMs);
    bool got = !free_.empty() && free_.front();
    if (!free_.empty()) free_.pop_front();
    return got;
  }
  std::vector<uint32_t> waits;

 private:
  std::deque<bool> free_;
};

TEST(InstallLock, UnattendedWaitsAsTheAnswersSayThenGivesUp) {
  struct Case {
    const char* answers;
    std::deque<bool> free;
    LockOutcome outcome;
    std::vector<uint32_t> waits;
  } cases[] = {
      {"[Setup]\n", {true}, LockOutcome::Held, {0}},
      {"[Setup]\n", {false, false}, LockOutcome::TimedOut, {0, 600000}},
      {"[Setup]\nWaitForOther=3\n", {false, true}, LockOutcome::Held, {0, 3000}},
      {"[Setup]\nWaitForOther=0\n", {false, false}, LockOutcome::TimedOut, {0, 0}},
  };
  for (const Case& c : cases) {
    LockMachine sys(c.free);
    std::string error;
    std::optional<AnswersFile> file = AnswersFile::parse(c.answers, "a.ini", error);
    ASSERT_TRUE(file) << error;
    AnswersUi ui(std::move(*file), nullptr);
    EXPECT_EQ(waitForOtherInstallations(sys, ui), c.outcome) << c.answers;
    EXPECT_EQ(sys.waits, c.waits) << c.answers;
  }
}

TEST(InstallLock, APersonChoosesToTryAgainOrToStop) {
  // OK while the other program still runs asks again; OK once it has finished goes on.
  LockMachine waiting({false, false, true});
  ScriptedUi person;
  EXPECT_EQ(waitForOtherInstallations(waiting, person), LockOutcome::Held);
  ASSERT_EQ(person.boxes.size(), 2u);
  EXPECT_EQ(person.boxes[0].text, kOtherInstallationText);
  EXPECT_EQ(person.boxes[0].buttons, MsgButtons::OkCancel);

  LockMachine busy({false});
  ScriptedUi stopping;
  stopping.boxAnswers = {MsgResult::Cancel};
  EXPECT_EQ(waitForOtherInstallations(busy, stopping), LockOutcome::Cancelled);
  EXPECT_EQ(busy.waits.size(), 1u);
}

TEST(InstallLock, WaitForOtherMustBeSeconds) {
  std::string error;
  EXPECT_FALSE(AnswersFile::parse("[Setup]\nWaitForOther=ten\n", "a.ini", error));
  EXPECT_NE(error.find("WaitForOther must be a number of seconds from 0 to 86400"),
            std::string::npos)
      << error;
}

}  // namespace
}  // namespace qm
