// How a parse reports its syntax errors, and what tests its IF conditions.
#pragma once

#include <functional>
#include <string>

namespace qm {

struct StatementContext;

struct ParseOptions {
  // Called for each syntax error with its line number and the line's text; when unset, the first
  // error is shown in the syntax-error message box instead.
  std::function<void(int lineNumber, const std::string& text)> onError;
  // Carry on after an error (and after an exit message) instead of ending the pass, so that a
  // checking run finds every error it can.
  bool continueAfterErrors = false;
  // Tests IF conditions; evaluateCondition when unset. Same results: -1, 0, 1 or 100.
  std::function<int(StatementContext& ctx)> condition;
};

}  // namespace qm
