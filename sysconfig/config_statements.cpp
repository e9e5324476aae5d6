// Placeholder handlers: they accept the line and read nothing until their readers land.
#include "script/statement_handlers.h"

namespace qm {

int readAutoexecStatement(StatementContext& ) { return 0; }
int readConfigStatement(StatementContext& ) { return 0; }
int readWinItemStatement(StatementContext& ) { return 0; }
int readIniFileStatement(StatementContext& ) { return 0; }
int readAddTextStatement(StatementContext& ) { return 0; }
int readRegistryStatement(StatementContext& ) { return 0; }

}  // namespace qm
