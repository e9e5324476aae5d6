// The checker's reading of a script: the real parser finds the errors and reports what it took
// each line for (a statement, block text, a skipped branch, a deferred block) and why a reader
// refused a line, so that errors can be explained and silent surprises warned about.
#include "tools/script_check.h"

#include <algorithm>
#include <map>
#include <memory>
#include <set>

#include "base/text.h"
#include "base/win_path.h"
#include "engine/package.h"
#include "platform/sim/sim_system.h"
#include "script/conditions.h"
#include "script/deferred.h"
#include "script/parser.h"
#include "script/settings.h"
#include "script/statement_line.h"
#include "shell/startup.h"

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
  macros.winDir = joinableDirectory(sys.files().windowsDirectory());
  macros.winSysDir = joinableDirectory(sys.files().systemDirectory());
  macros.winHelpDir = macros.winDir + "\\help";
  startup.scriptPath = "A:\\SETUP.CFG";
  startup.bootDrive = bootDriveLetter(sys);
  startup.screenWidth = sys.machine().screenWidth();
  startup.screenHeight = sys.machine().screenHeight();
  const uint32_t version = sys.machine().versionWord();
  startup.windowsVersion = windowsVersionOf(version);
  startup.dosVersion = dosVersionOf(version);
}

std::string upper(std::string s) {
  for (char& c : s) c = toUpperAscii(c);
  return s;
}

// What the parser said about one line of the first pass.
struct LineFacts {
  LineRole role = LineRole::Blank;
  std::string keyword;
  int consumed = 0;
};

struct ParseRecord {
  std::vector<ScriptError> firstPass;
  std::vector<ErrorReport> firstPassReports;                    // one per firstPass error
  std::map<std::pair<int, std::string>, ErrorReport> deferred;  // in line order, without repeats
  std::map<int, LineFacts> lines;                               // first pass, by line number
  std::set<int> deferredStatements;                 // lines read as statements in a deferred block
  std::map<int, int> conditions;                    // first-pass IF line -> its condition's result
  bool logging = false;                             // UNINSTALL YES in effect at the end
  std::map<int, std::string> unreadAfterCondition;  // IF line -> the text its condition ignored
  std::vector<PlannedEntry> entries;
  std::string screenGraphic, introScreen, readme;  // as the first pass left them
  uint64_t baseSpace = 1;
  std::map<std::string, int> lastLineOf;  // upper-case keyword -> its last statement line
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

bool isFileOrDisk(const LineReport& r) {
  return r.role == LineRole::Statement &&
         (equalsNoCase(r.keyword, "FILE") || equalsNoCase(r.keyword, "INSERTDISK"));
}

// Pairs the FILE and INSERTDISK lines a pass accepted with the entries it appended, in order.
void addEntries(const std::vector<int>& lines, const std::vector<FileEntry>& files, size_t from,
                bool deferred, std::vector<PlannedEntry>& out) {
  for (size_t k = 0; k < lines.size() && from + k < files.size(); ++k)
    out.push_back({lines[k], files[from + k], deferred});
}

ParseRecord parseForCheck(const std::string& text, System& sys, int forcedCondition = -1) {
  ParseRecord record;
  SilentUi ui;
  MacroValues macros;
  StartupValues startup;
  prepareRun(sys, macros, startup);
  auto state = std::make_unique<InstallState>();

  ParseOptions options;
  options.continueAfterErrors = true;
  std::vector<int> entryLines;
  ErrorReport pending;
  // The line report comes just before its error: keep what it says for the explanation.
  auto keepReport = [](ErrorReport& into, const LineReport& r) {
    into.keyword = r.keyword;
    into.ifs = r.ifs;
    into.inDeferredBlock = r.secondPass;
    into.refusal.reset();
    if (r.refusal) into.refusal = *r.refusal;
  };
  options.onLine = [&, keepReport](const LineReport& r) {
    record.lines[r.number] = {r.role, r.keyword, r.consumed};
    if (isFileOrDisk(r)) entryLines.push_back(r.number);
    if (r.role == LineRole::Statement) record.lastLineOf[upper(r.keyword)] = r.number;
    if (r.role == LineRole::Error) keepReport(pending, r);
  };
  options.onError = [&record, &pending](int line, const std::string& lineText) {
    record.firstPass.push_back({line, lineText});
    pending.text = lineText;
    record.firstPassReports.push_back(pending);
  };
  options.condition = [&record, forcedCondition](StatementContext& ctx) {
    int result = forcedCondition >= 0 ? forcedCondition : evaluateCondition(ctx);
    record.conditions[ctx.lineNumber] = result;
    if (std::string unread = unreadAfterCondition(ctx, result); !unread.empty())
      record.unreadAfterCondition[ctx.lineNumber] = unread;
    return result;
  };
  parseScriptText(text, sys, ui, macros, startup, *state, options);
  record.logging = state->engine.logging;
  record.screenGraphic = state->settings.screenGraphicPath;
  record.introScreen = state->settings.introScreenPath;
  record.readme = state->finish.readme;
  record.baseSpace = state->engine.baseSpace;
  addEntries(entryLines, state->engine.files, 0, false, record.entries);

  // Each deferred block once with its own IF taken and once with it false; its other IFs are
  // tested as the second pass tests them.
  ParseOptions second;
  second.continueAfterErrors = true;
  std::vector<int> blockLines;
  second.onLine = [&](const LineReport& r) {
    if (r.role == LineRole::Statement) record.deferredStatements.insert(r.number);
    if (isFileOrDisk(r)) blockLines.push_back(r.number);
    if (r.role == LineRole::Error) keepReport(pending, r);
  };
  second.onError = [&record, &pending](int line, const std::string& lineText) {
    pending.text = lineText;
    record.deferred.emplace(std::make_pair(line, lineText), pending);
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
      blockLines.clear();
      reparseDeferredBlocks(sys, ui, blockMacros, startup, scratch, second);
      if (forced == 1)
        addEntries(blockLines, scratch.engine.files, state->engine.files.size(), true,
                   record.entries);
    }
  }
  std::stable_sort(record.entries.begin(), record.entries.end(),
                   [](const PlannedEntry& a, const PlannedEntry& b) { return a.line < b.line; });
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

std::string directoryOf(const std::string& path) {
  size_t slash = path.rfind('\\');
  return slash == std::string::npos ? "" : path.substr(0, slash);
}

bool hasWildcard(const std::string& s) { return s.find_first_of("*?") != std::string::npos; }

}  // namespace

