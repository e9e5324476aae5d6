// COMPRESSION PKWARE | LHA: which outside unpacker expands COMPRESSED and SELF-EXTRACT files.
#include "base/text.h"
#include "engine/external_unpack.h"
#include "script/statement_handlers.h"

namespace qm {

int readCompressionStatement(StatementContext& ctx) {
  const std::string word = ctx.line.readWord();
  if (equalsNoCase(word, "PKWARE")) {
    ctx.state.engine.compressionKind = kCompressionPkware;
  } else if (equalsNoCase(word, "LHA")) {
    ctx.state.engine.compressionKind = kCompressionLha;
  } else {
    return 1;
  }
  return 0;
}

}  // namespace qm
