// Placeholder handlers: they accept the line and read nothing until their readers land.
#include "script/statement_handlers.h"

namespace qm {

int readShowReadmeStatement(StatementContext& ) { return 0; }
int readRunAtExitStatement(StatementContext& ) { return 0; }
int readRebootStatement(StatementContext& , int) { return 0; }
int readUninstallTextStatement(StatementContext& , int) { return 0; }

}  // namespace qm