std::string sourceBelowDisk(const FileEntry& entry) {
  const std::string& name = entry.name;
  const std::string namePart = fileNamePart(name);
  if (namePart.empty() || namePart.find('$') != std::string::npos) return "";
  bool absolute = name[0] == '$' || name[0] == '\\' || (name.size() > 1 && name[1] == ':');
  std::string relative = absolute ? namePart : name;
  if (!entry.hasSource) return relative;
  if (entry.sourceKind == 2) return "";
  std::string dir = entry.sourceDir;
  while (!dir.empty() && dir[0] == '\\') dir.erase(0, 1);
  return dir.empty() ? relative : dir + "\\" + relative;
}

namespace {

const DistFile* findOn(const std::vector<DistFile>& files, const std::string& path) {
  for (const DistFile& f : files)
    if (equalsNoCase(f.path, path)) return &f;
  return nullptr;
}

// A container entry is found by the name part alone, whatever folder was asked for.
const DistFile* findInContainer(const std::vector<DistFile>& files, const std::string& path) {
  return findOn(files, fileNamePart(path));
}

std::vector<const DistFile*> wildcardMatches(const std::vector<DistFile>& files,
                                             const std::string& pattern) {
  std::vector<const DistFile*> found;
  const std::string dir = directoryOf(pattern);
  for (const DistFile& f : files)
    if (equalsNoCase(directoryOf(f.path), dir) &&
        wildcardMatch(fileNamePart(pattern), fileNamePart(f.path)))
      found.push_back(&f);
  return found;
}

}  // namespace

std::optional<PackageHeader> packageHeader(const DistFile& f) {
  if (f.head.size() < kPackageHeaderSize) return std::nullopt;
  uint8_t bytes[kPackageHeaderSize];
  std::copy_n(f.head.data(), kPackageHeaderSize, bytes);
  PackageHeader h = decodePackageHeader(bytes);
  if (!h.isFirstVolume() && !h.isContinuation()) return std::nullopt;
  return h;
}

