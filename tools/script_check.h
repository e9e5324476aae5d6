// The checking behind `quillpack check`: a script read as the installer's first pass reads it,
// then its deferred IF blocks read both ways, every syntax error collected.
#pragma once

#include <string>
#include <vector>

#include "platform/system.h"

namespace qm::pack {

struct ScriptError {
  int line = 0;
  std::string text;
  friend bool operator==(const ScriptError&, const ScriptError&) = default;
};

// Errors of the first pass in script order (the first is the one the installer shows at
// start-up), then those found in deferred blocks, in line order without repeats.
std::vector<ScriptError> checkScriptText(const std::string& text, System& sys);

}  // namespace qm::pack
