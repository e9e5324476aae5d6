// Deferred IF blocks: an IF whose condition waits for the user's answers is saved with its lines
// up to ENDIF in the first pass and parsed again, once the answers are known, in the second.
#pragma once

#include <string>
#include <vector>

#include "script/parse_options.h"

namespace qm {

struct StatementContext;
struct MacroValues;
class System;
class Ui;
struct InstallState;
struct StartupValues;

constexpr int kMaxDeferredSlots = 60;  // the IF line and at most 59 following lines

struct DeferredBlock {
  std::vector<std::string> lines;  // slot 0: the IF line; at most kMaxDeferredSlots
  int firstLineNumber = 0;         // the IF line's number
};

struct DeferredBlocks {
  std::vector<DeferredBlock> blocks;  // in script order; the newest is the current one
  int count = 0;                      // counted by the condition reader as it creates blocks
};

// Called by the condition reader in the first pass, after it appended a new block to
// ctx.state.deferred (firstLineNumber = ctx.lineNumber), counted it and set the deferral mode to
// 1. Saves ctx.line's text as slot 0 of the newest block, then reads the script's following lines
// straight from ctx.reader (readScriptLine) into slots 1, 2, ... up to and including the line
// whose first word is ENDIF, or to the end of the script. Returns the number of slots used (IF
// line included), or -1 when 60 slots fill without an ENDIF. The lines read advance the reader's
// line count, so the parser's line numbers stay exact either way.
int deferBlock(StatementContext& ctx);

// The whole first-pass deferral for the condition reader: creates, appends and counts the block,
// sets deferral mode 1 and calls deferBlock. Returns 100 (carry on after the block), or -1 when
// the block overflowed; the failed block is then dropped and not counted.
int deferIfBlock(StatementContext& ctx);

// Second pass over every deferred block in order (the answers are known by now). Returns 0, or -1
// when the number of blocks differs from the count or a block failed (its message was shown).
int reparseDeferredBlocks(System& sys, Ui& ui, MacroValues& macros, const StartupValues& startup,
                          InstallState& state, const ParseOptions& options = {});

}  // namespace qm
