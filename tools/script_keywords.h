// The statement keywords as the checker knows them, for telling a misspelt keyword from a word
// the parser merely passes over.
#pragma once

#include <string>

namespace qm::pack {

// True for every keyword the parser's statement table answers to (prompt keywords included).
bool isStatementKeyword(const std::string& word);

// The keyword nearest to word (at most two letters added, dropped or changed), or empty.
std::string closestKeyword(const std::string& word);

}  // namespace qm::pack
