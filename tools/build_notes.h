// What `quillpack build` tells the vendor about the files it packs: each file it skips and why,
// and whether the installer it writes will find a script.
#pragma once

#include <string>
#include <vector>

#include "tools/container_writer.h"

namespace qm::pack {

// The notes for items as given (before duplicates are dropped), for an installer written to
// outPath; each a whole line without the line end.
std::vector<std::string> buildNotes(const std::vector<PackItem>& items, const std::string& outPath);

// Prints buildNotes on stderr.
void reportSkippedAndScript(const std::vector<PackItem>& items, const std::string& outPath);

}  // namespace qm::pack