namespace {

// The warnings about lines the installer accepts but ignores or reads in a surprising way, and
// the distribution's layout, from what the parser said about each line.
class Warnings {
 public:
  Warnings(const std::vector<std::string>& lines, const ParseRecord& record,
           const Distribution& dist)
      : lines_(lines), record_(record), dist_(dist) {}

  void run() {
    for (const auto& [number, facts] : record_.lines) {
      if (number < 1 || size_t(number) > lines_.size()) continue;
      lineWarnings(number, facts);
    }
    for (int number : record_.deferredStatements)
      if (number >= 1 && size_t(number) <= lines_.size()) deferredWarnings(number);
    for (const auto& [number, facts] : record_.lines)
      if (facts.role == LineRole::Statement) macroWarnings(number);
    for (int number : record_.deferredStatements)
      if (number >= 1 && size_t(number) <= lines_.size()) macroWarnings(number);
    diskLayoutChecks();
  }

  std::vector<Finding> findings;

 private:
  void warn(int line, std::string message, Severity severity = Severity::Warning) {
    findings.push_back({line, severity, std::move(message), lines_[size_t(line - 1)]});
  }

  void lineWarnings(int number, const LineFacts& facts) {
    const std::string& keyword = facts.keyword;
    switch (facts.role) {
      case LineRole::Ignored:
        return warn(
            number,
            keyword + " belongs to older scripts and is ignored, with the rest of its line");
      case LineRole::LoneWord: {
        std::string near = closestKeyword(keyword);
        return warn(number, keyword +
                                " is not a statement; a lone word is skipped without a "
                                "message" +
                                (near.empty() ? std::string() : " (did you mean " + near + "?)"));
      }
      case LineRole::Statement:
        break;
      default:
        return;
    }
    const std::string& text = lines_[size_t(number - 1)];
    if (unclosedQuote(text))
      warn(number, "a double quote is never closed: the quoted text reads as empty");
    StatementLine line;
    line.load(text);
    line.readKeyword();
    std::string up = upper(keyword);
    if (up == "IF") conditionWarning(line, number);
    if (up == "WINITEM") winItemWarning(line, number);
    statementWarnings(up, line, number);
    if (const BlockKind* block = blockOf(up)) blockWarning(number, facts.consumed, *block);
  }

  void deferredWarnings(int number) {
    const std::string& text = lines_[size_t(number - 1)];
    StatementLine line;
    line.load(text);
    std::string up = upper(line.readKeyword());
    if (up == "INSERTDISK") insertDiskWarnings(line, number);
    if (up == "IF") conditionWarning(line, number);
    if (up == "WINITEM") winItemWarning(line, number);
  }

  // A first word that names no test is compared as text, so the IF never looks at the machine.
  void conditionWarning(StatementLine& line, int number) {
    line.skipConditionSeparators();
    std::string word = line.readConditionWord();
    if (word.empty() || !std::isalpha(static_cast<unsigned char>(word[0])) || isConditionWord(word))
      return;
    std::string near = closestWord(word, conditionWords());
    warn(number, "IF " + word + ": " + word +
                     " is not a condition, so it is compared as text and the test never looks at "
                     "the machine" +
                     (near.empty() ? std::string() : " (did you mean " + near + "?)") +
                     "; conditions are isfile, ocxfilever, search, locate, videocolor, "
                     "videoresolution, video, memory, winver, dosver, group and $ASKn");
  }

  // Each $NAME$ that no statement expands stays in the text as written.
  void macroWarnings(int number) {
    const std::string& text = lines_[size_t(number - 1)];
    for (size_t at = text.find('$'); at != std::string::npos;) {
      size_t end = text.find('$', at + 1);
      if (end == std::string::npos) return;
      std::string name = text.substr(at, end - at + 1);
      bool word = end > at + 1 && std::all_of(name.begin() + 1, name.end() - 1, [](char c) {
                    return std::isalnum(static_cast<unsigned char>(c));
                  });
      if (!word) {
        at = end;  // the closing sign may open the next name
        continue;
      }
      std::string up = upper(name);
      if (!isMacroName(up)) {
        std::string near = closestWord(up, macroNames());
        warn(number, name + " is no macro and stays as written" +
                         (near.empty() ? std::string() : " (did you mean " + near + "?)"));
      } else if (up.size() == 6 && up.rfind("$ASK", 0) == 0 && !askDeclared(up[4] - '1')) {
        warn(number,
             name + " is empty: the script has no " + up.substr(1, 4) + " statement to ask for it");
      }
      at = text.find('$', end + 1);
    }
  }

