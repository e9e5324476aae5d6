#include "script/macros.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

MacroValues machine() {
  MacroValues m;
  m.defaultDir = "C:\\APP";
  m.defaultDir8 = "C:\\APPLIC~1";
  m.defaultDrive = "C";
  m.dir2 = "D:\\DATA";
  m.dir3 = "E:\\MORE";
  m.sourceDir = "A:";
  m.sourceDir8 = "A:";
  m.sourceDrive = "A";
  m.winDir = "C:\\WINDOWS";
  m.winHelpDir = "C:\\WINDOWS\\help";
  m.winSysDir = "C:\\WINDOWS\\SYSTEM";
  m.system = "S1";
  m.sys2 = "S2";
  m.sys3 = "S3";
  m.ask[0] = "yes";
  m.ask[4] = "five";
  m.left = "L";
  m.right = "R";
  return m;
}

TEST(ExpandMacros, Table) {
  struct Case {
    const char* text;
    const char* expected;
  };
  const Case cases[] = {
      {"$DEFAULTDIR$\\BIN", "C:\\APP\\BIN"},
      {"$defaultdir$\\bin", "C:\\APP\\bin"},
      {"$DEFAULTDIR$;$DEFAULTDIR$", "C:\\APP;C:\\APP"},
      {"$DEFAULTDIR8$\\X", "C:\\APPLIC~1\\X"},
      {"$SOURCEDIR8$$SOURCEDRIVE$", "A:A"},
      {"$WINDRIVE$ $WINHELPDIR$ $WINSYSDIR$", "C: C:\\WINDOWS\\help C:\\WINDOWS\\SYSTEM"},
      {"$LOCATEDIR$ $LOCATEDRIVE$", "C:\\NEWFILES C"},
      {"$SYSTEM$-$SYS2$-$SYS3$", "S1-S2-S3"},
      {"$DIR2$ $DIR3$ $DEFAULTDRIVE$", "D:\\DATA E:\\MORE C"},
      {"[$ASK1$][$ASK2$][$ASK5$]", "[yes][][five]"},
      {"$LEFT$ $RIGHT$ $SEARCH$", "$LEFT$ $RIGHT$ $SEARCH$"},  // not touched here
      {"$NOSUCH$ $", "$NOSUCH$ $"},
      {"", ""},
  };
  const MacroValues m = machine();
  for (const Case& c : cases) {
    std::string text = c.text;
    expandMacros(m, text);
    EXPECT_EQ(text, c.expected) << c.text;
  }
}

TEST(ExpandMacros, ValuesNamingLaterMacrosExpandEarlierOnesStay) {
  MacroValues m = machine();
  m.dir2 = "$WINDIR$\\X";  // later in the order: expanded
  m.winDir = "C:\\WIN";
  m.ask[0] = "$WINDIR$";         // answers come last: kept as typed
  m.ask[1] = "$ASK2$";           // its own name: inserted once
  m.defaultDir = "$LOCATEDIR$";  // earlier in the order: kept
  std::string text = "$DIR2$|$ASK1$|$ASK2$|$DEFAULTDIR$";
  expandMacros(m, text);
  EXPECT_EQ(text, "C:\\WIN\\X|$WINDIR$|$ASK2$|$LOCATEDIR$");
}

TEST(ExpandMacros, LongResultsAreCutAtTheLineLimit) {
  MacroValues m;
  m.defaultDir = std::string(400, 'D');
  std::string text = "$DEFAULTDIR$$DEFAULTDIR$$DEFAULTDIR$$DEFAULTDIR$";
  expandMacros(m, text);
  EXPECT_EQ(text, std::string(kMaxLineChars, 'D'));

  // A value holding its own name many times must not loop or grow past the limit.
  m.ask[2] = "$ASK3$$ASK3$";
  text = std::string(300, '.') + "$ASK3$$ASK3$$ASK3$";
  expandMacros(m, text);
  EXPECT_LE(text.size(), kMaxLineChars);
  EXPECT_EQ(text, std::string(300, '.') + "$ASK3$$ASK3$$ASK3$$ASK3$$ASK3$$ASK3$");
}

TEST(ExpandLeadingMacro, Table) {
  struct Case {
    const char* text;
    const char* expected;
  };
  const Case cases[] = {
      {"$WINDIR$\\SYSTEM.INI", "C:\\WINDOWS\\SYSTEM.INI"},
      {"X$WINDIR$", "X$WINDIR$"},
      {"$windrive$\\a", "C:\\a"},
      {"$DEFAULTDIR8$\\a", "$DEFAULTDIR8$\\a"},  // not one of its macros
      {"$SOURCEDIR8$", "$SOURCEDIR8$"},
      {"$DEFAULTDIR$$DIR2$", "C:\\APP$DIR2$"},  // one macro only
      {"$LEFT$x", "Lx"},
      {"$RIGHT$", "R"},
      {"$ASK5$", "five"},
      {"$SOURCEDRIVE$:\\", "A:\\"},
      {"", ""},
  };
  const MacroValues m = machine();
  for (const Case& c : cases) {
    std::string text = c.text;
    expandLeadingMacro(m, text);
    EXPECT_EQ(text, c.expected) << c.text;
  }
  MacroValues big = m;
  big.winDir = std::string(990, 'W');
  std::string text = "$WINDIR$" + std::string(50, 'x');
  expandLeadingMacro(big, text);
  EXPECT_EQ(text.size(), kMaxLineChars);
}

TEST(ExpandLeftRight, ReplacesLeftThenRight) {
  MacroValues m = machine();
  m.left = "$RIGHT$";
  std::string text = "$left$ and $Right$";
  expandLeftRight(m, text);
  EXPECT_EQ(text, "R and R");  // the inserted $RIGHT$ is expanded by the later step
  text = "$DEFAULTDIR$";
  expandLeftRight(m, text);
  EXPECT_EQ(text, "$DEFAULTDIR$");
}

}  // namespace
}  // namespace qm
