#include "tools/script_keywords.h"

#include <algorithm>
#include <vector>

#include "base/text.h"
#include "script/settings.h"

namespace qm::pack {

namespace {

constexpr const char* kKeywords[] = {
    "FONTNAME",
    "UNINSTALL",
    "UNINSTALLBEGINPROMPT",
    "UNINSTALLENDPROMPT",
    "UninstallTitlePrompt",
    "REGSERVER",
    "TITLE",
    "IF",
    "ELSE",
    "ENDIF",
    "DEFAULTDIR",
    "DIR2",
    "DIR3",
    "ASK1",
    "ASK2",
    "ASK3",
    "ASK4",
    "ASK5",
    "FILE",
    "INSERTDISK",
    "BEGINREGISTRY",
    "BEGINFIRSTSCREEN",
    "BEGINLASTSCREEN",
    "POPMESSAGE",
    "EXITMESSAGE",
    "BEGINGROUP",
    "AUTOEXEC",
    "CONFIG",
    "WINITEM",
    "INIFILE",
    "ADDTEXT",
    "DELETE",
    "RENAME",
    "SHOWREADME",
    "TITLECOLOR",
    "SCREENCOLOR",
    "MINCPUTYPE",
    "MINDISKSPACE",
    "PROGRESSBAR",
    "OVERWRITEFILE",
    "RUNATEXIT",
    "RUNATSTART",
    "REBOOTWINDOWS",
    "REBOOTSYSTEM",
    "REBOOT",
    "COMPRESSION",
    "SCREENGRAPHIC",
    "INTROSCREEN",
    "REM",
    "COPYFILEPROMPT",
    "AUTOEXECPROMPT",
    "BADDIRPROMPT",
    "OKPROMPT",
    "CANCELPROMPT",
    "BADDRIVEPROMPT",
    "CONFIGPROMPT",
    "CPUPROMPT",
    "FILEEXISTPROMPT",
    "INIFILEPROMPT",
    "INSERTDISKPROMPT",
    "LOCATEPROMPT",
    "NOGROUPPROMPT",
    "NOSPACEPROMPT",
    "QUITPROMPT",
    "REBOOTPROMPT",
    "FILENOTFOUNDPROMPT",
};

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

}  // namespace

bool isStatementKeyword(const std::string& word) {
  for (const char* k : kKeywords)
    if (equalsNoCase(word, k)) return true;
  return findPromptKeyword(word) != nullptr;
}

std::string closestKeyword(const std::string& word) {
  if (word.size() < 3) return "";
  std::string best;
  size_t bestDistance = 3;
  for (const char* k : kKeywords) {
    size_t d = editDistance(word, k);
    if (d > 0 && d < bestDistance) {
      bestDistance = d;
      best = k;
    }
  }
  return best;
}

}  // namespace qm::pack
