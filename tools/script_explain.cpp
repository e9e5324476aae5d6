// Why a script line is a syntax error, in the vendor's words. The installer itself only shows the
// line; this reads the line again with the same readers and names the first thing that is wrong,
// with the fix when there is one.
#include <algorithm>
#include <array>
#include <cstring>
#include <string>

#include "base/text.h"
#include "script/macros.h"
#include "script/settings.h"
#include "script/statement_line.h"
#include "tools/script_check.h"
#include "tools/script_keywords.h"

namespace qm::pack {

namespace {

bool allDigits(const std::string& s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool startsWithDigit(const std::string& s) { return !s.empty() && s[0] >= '0' && s[0] <= '9'; }

std::string upper(std::string s) {
  for (char& c : s) c = toUpperAscii(c);
  return s;
}

// A word the line's author probably meant, or empty.
std::string didYouMean(const std::string& word) {
  std::string best = closestKeyword(word);
  return best.empty() ? "" : " (did you mean " + best + "?)";
}

// After the name, a word that belongs to the name when the name was written without quotes.
std::string unquotedBlankHint(const std::string& keyword, bool quoted, const std::string& name,
                              const std::string& word) {
  if (quoted || word.empty()) return "";
  return "; a path with blanks must be quoted: " + keyword + " \"" + name + " " + word + "\"";
}

std::string explainFile(StatementLine& line, const ErrorContext& context) {
  line.skipSeparators();
  bool quoted = line.peek() == '"';
  std::string name = quoted ? line.readQuoted() : line.readWord();
  if (name.empty())
    return quoted ? "FILE: the quoted file name is empty or never closed"
                  : "FILE needs the name of the file to install: FILE README.TXT";
  if (name.size() > kMaxPathChars) return "FILE: the file name is longer than 499 characters";
  bool first = true;
  while (!line.atEnd()) {
    std::string option = line.readWord();
    if (option.empty())
      return "FILE: \"" + std::string(1, line.peek()) +
             "\" where an option belongs; options are COMPRESSED, SELF-EXTRACT, OVERWRITE=, "
             "SOURCE=, POPID=, GROUP=, ATTRIBUTE=";
    std::string up = upper(option);
    if (up == "COMPRESSED" || up == "SELF-EXTRACT") {
      first = false;
      continue;
    }
    bool known =
        up == "OVERWRITE" || up == "SOURCE" || up == "POPID" || up == "GROUP" || up == "ATTRIBUTE";
    if (!known)
      return "FILE: unknown option " + option +
             "; options are COMPRESSED, SELF-EXTRACT, OVERWRITE=, SOURCE=, POPID=, GROUP=, "
             "ATTRIBUTE=" +
             (first ? unquotedBlankHint("FILE", quoted, name, option) : "");
    first = false;
    if (!line.takeEquals()) return "FILE: " + up + " needs \"=\" and its value: " + up + "=...";
    if (up == "OVERWRITE") {
      std::string mode = upper(line.readWord());
      if (mode != "YES" && mode != "NO" && mode != "NEW" && mode != "ASK")
        return "FILE: OVERWRITE= takes YES, NO, NEW or ASK";
    } else if (up == "SOURCE") {
      line.skipSeparators();
      std::string source = line.peek() == '"' ? line.readQuoted() : line.readWord();
      if (source.empty()) return "FILE: SOURCE= needs a directory: SOURCE=\\DISK2";
      if (source.size() > kMaxPathChars)
        return "FILE: the SOURCE directory is longer than 499 characters";
    } else if (up == "POPID") {
      std::string digits = line.readWord();
      if (!allDigits(digits) || digits.size() > 9)
        return "FILE: POPID= takes the number of a POPMESSAGE: POPID=1";
    } else if (up == "GROUP") {
      int count = 0;
      while (!line.atEnd() && line.peek() >= '0' && line.peek() <= '9') {
        std::string word = line.readWord();
        if (!allDigits(word) || word.size() > 2)
          return "FILE: GROUP= takes group numbers 0 to 99, got " + word;
        int number = std::stoi(word);
        const std::vector<int>& groups = context.declaredGroups;
        if (std::find(groups.begin(), groups.end(), number) == groups.end())
          return "FILE: GROUP=" + word + " names group " + word +
                 ", which no BEGINGROUP before this line declares; declare it with BEGINGROUP " +
                 word + " first";
        if (++count > 12) return "FILE: GROUP= takes at most 12 group numbers";
      }
      if (count == 0) return "FILE: GROUP= needs group numbers: GROUP=1,2";
    } else {  // ATTRIBUTE
      line.skipSeparators();
      if (line.peek() != '"') return "FILE: ATTRIBUTE= takes quoted letters: ATTRIBUTE=\"RH\"";
      std::string letters = line.readQuoted();
      for (char c : letters)
        if (!std::strchr("RHSArhsa", c))
          return "FILE: ATTRIBUTE= takes only the letters R, H, S and A, not " + std::string(1, c);
    }
  }
  return "FILE: the statement cannot be read; it takes FILE name [COMPRESSED] [SELF-EXTRACT] "
         "[OVERWRITE=YES|NO|NEW|ASK] [SOURCE=dir] [POPID=n] [GROUP=n,...] [ATTRIBUTE=\"RHSA\"]";
}

std::string explainDestination(const std::string& keyword, StatementLine& line) {
  if (line.atEnd()) return keyword + " needs a directory: " + keyword + " C:\\MYAPP";
  line.skipSeparators();
  bool quoted = line.peek() == '"';
  std::string path = quoted ? line.readQuoted() : line.readWord();
  bool first = true;
  while (!line.atEnd()) {
    std::string word = line.readWord();
    std::string up = upper(word);
    if (up == "PROMPT" && line.takeEquals()) {
      line.readQuoted();
    } else if (up != "NOASKDRIVE" && up != "NOASKDIR") {
      if (first && !quoted && !word.empty())
        return keyword + ": a path with blanks must be quoted: " + keyword + " \"" + path + " " +
               word + "\"";
      return keyword + ": unknown word " + (word.empty() ? std::string("\"=\"") : word) +
             " after the directory; it may be followed by prompt=\"...\", NOASKDRIVE and "
             "NOASKDIR";
    }
    first = false;
  }
  return keyword + " takes a directory, then optionally prompt=\"...\", NOASKDRIVE, NOASKDIR";
}

std::string explainAsk(const std::string& keyword, StatementLine& line, const ErrorContext& ctx) {
  if (ctx.inDeferredBlock)
    return keyword +
           " cannot stand inside an IF that waits for the user's answers: the questions are "
           "all asked before such a block is read; move it before the IF";
  std::string answer;
  if (line.readQuotedLength(answer) < 0)
    return keyword + " needs a quoted default answer first (it may be empty): " + keyword +
           " \"\" prompt=\"Your name:\"";
  if (answer.size() > 499) return keyword + ": the default answer is longer than 499 characters";
  if (!equalsNoCase(line.readWord(), "prompt") || !line.takeEquals())
    return keyword + " needs prompt=\"...\" after the default answer: " + keyword +
           " \"\" prompt=\"Your name:\"";
  std::string prompt;
  if (line.readQuotedLength(prompt) < 0)
    return keyword + ": the prompt text must be quoted: prompt=\"Your name:\"";
  return keyword + ": the prompt text is too long";
}

std::string explainIf(StatementLine& line, const ErrorContext& context) {
  if (context.skipping && context.openIfLine > 0)
    return "IF inside the false branch of the IF on line " + std::to_string(context.openIfLine) +
           ": IF blocks do not nest; close that IF with ENDIF first";
  if (line.atEnd()) return "IF needs a condition: IF winver >= 3.95";
  return "IF: the condition cannot be read; a condition is one test, an operator and a value "
         "(IF winver >= 3.95, IF memory >= 8192, IF isfile \"C:\\CONFIG.SYS\")";
}

std::string explainPopMessage(StatementLine& line) {
  std::string number = line.readWord();
  if (!startsWithDigit(number))
    return "POPMESSAGE needs its number first: POPMESSAGE 1 \"Arial\" 10";
  std::string face;
  if (line.readQuotedLength(face) > static_cast<int>(kMaxFontNameChars))
    return "POPMESSAGE: the font name is longer than 30 characters";
  return "POPMESSAGE: at most 16 pop-up messages, each POPMESSAGE number \"font\" size, then "
         "its lines up to ENDPOP";
}

std::string explainBeginGroup(StatementLine& line, const ErrorContext& context) {
  if (context.inDeferredBlock)
    return "BEGINGROUP cannot stand inside an IF that waits for the user's answers: the groups "
           "are shown before such a block is read";
  std::string word = line.readWord();
  if (equalsNoCase(word, "EXCLUSIVE")) word = line.readWord();
  if (!word.empty() && !startsWithDigit(word))
    return "BEGINGROUP takes a group number, or EXCLUSIVE and a group number, not " + word;
  if (startsWithDigit(word) && parseLeadingInt(word) > 99)
    return "BEGINGROUP: group numbers run from 0 to 99";
  return "BEGINGROUP: at most 16 numbered groups; each BEGINGROUP [EXCLUSIVE] number, then its "
         "lines up to ENDGROUP";
}

// The arguments each remaining statement takes, for the errors with no more telling reason.
struct Syntax {
  const char* keyword;
  const char* text;
};
constexpr Syntax kSyntax[] = {
    {"UNINSTALL", "UNINSTALL takes YES or NO"},
    {"UNINSTALLBEGINPROMPT", "UNINSTALLBEGINPROMPT needs a quoted, non-empty text"},
    {"UNINSTALLENDPROMPT", "UNINSTALLENDPROMPT needs a quoted, non-empty text"},
    {"UNINSTALLTITLEPROMPT", "UninstallTitlePrompt needs a quoted, non-empty text"},
    {"REGSERVER", "REGSERVER needs the path of the library to register"},
    {"DELETE", "DELETE needs the path of the file to delete"},
    {"RENAME", "RENAME needs the old and the new name: RENAME C:\\APP\\OLD.INI NEW.INI"},
    {"INSERTDISK",
     "INSERTDISK takes a quoted disk name and label: INSERTDISK: \"Disk 2\" \"DISK2\""},
    {"BEGINREGISTRY",
     "BEGINREGISTRY: the registry block cannot be read; it names a key, what to "
     "do with it and its values, up to ENDREGISTRY"},
    {"BEGINFIRSTSCREEN",
     "BEGINFIRSTSCREEN takes an optional quoted font name and size, then the "
     "screen's lines up to ENDFIRSTSCREEN"},
    {"BEGINLASTSCREEN",
     "BEGINLASTSCREEN takes an optional quoted font name and size, then the "
     "screen's lines up to ENDLASTSCREEN"},
    {"AUTOEXEC",
     "AUTOEXEC takes ASK, ADDPATH, ADDPATH=\"dir\", SHARE, SHARE=\"options\" and "
     "ADD=\"line\""},
    {"CONFIG", "CONFIG takes FILEMIN=n, BUFFERMIN=n, ADD=\"line\" and ASK"},
    {"WINITEM",
     "WINITEM takes \"group\" \"command\" \"title\" [\"dir\\\"] [\"icon file\"] "
     "[icon index] [, replace | , remove]"},
    {"INIFILE", "INIFILE takes \"section\" \"key\" \"value\" file [options]"},
    {"ADDTEXT", "ADDTEXT takes \"text\" file [\"position\"] [REPLACE]"},
    {"SHOWREADME", "SHOWREADME needs the readme's file name"},
    {"MINCPUTYPE", "MINCPUTYPE takes a processor beginning with 80: 80386, 80486"},
    {"MINDISKSPACE",
     "MINDISKSPACE takes a size (2000000, 500K, 2M) and an optional group number "
     "0 to 99"},
    {"PROGRESSBAR", "PROGRESSBAR needs the total size: PROGRESSBAR 2M"},
    {"OVERWRITEFILE", "OVERWRITEFILE takes YES, NO, NEW or ASK"},
    {"RUNATEXIT",
     "RUNATEXIT needs a quoted, non-empty command: RUNATEXIT \"$DEFAULTDIR$\\APP.EXE\""},
    {"RUNATSTART", "RUNATSTART needs a quoted, non-empty command"},
    {"REBOOT", "REBOOT takes Windows or System"},
    {"COMPRESSION", "COMPRESSION takes PKWARE or LHA"},
    {"SCREENGRAPHIC",
     "SCREENGRAPHIC takes a bitmap's name and one of TOPLEFT, TOPMIDDLE, "
     "TOPRIGHT, MIDDLERIGHT, BOTTOMRIGHT, BOTTOMMIDDLE, BOTTOMLEFT, MIDDLELEFT, "
     "TILE, FULLSCREEN"},
    {"INTROSCREEN", "INTROSCREEN takes a bitmap's name and an optional time in seconds"},
    {"FONTNAME", "FONTNAME: the font name is longer than 30 characters"},
};

std::string explainTitle(StatementLine& line) {
  if (line.atEnd()) return "TITLE needs a quoted title: TITLE \"My Program Setup\"";
  line.skipSeparators();
  if (line.peek() != '"')
    return "TITLE: the title must be quoted: TITLE \"" + std::string(line.rest()) + "\"";
  line.readQuoted();
  while (!line.atEnd()) {
    line.skipSeparators();
    if (line.peek() == '"') {
      line.readQuoted();
      continue;
    }
    std::string word = line.readWord();
    std::string up = upper(word);
    if (up != "ITALIC" && up != "BOLD" && up != "UNDERLINE" && !startsWithDigit(word))
      return "TITLE: " + (word.empty() ? std::string("\"=\"") : word) +
             " is not a font word; after the title come Bold, Italic, Underline, a size and a "
             "quoted face name";
  }
  return "TITLE takes a quoted title, then Bold, Italic, Underline, a size, a quoted face name";
}

}  // namespace

std::string explainError(const std::string& lineText, const ErrorContext& context) {
  if (context.openIfAtEnd && context.inDeferredBlock)
    return "the IF on line " + std::to_string(context.openIfLine) +
           " waits for the user's answers and has no ENDIF: the rest of the script became its "
           "block; add ENDIF";
  if (context.openIfAtEnd)
    return "the IF on line " + std::to_string(context.openIfLine) +
           " is still open at the end of the script (its branch was false, so everything after "
           "it was skipped); add ENDIF";
  if (lineText.size() > kMaxLineChars) return "the line is longer than 999 characters";
  StatementLine line;
  line.load(lineText);
  std::string keyword = line.readKeyword();
  std::string up = upper(keyword);

  if (keyword.empty()) {
    line.skipSeparators();
    char c = line.peek();
    if (c == ';' || c == '#' || (c == '/' && line.rest().substr(0, 2) == "//"))
      return "comments start with REM: REM " + std::string(line.rest().substr(c == '/' ? 2 : 1));
    return "a statement starts with its keyword; \"" + std::string(1, c) +
           "\" cannot begin a line (write REM before a comment)";
  }
  if (up == "ASK" || (up.rfind("ASK", 0) == 0 && !isStatementKeyword(up)))
    return "ASK needs its number: ASK1 .. ASK5";
  if (up == "ELSE") {
    if (context.openIfLine == 0) return "ELSE without IF";
    return "a second ELSE in the IF of line " + std::to_string(context.openIfLine);
  }
  if (up == "ENDIF") {
    if (context.lastEndIfLine > 0)
      return "ENDIF without IF: IF blocks do not nest, so the ENDIF on line " +
             std::to_string(context.lastEndIfLine) + " already closed the last IF";
    return "ENDIF without IF";
  }
  if (up == "IF") return explainIf(line, context);
  if (!isStatementKeyword(up))
    return "unknown statement " + keyword + didYouMean(keyword) +
           "; a line must begin with a statement or REM";
  if (context.inDeferredBlock && (up == "BEGINFIRSTSCREEN" || up == "RUNATSTART"))
    return keyword +
           " cannot stand inside an IF that waits for the user's answers: it is used before "
           "such a block is read; move it before the IF";
  if (up.size() == 4 && up.rfind("ASK", 0) == 0) return explainAsk(up, line, context);
  if (up == "FILE") return explainFile(line, context);
  if (up == "DEFAULTDIR" || up == "DIR2" || up == "DIR3") return explainDestination(up, line);
  if (up == "TITLE") return explainTitle(line);
  if (up == "POPMESSAGE") return explainPopMessage(line);
  if (up == "BEGINGROUP") return explainBeginGroup(line, context);
  if (const PromptKeyword* prompt = findPromptKeyword(up))
    return up + ": the text is longer than " + std::to_string(prompt->maxChars) + " characters";
  for (const Syntax& s : kSyntax)
    if (up == s.keyword) return s.text;
  return keyword + ": the statement's arguments cannot be read";
}

}  // namespace qm::pack
