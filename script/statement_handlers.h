// Statement handlers owned by the folders that execute their records. Each reads its arguments
// from ctx.line (positioned after the keyword) and returns 0, or non-zero for a syntax error.
#pragma once

#include "script/statement_context.h"

namespace qm {

// engine/engine_statements.cpp
int readUninstallStatement(StatementContext& ctx);    // UNINSTALL
int readRegServerStatement(StatementContext& ctx);    // REGSERVER
int readFileStatement(StatementContext& ctx);         // FILE
int readInsertDiskStatement(StatementContext& ctx);   // INSERTDISK
int readDeleteStatement(StatementContext& ctx);       // DELETE
int readRenameStatement(StatementContext& ctx);       // RENAME
int readMinCpuTypeStatement(StatementContext& ctx);   // MINCPUTYPE
int readMinDiskSpaceStatement(StatementContext& ctx); // MINDISKSPACE
int readProgressBarStatement(StatementContext& ctx);  // PROGRESSBAR
int readOverwriteFileStatement(StatementContext& ctx);// OVERWRITEFILE
// engine/compression_statement.cpp
int readCompressionStatement(StatementContext& ctx);  // COMPRESSION
// ui/screen_statements.cpp
int readAskStatement(StatementContext& ctx, int number);  // ASK1 .. ASK5
int readFirstScreenStatement(StatementContext& ctx);  // BEGINFIRSTSCREEN
int readLastScreenStatement(StatementContext& ctx);   // BEGINLASTSCREEN
int readPopMessageStatement(StatementContext& ctx);   // POPMESSAGE
// Returns 1 after showing the exit message: the parser then stops and reports failure.
int readExitMessageStatement(StatementContext& ctx);  // EXITMESSAGE
int readBeginGroupStatement(StatementContext& ctx);   // BEGINGROUP
// sysconfig/config_statements.cpp
int readAutoexecStatement(StatementContext& ctx);     // AUTOEXEC
int readConfigStatement(StatementContext& ctx);       // CONFIG
int readWinItemStatement(StatementContext& ctx);      // WINITEM
int readIniFileStatement(StatementContext& ctx);      // INIFILE
int readAddTextStatement(StatementContext& ctx);      // ADDTEXT
int readRegistryStatement(StatementContext& ctx);     // BEGINREGISTRY
// finish/finish_statements.cpp
int readShowReadmeStatement(StatementContext& ctx);   // SHOWREADME
int readRunAtExitStatement(StatementContext& ctx);    // RUNATEXIT
int readRebootStatement(StatementContext& ctx, int form);  // REBOOTWINDOWS (1), REBOOTSYSTEM (2), REBOOT (0)
// UNINSTALLBEGINPROMPT (0), UNINSTALLENDPROMPT (1), UninstallTitlePrompt (2)
int readUninstallTextStatement(StatementContext& ctx, int which);

}  // namespace qm