  bool askDeclared(int n) const {
    if (n < 0 || n > 4) return true;
    const std::string keyword = "ASK" + std::to_string(n + 1);
    for (const auto& [number, facts] : record_.lines)
      if (facts.role == LineRole::Statement && equalsNoCase(facts.keyword, keyword)) return true;
    return false;
  }

  // Without ", replace" a second installation adds the item again beside the first.
  void winItemWarning(StatementLine& line, int number) {
    while (!line.atEnd()) {
      line.skipSeparators();
      size_t before = line.position();
      std::string word = line.peek() == '"' ? (line.readQuoted(), std::string()) : line.readWord();
      if (equalsNoCase(word, "replace") || equalsNoCase(word, "remove")) return;
      if (line.position() == before) line.setPosition(before + 1);  // a stray "=" or quote
    }
    warn(number,
         "WINITEM without \", replace\": installing again adds a second item of the same name; "
         "end the line with , replace");
  }

  // A block that runs out at the end of the script without its end keyword.
  void blockWarning(int number, int consumed, const BlockKind& block) {
    size_t last = size_t(number + consumed);
    if (last < lines_.size() || consumed == 0) return;
    if (equalsNoCase(keywordOf(lines_[last - 1]), block.end)) return;
    int statements = 0;
    for (size_t k = size_t(number); k < lines_.size(); ++k)
      if (isStatementKeyword(keywordOf(lines_[k])) && !equalsNoCase(keywordOf(lines_[k]), "REM"))
        ++statements;
    std::string message = std::string(block.start) + " has no " + block.end + ": the " +
                          std::to_string(consumed) + " line(s) after it become " + block.what;
    if (statements > 0)
      message += " and none of their " + std::to_string(statements) + " statement(s) run";
    warn(number, message + "; add " + block.end);
  }

  void statementWarnings(const std::string& up, StatementLine& line, int number) {
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
    if (up == "INSERTDISK") insertDiskWarnings(line, number);
  }

  void insertDiskWarnings(StatementLine& line, int number) {
    line.skipSeparators();
    if (!line.atEnd() && line.peek() != '"')
      warn(number,
           "INSERTDISK: the disk name must be quoted; unquoted, the prompt names \"the "
           "next disk\"");
  }

  void diskLayoutChecks() {
    int firstDiskLine = 0;
    bool colonDisk = false, unstallListed = false;
    for (const PlannedEntry& p : record_.entries) {
      if (p.entry.isDisk()) {
        const std::string& text = lines_[size_t(p.line - 1)];
        if (text.size() >= 11 && equalsNoCase(text.substr(0, 11), "INSERTDISK:")) colonDisk = true;
        if (!firstDiskLine) firstDiskLine = p.line;
        if (p.entry.volumeLabel.size() > kMaxVolumeLabel)
          warn(p.line, "INSERTDISK: the label " + p.entry.volumeLabel + " has " +
                           std::to_string(p.entry.volumeLabel.size()) +
                           " characters, but a volume label holds at most 11: no disk can carry "
                           "it, and the installer will keep asking for the disk");
        continue;
      }
      if (equalsNoCase(fileNamePart(p.entry.name), "UNSTALL.EXE")) unstallListed = true;
      installedNames_.insert(upper(fileNamePart(p.entry.name)));
    }
    if (firstDiskLine && !colonDisk)
      warn(firstDiskLine,
           "INSERTDISK without its colon in column 1: started from a floppy, the installer "
           "copies itself to the hard disk and runs from there only when a line begins with "
           "\"INSERTDISK:\"; without it the first disk cannot be taken out; write INSERTDISK:");
    if (uninstallLine_ && !unstallListed)
      warn(uninstallLine_,
           "UNINSTALL YES, but no FILE statement installs unstall.exe: the install log is "
           "written, but no uninstaller is set up to read it; add FILE UNSTALL.EXE");
    relaunchLine_ = relaunchLine();
    readmeWarning();
    if (dist_.given()) readDistribution();
  }

