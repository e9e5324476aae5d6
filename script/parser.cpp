#include "script/parser.h"

#include <memory>

#include "base/text.h"
#include "script/conditions.h"
#include "script/deferred.h"
#include "script/script_reader.h"
#include "script/settings.h"
#include "script/statement_handlers.h"

namespace qm {

namespace {

// The source reader hands out lines in pieces; a script line is joined from them. One character
// more than a script line holds is kept so that an over-long line can be told from a full one.
constexpr size_t kRawLineChars = kMaxLineChars + 1;
constexpr size_t kPieceBuffer = 1024;

// One physical line of the script per call, without its line end.
class PhysicalLines {
 public:
  virtual ~PhysicalLines() = default;
  virtual bool read(std::string& line) = 0;
};

class ContainerLines : public PhysicalLines {
 public:
  ContainerLines(Container& container, SourceFile& file) : container_(container), file_(file) {}
  bool read(std::string& line) override {
    line.clear();
    std::string piece;
    bool any = false;
    while (container_.readLine(file_, piece, kPieceBuffer)) {
      any = true;
      bool ended = !piece.empty() && piece.back() == '\n';
      if (ended) piece.pop_back();
      if (line.size() < kRawLineChars) line += piece.substr(0, kRawLineChars - line.size());
      if (ended) break;
    }
    return any;
  }

 private:
  Container& container_;
  SourceFile& file_;
};

// The same line rules over text in memory: carriage returns dropped, a line feed ends the line,
// a last line without one still counts.
class TextLines : public PhysicalLines {
 public:
  explicit TextLines(const std::string& text) : text_(text) {}
  bool read(std::string& line) override {
    line.clear();
    if (at_ >= text_.size()) return false;
    while (at_ < text_.size()) {
      char c = text_[at_++];
      if (c == '\n') break;
      if (c == '\r') continue;
      if (line.size() < kRawLineChars) line += c;
    }
    return true;
  }

 private:
  const std::string& text_;
  size_t at_ = 0;
};

// A carriage return followed by anything but a line end: a script saved with CR alone as its line
// end. The source reader drops carriage returns, so such a script would read as one long line and
// install nothing while reporting success.
bool hasLoneCarriageReturn(std::string_view bytes, bool& pendingCr) {
  for (char c : bytes) {
    if (pendingCr && c != '\r' && c != '\n') return true;
    pendingCr = c == '\r';
  }
  return false;
}

bool scriptHasLoneCarriageReturn(Container& container, SourceFile& file) {
  char buffer[4096];
  bool pendingCr = false, lone = false;
  for (;;) {
    int32_t got = container.readSource(file, buffer, sizeof buffer);
    if (got <= 0) break;
    if (hasLoneCarriageReturn(std::string_view(buffer, size_t(got)), pendingCr)) {
      lone = true;
      break;
    }
  }
  container.seekSource(file, 0, 0);
  return lone;
}

// The script is refused as a whole, with its first line and a text that says why.
int refuseLoneCarriageReturns(const std::string& firstLine, Ui& ui, InstallState& state,
                              const ParseOptions& options) {
  state.syntaxError = true;
  state.lineNumber = 1;
  if (options.onLine) {
    Refusal refusal{RefusalKind::LoneCarriageReturns};
    LineReport report;
    report.number = 1;
    report.role = LineRole::Error;
    report.refusal = &refusal;
    options.onLine(report);
  }
  if (options.onError) {
    options.onError(1, firstLine);
    return 1;
  }
  MessageRequest request;
  request.text =
      "The script ends its lines with a carriage return alone, so it reads as one line. Save it "
      "with CR LF line ends.";
  request.caption = state.settings.prompts.syntaxError + "1";
  request.icon = MsgIcon::Warning;
  request.owned = false;
  ui.messageBox(request);
  return 1;
}

std::string firstLineOf(std::string_view text) {
  std::string_view line = text.substr(0, text.find_first_of("\r\n"));
  return std::string(line.substr(0, kMaxLineChars));
}

// The first pass's line source: every line read, by the parser, a block reader or deferBlock,
// counts, so the line number is always the script's own.
class FirstPassReader : public ScriptReader {
 public:
  explicit FirstPassReader(PhysicalLines& lines) : lines_(lines) {}
  int nextScriptLine(std::string& line) override {
    if (!readScriptLine(line)) return 0;
    setLineTooLong(line.size() > kMaxLineChars);
    if (line.size() > kMaxLineChars) line.resize(kMaxLineChars);
    return count_;
  }
  bool readScriptLine(std::string& line) override {
    if (!lines_.read(line)) return false;
    ++count_;
    return true;
  }

