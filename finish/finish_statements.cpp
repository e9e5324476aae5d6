// Readers of SHOWREADME, RUNATEXIT, the restart statements and the uninstaller's texts.
#include "base/text.h"
#include "script/statement_handlers.h"
#include "sysconfig/config_values.h"

namespace qm {

namespace {

constexpr int kAccepted = 0;
constexpr int kRejected = 1;

}  // namespace

int readShowReadmeStatement(StatementContext& ctx) {
  std::string readme;
  if (ctx.line.readQuotedLength(readme) < 0) readme = ctx.line.readWord();
  if (readme.size() > kReadmeChars) return kRejected;
  ctx.state.finish.readme = std::move(readme);
  return kAccepted;
}

int readRunAtExitStatement(StatementContext& ctx) {
  std::string command;
  if (!readQuotedArgument(ctx.line, command) || command.empty() ||
      command.size() > kRunAtExitChars) {
    return kRejected;
  }
  ctx.state.finish.runAtExit.push_back(std::move(command));
  return kAccepted;
}

int readRebootStatement(StatementContext& ctx, int form) {
  RebootMode mode = RebootMode::None;
  if (form == 1) {
    mode = RebootMode::Windows;
  } else if (form == 2) {
    mode = RebootMode::System;
  } else {
    const std::string word = ctx.line.readWord();
    if (equalsNoCase(word, "Windows") || equalsNoCase(word, "Window")) {
      mode = RebootMode::Windows;
    } else if (equalsNoCase(word, "System")) {
      mode = RebootMode::System;
    } else {
      return kRejected;
    }
  }
  ctx.state.finish.rebootMode = mode;
  return kAccepted;
}

int readUninstallTextStatement(StatementContext& ctx, int which) {
  UninstallTexts& texts = ctx.state.finish.uninstall;
  std::string* target = which == 0   ? &texts.begin
                        : which == 1 ? &texts.end
                        : which == 2 ? &texts.title
                                     : nullptr;
  std::string text;
  if (target == nullptr || !readQuotedArgument(ctx.line, text) || text.empty()) return kRejected;
  if (which == 2 && text.size() > kUninstallTitleChars) return kRejected;
  *target = std::move(text);
  return kAccepted;
}

}  // namespace qm
