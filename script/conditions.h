// IF conditions. Results: -1 syntax error, 0 false, 1 true, 100 the block was deferred until the
// user's answers are known.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "script/statement_context.h"

namespace qm {

constexpr int kConditionDeferred = 100;

// Comparison operators as readComparison numbers them.
enum ComparisonOp : int {
  kOpEqual = 1,
  kOpGreater = 2,
  kOpLess = 3,
  kOpGreaterEqual = 4,
  kOpLessEqual = 5,
  kOpNotEqual = 6
};

// Reads and tests the condition after IF (ctx.line stands after the keyword). In the first pass
// a condition on groups or answers defers the block; in the second pass every condition goes to
// evaluateAnswerCondition.
int evaluateCondition(StatementContext& ctx);

// True for a word that names a condition test (isfile, winver, group, $ASKn ...); any other
// first word of a condition is compared as text.
bool isConditionWord(std::string_view word);
std::vector<std::string> conditionWords();  // the test names, in the order they are tried

// The second pass's reader: group lists and $ASKn comparisons; 1, 0 or -1 (any other test sets
// the state's syntax-error flag).
int evaluateAnswerCondition(StatementContext& ctx);

// One comparison operator ("=", "==", ">", "<", ">=", "<=", "<>") as its code 1 to 6, or -1.
int readComparison(StatementLine& line);

// True when cmp (below, at or above 0) satisfies the operator.
bool comparisonHolds(int op, int cmp);

// 1 with the file's version text ("\StringFileInfo\040904E4\FileVersion", else the 040904B0
// table) in out, or 0 when the file has none or it is empty.
int readFileVersion(Machine& machine, const std::string& path, std::string& out);

// Which drives a locate searches.
struct DriveSelector {
  enum class Kind { FixedAndNetwork, Fixed, Network, OneDrive } kind = Kind::FixedAndNetwork;
  char letter = 0;  // OneDrive only
};
// The selector a locate's where word names (empty, one letter, "local", "network"), or nullopt.
std::optional<DriveSelector> parseDriveSelector(std::string_view where);

// Searches the selected drives depth first for name (wildcards allowed); on success sets
// $LOCATEDIR$ and $LOCATEDRIVE$ and returns 1, else 0. The drive of $SOURCEDIR$ is never searched
// unless it is the one drive selected. The current directory is restored.
int findFileOnDrives(FileSystem& fs, MacroValues& macros, const std::string& name,
                     const DriveSelector& where);

// Searches a text file for text (path macros expanded, case ignored); on success sets $LEFT$,
// $RIGHT$, $SEARCH$ and returns 1, else 0 and they keep their values. Lines starting with
// skipPrefix are passed over; with a begin marker the search starts after the line holding it;
// a line holding the end marker stops it.
int searchTextFile(FileSystem& fs, MacroValues& macros, const std::string& text,
                   const std::string& file, const std::string& skipPrefix, const std::string& begin,
                   const std::string& end);

// Numbers as conditions read them: integers like atoi (saturated instead of overflowing) and
// decimal fractions (digits, point, fraction, exponent; nothing numeric gives 0).
int64_t conditionInteger(std::string_view text);
double conditionFraction(std::string_view text);

}  // namespace qm