 private:
  PhysicalLines& lines_;
  int count_ = 0;
};

enum class Kind { Handler, Prompt, If, Else, EndIf, ExitMessage };

struct Statement {
  const char* keyword;
  Kind kind;
  StatementHandler handler;
  bool firstPassOnly;
};

#define QM_CALL(expr) [](StatementContext& c) { return expr; }

// The statement table in the order keywords are tried.
const Statement kStatements[] = {
    {"FONTNAME", Kind::Handler, readFontNameStatement, false},
    {"UNINSTALL", Kind::Handler, readUninstallStatement, false},
    {"", Kind::Prompt, nullptr, false},  // the 17 prompt keywords
    {"UNINSTALLBEGINPROMPT", Kind::Handler, QM_CALL(readUninstallTextStatement(c, 0)), false},
    {"UNINSTALLENDPROMPT", Kind::Handler, QM_CALL(readUninstallTextStatement(c, 1)), false},
    {"UninstallTitlePrompt", Kind::Handler, QM_CALL(readUninstallTextStatement(c, 2)), false},
    {"REGSERVER", Kind::Handler, readRegServerStatement, false},
    {"TITLE", Kind::Handler, readTitleStatement, false},
    {"IF", Kind::If, nullptr, false},
    {"ELSE", Kind::Else, nullptr, false},
    {"ENDIF", Kind::EndIf, nullptr, false},
    {"DEFAULTDIR", Kind::Handler, QM_CALL(readDestinationStatement(c, kDefaultDirIndex)), false},
    {"DIR2", Kind::Handler, QM_CALL(readDestinationStatement(c, kDir2Index)), false},
    {"DIR3", Kind::Handler, QM_CALL(readDestinationStatement(c, kDir3Index)), false},
    {"ASK1", Kind::Handler, QM_CALL(readAskStatement(c, 1)), true},
    {"ASK2", Kind::Handler, QM_CALL(readAskStatement(c, 2)), true},
    {"ASK3", Kind::Handler, QM_CALL(readAskStatement(c, 3)), true},
    {"ASK4", Kind::Handler, QM_CALL(readAskStatement(c, 4)), true},
    {"ASK5", Kind::Handler, QM_CALL(readAskStatement(c, 5)), true},
    {"FILE", Kind::Handler, readFileStatement, false},
    {"INSERTDISK", Kind::Handler, readInsertDiskStatement, false},
    {"BEGINREGISTRY", Kind::Handler, readRegistryStatement, false},
    {"BEGINFIRSTSCREEN", Kind::Handler, readFirstScreenStatement, true},
    {"BEGINLASTSCREEN", Kind::Handler, readLastScreenStatement, false},
    {"POPMESSAGE", Kind::Handler, readPopMessageStatement, false},
    {"EXITMESSAGE", Kind::ExitMessage, readExitMessageStatement, false},
    {"BEGINGROUP", Kind::Handler, readBeginGroupStatement, true},
    {"AUTOEXEC", Kind::Handler, readAutoexecStatement, false},
    {"CONFIG", Kind::Handler, readConfigStatement, false},
    {"WINITEM", Kind::Handler, readWinItemStatement, false},
    {"INIFILE", Kind::Handler, readIniFileStatement, false},
    {"ADDTEXT", Kind::Handler, readAddTextStatement, false},
    {"DELETE", Kind::Handler, readDeleteStatement, false},
    {"RENAME", Kind::Handler, readRenameStatement, false},
    {"SHOWREADME", Kind::Handler, readShowReadmeStatement, false},
    {"TITLECOLOR", Kind::Handler, readTitleColourStatement, false},
    {"SCREENCOLOR", Kind::Handler, readScreenColourStatement, false},
    {"MINCPUTYPE", Kind::Handler, readMinCpuTypeStatement, false},
    {"MINDISKSPACE", Kind::Handler, readMinDiskSpaceStatement, false},
    {"PROGRESSBAR", Kind::Handler, readProgressBarStatement, false},
    {"OVERWRITEFILE", Kind::Handler, readOverwriteFileStatement, false},
    {"RUNATEXIT", Kind::Handler, readRunAtExitStatement, false},
    {"RUNATSTART", Kind::Handler, readRunAtStartStatement, true},
    {"REBOOTWINDOWS", Kind::Handler, QM_CALL(readRebootStatement(c, 1)), false},
    {"REBOOTSYSTEM", Kind::Handler, QM_CALL(readRebootStatement(c, 2)), false},
    {"REBOOT", Kind::Handler, QM_CALL(readRebootStatement(c, 0)), false},
    {"COMPRESSION", Kind::Handler, readCompressionStatement, false},
    {"SCREENGRAPHIC", Kind::Handler, readScreenGraphicStatement, false},
    {"INTROSCREEN", Kind::Handler, readIntroScreenStatement, false},
};

#undef QM_CALL

const Statement* findStatement(const std::string& keyword, const PromptKeyword*& prompt) {
  prompt = nullptr;
  if (keyword.empty()) return nullptr;
  for (const Statement& statement : kStatements) {
    if (statement.kind == Kind::Prompt) {
      prompt = findPromptKeyword(keyword);
      if (prompt) return &statement;
      continue;
    }
    if (equalsNoCase(keyword, statement.keyword)) return &statement;
  }
  return nullptr;
}

}  // namespace

std::vector<std::string> statementKeywords() {
  std::vector<std::string> keywords;
  for (const Statement& statement : kStatements) {
    if (statement.kind != Kind::Prompt) {
      keywords.push_back(statement.keyword);
      continue;
    }
    for (const PromptKeyword& prompt : promptKeywords()) keywords.push_back(prompt.keyword);
  }
  keywords.push_back("REM");  // answered before the table is searched
  return keywords;
}

bool isStatementKeyword(std::string_view word) {
  const PromptKeyword* prompt = nullptr;
  return equalsNoCase(word, "REM") || findStatement(std::string(word), prompt) != nullptr;
}

namespace {

enum class LineResult { Done, Error, Exit };

class Parser {
 public:
  Parser(StatementContext& ctx, const ParseOptions& options) : ctx_(ctx), options_(options) {}

