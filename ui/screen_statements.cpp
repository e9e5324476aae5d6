// Placeholder handlers: they accept the line and read nothing until their readers land.
#include "script/statement_handlers.h"

namespace qm {

int readAskStatement(StatementContext& , int) { return 0; }
int readFirstScreenStatement(StatementContext& ) { return 0; }
int readLastScreenStatement(StatementContext& ) { return 0; }
int readPopMessageStatement(StatementContext& ) { return 0; }
int readExitMessageStatement(StatementContext& ) { return 0; }
int readBeginGroupStatement(StatementContext& ) { return 0; }

}  // namespace qm
