// Placeholder handlers: they accept the line and read nothing until their readers land.
#include "script/statement_handlers.h"

namespace qm {

int readCompressionStatement(StatementContext& ) { return 0; }

}  // namespace qm
