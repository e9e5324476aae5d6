// The checker's reading of a script: the real parser finds the errors; a walk over the same lines
// in the parser's manner tells what each line was taken for (a statement, block text, a skipped
// branch, a deferred block) so that errors can be explained and silent surprises warned about.
#include "tools/script_check.h"

#include <algorithm>
#include <map>
#include <memory>
#include <set>

#include "base/text.h"
#include "base/win_path.h"
#include "platform/sim/sim_system.h"
#include "script/conditions.h"
#include "script/deferred.h"
#include "script/parser.h"
#include "script/settings.h"
#include "script/statement_line.h"
#include "shell/startup.h"
#include "tools/script_keywords.h"

namespace qm::pack {

namespace {

// Answers every box with OK and shows nothing: a check has no one to ask.
class SilentUi : public Ui {
 public:
  MsgResult messageBox(const MessageRequest&) override { return MsgResult::Ok; }
};

// What start-up would have worked out before the parse, for a script on the first disk.
void prepareRun(System& sys, MacroValues& macros, StartupValues& startup) {
  macros.sourceDir = "A:";
  macros.sourceDir8 = "A:";
  macros.sourceDrive = "A";
  macros.winDir = joinableDirectory(sys.windowsDirectory());
  macros.winSysDir = joinableDirectory(sys.systemDirectory());
  macros.winHelpDir = macros.winDir + "\\help";
  startup.scriptPath = "A:\\SETUP.CFG";
  startup.bootDrive = bootDriveLetter(sys);
  startup.screenWidth = sys.screenWidth();
  startup.screenHeight = sys.screenHeight();
  const uint32_t version = sys.versionWord();
  startup.windowsVersion = windowsVersionOf(version);
  startup.dosVersion = dosVersionOf(version);
}

struct ParseRecord {
  std::vector<ScriptError> firstPass;
  std::vector<ScriptError> deferred;                // in line order, without repeats
  std::map<int, int> conditions;                    // first-pass IF line -> its condition's result
  bool logging = false;                             // UNINSTALL YES in effect at the end
  std::map<int, std::string> unreadAfterCondition;  // IF line -> the text its condition ignored
};

// What an IF line holds after its condition, which the parser never reads: an IF takes one
// condition, so "IF a AND b" tests a alone. Empty when the condition failed (that is an error)
// or was deferred (it is read again in the second pass), and for a group list, which stops
// reading at the first selected group: the numbers after it are part of the list.
std::string unreadAfterCondition(const StatementContext& ctx, int result) {
  if (result == -1 || result == kConditionDeferred) return {};
  StatementLine name;
  name.load(ctx.line.text());
  name.readKeyword();
  if (equalsNoCase(name.readConditionWord(), "group")) return {};
  StatementLine after = ctx.line;
  after.skipConditionSeparators();
  return std::string(after.rest());
}

ParseRecord parseForCheck(const std::string& text, System& sys) {
  ParseRecord record;
  SilentUi ui;
  MacroValues macros;
  StartupValues startup;
  prepareRun(sys, macros, startup);
  auto state = std::make_unique<InstallState>();

  ParseOptions options;
  options.continueAfterErrors = true;
  options.onError = [&record](int line, const std::string& lineText) {
    record.firstPass.push_back({line, lineText});
  };
  options.condition = [&record](StatementContext& ctx) {
    int result = evaluateCondition(ctx);
    record.conditions[ctx.lineNumber] = result;
    if (std::string unread = unreadAfterCondition(ctx, result); !unread.empty())
      record.unreadAfterCondition[ctx.lineNumber] = unread;
    return result;
  };
  parseScriptText(text, sys, ui, macros, startup, *state, options);
  record.logging = state->engine.logging;

  // Each deferred block once with its own IF taken and once with it false; its other IFs are
  // tested as the second pass tests them.
  std::set<std::pair<int, std::string>> later;
  ParseOptions second;
  second.continueAfterErrors = true;
  second.onError = [&later](int line, const std::string& lineText) {
    later.insert({line, lineText});
  };
  std::vector<DeferredBlock> blocks = state->deferred.blocks;
  for (const DeferredBlock& block : blocks) {
    for (int forced : {1, 0}) {
      second.condition = [&block, forced, &record](StatementContext& ctx) {
        int result = evaluateCondition(ctx);
        if (std::string unread = unreadAfterCondition(ctx, result); !unread.empty())
          record.unreadAfterCondition[ctx.lineNumber] = unread;
        if (ctx.lineNumber != block.firstLineNumber || result == -1) return result;
        return forced;
      };
      // The block sees what the first pass left (groups, pop-up messages ...), as it would.
      InstallState scratch = *state;
      scratch.deferred.blocks = {block};
      scratch.deferred.count = 1;
      MacroValues blockMacros = macros;
      reparseDeferredBlocks(sys, ui, blockMacros, startup, scratch, second);
    }
  }
  for (const auto& [line, lineText] : later) record.deferred.push_back({line, lineText});
  return record;
}

// The script's lines as the parser's in-memory reader splits them.
std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  for (size_t at = 0; at < text.size();) {
    char c = text[at++];
    if (c == '\n') {
      lines.push_back(line);
      line.clear();
    } else if (c != '\r') {
      line += c;
    }
  }
  if (!text.empty() && text.back() != '\n') lines.push_back(line);
  return lines;
}

std::string keywordOf(const std::string& text) {
  StatementLine line;
  line.load(text);
  return line.readKeyword();
}

std::string upper(std::string s) {
  for (char& c : s) c = toUpperAscii(c);
  return s;
}

struct BlockKind {
  const char* start;
  const char* end;
  const char* what;
};
constexpr BlockKind kBlocks[] = {
    {"BEGINFIRSTSCREEN", "ENDFIRSTSCREEN", "first-screen text"},
    {"BEGINLASTSCREEN", "ENDLASTSCREEN", "last-screen text"},
    {"POPMESSAGE", "ENDPOP", "pop-up message text"},
    {"EXITMESSAGE", "EXIT", "exit-message text"},
    {"BEGINGROUP", "ENDGROUP", "option-group text"},
    {"BEGINREGISTRY", "ENDREGISTRY", "registry block"},
};

const BlockKind* blockOf(const std::string& keyword) {
  for (const BlockKind& b : kBlocks)
    if (equalsNoCase(keyword, b.start)) return &b;
  return nullptr;
}

constexpr const char* kColourNames[] = {"Black", "Blue",    "Green",  "Cyan",
                                        "Red",   "Magenta", "Yellow", "White"};

// The colour arguments of TITLECOLOR / SCREENCOLOR that parseColour would leave unchanged.
std::vector<std::string> unknownColours(StatementLine& line, int count) {
  std::vector<std::string> unknown;
  for (int i = 0; i < count && !line.atEnd(); ++i) {
    line.skipSeparators();
    std::string text = line.peek() == '(' ? line.readParenthesised() : line.readWord();
    if (text.find(',') != std::string::npos) continue;
    bool known = false;
    for (const char* name : kColourNames) known = known || equalsNoCase(text, name);
    if (!known) unknown.push_back(text.empty() ? "(nothing)" : text);
  }
  return unknown;
}

// Whether a line holds a double quote that is never closed (doubled quotes inside count as one).
bool unclosedQuote(const std::string& text) {
  bool inside = false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '"') continue;
    if (inside && i + 1 < text.size() && text[i + 1] == '"') {
      ++i;
      continue;
    }
    inside = !inside;
  }
  return inside;
}

