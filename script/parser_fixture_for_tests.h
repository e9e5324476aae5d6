// A parse run for tests: an in-memory machine, a UI that records every message box, and a
// condition reader driven by the IF line's first word (true, false, bad, or "defer yes|no":
// deferred in the first pass, decided by the second word in the second).
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "script/deferred.h"
#include "script/memory_system_for_tests.h"
#include "script/parser.h"

namespace qm::testing {

class RecordingUi : public Ui {
 public:
  MsgResult messageBox(const MessageRequest& request) override {
    boxes.push_back(request);
    return MsgResult::Ok;
  }
  std::vector<MessageRequest> boxes;
};

inline int wordCondition(StatementContext& ctx) {
  std::string word = ctx.line.readWord();
  if (word == "true") return 1;
  if (word == "false") return 0;
  if (word == "defer") {
    if (!ctx.secondPass) return deferIfBlock(ctx);
    return ctx.line.readWord() == "yes" ? 1 : 0;
  }
  return -1;
}

struct ParseRun {
  MemorySystem sys;
  RecordingUi ui;
  MacroValues macros;
  StartupValues startup;
  InstallState state;
  ParseOptions options;
  std::vector<std::pair<int, std::string>> errors;  // with collectErrors()

  ParseRun() {
    options.condition = wordCondition;
    macros.sourceDir = "A:";
    macros.winDir = "C:\\WINDOWS";
    sys.currentDir = "C:\\WORK";
  }
  void collectErrors() {
    options.continueAfterErrors = true;
    options.onError = [this](int line, const std::string& text) {
      errors.emplace_back(line, text);
    };
  }
  int parse(const std::string& script) {
    return parseScriptText(script, sys, ui, macros, startup, state, options);
  }
  int reparse() { return reparseDeferredBlocks(sys, ui, macros, startup, state, options); }
  // The line number in the last syntax-error box's caption; 0 when there was none.
  int errorLine() const {
    static const std::string kCaption = "Syntax error, line: ";
    for (auto it = ui.boxes.rbegin(); it != ui.boxes.rend(); ++it)
      if (it->caption.rfind(kCaption, 0) == 0)
        return std::stoi(it->caption.substr(kCaption.size()));
    return 0;
  }
};

}  // namespace qm::testing
