// Placeholder handlers: they accept the line and read nothing until their readers land.
#include "script/statement_handlers.h"

namespace qm {

int readUninstallStatement(StatementContext& ) { return 0; }
int readRegServerStatement(StatementContext& ) { return 0; }
int readFileStatement(StatementContext& ) { return 0; }
int readInsertDiskStatement(StatementContext& ) { return 0; }
int readDeleteStatement(StatementContext& ) { return 0; }
int readRenameStatement(StatementContext& ) { return 0; }
int readMinCpuTypeStatement(StatementContext& ) { return 0; }
int readMinDiskSpaceStatement(StatementContext& ) { return 0; }
int readProgressBarStatement(StatementContext& ) { return 0; }
int readOverwriteFileStatement(StatementContext& ) { return 0; }

}  // namespace qm