std::string fileNamePart(const std::string& name) {
  size_t slash = name.find_last_of("\\:");
  return slash == std::string::npos ? name : name.substr(slash + 1);
}

// A FILE name as the distribution is searched for it: the path below the disk, or none when the
// name takes a macro or a drive the check cannot resolve.
std::string distributionPath(const std::string& name) {
  if (name.empty() || name[0] == '$' || name[0] == '\\' || (name.size() > 1 && name[1] == ':'))
    return "";
  return name;
}

bool matchesOnDisk(const std::vector<std::string>& disk, const std::string& path) {
  for (const std::string& entry : disk) {
    if (wildcardMatch(path, entry)) return true;
    // A container entry has no directories: it is found by the name part.
    if (equalsNoCase(fileNamePart(path), entry)) return true;
  }
  return false;
}

class Walker {
 public:
  Walker(const std::vector<std::string>& lines, const ParseRecord& record, const Distribution& dist)
      : lines_(lines), record_(record), dist_(dist) {
    for (const ScriptError& e : record.firstPass) errorLines_.insert(e.line);
  }

  void run() {
    for (size_t i = 0; i < lines_.size(); ++i) {
      int number = static_cast<int>(i) + 1;
      contexts_[number] = context_;
      handle(i, number);
    }
    if (context_.skipping) endContext_ = context_;
    diskLayoutChecks();
  }