  // The first line the start-up's relaunch test finds: one that begins with "INSERTDISK:".
  int relaunchLine() const {
    for (size_t i = 0; i < lines_.size(); ++i)
      if (lines_[i].size() >= 11 && equalsNoCase(lines_[i].substr(0, 11), "INSERTDISK:"))
        return int(i) + 1;
    return 0;
  }

  void readmeWarning() {
    const std::string& readme = record_.readme;
    int line = lineOf("SHOWREADME");
    if (readme.empty() || !line || dist_.given()) return;
    if (readme.rfind("A:\\", 0) == 0) return;  // beside the script: checked with --dist
    if (!installedNames_.count(upper(fileNamePart(readme))) && !anyPackage())
      warn(line, "SHOWREADME " + readme + ": no FILE statement installs " + fileNamePart(readme) +
                     ", so the readme cannot be shown");
  }

  bool anyPackage() const {
    for (const PlannedEntry& p : record_.entries)
      if (!p.entry.isDisk() && p.entry.compression == Compression::None) {
        std::string up = upper(fileNamePart(p.entry.name));
        if (up.size() > 4 && up.substr(up.size() - 4) == ".PAK") return true;
      }
    return false;
  }

  int lineOf(const std::string& keyword) const {
    auto it = record_.lastLineOf.find(keyword);
    return it == record_.lastLineOf.end() ? 0 : it->second;
  }

  // The distribution as the installer reads it: what each disk gives, in order, and every file
  // it will not find where and when it looks.
  void readDistribution() {
    disk_ = 0;
    containerOpen_ = true;
    reads_.assign(dist_.disks.size(), {});
    diskLines_.assign(dist_.disks.size(), 0);
    diskLines_[0] = 1;
    if (relaunchLine_) {
      if (const DistFile* pif = findFirst("install.pif"))
        read(pif->path + " (for the temporary copy)");
      else
        error(relaunchLine_,
              "the script has an INSERTDISK: line, so started from a floppy the installer runs a "
              "temporary copy from TEMP; without install.pif beside SETUP.EXE (or in its "
              "container) that copy is never removed: add install.pif to the first disk");
    }
    startupFile("SCREENGRAPHIC", record_.screenGraphic);
    startupFile("INTROSCREEN", record_.introScreen);

    const std::vector<PlannedEntry>& entries = record_.entries;
    std::string continuation;
    for (size_t k = 0; k < entries.size(); ++k) {
      const PlannedEntry& p = entries[k];
      if (p.entry.isDisk()) {
        if (p.deferred || consumedDisks_.count(p.line)) continue;
        if (!nextDisk(p.line, "")) return;
        continue;
      }
      std::string path = sourceBelowDisk(p.entry);
      if (path.empty()) continue;
      if (!continuation.empty() && equalsNoCase(continuation, fileNamePart(path))) continue;
      readFile(p, path, k, continuation);
    }
    const std::string& readme = record_.readme;
    if (!readme.empty() && readme.rfind("A:\\", 0) == 0) {
      std::string path = readme.substr(3);
      if (!lookUp(path)) notFound(lineOf("SHOWREADME"), "SHOWREADME " + readme, path, "");
    } else if (!readme.empty() && !installedNames_.count(upper(fileNamePart(readme))) &&
               !anyPackage()) {
      warn(lineOf("SHOWREADME"), "SHOWREADME " + readme + ": no FILE statement installs " +
                                     fileNamePart(readme) + ", so the readme cannot be shown");
    }
    if (int line = lineOf("MINDISKSPACE"); line && record_.baseSpace < totalBytes_)
      warn(line, "MINDISKSPACE asks for " + std::to_string(record_.baseSpace) +
                     " bytes, but the files it copies take at least " +
                     std::to_string(totalBytes_) + " bytes: a full disk is found only half-way");
    for (size_t d = 0; d < reads_.size(); ++d) {
      if (!diskLines_[d]) continue;
      std::string list;
      for (const std::string& r : reads_[d]) list += (list.empty() ? "" : ", ") + r;
      warn(diskLines_[d],
           "disk " + std::to_string(d + 1) + " (" + dist_.diskNames[d] +
               ") is read from here: " + (list.empty() ? std::string("nothing") : list),
           Severity::Note);
    }
  }

  void error(int line, std::string message) { warn(line, std::move(message), Severity::Error); }
  void read(std::string what) { reads_[size_t(disk_)].push_back(std::move(what)); }

