// The checking behind `quillpack check`: a script read as the installer's first pass reads it,
// then its deferred IF blocks read both ways, every syntax error collected, explained in the
// vendor's words, and the lines the installer accepts but ignores or reads in a surprising way
// reported as warnings.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "engine/package.h"
#include "platform/system.h"
#include "records/engine_records.h"
#include "script/parse_options.h"
#include "script/statement_context.h"

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

// One file of a disk or of the installer's container.
struct DistFile {
  DistFile(std::string p = {}, uint64_t s = 0, std::string h = {})
      : path(std::move(p)), size(s), head(std::move(h)) {}
  DistFile(const char* p) : path(p) {}
  std::string path;  // below the disk's root, with backslashes; a container entry has no folder
  uint64_t size = 0;
  std::string head;  // the file's first bytes, enough for a package volume's header
};

// The files a distribution offers, disk by disk: disks[0] is the first disk (the loose files
// beside the script or SETUP.EXE), disks[1] the one the first INSERTDISK asks for ...
struct Distribution {
  std::vector<std::vector<DistFile>> disks;
  std::vector<std::string> diskNames;  // how each disk is named in a message
  std::vector<DistFile> container;     // SETUP.EXE's container, on the first disk
  bool given() const { return !disks.empty(); }
};

// Everything a check finds: the errors in the order checkScriptText gives them, each with its
// reason, then the warnings (and, with a distribution, notes on the disk layout) in line order.
std::vector<Finding> checkScript(const std::string& text, System& sys,
                                 const Distribution& dist = {});

// One FILE or INSERTDISK the installer's copy loop will meet, in script order.
struct PlannedEntry {
  int line = 0;
  FileEntry entry;
  bool deferred = false;  // inside an IF that waits for the user's answers
};

// What a script makes the installer read from its distribution.
struct ScriptPlan {
  std::vector<PlannedEntry> entries;       // deferred blocks' entries as if their IF held
  std::string screenGraphic, introScreen;  // below the first disk; empty when none or elsewhere
  bool relaunches = false;  // a line begins with INSERTDISK: (a floppy start runs a copy)
  int syntaxErrors = 0;
};
// forcedCondition 0 or 1 takes every IF as false or true instead of asking the machine.
ScriptPlan planScript(const std::string& text, System& sys, int forcedCondition = -1);

// Where the installer looks for a FILE's source, below the disk's root; empty when it looks
// outside the distribution (a SOURCE with a drive or macro) or the name takes a macro the check
// cannot know. An absolute or macro target is read by its name alone.
std::string sourceBelowDisk(const FileEntry& entry);

// The package header at the start of a file, when the file is a package volume.
std::optional<PackageHeader> packageHeader(const DistFile& f);

// The reason for one syntax error, from what the parser reported about its line.
struct ErrorReport {
  std::string text;                // the line as the installer shows it
  std::string keyword;             // as written; empty when the line begins with none
  std::optional<Refusal> refusal;  // why the reader refused it, when it said
  IfPosition ifs;                  // where the line stood among IF / ELSE / ENDIF
  bool inDeferredBlock = false;    // read in the second pass, after the user's answers
};
std::string explainError(const ErrorReport& error);

// The candidate nearest to word (at most two letters added, dropped or changed), or empty;
// closestKeyword looks among the statement keywords.
std::string closestWord(const std::string& word, const std::vector<std::string>& candidates);
std::string closestKeyword(const std::string& word);

}  // namespace qm::pack