  std::vector<Finding> findings;
  const ErrorContext& contextAt(int line) const {
    auto it = contexts_.find(line);
    static const ErrorContext none;
    return it == contexts_.end() ? none : it->second;
  }
  bool openIfAtEnd() const { return context_.skipping; }
  // The IF waiting for the user's answers whose block runs to the end of the script, or 0.
  int unclosedDeferredIf() const { return unclosedDeferredIf_; }
  const ErrorContext& endContext() const { return endContext_; }

 private:
  void warn(int line, std::string message, Severity severity = Severity::Warning) {
    findings.push_back({line, severity, std::move(message), lines_[size_t(line - 1)]});
  }

  void handle(size_t& i, int number) {
    const std::string& text = lines_[i];
    StatementLine line;
    line.load(text);
    std::string keyword = line.readKeyword();
    std::string up = upper(keyword);
    bool structural = up == "IF" || up == "ELSE" || up == "ENDIF";
    bool error = errorLines_.count(number) != 0;

    if (context_.skipping) {
      if (!structural) {
        if (up == "EXITMESSAGE") exitBlock_ = true;
        if (up == "EXIT") exitBlock_ = false;
        return;
      }
      if (exitBlock_) return;
    }
    if (up == "REM") return;
    if (isIgnoredKeyword(keyword)) {
      warn(number, keyword + " belongs to older scripts and is ignored, with the rest of its line");
      return;
    }
    if (!keyword.empty() && !isStatementKeyword(keyword)) {
      if (line.atEnd()) {
        std::string near = closestKeyword(keyword);
        warn(number, keyword + " is not a statement; a lone word is skipped without a message" +
                         (near.empty() ? std::string() : " (did you mean " + near + "?)"));
      }
      return;
    }
    if (keyword.empty()) return;
    if (!error && unclosedQuote(text))
      warn(number, "a double quote is never closed: the quoted text reads as empty");

    if (up == "IF") return handleIf(i, number, error);
    if (up == "ELSE") {
      if (!context_.elseSeen && context_.openIfLine) {
        context_.elseSeen = true;
        context_.skipping = !context_.skipping;
      }
      return;
    }
    if (up == "ENDIF") {
      if (context_.openIfLine) {
        context_.openIfLine = 0;
        context_.elseSeen = false;
        context_.skipping = false;
        context_.lastEndIfLine = number;
      }
      return;
    }
    statementWarnings(up, line, number, error);
    if (const BlockKind* block = blockOf(up); block && !error) consumeBlock(i, number, *block);
  }

  void handleIf(size_t& i, int number, bool error) {
    if (context_.skipping) return;  // an error; the parser leaves its state as it was
    context_.openIfLine = number;
    context_.elseSeen = false;
    auto result = record_.conditions.find(number);
    int value = result == record_.conditions.end() ? -1 : result->second;
    if (value == kConditionDeferred) {
      // Saved through its first ENDIF and read after the user has answered.
      for (++i; i < lines_.size(); ++i) {
        const std::string& t = lines_[i];
        contexts_[int(i) + 1] = context_;
        contexts_[int(i) + 1].inDeferredBlock = true;
        if (equalsNoCase(keywordOf(t), "ENDIF")) break;
        deferredStatementWarnings(int(i) + 1);
      }
      if (i >= lines_.size()) unclosedDeferredIf_ = number;
      context_.openIfLine = 0;
      context_.lastEndIfLine = int(std::min(i, lines_.size() - 1)) + 1;
      return;
    }
    context_.skipping = !error && value == 0;
  }

  void deferredStatementWarnings(int number) {
    StatementLine line;
    line.load(lines_[size_t(number - 1)]);
    std::string up = upper(line.readKeyword());
    if (up == "INSERTDISK" || up == "FILE") noteFileOrDisk(up, line, number, true);
  }

  void consumeBlock(size_t& i, int number, const BlockKind& block) {
    size_t start = i;
    for (++i; i < lines_.size(); ++i) {
      contexts_[int(i) + 1] = context_;
      if (equalsNoCase(keywordOf(lines_[i]), block.end)) return;
    }
    size_t swallowed = lines_.size() - start - 1;
    std::string message = std::string(block.start) + " has no " + block.end + ": the " +
                          std::to_string(swallowed) + " line(s) after it become " + block.what;
    int statements = 0;
    for (size_t k = start + 1; k < lines_.size(); ++k)
      if (isStatementKeyword(keywordOf(lines_[k])) && !equalsNoCase(keywordOf(lines_[k]), "REM"))
        ++statements;
    if (statements > 0)
      message += " and none of their " + std::to_string(statements) + " statement(s) run";
    warn(number, message + "; add " + block.end);
  }