  // The disk prompt of an INSERTDISK or of a package's next volume: the container closes.
  bool nextDisk(int line, const std::string& why) {
    containerOpen_ = false;
    ++disk_;
    if (size_t(disk_) < dist_.disks.size()) {
      if (!diskLines_[size_t(disk_)]) diskLines_[size_t(disk_)] = line;
      return true;
    }
    error(line, (why.empty() ? std::string("this INSERTDISK") : why) + " asks for disk " +
                    std::to_string(disk_ + 1) + ", but the distribution has " +
                    std::to_string(dist_.disks.size()) + " disk(s)");
    return false;
  }

  // A file found on the first disk or in the container, as start-up looks for it.
  const DistFile* findFirst(const std::string& path) const {
    if (const DistFile* f = findInContainer(dist_.container, path)) return f;
    return findOn(dist_.disks[0], path);
  }

  const DistFile* lookUp(const std::string& path) const {
    if (containerOpen_)
      if (const DistFile* f = findInContainer(dist_.container, path)) return f;
    return findOn(dist_.disks[size_t(disk_)], path);
  }

  void startupFile(const std::string& keyword, const std::string& path) {
    int line = lineOf(keyword);
    if (path.empty() || !line) return;
    if (path.rfind("A:\\", 0) != 0) return;  // an absolute path outside the distribution
    std::string below = path.substr(3);
    if (const DistFile* f = findFirst(below))
      read(f->path + " (" + keyword + ")");
    else
      error(line, keyword + " " + below +
                      ": neither the first disk nor the container holds it, so the installer "
                      "shows no picture");
  }

  // Where else a missing file lies, to say what to move.
  void notFound(int line, const std::string& what, const std::string& path,
                const std::string& detail) {
    std::string message = what + ": the installer looks for " + path + " on disk " +
                          std::to_string(disk_ + 1) + " (" + dist_.diskNames[size_t(disk_)] + ")";
    if (!containerOpen_ && findInContainer(dist_.container, path))
      message +=
          "; the container holds it, but the container is closed after the first disk prompt: "
          "put it loose on that disk";
    for (size_t d = 0; d < dist_.disks.size(); ++d)
      if (int(d) != disk_ && findOn(dist_.disks[d], path)) {
        message += "; it lies on disk " + std::to_string(d + 1) + " (" + dist_.diskNames[d] + ")";
        break;
      }
    error(line, message + detail + ", and will not find it");
  }

  void readFile(const PlannedEntry& p, const std::string& path, size_t index,
                std::string& continuation) {
    if (hasWildcard(path)) {
      std::vector<const DistFile*> found = wildcardMatches(dist_.disks[size_t(disk_)], path);
      if (found.empty())
        return notFound(p.line, "FILE " + p.entry.name, path, " (no file matches)");
      for (const DistFile* f : found) {
        read(f->path);
        totalBytes_ += f->size;
      }
      return;
    }
    const bool inContainer = containerOpen_ && findInContainer(dist_.container, path);
    const DistFile* f = lookUp(path);
    if (!f) return notFound(p.line, "FILE " + p.entry.name, path, "");
    read(f->path + (inContainer ? " (container)" : ""));
    totalBytes_ += f->size;
    std::optional<PackageHeader> h =
        p.entry.compression == Compression::None ? packageHeader(*f) : std::nullopt;
    if (!h || !h->isFirstVolume() || h->nextVolume.empty()) return;
    if (inContainer)
      error(p.line, "FILE " + p.entry.name +
                        ": the first volume of a package that goes on to another disk lies in "
                        "the container; put it loose on the disk (the container cannot be read "
                        "once the next disk is asked for)");
    // Each further volume is asked for with the next INSERTDISK after the FILE statement.
    const std::string dir = directoryOf(path);
    size_t next = index + 1;
    for (int volume = 2; !h->nextVolume.empty(); ++volume) {
      const std::string name = h->nextVolume;
      const std::string volumePath = dir.empty() ? name : dir + "\\" + name;
      int line = p.line;
      while (next < record_.entries.size() && !record_.entries[next].entry.isDisk()) ++next;
      if (next < record_.entries.size()) line = record_.entries[next++].line;
      consumedDisks_.insert(line);
      if (!nextDisk(line, "volume " + std::to_string(volume) + " of " + f->path)) return;
      const DistFile* v = findOn(dist_.disks[size_t(disk_)], volumePath);
      if (!v)
        return notFound(line, "volume " + std::to_string(volume) + " of package " + f->path,
                        volumePath, "");
      read(v->path + " (volume " + std::to_string(volume) + " of " + f->path + ")");
      totalBytes_ += v->size;
      std::optional<PackageHeader> vh = packageHeader(*v);
      if (!vh || !vh->isContinuation()) {
        error(line, v->path + " is not the next volume of package " + f->path);
        return;
      }
      continuation = name;
      h = vh;
    }
  }

