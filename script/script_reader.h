// The parser's line source, as the block readers (text blocks, registry blocks) see it: they pull
// their lines through it so that they work in both passes.
#pragma once

#include <string>

namespace qm {

class ScriptReader {
 public:
  virtual ~ScriptReader() = default;
  // Reads the next line (line feed removed) into line. Returns the line number (> 0), 0 at the end
  // of the script or block, -1 on an error, -2 for a line that is to be skipped.
  virtual int nextScriptLine(std::string& line) = 0;
};

}  // namespace qm
