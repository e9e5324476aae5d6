// The checking behind `quillpack check`: a script read as the installer's first pass reads it,
// then its deferred IF blocks read both ways, every syntax error collected, explained in the
// vendor's words, and the lines the installer accepts but ignores or reads in a surprising way
// reported as warnings.
#pragma once

#include <map>
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

enum class Severity { Error, Warning, Note };

struct Finding {
  int line = 0;
  Severity severity = Severity::Error;
  std::string message;  // never empty
  std::string text;     // the script line it is about
};

// The files a distribution offers, disk by disk: disks[0] is the first disk (the script's own,
// with the container of a built SETUP.EXE), disks[1] the one the first INSERTDISK asks for ...
struct Distribution {
  std::vector<std::vector<std::string>> disks;  // file names (and relative paths) per disk
  std::vector<std::string> diskNames;           // how each disk is named in a message
  std::vector<std::string> container;  // entries of the installer's container, found from any disk
  bool given() const { return !disks.empty(); }
};

// Everything a check finds: the errors in the order checkScriptText gives them, each with its
// reason, then the warnings (and, with a distribution, notes on the disk layout) in line order.
std::vector<Finding> checkScript(const std::string& text, System& sys,
                                 const Distribution& dist = {});

// The reason for one syntax error, told from the line's own text and what came before it.
struct ErrorContext {
  int openIfLine = 0;               // the IF still open at this line, 0 when none
  bool elseSeen = false;            // that IF already had its ELSE
  bool skipping = false;            // inside a branch that is not taken
  int lastEndIfLine = 0;            // the last ENDIF before this line
  bool inDeferredBlock = false;     // read in the second pass, after the user's answers
  bool openIfAtEnd = false;         // the error is the IF left open at the end of the script
  std::vector<int> declaredGroups;  // BEGINGROUP numbers declared before this line
};
std::string explainError(const std::string& lineText, const ErrorContext& context);

}  // namespace qm::pack
