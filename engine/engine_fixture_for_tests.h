// An engine on a simulated machine for tests: C:\SETUP holds the distribution, the destination
// is C:\APP, logging is on, and the UI answers message boxes from a queue and keeps them all.
#pragma once

#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "platform/sim/sim_fixture_for_tests.h"

namespace qm::testing {

class ScriptedUi : public Ui {
 public:
  MsgResult messageBox(const MessageRequest& request) override {
    boxes.push_back(request);
    if (answers.empty())
      return request.buttons == MsgButtons::YesNo ? MsgResult::No : MsgResult::Ok;
    MsgResult r = answers.front();
    answers.pop_front();
    return r;
  }
  void trace(const std::string& line) override { traced.push_back(line); }
  std::optional<std::string> answer(const std::string& key) const override {
    auto it = given.find(key);
    return it == given.end() ? std::nullopt : std::optional<std::string>(it->second);
  }
  std::map<std::string, std::string> given;  // the answers file's keys, when the run has one
  std::vector<MessageRequest> boxes;
  std::deque<MsgResult> answers;
  std::vector<std::string> traced;
};

struct EngineFixture {
  explicit EngineFixture(const std::string& machine = SimFixture::kDefaultMachine) : sim(machine) {
    state.engine.logging = true;
    macros.sourceDir = "C:\\SETUP";
    macros.defaultDir = "C:\\APP";
    macros.winDir = "C:\\WINDOWS";
    macros.winSysDir = "C:\\WINDOWS\\SYSTEM";
    sim.makeDirectory("C:\\SETUP");
  }
  // The destination as the destination phase leaves it: existing, current, the log beside it.
  void settleDestination() {
    sim.makeDirectory(macros.defaultDir);
    engine.log.setDirectory(macros.defaultDir);
    sim.sys().setCurrentDirectory(macros.defaultDir);
  }
  std::string log() { return sim.readFile(macros.defaultDir + "\\install.log").value_or(""); }

  SimFixture sim;
  ScriptedUi ui;
  InstallState state;
  MacroValues macros;
  StartupValues startup;
  Container container{sim.sys()};
  Engine engine{sim.sys(), ui, state, macros, startup, container};
};

}  // namespace qm::testing