  int run() {
    int result = 0;
    std::string raw;
    for (;;) {
      raw.clear();
      int number = ctx_.reader.nextScriptLine(raw);
      if (number == 0) break;
      if (number == -2) continue;
      LineResult outcome = LineResult::Error;
      report_ = LineReport{};
      report_.secondPass = ctx_.secondPass;
      ctx_.refusal.reset();
      if (number > 0) {
        ctx_.state.lineNumber = number;
        ctx_.lineNumber = number;
        ctx_.line.load(raw);
        report_.number = number;
        report_.ifs = position();
        outcome = handleLine();
      } else {
        if (!raw.empty()) ctx_.line.load(raw);  // the reader has stored the failing line's number
        report_.number = ctx_.state.lineNumber;
      }
      if (outcome == LineResult::Error) report_.role = LineRole::Error;
      sendReport();
      if (outcome == LineResult::Error) {
        reportError();
        result = 1;
        if (!options_.continueAfterErrors) return 1;
      } else if (outcome == LineResult::Exit && !options_.continueAfterErrors) {
        return 1;  // a checking run reads on: an exit message is no fault of the script's text
      }
    }
    // A false IF that never met its ENDIF: reported with the last line read.
    if (ifs_.skipping) {
      report_ = LineReport{};
      report_.number = ctx_.state.lineNumber;
      report_.role = LineRole::Error;
      report_.ifs = position();
      report_.secondPass = ctx_.secondPass;
      ctx_.refusal = Refusal{RefusalKind::OpenIfAtEnd};
      sendReport();
      reportError();
      result = 1;
    }
    return result;
  }

