// IF conditions. Results: -1 syntax error, 0 false, 1 true, 100 the block was deferred until the
// user's answers are known.
#pragma once

#include "script/statement_context.h"

namespace qm {

constexpr int kConditionDeferred = 100;

// Reads and tests the condition after IF (ctx.line stands after the keyword). In the first pass
// a condition on groups or answers defers the block; in the second pass it is decided.
int evaluateCondition(StatementContext& ctx);

}  // namespace qm
