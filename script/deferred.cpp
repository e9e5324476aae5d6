#include "script/deferred.h"

#include "base/text.h"
#include "script/conditions.h"
#include "script/install_state.h"
#include "script/parser.h"
#include "script/script_reader.h"
#include "script/statement_context.h"

namespace qm {

namespace {

// deferBlock's test: the letters and digits after leading blanks and tabs.
std::string_view leadingAlnumWord(std::string_view line) {
  size_t start = line.find_first_not_of(" \t");
  if (start == std::string_view::npos) return {};
  size_t end = start;
  while (end < line.size() &&
         ((line[end] >= 'A' && line[end] <= 'Z') || (line[end] >= 'a' && line[end] <= 'z') ||
          (line[end] >= '0' && line[end] <= '9')))
    ++end;
  return line.substr(start, end - start);
}

// The second pass's test: everything up to a blank or tab, after leading blanks and tabs.
std::string_view leadingBlankWord(std::string_view line) {
  size_t start = line.find_first_not_of(" \t");
  if (start == std::string_view::npos) return {};
  size_t end = line.find_first_of(" \t", start);
  if (end == std::string_view::npos) end = line.size();
  return line.substr(start, end - start);
}

// Settings that only the first pass takes: their lines are passed over in the second.
constexpr const char* kFirstPassOnly[] = {
    "REM",         "TITLE",      "DEFAULTDIR",   "DIR2",       "DIR3",          "TITLECOLOR",
    "SCREENCOLOR", "MINCPUTYPE", "MINDISKSPACE", "RUNATSTART", "SCREENGRAPHIC", "INTROSCREEN",
};

bool isFirstPassOnly(std::string_view word) {
  for (const char* keyword : kFirstPassOnly)
    if (equalsNoCase(word, keyword)) return true;
  return false;
}

// The second pass's line source: the saved lines of one deferred block.
class DeferredReader : public ScriptReader {
 public:
  DeferredReader(const DeferredBlock& block, InstallState& state, Ui& ui)
      : lines_(block.lines), first_(block.firstLineNumber), state_(state), ui_(ui) {}

  int nextScriptLine(std::string& line) override {
    if (blockEnd_) {
      blockEnd_ = false;
      return 0;
    }
    if (slot_ >= lines_.size()) return 0;
    line = lines_[slot_];
    int number = first_ + static_cast<int>(slot_);
    ++slot_;
    setLineTooLong(line.size() > kMaxLineChars);
    if (line.size() > kMaxLineChars) line.resize(kMaxLineChars);
    if (deferralMode() == kDeferralCollecting) return number;

    std::string_view word = leadingBlankWord(line);
    if (equalsNoCase(word, "ENDIF")) {
      blockEnd_ = true;
      return number;
    }
    if (isFirstPassOnly(word)) return -2;
    if (equalsNoCase(word, "BEGINFIRSTSCREEN")) {
      // The first screen has been shown by now: its block is passed over whole.
      for (size_t end = slot_; end < lines_.size(); ++end) {
        if (equalsNoCase(leadingBlankWord(lines_[end]), "ENDFIRSTSCREEN")) {
          slot_ = end + 1;
          return -2;
        }
      }
      MessageRequest request;
      request.text = state_.settings.prompts.missingEndFirstScreen;
      request.captionDefault = true;
      request.icon = MsgIcon::Warning;
      request.owned = false;
      ui_.messageBox(request);
      state_.syntaxError = true;
      state_.lineNumber = number;
      return -1;
    }
    return number;
  }

 private:
  std::vector<std::string> lines_;  // a copy: the pass may add blocks to the state's list
  int first_;
  InstallState& state_;
  Ui& ui_;
  size_t slot_ = 0;
  bool blockEnd_ = false;
};

}  // namespace

int deferBlock(StatementContext& ctx) {
  std::vector<DeferredBlock>& blocks = ctx.state.deferred.blocks;
  if (blocks.empty()) return -1;
  DeferredBlock& block = blocks.back();
  block.lines.clear();
  block.lines.push_back(ctx.line.text());
  std::string line;
  while (ctx.reader.readScriptLine(line)) {
    block.lines.push_back(line);
    ctx.consumedLines = static_cast<int>(block.lines.size()) - 1;
    if (equalsNoCase(leadingAlnumWord(line), "ENDIF")) break;
    if (block.lines.size() >= static_cast<size_t>(kMaxDeferredSlots)) return -1;
  }
  return static_cast<int>(block.lines.size());
}

int deferIfBlock(StatementContext& ctx) {
  DeferredBlocks& deferred = ctx.state.deferred;
  DeferredBlock block;
  block.firstLineNumber = ctx.lineNumber;
  deferred.blocks.push_back(std::move(block));
  ++deferred.count;
  ctx.reader.setDeferralMode(kDeferralDeferred);
  if (deferBlock(ctx) < 0) {
    deferred.blocks.pop_back();
    --deferred.count;
    return -1;
  }
  return kConditionDeferred;
}

int reparseDeferredBlocks(System& sys, Ui& ui, MacroValues& macros, const StartupValues& startup,
                          InstallState& state, const ParseOptions& options) {
  if (state.deferred.blocks.size() != static_cast<size_t>(state.deferred.count)) return -1;
  size_t blockCount = state.deferred.blocks.size();
  for (size_t i = 0; i < blockCount; ++i) {
    DeferredReader reader(state.deferred.blocks[i], state, ui);
    StatementLine line(&macros);
    StatementContext ctx{state, line, macros, startup, sys, ui, reader};
    ctx.secondPass = true;
    if (parseLines(ctx, options) != 0) return -1;
  }
  return 0;
}

}  // namespace qm
