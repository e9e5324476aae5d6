// A statement context for handler tests: an empty state, a quiet UI, an in-memory machine and a
// line source that serves block lines from a list, numbered as the script would number them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "script/memory_system_for_tests.h"
#include "script/script_reader.h"
#include "script/statement_context.h"

namespace qm::testing {

class QuietUi : public Ui {
 public:
  MsgResult messageBox(const MessageRequest&) override {
    ++messages;
    return MsgResult::Ok;
  }
  int messages = 0;
};

class LineListReader : public ScriptReader {
 public:
  std::vector<std::string> lines;
  std::vector<int> skipped;  // indexes handed out as lines to be skipped (-2)
  int tooLong = -1;          // index of a line reported as cut short
  int firstNumber = 2;       // the statement line itself is line 1
  size_t next = 0;

  int nextScriptLine(std::string& line) override {
    if (next >= lines.size()) return 0;
    line = lines[next];
    const int index = static_cast<int>(next++);
    setLineTooLong(index == tooLong);
    for (int s : skipped) {
      if (s == index) return -2;
    }
    return firstNumber + index;
  }
};

struct StatementFixture {
  InstallState state;
  MacroValues macros;
  StartupValues startup;
  MemorySystem sys;
  QuietUi ui;
  LineListReader reader;
  StatementLine line{&macros};
  StatementContext ctx{state, line, macros, startup, sys, ui, reader};

  // Loads a whole statement line and stands after its keyword, as the parser hands it over.
  StatementContext& statement(std::string_view text) {
    line.load(text);
    line.readKeyword();
    return ctx;
  }
};

}  // namespace qm::testing
