// What a statement handler is given: the state it fills, the line it reads, and the run's
// services. A handler returns 0 when the line was good and anything else for a syntax error.
#pragma once

#include <optional>
#include <string>

#include "platform/system.h"
#include "records/startup_values.h"
#include "script/install_state.h"
#include "script/macros.h"
#include "script/statement_line.h"
#include "platform/ui_seam.h"

namespace qm {

class ScriptReader;  // the parser's line source; block readers pull their lines through it

// Why a statement reader refused its line. The installer only needs to know that it did; the
// checking tool turns the reason into advice, so no second grammar is needed to find it.
enum class RefusalKind {
  Unreadable,        // no more telling reason
  MissingArgument,   // subject: what is missing
  EmptyQuote,        // a quoted argument is empty or never closed
  NotQuoted,         // subject: the argument that must be quoted
  UnquotedBlank,     // subject: an unquoted path, value: the word after its blank
  UnknownWord,       // subject: the word the statement does not take ("" for a stray "=")
  MissingEquals,     // subject: the option written without "="
  BadValue,          // subject: the option or argument, value: what was given
  TooLong,           // subject: the argument
  TooMany,           // subject: what there are too many of
  UndeclaredGroup,   // value: the group number no BEGINGROUP declared before the line
  NotInSecondPass,   // a statement that cannot stand in a block read after the answers
  UnknownStatement,  // a keyword the parser does not know, followed by arguments
  NotAStatement,     // the line does not begin with a keyword
  LineTooLong,
  IfInSkippedBranch,
  IfWithoutCondition,
  ElseWithoutIf,
  SecondElse,
  EndIfWithoutIf,
  OpenIfAtEnd,          // the IF of ifState.openIfLine never met its ENDIF
  LoneCarriageReturns,  // the script ends its lines with CR alone: the whole file is one line
};

struct Refusal {
  RefusalKind kind = RefusalKind::Unreadable;
  std::string subject = {};
  std::string value = {};
};

struct StatementContext {
  InstallState& state;
  StatementLine& line;
  MacroValues& macros;
  const StartupValues& startup;
  System& sys;
  Ui& ui;
  ScriptReader& reader;
  bool secondPass = false;
  int lineNumber = 0;
  // Lines a block reader consumed beyond the statement's own line (end line included); the
  // first pass adds them to its line count.
  int consumedLines = 0;
  // Set by a reader that refuses its line; the parser clears it before each statement.
  std::optional<Refusal> refusal = std::nullopt;

  // Records why the line is refused and returns the reader's failure result.
  int refuse(RefusalKind kind, std::string subject = {}, std::string value = {}) {
    refusal = Refusal{kind, std::move(subject), std::move(value)};
    return 1;
  }
};

using StatementHandler = int (*)(StatementContext& ctx);

}  // namespace qm