  void statementWarnings(const std::string& up, StatementLine& line, int number, bool error) {
    if (error) return;
    if (up == "TITLECOLOR" || up == "SCREENCOLOR") {
      for (const std::string& name : unknownColours(line, up == "TITLECOLOR" ? 1 : 2))
        warn(number, up + ": " + name +
                         " is not a colour: use Black, Blue, Green, Cyan, Red, Magenta, Yellow, "
                         "White or (red,green,blue); the colour stays unchanged");
      return;
    }
    if (up == "UNINSTALL") {
      if (equalsNoCase(line.readWord(), "YES")) uninstallLine_ = number;
      return;
    }
    if (up.size() == 4 && up.rfind("ASK", 0) == 0) {
      int n = up[3] - '1';
      if (askLines_[n])
        warn(number,
             up + " again: it replaces the " + up + " of line " + std::to_string(askLines_[n]));
      askLines_[n] = number;
      return;
    }
    if (up == "FONTNAME" || findPromptKeyword(up)) {
      line.skipSeparators();
      if (!line.atEnd() && line.peek() != '"')
        warn(number, up + " takes a quoted text; without quotes the text becomes empty");
      return;
    }
    if (up == "BEGINGROUP") {
      std::string word = line.readWord();
      if (equalsNoCase(word, "EXCLUSIVE")) word = line.readWord();
      if (!word.empty() && word[0] >= '0' && word[0] <= '9')
        context_.declaredGroups.push_back(int(parseLeadingInt(word)));
      return;
    }
    if (up == "FILE" || up == "INSERTDISK") noteFileOrDisk(up, line, number, false);
  }

  void noteFileOrDisk(const std::string& up, StatementLine& line, int number, bool deferred) {
    if (up == "INSERTDISK") {
      const std::string& text = lines_[size_t(number - 1)];
      if (text.size() >= 11 && equalsNoCase(text.substr(0, 11), "INSERTDISK:")) colonDisk_ = true;
      if (!firstDiskLine_) firstDiskLine_ = number;
      line.skipSeparators();
      if (!line.atEnd() && line.peek() != '"')
        warn(number,
             "INSERTDISK: the disk name must be quoted; unquoted, the prompt names \"the "
             "next disk\"");
      if (!deferred) disks_.push_back(number);
      return;
    }
    line.skipSeparators();
    std::string name = line.peek() == '"' ? line.readQuoted() : line.readWord();
    if (equalsNoCase(fileNamePart(name), "UNSTALL.EXE")) unstallListed_ = true;
    files_.push_back({number, name, int(disks_.size())});
  }

  void diskLayoutChecks() {
    if (firstDiskLine_ && !colonDisk_)
      warn(firstDiskLine_,
           "INSERTDISK without its colon in column 1: started from a floppy, the installer "
           "copies itself to the hard disk and runs from there only when a line begins with "
           "\"INSERTDISK:\"; without it the first disk cannot be taken out; write INSERTDISK:");
    if (uninstallLine_ && !unstallListed_)
      warn(uninstallLine_,
           "UNINSTALL YES, but no FILE statement installs unstall.exe: the install log is "
           "written, but no uninstaller is set up to read it; add FILE UNSTALL.EXE");
    if (!dist_.given()) return;
    size_t needed = disks_.size() + 1;
    if (needed > dist_.disks.size())
      warn(disks_[dist_.disks.size() - 1],
           "this INSERTDISK asks for disk " + std::to_string(dist_.disks.size() + 1) +
               ", but the distribution has " + std::to_string(dist_.disks.size()) + " disk(s)");
    for (size_t d = 0; d < needed && d < dist_.disks.size(); ++d) {
      int from = d == 0 ? 1 : disks_[d - 1];
      int count = 0;
      for (const PlannedFile& f : files_) count += f.disk == int(d) ? 1 : 0;
      warn(from,
           "disk " + std::to_string(d + 1) + " (" + dist_.diskNames[d] +
               ") is read from here: " + std::to_string(count) + " FILE statement(s)",
           Severity::Note);
    }
    for (const PlannedFile& f : files_) {
      std::string path = distributionPath(f.name);
      if (path.empty()) continue;
      // Files of the container are found from every disk.
      bool inContainer = containerHolds(path);
      int found = -1;
      for (size_t d = 0; d < dist_.disks.size(); ++d)
        if (matchesOnDisk(dist_.disks[d], path)) {
          found = int(d);
          if (int(d) == f.disk) break;
        }
      if (found < 0) {
        warn(f.line, "FILE " + f.name + ": no disk of the distribution holds it (" +
                         joinedDiskNames() + ")");
      } else if (found != f.disk && !inContainer && f.disk < int(dist_.disks.size())) {
        warn(f.line, "FILE " + f.name + " is read while disk " + std::to_string(f.disk + 1) +
                         " is in the drive, but it lies on disk " + std::to_string(found + 1) +
                         " (" + dist_.diskNames[size_t(found)] +
                         "): the installer will ask for the disk again and not find it");
      }
    }
  }