  static constexpr size_t kMaxVolumeLabel = 11;
  int disk_ = 0;
  bool containerOpen_ = true;
  int relaunchLine_ = 0;
  uint64_t totalBytes_ = 0;
  std::vector<std::vector<std::string>> reads_;
  std::vector<int> diskLines_;
  std::set<int> consumedDisks_;  // INSERTDISK lines a package's next volume took
  std::set<std::string> installedNames_;

  const std::vector<std::string>& lines_;
  const ParseRecord& record_;
  const Distribution& dist_;
  int askLines_[5] = {};
  int uninstallLine_ = 0;
};

// Bytes some editors put at the start or the end of a text that the installer reads as script text.
std::vector<Finding> markWarnings(const std::string& text, const std::vector<std::string>& lines) {
  std::vector<Finding> out;
  if (lines.empty()) return out;
  auto add = [&](size_t line, std::string message) {
    out.push_back({int(line), Severity::Warning, std::move(message), lines[line - 1]});
  };
  if (text.rfind("\xEF\xBB\xBF", 0) == 0)
    add(1,
        "the script starts with a byte order mark (UTF-8 BOM): the installer reads its three "
        "bytes as part of the first line; save the script as plain ANSI text");
  if (text[0] == '\x1A')
    add(1,
        "the script starts with a ^Z (a DOS end-of-file mark): the installer reads it as part "
        "of the first line; remove it");
  size_t last = text.find_last_not_of("\r\n");
  if (last != std::string::npos && last > 0 && text[last] == '\x1A')
    add(lines.size(),
        "the script ends with a ^Z (a DOS end-of-file mark): the installer reads "
        "it as part of the last line; remove it");
  return out;
}

}  // namespace

ScriptPlan planScript(const std::string& text, System& sys, int forcedCondition) {
  ParseRecord record = parseForCheck(text, sys, forcedCondition);
  ScriptPlan plan;
  plan.entries = std::move(record.entries);
  plan.syntaxErrors = int(record.firstPass.size() + record.deferred.size());
  auto belowFirstDisk = [](const std::string& path) {
    return path.rfind("A:\\", 0) == 0 ? path.substr(3) : std::string();
  };
  plan.screenGraphic = belowFirstDisk(record.screenGraphic);
  plan.introScreen = belowFirstDisk(record.introScreen);
  for (const std::string& line : splitLines(text))
    if (line.size() >= 11 && equalsNoCase(line.substr(0, 11), "INSERTDISK:"))
      plan.relaunches = true;
  return plan;
}

std::vector<ScriptError> checkScriptText(const std::string& text, System& sys) {
  ParseRecord record = parseForCheck(text, sys);
  std::vector<ScriptError> errors = record.firstPass;
  for (const auto& [where, report] : record.deferred) errors.push_back({where.first, where.second});
  return errors;
}

std::vector<Finding> checkScript(const std::string& text, System& sys, const Distribution& dist) {
  ParseRecord record = parseForCheck(text, sys);
  std::vector<std::string> lines = splitLines(text);
  Warnings warnings(lines, record, dist);
  warnings.run();

  std::vector<Finding> findings;
  for (size_t k = 0; k < record.firstPass.size(); ++k) {
    const ScriptError& e = record.firstPass[k];
    findings.push_back({e.line, Severity::Error, explainError(record.firstPassReports[k]), e.text});
  }
  for (const auto& [where, report] : record.deferred)
    findings.push_back({where.first, Severity::Error, explainError(report), where.second});
  std::vector<Finding> rest = warnings.findings;
  for (Finding& f : markWarnings(text, lines)) rest.push_back(std::move(f));
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
