// The script parser: the line loop, the statement table, IF / ELSE / ENDIF and the reporting of
// syntax errors. The first pass reads the whole script at start-up; the second pass
// (reparseDeferredBlocks, script/deferred.h) reads the deferred IF blocks again.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "records/startup_values.h"
#include "script/install_state.h"
#include "script/macros.h"
#include "script/parse_options.h"
#include "script/source.h"
#include "script/statement_context.h"
#include "platform/ui_seam.h"

namespace qm {

// First pass over the script at scriptPath, opened through the source reader. Returns 0, or 1
// when the script could not be opened, had a syntax error (a message was shown) or showed its
// exit message.
int parseScript(const std::string& scriptPath, System& sys, Ui& ui, Container& container,
                MacroValues& macros, const StartupValues& startup, InstallState& state,
                const ParseOptions& options = {});

// The same first pass over a script held in memory (the checking tool, tests, the fuzzer).
int parseScriptText(const std::string& text, System& sys, Ui& ui, MacroValues& macros,
                    const StartupValues& startup, InstallState& state,
                    const ParseOptions& options = {});

// The parser's own statement handlers (the rest are in settings.h and statement_handlers.h).
int readRunAtStartStatement(StatementContext& ctx);   // RUNATSTART
int readIntroScreenStatement(StatementContext& ctx);  // INTROSCREEN

// Every keyword the parser answers to, in the order it tries them (prompt keywords in their
// place, REM last).
std::vector<std::string> statementKeywords();
bool isStatementKeyword(std::string_view word);

// The line loop of both passes: pulls ctx.reader's lines until it ends, hands each statement to
// its handler and reports syntax errors as options say. Returns 0, or 1 after an error or an exit
// message. A reader that returns -1 has stored the failing line's number in ctx.state.lineNumber.
int parseLines(StatementContext& ctx, const ParseOptions& options);

}  // namespace qm