  bool containerHolds(const std::string& path) const {
    return matchesOnDisk(dist_.container, path);
  }

  std::string joinedDiskNames() const {
    std::string s;
    for (const std::string& n : dist_.diskNames) s += (s.empty() ? "" : ", ") + n;
    return s;
  }

  struct PlannedFile {
    int line;
    std::string name;
    int disk;  // 0: the first disk, k: after the k-th INSERTDISK
  };

  const std::vector<std::string>& lines_;
  const ParseRecord& record_;
  const Distribution& dist_;
  std::set<int> errorLines_;
  std::map<int, ErrorContext> contexts_;
  ErrorContext context_;
  ErrorContext endContext_;
  bool exitBlock_ = false;
  int unclosedDeferredIf_ = 0;
  int askLines_[5] = {};
  int uninstallLine_ = 0;
  bool unstallListed_ = false;
  int firstDiskLine_ = 0;
  bool colonDisk_ = false;
  std::vector<int> disks_;
  std::vector<PlannedFile> files_;
};

// An error reported with a blank text or on the last line: where a block that never met its
// ENDIF runs out.
bool endsTheScript(const ScriptError& e, const std::vector<std::string>& lines) {
  return e.text.find_first_not_of(" \t,") == std::string::npos ||
         e.line == static_cast<int>(lines.size());
}

}  // namespace

std::vector<ScriptError> checkScriptText(const std::string& text, System& sys) {
  ParseRecord record = parseForCheck(text, sys);
  std::vector<ScriptError> errors = record.firstPass;
  errors.insert(errors.end(), record.deferred.begin(), record.deferred.end());
  return errors;
}

std::vector<Finding> checkScript(const std::string& text, System& sys, const Distribution& dist) {
  ParseRecord record = parseForCheck(text, sys);
  std::vector<std::string> lines = splitLines(text);
  Walker walker(lines, record, dist);
  walker.run();

  std::vector<Finding> findings;
  for (size_t k = 0; k < record.firstPass.size(); ++k) {
    const ScriptError& e = record.firstPass[k];
    ErrorContext context = walker.contextAt(e.line);
    // The parser reports an IF left open after the last line, with the last line's text.
    if (k + 1 == record.firstPass.size() && walker.openIfAtEnd() &&
        e.line == static_cast<int>(lines.size())) {
      context = walker.endContext();
      context.openIfAtEnd = true;
    }
    if (walker.unclosedDeferredIf() && e.line >= walker.unclosedDeferredIf() &&
        endsTheScript(e, lines)) {
      context.openIfLine = walker.unclosedDeferredIf();
      context.openIfAtEnd = true;
      context.inDeferredBlock = true;
    }
    findings.push_back({e.line, Severity::Error, explainError(e.text, context), e.text});
  }
  for (const ScriptError& e : record.deferred) {
    ErrorContext context = walker.contextAt(e.line);
    context.inDeferredBlock = true;
    if (walker.unclosedDeferredIf() && endsTheScript(e, lines)) {
      context.openIfLine = walker.unclosedDeferredIf();
      context.openIfAtEnd = true;
    }
    findings.push_back({e.line, Severity::Error, explainError(e.text, context), e.text});
  }
  std::vector<Finding> rest = walker.findings;
  for (const auto& [line, unread] : record.unreadAfterCondition)
    if (line >= 1 && size_t(line) <= lines.size())
      rest.push_back({line, Severity::Warning,
                      "IF takes one condition; the rest of the line is ignored: " + unread,
                      lines[size_t(line - 1)]});
  std::stable_sort(rest.begin(), rest.end(),
                   [](const Finding& a, const Finding& b) { return a.line < b.line; });
  findings.insert(findings.end(), rest.begin(), rest.end());
  return findings;
}

}  // namespace qm::pack