 private:
  struct IfState {
    bool skipping = false;
    int result = 0;
    bool branchFalse = false;
    bool elseAllowed = false;
    bool insideIf = false;
    int ifLine = 0;
    void clear() { *this = IfState(); }
  };

  IfPosition position() const {
    IfPosition p;
    p.openIfLine = ifs_.insideIf ? ifs_.ifLine : 0;
    p.elseSeen = ifs_.insideIf && !ifs_.elseAllowed;
    p.skipping = ifs_.skipping;
    p.lastEndIfLine = lastEndIf_;
    return p;
  }

  void sendReport() {
    if (!options_.onLine) return;
    if (ctx_.refusal) report_.refusal = &*ctx_.refusal;
    options_.onLine(report_);
    // What a block reader or a deferral took after the statement, line by line.
    LineRole taken = deferredBlock_ ? LineRole::Deferred : LineRole::BlockText;
    LineReport line;
    line.role = taken;
    line.secondPass = ctx_.secondPass;
    line.ifs = report_.ifs;
    for (int k = 1; k <= report_.consumed; ++k) {
      line.number = report_.number + k;
      options_.onLine(line);
    }
  }

  LineResult refuse(RefusalKind kind) {
    ctx_.refusal = Refusal{kind};
    return LineResult::Error;
  }

  LineResult handleLine() {
    StatementLine& line = ctx_.line;
    std::string keyword = line.readKeyword();
    report_.keyword = keyword;
    deferredBlock_ = false;

    if (ifs_.skipping) {
      bool structural = equalsNoCase(keyword, "ELSE") || equalsNoCase(keyword, "IF") ||
                        equalsNoCase(keyword, "ENDIF");
      report_.role = LineRole::Skipped;
      if (!structural) {
        // An exit message's text may hold ELSE, IF or ENDIF lines of its own.
        if (equalsNoCase(keyword, "EXITMESSAGE")) exitBlock_ = true;
        if (equalsNoCase(keyword, "EXIT")) exitBlock_ = false;
        return LineResult::Done;
      }
      if (exitBlock_) return LineResult::Done;
    }

    if (equalsNoCase(keyword, "REM")) {
      report_.role = LineRole::Comment;
      return LineResult::Done;
    }
    if (isIgnoredKeyword(keyword)) {
      report_.role = LineRole::Ignored;
      return LineResult::Done;
    }
    if (ctx_.reader.lineTooLong()) return refuse(RefusalKind::LineTooLong);

    const PromptKeyword* prompt = nullptr;
    const Statement* statement = findStatement(keyword, prompt);
    if (!statement) {
      if (!line.atEnd())
        return refuse(keyword.empty() ? RefusalKind::NotAStatement : RefusalKind::UnknownStatement);
      report_.role = keyword.empty() ? LineRole::Blank : LineRole::LoneWord;
      return LineResult::Done;
    }
    report_.role = LineRole::Statement;
    if (statement->firstPassOnly && ctx_.secondPass) return refuse(RefusalKind::NotInSecondPass);

    ctx_.consumedLines = 0;
    LineResult result = LineResult::Done;
    switch (statement->kind) {
      case Kind::Prompt:
        result = readPromptStatement(ctx_, *prompt) == 0 ? LineResult::Done : LineResult::Error;
        break;
      case Kind::If:
        result = handleIf();
        break;
      case Kind::Else:
        return handleElse();
      case Kind::EndIf:
        return handleEndIf();
      case Kind::ExitMessage:
        result = statement->handler(ctx_) == 0 ? LineResult::Done : LineResult::Exit;
        break;
      case Kind::Handler:
        result = statement->handler(ctx_) == 0 ? LineResult::Done : LineResult::Error;
        break;
    }
    report_.consumed = ctx_.consumedLines;
    return result;
  }

