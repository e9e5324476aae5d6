// Why a script line is a syntax error, in the vendor's words. The installer itself only shows the
// line; the parser and the statement readers say why they refused it, and this turns that reason
// into advice, with the fix when there is one.
#include <algorithm>
#include <string>
#include <vector>

#include "base/text.h"
#include "script/parser.h"
#include "script/settings.h"
#include "script/statement_line.h"
#include "tools/script_check.h"

namespace qm::pack {

namespace {

std::string upper(std::string s) {
  for (char& c : s) c = toUpperAscii(c);
  return s;
}

size_t editDistance(const std::string& a, const std::string& b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      size_t above = row[j];
      bool same = toUpperAscii(a[i - 1]) == toUpperAscii(b[j - 1]);
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// A word the line's author probably meant, or empty.
std::string didYouMean(const std::string& word) {
  std::string best = closestKeyword(word);
  return best.empty() ? "" : " (did you mean " + best + "?)";
}

const char* const kFileOptions =
    "options are COMPRESSED, SELF-EXTRACT, OVERWRITE=, SOURCE=, POPID=, GROUP=, ATTRIBUTE=";

std::string explainFile(const Refusal& r) {
  switch (r.kind) {
    case RefusalKind::EmptyQuote:
      return "FILE: the quoted file name is empty or never closed";
    case RefusalKind::MissingArgument:
      if (r.subject == "SOURCE") return "FILE: SOURCE= needs a directory: SOURCE=\\DISK2";
      if (r.subject == "GROUP") return "FILE: GROUP= needs group numbers: GROUP=1,2";
      return "FILE needs the name of the file to install: FILE README.TXT";
    case RefusalKind::TooLong:
      return r.subject == "SOURCE" ? "FILE: the SOURCE directory is longer than 499 characters"
                                   : "FILE: the file name is longer than 499 characters";
    case RefusalKind::UnquotedBlank:
      return "FILE: unknown option " + r.value + "; " + kFileOptions +
             "; a path with blanks must be quoted: FILE \"" + r.subject + " " + r.value + "\"";
    case RefusalKind::UnknownWord:
      if (r.subject.empty())
        return "FILE: \"" + r.value + "\" where an option belongs; " + kFileOptions;
      return "FILE: unknown option " + r.subject + "; " + kFileOptions;
    case RefusalKind::MissingEquals: {
      std::string up = upper(r.subject);
      return "FILE: " + up + " needs \"=\" and its value: " + up + "=...";
    }
    case RefusalKind::BadValue:
      if (r.subject == "OVERWRITE") return "FILE: OVERWRITE= takes YES, NO, NEW or ASK";
      if (r.subject == "POPID") return "FILE: POPID= takes the number of a POPMESSAGE: POPID=1";
      if (r.subject == "GROUP") return "FILE: GROUP= takes group numbers 0 to 99, got " + r.value;
      return "FILE: ATTRIBUTE= takes only the letters R, H, S and A, not " + r.value;
    case RefusalKind::NotQuoted:
      return "FILE: ATTRIBUTE= takes quoted letters: ATTRIBUTE=\"RH\"";
    case RefusalKind::UndeclaredGroup:
      return "FILE: GROUP=" + r.value + " names group " + r.value +
             ", which no BEGINGROUP before this line declares; declare it with BEGINGROUP " +
             r.value + " first";
    case RefusalKind::TooMany:
      return "FILE: GROUP= takes at most 12 group numbers";
    default:
      break;
  }
  return "FILE: the statement cannot be read; it takes FILE name [COMPRESSED] [SELF-EXTRACT] "
         "[OVERWRITE=YES|NO|NEW|ASK] [SOURCE=dir] [POPID=n] [GROUP=n,...] [ATTRIBUTE=\"RHSA\"]";
}

std::string explainDestination(const std::string& keyword, const Refusal& r) {
  switch (r.kind) {
    case RefusalKind::MissingArgument:
      return keyword + " needs a directory: " + keyword + " C:\\MYAPP";
    case RefusalKind::UnquotedBlank:
      return keyword + ": a path with blanks must be quoted: " + keyword + " \"" + r.subject + " " +
             r.value + "\"";
    case RefusalKind::UnknownWord:
      return keyword + ": unknown word " + (r.subject.empty() ? "\"=\"" : r.subject) +
             " after the directory; it may be followed by prompt=\"...\", NOASKDRIVE and "
             "NOASKDIR";
    default:
      return keyword + " takes a directory, then optionally prompt=\"...\", NOASKDRIVE, NOASKDIR";
  }
}

std::string explainAsk(const std::string& keyword, const Refusal& r) {
  const std::string example = keyword + " \"\" prompt=\"Your name:\"";
  switch (r.kind) {
    case RefusalKind::NotInSecondPass:
      return keyword +
             " cannot stand inside an IF that waits for the user's answers: the questions are "
             "all asked before such a block is read; move it before the IF";
    case RefusalKind::NotQuoted:
      if (r.subject == "prompt")
        return keyword + ": the prompt text must be quoted: prompt=\"Your name:\"";
      return keyword + " needs a quoted default answer first (it may be empty): " + example;
    case RefusalKind::TooLong:
      if (r.subject == "prompt") return keyword + ": the prompt text is too long";
      return keyword + ": the default answer is longer than 499 characters";
    case RefusalKind::MissingArgument:
      return keyword + " needs prompt=\"...\" after the default answer: " + example;
    default:
      return keyword + " takes a quoted default answer and prompt=\"...\": " + example;
  }
}

std::string explainTitle(const Refusal& r) {
  switch (r.kind) {
    case RefusalKind::MissingArgument:
      return "TITLE needs a quoted title: TITLE \"My Program Setup\"";
    case RefusalKind::NotQuoted:
      return "TITLE: the title must be quoted: TITLE \"" + r.value + "\"";
    case RefusalKind::UnknownWord:
      return "TITLE: " + (r.subject.empty() ? std::string("\"=\"") : r.subject) +
             " is not a font word; after the title come Bold, Italic, Underline, a size and a "
             "quoted face name";
    default:
      return "TITLE takes a quoted title, then Bold, Italic, Underline, a size, a quoted face "
             "name";
  }
}

std::string explainPopMessage(const Refusal& r) {
  if (r.kind == RefusalKind::MissingArgument)
    return "POPMESSAGE needs its number first: POPMESSAGE 1 \"Arial\" 10";
  if (r.kind == RefusalKind::TooLong)
    return "POPMESSAGE: the font name is longer than 30 characters";
  return "POPMESSAGE: at most 16 pop-up messages, each POPMESSAGE number \"font\" size, then "
         "its lines up to ENDPOP";
}

std::string explainBeginGroup(const Refusal& r) {
  if (r.kind == RefusalKind::NotInSecondPass)
    return "BEGINGROUP cannot stand inside an IF that waits for the user's answers: the groups "
           "are shown before such a block is read";
  if (r.kind == RefusalKind::UnknownWord)
    return "BEGINGROUP takes a group number, or EXCLUSIVE and a group number, not " + r.subject;
  if (r.kind == RefusalKind::BadValue) return "BEGINGROUP: group numbers run from 0 to 99";
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

// The errors the parser finds itself: the line's shape and its place among IF / ELSE / ENDIF.
std::string explainStructure(const ErrorReport& e, const std::string& up, RefusalKind kind) {
  const IfPosition& ifs = e.ifs;
  switch (kind) {
    case RefusalKind::OpenIfAtEnd:
      if (e.inDeferredBlock)
        return "the IF on line " + std::to_string(ifs.openIfLine) +
               " waits for the user's answers and has no ENDIF: the rest of the script became "
               "its block; add ENDIF";
      return "the IF on line " + std::to_string(ifs.openIfLine) +
             " is still open at the end of the script (its branch was false, so everything "
             "after it was skipped); add ENDIF";
    case RefusalKind::LoneCarriageReturns:
      return "the script ends its lines with a carriage return alone (CR), so it would read as "
             "one long line; the installer refuses it: save it with CR LF line ends";
    case RefusalKind::LineTooLong:
      return "the line is longer than 999 characters";
    case RefusalKind::NotAStatement: {
      StatementLine line;
      line.load(e.text);
      line.skipSeparators();
      char c = line.peek();
      if (c == ';' || c == '#' || (c == '/' && line.rest().substr(0, 2) == "//"))
        return "comments start with REM: REM " + std::string(line.rest().substr(c == '/' ? 2 : 1));
      return "a statement starts with its keyword; \"" + std::string(1, c) +
             "\" cannot begin a line (write REM before a comment)";
    }
    case RefusalKind::UnknownStatement:
      if (up.rfind("ASK", 0) == 0) return "ASK needs its number: ASK1 .. ASK5";
      return "unknown statement " + e.keyword + didYouMean(e.keyword) +
             "; a line must begin with a statement or REM";
    case RefusalKind::ElseWithoutIf:
      return "ELSE without IF";
    case RefusalKind::SecondElse:
      return "a second ELSE in the IF of line " + std::to_string(ifs.openIfLine);
    case RefusalKind::EndIfWithoutIf:
      if (ifs.lastEndIfLine > 0)
        return "ENDIF without IF: IF blocks do not nest, so the ENDIF on line " +
               std::to_string(ifs.lastEndIfLine) + " already closed the last IF";
      return "ENDIF without IF";
    case RefusalKind::IfInSkippedBranch:
      return "IF inside the false branch of the IF on line " + std::to_string(ifs.openIfLine) +
             ": IF blocks do not nest; close that IF with ENDIF first";
    case RefusalKind::IfWithoutCondition:
      return "IF needs a condition: IF winver >= 3.95";
    case RefusalKind::NotInSecondPass:
      if (up != "BEGINGROUP" && up.rfind("ASK", 0) != 0)
        return e.keyword +
               " cannot stand inside an IF that waits for the user's answers: it is used before "
               "such a block is read; move it before the IF";
      break;
    default:
      break;
  }
  return "";
}

}  // namespace

std::string closestKeyword(const std::string& word) {
  return closestWord(word, statementKeywords());
}

std::string closestWord(const std::string& word, const std::vector<std::string>& candidates) {
  if (word.size() < 3) return "";
  std::string best;
  size_t bestDistance = 3;
  for (const std::string& k : candidates) {
    size_t d = editDistance(word, k);
    if (d > 0 && d < bestDistance) {
      bestDistance = d;
      best = k;
    }
  }
  return best;
}

std::string explainError(const ErrorReport& e) {
  const Refusal r = e.refusal.value_or(Refusal{});
  const std::string up = upper(e.keyword);
  if (std::string s = explainStructure(e, up, r.kind); !s.empty()) return s;
  if (up == "IF")
    return "IF: the condition cannot be read; a condition is one test, an operator and a value "
           "(IF winver >= 3.95, IF memory >= 8192, IF isfile \"C:\\CONFIG.SYS\")";
  if (up.size() == 4 && up.rfind("ASK", 0) == 0) return explainAsk(up, r);
  if (up == "FILE") return explainFile(r);
  if (up == "DEFAULTDIR" || up == "DIR2" || up == "DIR3") return explainDestination(up, r);
  if (up == "TITLE") return explainTitle(r);
  if (up == "POPMESSAGE") return explainPopMessage(r);
  if (up == "BEGINGROUP") return explainBeginGroup(r);
  if (const PromptKeyword* prompt = findPromptKeyword(up))
    return up + ": the text is longer than " + std::to_string(prompt->maxChars) + " characters";
  for (const Syntax& s : kSyntax)
    if (up == s.keyword) return s.text;
  return e.keyword + ": the statement's arguments cannot be read";
}

}  // namespace qm::pack
