#include "script/macros.h"

#include <string_view>

#include "base/text.h"

namespace qm {

namespace {

using MacroValue = std::string (*)(const MacroValues&);

struct Macro {
  std::string_view name;  // upper case
  MacroValue value;
};

// Captureless lambdas keep the two tables readable: one line per macro, in the order tried.
#define QM_MACRO(name, expr)                                       \
  Macro {                                                          \
    name, [](const MacroValues& m) -> std::string { return expr; } \
  }

const Macro kLeadingMacros[] = {
    QM_MACRO("$LOCATEDIR$", m.locateDir),
    QM_MACRO("$LOCATEDRIVE$", m.locateDrive),
    QM_MACRO("$DEFAULTDIR$", m.defaultDir),
    QM_MACRO("$SOURCEDIR$", m.sourceDir),
    QM_MACRO("$WINDIR$", m.winDir),
    QM_MACRO("$WINDRIVE$", m.winDrive()),
    QM_MACRO("$WINHELPDIR$", m.winHelpDir),
    QM_MACRO("$WINSYSDIR$", m.winSysDir),
    QM_MACRO("$DIR2$", m.dir2),
    QM_MACRO("$DIR3$", m.dir3),
    QM_MACRO("$SYSTEM$", m.system),
    QM_MACRO("$SYS2$", m.sys2),
    QM_MACRO("$SYS3$", m.sys3),
    QM_MACRO("$DEFAULTDRIVE$", m.defaultDrive),
    QM_MACRO("$SOURCEDRIVE$", m.sourceDrive),
    QM_MACRO("$ASK1$", m.ask[0]),
    QM_MACRO("$ASK2$", m.ask[1]),
    QM_MACRO("$ASK3$", m.ask[2]),
    QM_MACRO("$ASK4$", m.ask[3]),
    QM_MACRO("$ASK5$", m.ask[4]),
    QM_MACRO("$RIGHT$", m.right),
    QM_MACRO("$LEFT$", m.left),
};

// The order matters: a value naming a macro later in this list is expanded too, one naming an
// earlier macro is left as it is. The answers come last so that a typed answer stays as typed.
const Macro kAllMacros[] = {
    QM_MACRO("$LOCATEDIR$", m.locateDir),
    QM_MACRO("$LOCATEDRIVE$", m.locateDrive),
    QM_MACRO("$SYSTEM$", m.system),
    QM_MACRO("$SYS2$", m.sys2),
    QM_MACRO("$SYS3$", m.sys3),
    QM_MACRO("$DEFAULTDIR$", m.defaultDir),
    QM_MACRO("$DEFAULTDIR8$", m.defaultDir8),
    QM_MACRO("$DIR2$", m.dir2),
    QM_MACRO("$DIR3$", m.dir3),
    QM_MACRO("$SOURCEDIR$", m.sourceDir),
    QM_MACRO("$SOURCEDIR8$", m.sourceDir8),
    QM_MACRO("$WINDIR$", m.winDir),
    QM_MACRO("$WINDRIVE$", m.winDrive()),
    QM_MACRO("$WINHELPDIR$", m.winHelpDir),
    QM_MACRO("$WINSYSDIR$", m.winSysDir),
    QM_MACRO("$DEFAULTDRIVE$", m.defaultDrive),
    QM_MACRO("$SOURCEDRIVE$", m.sourceDrive),
    QM_MACRO("$ASK1$", m.ask[0]),
    QM_MACRO("$ASK2$", m.ask[1]),
    QM_MACRO("$ASK3$", m.ask[2]),
    QM_MACRO("$ASK4$", m.ask[3]),
    QM_MACRO("$ASK5$", m.ask[4]),
};

const Macro kLeftRightMacros[] = {
    QM_MACRO("$LEFT$", m.left),
    QM_MACRO("$RIGHT$", m.right),
};

#undef QM_MACRO

void limitLength(std::string& text) {
  if (text.size() > kMaxLineChars) text.resize(kMaxLineChars);
}

// Replaces every occurrence of one macro. The search goes on after the inserted value, so a
// value is never searched for the macro that produced it.
void replaceAll(const Macro& macro, const MacroValues& macros, std::string& text) {
  if (text.empty()) return;
  size_t from = 0;
  std::string value;
  bool haveValue = false;
  while (from < text.size()) {
    size_t at = findNoCase(text, macro.name, from);
    if (at == std::string::npos) return;
    if (!haveValue) {
      value = macro.value(macros);
      haveValue = true;
    }
    text.replace(at, macro.name.size(), value);
    limitLength(text);
    from = at + value.size();
  }
}

}  // namespace

std::vector<std::string> macroNames() {
  std::vector<std::string> names;
  for (const Macro& macro : kAllMacros) names.emplace_back(macro.name);
  for (const Macro& macro : kLeftRightMacros) names.emplace_back(macro.name);
  names.emplace_back("$SEARCH$");  // the text a search found, in ADDTEXT's position text
  return names;
}

bool isMacroName(std::string_view name) {
  for (const std::string& known : macroNames())
    if (equalsNoCase(name, known)) return true;
  return false;
}

void expandLeadingMacro(const MacroValues& macros, std::string& text) {
  for (const Macro& macro : kLeadingMacros) {
    if (!startsWithNoCase(text, macro.name)) continue;
    text.replace(0, macro.name.size(), macro.value(macros));
    limitLength(text);
    return;
  }
}

void expandMacros(const MacroValues& macros, std::string& text) {
  for (const Macro& macro : kAllMacros) {
    if (text.empty()) return;
    replaceAll(macro, macros, text);
  }
}

void expandLeftRight(const MacroValues& macros, std::string& text) {
  for (const Macro& macro : kLeftRightMacros) replaceAll(macro, macros, text);
}

}  // namespace qm