  LineResult handleIf() {
    ifs_.insideIf = true;
    if (ifs_.skipping) return refuse(RefusalKind::IfInSkippedBranch);  // no IF in a skipped branch
    ifs_.ifLine = ctx_.lineNumber;
    if (ctx_.line.atEnd()) {
      takeBranch(true);
      return refuse(RefusalKind::IfWithoutCondition);
    }
    ifs_.elseAllowed = true;
    int result = options_.condition ? options_.condition(ctx_) : evaluateCondition(ctx_);
    ifs_.result = result;
    if (result == -1) {
      takeBranch(true);  // a checking run carries on as if the condition held
      return LineResult::Error;
    }
    if (result == kConditionDeferred) {
      ifs_.clear();  // the block was saved through its ENDIF
      deferredBlock_ = true;
      if (ctx_.consumedLines > 0) lastEndIf_ = ctx_.lineNumber + ctx_.consumedLines;
      return LineResult::Done;
    }
    takeBranch(result != 0);
    return LineResult::Done;
  }

  void takeBranch(bool taken) {
    ifs_.insideIf = true;
    ifs_.elseAllowed = true;
    ifs_.skipping = !taken;
    ifs_.branchFalse = !taken;
  }

  LineResult handleElse() {
    if (!ifs_.elseAllowed)
      return refuse(ifs_.insideIf ? RefusalKind::SecondElse : RefusalKind::ElseWithoutIf);
    bool wasFalse = ifs_.branchFalse;
    ifs_.skipping = !wasFalse;
    ifs_.branchFalse = !wasFalse;
    ifs_.elseAllowed = false;
    return LineResult::Done;
  }

  LineResult handleEndIf() {
    if (!ifs_.insideIf) return refuse(RefusalKind::EndIfWithoutIf);
    ifs_.clear();
    lastEndIf_ = ctx_.lineNumber;
    return LineResult::Done;
  }

  void reportError() {
    ctx_.state.syntaxError = true;
    int number = ctx_.state.lineNumber;
    if (options_.onError) {
      options_.onError(number, ctx_.line.text());
      return;
    }
    MessageRequest request;
    request.text = ctx_.line.text();
    request.caption = ctx_.state.settings.prompts.syntaxError + std::to_string(number);
    request.icon = MsgIcon::Warning;
    request.owned = false;
    ctx_.ui.messageBox(request);
  }

