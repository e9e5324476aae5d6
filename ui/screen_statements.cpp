// Readers of the statements that describe questions and screens: ASK1..ASK5, the screen
// blocks, pop-up messages, the exit message and option groups.
#include "base/text.h"
#include "script/script_reader.h"
#include "script/statement_handlers.h"
#include "ui/dialogs.h"
#include "ui/screen_dialogs.h"
#include "ui/screen_templates.h"
#include "ui/text_block.h"

namespace qm {
namespace {

constexpr size_t kMaxFaceChars = 30;

bool startsWithDigit(const std::string& word) {
  return !word.empty() && word[0] >= '0' && word[0] <= '9';
}

// The font a block is measured in: default height and weight, the main window's style flags.
FontSpec measuringFont(const StatementContext& ctx, const std::string& face) {
  FontSpec font;
  font.face = face;
  font.italic = ctx.state.settings.titleFont.italic;
  font.underline = ctx.state.settings.titleFont.underline;
  return font;
}

// Collects a block's lines through the parser's line source in collecting mode; the consumed
// lines go to the parser's count. False when the line source failed.
bool collectBlock(StatementContext& ctx, const std::string& endKeyword, const FontSpec& font,
                  TextBlock& block) {
  CollectingLines collecting(ctx.reader);
  int consumed = readTextBlock(ctx.reader, ctx.ui, endKeyword, font, block);
  if (consumed < 0) return false;
  ctx.consumedLines += consumed;
  return true;
}

// The optional quoted font name and size after BEGINFIRSTSCREEN / BEGINLASTSCREEN.
bool readScreenFont(StatementLine& line, ScreenFont& font) {
  if (line.readQuotedLength(font.face) > static_cast<int>(kMaxFaceChars)) return false;
  if (!line.atEnd()) font.size = line.readNumber();
  if (font.size < 0) return false;
  return true;
}

int readScreenBlock(StatementContext& ctx, const char* endKeyword,
                    std::optional<DialogTemplate>& slot) {
  ScreenFont font;
  if (!readScreenFont(ctx.line, font)) return 1;
  DialogTexts texts = dialogTexts(ctx.state.settings);
  TextBlock block;
  if (!collectBlock(ctx, endKeyword,
                    measuringFont(ctx, font.face.empty() ? texts.fontName : font.face), block))
    return 1;
  auto dialog =
      buildScreenTemplate(block, ScreenKind::OkCancel, font, texts, ctx.state.screens.groups);
  if (!dialog) return 1;
  slot = std::move(dialog);
  return 0;
}

}  // namespace

int readAskStatement(StatementContext& ctx, int number) {
  if (ctx.secondPass) return ctx.refuse(RefusalKind::NotInSecondPass);
  if (number < 1 || number > 5) return 1;
  StatementLine& line = ctx.line;
  AskRecord record;
  if (line.readQuotedLength(record.answer) < 0)
    return ctx.refuse(RefusalKind::NotQuoted, "default answer");
  if (record.answer.size() > kMaxAnswerChars)
    return ctx.refuse(RefusalKind::TooLong, "default answer");
  if (!equalsNoCase(line.readWord(), "prompt") || !line.takeEquals())
    return ctx.refuse(RefusalKind::MissingArgument, "prompt");
  if (line.readQuotedLength(record.prompt) < 0) return ctx.refuse(RefusalKind::NotQuoted, "prompt");
  if (record.prompt.size() > kMaxPromptChars) return ctx.refuse(RefusalKind::TooLong, "prompt");
  record.lines.state = 1;
  ctx.macros.ask[number - 1] = record.answer;
  ctx.state.screens.ask[number - 1] = std::move(record);
  return 0;
}

int readFirstScreenStatement(StatementContext& ctx) {
  if (ctx.secondPass) return ctx.refuse(RefusalKind::NotInSecondPass);
  return readScreenBlock(ctx, "ENDFIRSTSCREEN", ctx.state.screens.firstScreen);
}

int readLastScreenStatement(StatementContext& ctx) {
  return readScreenBlock(ctx, "ENDLASTSCREEN", ctx.state.screens.lastScreen);
}

int readPopMessageStatement(StatementContext& ctx) {
  StatementLine& line = ctx.line;
  std::string numberWord = line.readWord();
  if (!startsWithDigit(numberWord)) return ctx.refuse(RefusalKind::MissingArgument, "number");
  PopupRecord popup;
  popup.number = static_cast<int>(parseLeadingInt(numberWord));
  if (line.readQuotedLength(popup.font.face) > static_cast<int>(kMaxFaceChars))
    return ctx.refuse(RefusalKind::TooLong, "font name");
  if (popup.font.face.empty()) popup.font.face = "MS Sans Serif";
  popup.font.size = line.atEnd() ? 0 : line.readNumber();
  if (popup.font.size < 0) return 1;
  if (popup.font.size == 0) popup.font.size = 10;
  if (ctx.state.screens.popups.size() >= static_cast<size_t>(kMaxPopups))
    return ctx.refuse(RefusalKind::TooMany, "pop-up messages");
  TextBlock block;
  if (!collectBlock(ctx, "ENDPOP", measuringFont(ctx, popup.font.face), block)) return 1;
  auto dialog = buildPopupTemplate(block, popup.font);
  if (!dialog) return 1;
  popup.dialog = std::move(*dialog);
  ctx.state.screens.popups.push_back(std::move(popup));
  return 0;
}

int readExitMessageStatement(StatementContext& ctx) {
  DialogTexts texts = dialogTexts(ctx.state.settings);
  TextBlock block;
  if (!collectBlock(ctx, "EXIT", measuringFont(ctx, texts.fontName), block)) return 1;
  auto dialog =
      buildScreenTemplate(block, ScreenKind::OkOnly, ScreenFont{}, texts, ctx.state.screens.groups);
  if (!dialog) {
    ctx.ui.messageBox(installerBox("Not Enough Memory", MsgIcon::Warning, MsgButtons::Ok,
                                   ctx.startup.mainWindowExists));
    return 1;
  }
  // The refusal is the whole result of the run: its words belong in the trace.
  std::string text;
  for (const std::string& l : block.lines)
    if (!l.empty()) text += (text.empty() ? "" : " / ") + l;
  ctx.ui.trace("exit message: " + text);
  runScreenDialog(ctx.ui, texts, *dialog, "ExitMessage");
  return 1;
}

int readBeginGroupStatement(StatementContext& ctx) {
  if (ctx.secondPass) return ctx.refuse(RefusalKind::NotInSecondPass);
  StatementLine& line = ctx.line;
  ScreenRecords& screens = ctx.state.screens;
  GroupDialogRecord record;
  std::string word = line.readWord();
  if (equalsNoCase(word, "EXCLUSIVE")) {
    record.exclusive = true;
    word = line.readWord();
  }
  if (startsWithDigit(word)) {
    long number = parseLeadingInt(word);
    if (number > 99) return ctx.refuse(RefusalKind::BadValue, "group number", word);
    if (screens.optionGroups.size() >= static_cast<size_t>(kMaxNumberedGroups))
      return ctx.refuse(RefusalKind::TooMany, "groups");
    record.groupNumber = static_cast<int>(number);
  } else if (!word.empty()) {
    return ctx.refuse(RefusalKind::UnknownWord, word);  // neither EXCLUSIVE nor a group number
  }
  DialogTexts texts = dialogTexts(ctx.state.settings);
  TextBlock block;
  if (!collectBlock(ctx, "ENDGROUP", measuringFont(ctx, texts.fontName), block)) return 1;
  record.firstIndex = screens.groups.count;
  record.dialog =
      record.exclusive
          ? buildExclusiveGroupTemplate(block, ScreenFont{}, texts, screens.groups,
                                        screens.radioGroupStarted)
          : buildScreenTemplate(block, ScreenKind::Groups, ScreenFont{}, texts, screens.groups);
  if (!record.dialog) return 1;
  record.endIndex = screens.groups.count;
  if (record.groupNumber < 0) {
    screens.mainGroup = std::move(record);
  } else {
    screens.optionGroups.push_back(std::move(record));
  }
  return 0;
}

}  // namespace qm
