// How a parse reports its syntax errors, and what tests its IF conditions.
#pragma once

#include <functional>
#include <string>

namespace qm {

struct StatementContext;
struct Refusal;

// What the parser took a line for.
enum class LineRole {
  Blank,      // nothing but separators
  Comment,    // REM
  Ignored,    // a keyword of older scripts, ignored with its line
  LoneWord,   // an unknown word alone on its line, skipped without a message
  Statement,  // handed to its statement's reader (IF, ELSE and ENDIF included)
  BlockText,  // taken by the block reader of the statement before it
  Deferred,   // saved with the IF before it, read again after the user's answers
  Skipped,    // in a branch not taken
  Error,      // a syntax error (refusal says why)
};

// Where a line stands among IF / ELSE / ENDIF, as the parser found it before the line.
struct IfPosition {
  int openIfLine = 0;     // the open IF's line, 0 when none
  bool elseSeen = false;  // that IF already had its ELSE
  bool skipping = false;  // in a branch not taken
  int lastEndIfLine = 0;  // the last ENDIF read
};

struct LineReport {
  int number = 0;
  LineRole role = LineRole::Blank;
  std::string keyword;  // as written; empty when the line begins with none
  IfPosition ifs;
  int consumed = 0;                  // lines a block reader or a deferral took after this one
  const Refusal* refusal = nullptr;  // with LineRole::Error: why, when a reader said
  bool secondPass = false;
};

struct ParseOptions {
  // Called for each syntax error with its line number and the line's text; when unset, the first
  // error is shown in the syntax-error message box instead.
  std::function<void(int lineNumber, const std::string& text)> onError;
  // Carry on after an error (and after an exit message) instead of ending the pass, so that a
  // checking run finds every error it can.
  bool continueAfterErrors = false;
  // Tests IF conditions; evaluateCondition when unset. Same results: -1, 0, 1 or 100.
  std::function<int(StatementContext& ctx)> condition;
  // Called once for every line with what the parser took it for (the checking tool).
  std::function<void(const LineReport& report)> onLine;
};

}  // namespace qm