  StatementContext& ctx_;
  const ParseOptions& options_;
  IfState ifs_;
  bool exitBlock_ = false;
  bool deferredBlock_ = false;
  int lastEndIf_ = 0;
  LineReport report_;
};

// The end of a successful first pass: a destination when the script named none, and the
// start-up command's macros.
void finishFirstPass(System& sys, MacroValues& macros, const StartupValues& startup,
                     InstallState& state) {
  if (macros.defaultDir.empty()) {
    std::string dir = sys.files().currentDirectory();
    if (dir.size() > kMaxPathChars) dir.resize(kMaxPathChars);
    // Never install onto the distribution's own drive by default.
    if (!dir.empty() && !macros.sourceDir.empty() &&
        toUpperAscii(dir[0]) == toUpperAscii(macros.sourceDir[0])) {
      dir = "C:\\NEWFILES";
      dir[0] = startup.bootDrive;
    }
    macros.defaultDir = dir;
    macros.defaultDrive = dir.substr(0, 1);
    std::optional<std::string> shortForm = sys.files().shortPathName(dir);
    macros.defaultDir8 = shortForm && !shortForm->empty() ? *shortForm : dir;
  }
  Settings& settings = state.settings;
  if (settings.runAtStartPending) expandMacros(macros, settings.runAtStart);
}

int firstPass(PhysicalLines& lines, System& sys, Ui& ui, MacroValues& macros,
              const StartupValues& startup, InstallState& state, const ParseOptions& options) {
  state.engine.baseSpace = 1;
  state.engine.spaceByGroupNumber.fill(std::nullopt);
  FirstPassReader reader(lines);
  StatementLine line(&macros);
  StatementContext ctx{state, line, macros, startup, sys, ui, reader};
  if (parseLines(ctx, options) != 0) return 1;
  finishFirstPass(sys, macros, startup, state);
  return 0;
}

}  // namespace

int readRunAtStartStatement(StatementContext& ctx) {
  Settings& settings = ctx.state.settings;
  std::string command = ctx.line.readQuoted();
  if (command.empty()) return 1;
  settings.runAtStart = command;  // its macros are expanded once the whole script is read
  settings.runAtStartPending = true;
  return 0;
}

int readIntroScreenStatement(StatementContext& ctx) {
  StatementLine& line = ctx.line;
  Settings& settings = ctx.state.settings;
  std::string name = line.readQuoted();
  if (name.empty()) name = line.readWord();
  expandMacros(ctx.macros, name);
  bool absolute = (!name.empty() && name[0] == '\\') || (name.size() >= 2 && name[1] == ':');
  std::string path = absolute ? name : ctx.macros.sourceDir + "\\" + name;
  if (path.size() > kMaxLineChars) path.resize(kMaxLineChars);
  settings.introScreenPath = path;
  settings.introScreenSeconds = 0;
  if (!line.atEnd())
    settings.introScreenSeconds = static_cast<int>(parseLeadingInt(line.readWord()));
  return 0;
}

int parseLines(StatementContext& ctx, const ParseOptions& options) {
  Parser parser(ctx, options);
  return parser.run();
}

int parseScript(const std::string& scriptPath, System& sys, Ui& ui, Container& container,
                MacroValues& macros, const StartupValues& startup, InstallState& state,
                const ParseOptions& options) {
  std::unique_ptr<SourceFile> file = container.openSource(scriptPath);
  if (!file) {
    MessageRequest request;
    request.text = state.settings.prompts.fileNotFound + scriptPath + ". ";
    request.captionDefault = true;
    request.icon = MsgIcon::Warning;
    request.owned = false;
    ui.messageBox(request);
    return 1;
  }
  if (scriptHasLoneCarriageReturn(container, *file)) {
    char head[kMaxLineChars];
    int32_t got = container.readSource(*file, head, sizeof head);
    container.closeSource(file);
    return refuseLoneCarriageReturns(firstLineOf(std::string_view(head, got > 0 ? size_t(got) : 0)),
                                     ui, state, options);
  }
  ContainerLines lines(container, *file);
  int result = firstPass(lines, sys, ui, macros, startup, state, options);
  container.closeSource(file);
  return result;
}

int parseScriptText(const std::string& text, System& sys, Ui& ui, MacroValues& macros,
                    const StartupValues& startup, InstallState& state,
                    const ParseOptions& options) {
  bool pendingCr = false;
  if (hasLoneCarriageReturn(text, pendingCr))
    return refuseLoneCarriageReturns(firstLineOf(text), ui, state, options);
  TextLines lines(text);
  return firstPass(lines, sys, ui, macros, startup, state, options);
}

}  // namespace qm
