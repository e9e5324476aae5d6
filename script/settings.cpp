#include "script/settings.h"

#include <iterator>
#include <utility>

#include "base/text.h"
#include "script/statement_context.h"

namespace qm {

namespace {

constexpr PromptKeyword kPromptKeywords[] = {
    {"COPYFILEPROMPT", &Prompts::copyFile, 499},
    {"AUTOEXECPROMPT", &Prompts::autoexec, 999},
    {"BADDIRPROMPT", &Prompts::badDir, 499},
    {"OKPROMPT", &Prompts::ok, 499},
    {"CANCELPROMPT", &Prompts::cancel, 499},
    {"BADDRIVEPROMPT", &Prompts::badDrive, 499},
    {"CONFIGPROMPT", &Prompts::config, 999},
    {"CPUPROMPT", &Prompts::cpu, 999},
    {"FILEEXISTPROMPT", &Prompts::fileExist, 499},
    {"INIFILEPROMPT", &Prompts::iniFile, 999},
    {"INSERTDISKPROMPT", &Prompts::insertDisk, 499},
    {"LOCATEPROMPT", &Prompts::locate, 499},
    {"NOGROUPPROMPT", &Prompts::noGroup, 499},
    {"NOSPACEPROMPT", &Prompts::noSpace, 999},
    {"QUITPROMPT", &Prompts::quit, 499},
    {"REBOOTPROMPT", &Prompts::reboot, 499},
    {"FILENOTFOUNDPROMPT", &Prompts::fileNotFound, 499},
};

// Keywords of older script versions that drew the screen in text mode; accepted and ignored.
constexpr const char* kIgnoredKeywords[] = {
    "SCREENFILLCHAR",   "WINDOWBACKGROUND", "WINDOWFOREGROUND", "SCREENBACKGROUND",
    "SCREENFOREGROUND", "TITLEBACKGROUND",  "TITLEFOREGROUND",  "BOTTOMBACKGROUND",
    "BOTTOMFOREGROUND", "PROMPTBACKGROUND", "PROMPTFOREGROUND", "EnterKeyPrompt",
    "EscPrompt",        "F2KeyPrompt",      "PressKeyPrompt",   "PressKeyQuitPrompt",
    "ReadmePrompt",     "YesNoPrompt",      "YesNoKey",
};

constexpr const char* kPlacementWords[] = {
    "TOPLEFT",      "TOPMIDDLE",  "TOPRIGHT",   "MIDDLERIGHT", "BOTTOMRIGHT",
    "BOTTOMMIDDLE", "BOTTOMLEFT", "MIDDLELEFT", "TILE",        "FULLSCREEN",
};

void limit(std::string& text, size_t maxChars) {
  if (text.size() > maxChars) text.resize(maxChars);
}

bool startsWithDigit(const std::string& word) {
  return !word.empty() && word[0] >= '0' && word[0] <= '9';
}

// A colour argument: parenthesised when it starts with "(", else one word.
void readColour(StatementLine& line, Colour& colour) {
  line.skipSeparators();
  std::string text = line.peek() == '(' ? line.readParenthesised() : line.readWord();
  parseColour(text, colour);
}

void setDestinationMacros(StatementContext& ctx, DestinationIndex which, const std::string& path,
                          bool withShortForm) {
  MacroValues& macros = ctx.macros;
  switch (which) {
    case kDefaultDirIndex:
      macros.defaultDir = path;
      macros.defaultDrive = path.substr(0, 1);
      if (withShortForm) {
        // A destination that does not exist yet has no short form; its long form is the best
        // stand-in until the destination dialog settles the directory.
        std::optional<std::string> shortForm = ctx.sys.files().shortPathName(path);
        macros.defaultDir8 = shortForm && !shortForm->empty() ? *shortForm : path;
        limit(macros.defaultDir8, kMaxPathChars);
      }
      break;
    case kDir2Index:
      macros.dir2 = path;
      break;
    case kDir3Index:
      macros.dir3 = path;
      break;
  }
}

}  // namespace

std::span<const PromptKeyword> promptKeywords() { return kPromptKeywords; }

const PromptKeyword* findPromptKeyword(std::string_view keyword) {
  for (const PromptKeyword& prompt : kPromptKeywords)
    if (equalsNoCase(keyword, prompt.keyword)) return &prompt;
  return nullptr;
}

bool isIgnoredKeyword(std::string_view keyword) {
  for (const char* ignored : kIgnoredKeywords)
    if (equalsNoCase(keyword, ignored)) return true;
  return false;
}

int readFontNameStatement(StatementContext& ctx) {
  std::string& font = ctx.state.settings.screenFont;
  font = ctx.line.readQuoted();
  return font.size() > kMaxFontNameChars ? ctx.refuse(RefusalKind::TooLong, "font name") : 0;
}

int readPromptStatement(StatementContext& ctx, const PromptKeyword& prompt) {
  std::string& text = ctx.state.settings.prompts.*prompt.text;
  text = ctx.line.readQuoted();
  return text.size() > prompt.maxChars ? ctx.refuse(RefusalKind::TooLong, "text") : 0;
}

int readTitleStatement(StatementContext& ctx) {
  StatementLine& line = ctx.line;
  Settings& settings = ctx.state.settings;
  if (line.atEnd()) return ctx.refuse(RefusalKind::MissingArgument, "title");
  line.skipSeparators();
  const std::string unquoted = line.peek() == '"' ? "" : std::string(line.rest());
  settings.title = line.readQuoted();
  limit(settings.title, kMaxTitleChars);

  bool italic = false, bold = false, underline = false;
  for (int i = 0; i < kMaxTitleFontWords && !line.atEnd(); ++i) {
    line.skipSeparators();
    if (line.peek() == '"') {
      std::string face = line.readQuoted();
      if (face.empty()) break;
      limit(face, kMaxTitleFaceChars);
      settings.titleFont.face = face;
      continue;
    }
    std::string word = line.readWord();
    if (word.empty()) break;
    limit(word, kMaxFontNameChars);
    if (equalsNoCase(word, "Italic")) {
      italic = true;
    } else if (equalsNoCase(word, "Bold")) {
      bold = true;
    } else if (equalsNoCase(word, "Underline")) {
      underline = true;
    } else if (startsWithDigit(word)) {
      settings.titleFont.size = static_cast<int>(parseLeadingInt(word));
    } else if (!unquoted.empty()) {
      return ctx.refuse(RefusalKind::NotQuoted, "title", unquoted);
    } else {
      return ctx.refuse(RefusalKind::UnknownWord, word);
    }
  }
  settings.titleFont.italic = italic;
  settings.titleFont.bold = bold;
  settings.titleFont.underline = underline;
  return 0;
}

int readTitleColourStatement(StatementContext& ctx) {
  readColour(ctx.line, ctx.state.settings.titleColour);
  return 0;
}

int readScreenColourStatement(StatementContext& ctx) {
  Settings& settings = ctx.state.settings;
  readColour(ctx.line, settings.screenColour1);
  if (ctx.line.atEnd())
    settings.screenColour2 = settings.screenColour1;  // one colour: a plain background
  else
    readColour(ctx.line, settings.screenColour2);
  return 0;
}

int readScreenGraphicStatement(StatementContext& ctx) {
  StatementLine& line = ctx.line;
  Settings& settings = ctx.state.settings;
  std::string name = line.readQuoted();
  if (name.empty()) name = line.readWord();
  // Always beside the script: the name is not a path and takes no macros.
  std::string path = ctx.macros.sourceDir;
  if (path.empty() || path.back() != '\\') path += '\\';
  path += name;
  limit(path, kMaxLineChars);
  settings.screenGraphicPath = path;
  if (line.atEnd()) return 0;
  std::string word = line.readWord();
  for (int i = 0; i < static_cast<int>(std::size(kPlacementWords)); ++i) {
    if (equalsNoCase(word, kPlacementWords[i])) {
      settings.screenGraphicPlacement = i + 1;
      return 0;
    }
  }
  return 1;
}

int readDestinationStatement(StatementContext& ctx, DestinationIndex which) {
  StatementLine& line = ctx.line;
  if (line.atEnd()) return ctx.refuse(RefusalKind::MissingArgument, "directory");
  line.skipSeparators();
  const bool quoted = line.peek() == '"';
  std::string path = line.readQuoted();
  if (path.empty()) path = line.readWord();
  const std::string written = path;

  std::optional<DestinationRecord>& slot = ctx.state.settings.destinations[which];
  if (!slot)
    slot.emplace();
  else
    slot->prompt.clear();
  DestinationRecord& record = *slot;

  expandLeadingMacro(ctx.macros, path);
  if ((path.size() >= 2 && path[1] == ':') || (!path.empty() && path[0] == '$')) {
    if (path.size() == 2) path += '\\';
  } else if (!path.empty() && path[0] == '\\') {
    path = "C:" + path;  // always C:, whatever the boot drive
  } else {
    path = "C:\\" + path;
  }
  limit(path, kMaxPathChars);
  record.path = path;
  setDestinationMacros(ctx, which, record.path, false);

  bool noAskDrive = false, noAskDir = false, wordSeen = false;
  while (!line.atEnd()) {
    std::string word = line.readWord();
    if (equalsNoCase(word, "prompt") && line.takeEquals()) {
      record.prompt = line.readQuoted();
      record.promptGiven = true;
    } else if (equalsNoCase(word, "NOASKDRIVE")) {
      record.mode = 1;
      noAskDrive = true;
    } else if (equalsNoCase(word, "NOASKDIR")) {
      record.mode = 2;
      noAskDir = true;
    } else if (!quoted && !word.empty() && !std::exchange(wordSeen, true)) {
      return ctx.refuse(RefusalKind::UnquotedBlank, written, word);
    } else {
      return ctx.refuse(RefusalKind::UnknownWord, word);
    }
    wordSeen = true;
  }
  if (!noAskDrive && !noAskDir) record.mode = 3;
  if (noAskDrive && noAskDir) record.mode = 0;

  setDestinationMacros(ctx, which, record.path, true);
  return 0;
}

}  // namespace qm
