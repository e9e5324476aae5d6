#include "tools/script_check.h"

#include <gtest/gtest.h>

#include "platform/sim/sim_fixture_for_tests.h"

namespace qm::pack {
namespace {

// The one finding of the given severity on the given line, or "" when there is none.
std::string findingAt(const std::vector<Finding>& findings, Severity severity, int line) {
  std::string found;
  for (const Finding& f : findings)
    if (f.severity == severity && f.line == line) found += (found.empty() ? "" : " | ") + f.message;
  return found;
}

TEST(CheckScript, ExplainsEachErrorInTheVendorsWords) {
  SimFixture machine;
  ASSERT_TRUE(machine.ok()) << machine.error();
  struct Case {
    const char* script;
    int line;
    const char* message;
  };
  const Case cases[] = {
      {"REM\nASK \"Please enter your name...\"\n", 2, "ASK needs its number: ASK1 .. ASK5"},
      {"; comment\n", 1, "comments start with REM: REM  comment"},
      {"DEFAULTDIR C:\\MY APPS\n", 1,
       "DEFAULTDIR: a path with blanks must be quoted: DEFAULTDIR \"C:\\MY APPS\""},
      {"DEFAULTDIR \"C:\\APP\" NOASK\n", 1,
       "DEFAULTDIR: unknown word NOASK after the directory; it may be followed by prompt=\"...\", "
       "NOASKDRIVE and NOASKDIR"},
      {"IF isfile \"C:\\NOPE.TXT\"\nREM\nREM last", 3,
       "the IF on line 1 is still open at the end of the script (its branch was false, so "
       "everything after it was skipped); add ENDIF"},
      {"ELSE\n", 1, "ELSE without IF"},
      {"IF winver >= 3.0\nELSE\nELSE\nENDIF\n", 3, "a second ELSE in the IF of line 1"},
      {"IF winver >= 3.0\nENDIF\nENDIF\n", 3,
       "ENDIF without IF: IF blocks do not nest, so the ENDIF on line 2 already closed the last "
       "IF"},
      {"IF winver < 3.0\nIF winver > 1.0\nENDIF\n", 2,
       "IF inside the false branch of the IF on line 1: IF blocks do not nest; close that IF "
       "with ENDIF first"},
      {"IF\nENDIF\n", 1, "IF needs a condition: IF winver >= 3.95"},
      {"ASK1 Fred prompt=\"Name\"\n", 1,
       "ASK1 needs a quoted default answer first (it may be empty): ASK1 \"\" prompt=\"Your "
       "name:\""},
      {"ASK2 \"\"\n", 1,
       "ASK2 needs prompt=\"...\" after the default answer: ASK2 \"\" prompt=\"Your name:\""},
      {"FILE\n", 1, "FILE needs the name of the file to install: FILE README.TXT"},
      {"FILE C:\\MY APP\\X.EXE\n", 1,
       "FILE: unknown option APP\\X.EXE; options are COMPRESSED, SELF-EXTRACT, OVERWRITE=, "
       "SOURCE=, POPID=, GROUP=, ATTRIBUTE=; a path with blanks must be quoted: FILE "
       "\"C:\\MY APP\\X.EXE\""},
      {"FILE X.EXE OVERWRITE=MAYBE\n", 1, "FILE: OVERWRITE= takes YES, NO, NEW or ASK"},
      {"FILE X.EXE GROUP=5\n", 1,
       "FILE: GROUP=5 names group 5, which no BEGINGROUP before this line declares; declare it "
       "with BEGINGROUP 5 first"},
      {"FILE X.EXE ATTRIBUTE=\"RX\"\n", 1,
       "FILE: ATTRIBUTE= takes only the letters R, H, S and A, not X"},
      {"FILE X.EXE ATTRIBUTE=R\n", 1, "FILE: ATTRIBUTE= takes quoted letters: ATTRIBUTE=\"RH\""},
      {"TITLE My Setup\n", 1, "TITLE: the title must be quoted: TITLE \"My Setup\""},
      {"TITLE \"x\" Large\n", 1,
       "TITLE: Large is not a font word; after the title come Bold, Italic, Underline, a size "
       "and a quoted face name"},
      {"UNINSTALL MAYBE\n", 1, "UNINSTALL takes YES or NO"},
      {"REBOOTWINDOW now\n", 1,
       "unknown statement REBOOTWINDOW (did you mean REBOOTWINDOWS?); a line must begin with a "
       "statement or REM"},
      {"POPMESSAGE A \"Arial\" 10\nhi\nENDPOP\n", 1,
       "POPMESSAGE needs its number first: POPMESSAGE 1 \"Arial\" 10"},
      {"IF $ASK1 = \"y\"\nASK2 \"\" prompt=\"x\"\nENDIF\n", 2,
       "ASK2 cannot stand inside an IF that waits for the user's answers: the questions are all "
       "asked before such a block is read; move it before the IF"},
      {"COMPRESSION ZIP\n", 1, "COMPRESSION takes PKWARE or LHA"},
      // The installer reports this one with the blank last line as its text.
      {"BEGINGROUP 1\n[X] Docs\nENDGROUP\nIF group = 1\nFILE A.EXE\n\n", 6,
       "the IF on line 4 waits for the user's answers and has no ENDIF: the rest of the script "
       "became its block; add ENDIF"},
  };
  for (const Case& c : cases) {
    std::vector<Finding> findings = checkScript(c.script, machine.sys());
    EXPECT_EQ(findingAt(findings, Severity::Error, c.line), c.message) << c.script;
    for (const Finding& f : findings) EXPECT_FALSE(f.message.empty()) << c.script;
  }
}

TEST(CheckScript, FirstErrorIsTheOneTheInstallerShows) {
  SimFixture machine;
  ASSERT_TRUE(machine.ok()) << machine.error();
  std::vector<Finding> findings =
      checkScript("FOOBAR\nTITLE \"ok\"\nJUNK x\nIF group = 1\n", machine.sys());
  ASSERT_FALSE(findings.empty());
  EXPECT_EQ(findings[0].severity, Severity::Error);
  EXPECT_EQ(findings[0].line, 3);
  EXPECT_EQ(findings[0].text, "JUNK x");
}

TEST(CheckScript, WarnsAboutWhatTheInstallerAcceptsButIgnores) {
  SimFixture machine;
  ASSERT_TRUE(machine.ok()) << machine.error();
  struct Case {
    const char* script;
    int line;
    const char* message;  // "" when the line must draw no warning
  };
  const Case cases[] = {
      {"FOOBAR\n", 1, "FOOBAR is not a statement; a lone word is skipped without a message"},
      {"REBOOTWINDOW\n", 1,
       "REBOOTWINDOW is not a statement; a lone word is skipped without a message (did you mean "
       "REBOOTWINDOWS?)"},
      {"TITLECOLOR Purple\n", 1,
       "TITLECOLOR: Purple is not a colour: use Black, Blue, Green, Cyan, Red, Magenta, Yellow, "
       "White or (red,green,blue); the colour stays unchanged"},
      {"TITLECOLOR Red\nSCREENCOLOR (0,0,128) Blue\n", 1, ""},
      {"SCREENCOLOR Blue Navy\n", 1,
       "SCREENCOLOR: Navy is not a colour: use Black, Blue, Green, Cyan, Red, Magenta, Yellow, "
       "White or (red,green,blue); the colour stays unchanged"},
      {"BEGINFIRSTSCREEN\nWelcome\nFILE A.EXE\nREM\n", 1,
       "BEGINFIRSTSCREEN has no ENDFIRSTSCREEN: the 3 line(s) after it become first-screen text "
       "and none of their 1 statement(s) run; add ENDFIRSTSCREEN"},
      {"BEGINFIRSTSCREEN\nWelcome\nENDFIRSTSCREEN\n", 1, ""},
      {"FILE A.EXE\nINSERTDISK \"Disk 2\"\nFILE B.EXE\n", 2,
       "INSERTDISK without its colon in column 1: started from a floppy, the installer copies "
       "itself to the hard disk and runs from there only when a line begins with "
       "\"INSERTDISK:\"; without it the first disk cannot be taken out; write INSERTDISK:"},
      {"FILE A.EXE\nINSERTDISK: \"Disk 2\"\nFILE B.EXE\n", 2, ""},
      {"INSERTDISK: Disk2\n", 1,
       "INSERTDISK: the disk name must be quoted; unquoted, the prompt names \"the next disk\""},
      {"UNINSTALL YES\nFILE APP.EXE\n", 1,
       "UNINSTALL YES, but no FILE statement installs unstall.exe: the install log is written, "
       "but no uninstaller is set up to read it; add FILE UNSTALL.EXE"},
      {"UNINSTALL YES\nFILE unstall.exe\n", 1, ""},
      {"ASK1 \"\" prompt=\"a\"\nASK1 \"\" prompt=\"b\"\n", 2,
       "ASK1 again: it replaces the ASK1 of line 1"},
      {"OKPROMPT Fine\n", 1, "OKPROMPT takes a quoted text; without quotes the text becomes empty"},
      {"SCREENFILLCHAR 177\n", 1,
       "SCREENFILLCHAR belongs to older scripts and is ignored, with the rest of its line"},
      {"OKPROMPT \"Fine\n", 1, "a double quote is never closed: the quoted text reads as empty"},
      {"IF winver < 3.0\nFOOBAR\nTITLECOLOR Purple\nENDIF\n", 2, ""},
  };
  for (const Case& c : cases) {
    std::vector<Finding> findings = checkScript(c.script, machine.sys());
    EXPECT_EQ(findingAt(findings, Severity::Warning, c.line), c.message) << c.script;
  }
}

TEST(CheckScript, WarnsAboutTextAfterAnIfCondition) {
  SimFixture machine;
  ASSERT_TRUE(machine.ok()) << machine.error();
  const std::string ignored = "IF takes one condition; the rest of the line is ignored: ";
  struct Case {
    const char* script;
    int line;
    const char* unread;  // nullptr when the line must draw no warning
  };
  const Case cases[] = {
      {"IF winver >= 3.1 AND dosver >= 5\nENDIF\n", 1, "AND dosver >= 5"},
      {"IF winver < 3.1 OR video > 256\nENDIF\n", 1, "OR video > 256"},
      {"IF isfile C:\\Program Files\\app.exe\nENDIF\n", 1, "Files\\app.exe"},
      {"IF isfile \"C:\\Program Files\\app.exe\"\nENDIF\n", 1, nullptr},
      {"IF $WINDIR$ = C:\\WINDOWS extra\nENDIF\n", 1, "extra"},
      {"IF video > 256 640 480 8\nENDIF\n", 1, "8"},
      {"IF video > 256 640 480\nENDIF\n", 1, nullptr},
      {"IF memory >= 4096 , ) \nENDIF\n", 1, nullptr},
      {"IF winver = range 3.1 3.95 4.0\nENDIF\n", 1, "4.0"},
      {"IF search \"x\" C:\\A.TXT \"\" Stop=\"y\"\nENDIF\n", 1, "Stop=\"y\""},
      // Read after the user has answered, inside a deferred block and as its own IF.
      {"ASK1 \"\" prompt=\"a\"\nIF $ASK1 = \"y\" AND winver > 3\nENDIF\n", 2, "AND winver > 3"},
      {"ASK1 \"\" prompt=\"a\"\nIF $ASK1 = range 1 5 9\nENDIF\n", 2, "9"},
      // The group list stops at the first selected group; the numbers after it are no surprise.
      {"BEGINGROUP 1\n[X] 1 One\n[X] 2 Two\nENDGROUP\nIF group = 1 2\nENDIF\n", 5, nullptr},
      // A condition that fails is an error, not a warning.
      {"IF memory AND\nENDIF\n", 1, nullptr},
      // An IF in a branch not taken is not read at all.
      {"IF winver < 1\nIF winver > 3 AND x\nENDIF\n", 2, nullptr},
  };
  for (const Case& c : cases) {
    std::vector<Finding> findings = checkScript(c.script, machine.sys());
    EXPECT_EQ(findingAt(findings, Severity::Warning, c.line),
              c.unread ? ignored + c.unread : std::string())
        << c.script;
  }
}

TEST(CheckScript, DistributionShowsMissingFilesAndTheDiskLayout) {
  SimFixture machine;
  ASSERT_TRUE(machine.ok()) << machine.error();
  Distribution dist;
  dist.disks = {{"SETUP.cfg", "APP.EXE", "HELP\\APP.HLP"}, {"DATA.DAT"}};
  dist.diskNames = {"disk1", "disk2"};
  dist.container = {};
  const char* script =
      "FILE APP.EXE\n"             // 1: on disk 1
      "FILE HELP\\APP.HLP\n"       // 2: in a sub-folder of disk 1
      "FILE README.TXT\n"          // 3: nowhere
      "FILE DATA.DAT\n"            // 4: on disk 2, read while disk 1 is in
      "INSERTDISK: \"Disk 2\"\n"   // 5
      "FILE *.DAT\n"               // 6: a wildcard that matches on disk 2
      "INSERTDISK: \"Disk 3\"\n";  // 7: a third disk the distribution lacks
  std::vector<Finding> f = checkScript(script, machine.sys(), dist);
  EXPECT_EQ(findingAt(f, Severity::Warning, 1), "");
  EXPECT_EQ(findingAt(f, Severity::Warning, 2), "");
  EXPECT_EQ(findingAt(f, Severity::Warning, 3),
            "FILE README.TXT: no disk of the distribution holds it (disk1, disk2)");
  EXPECT_EQ(findingAt(f, Severity::Warning, 4),
            "FILE DATA.DAT is read while disk 1 is in the drive, but it lies on disk 2 (disk2): "
            "the installer will ask for the disk again and not find it");
  EXPECT_EQ(findingAt(f, Severity::Warning, 6), "");
  EXPECT_EQ(findingAt(f, Severity::Warning, 7),
            "this INSERTDISK asks for disk 3, but the distribution has 2 disk(s)");
  EXPECT_EQ(findingAt(f, Severity::Note, 1),
            "disk 1 (disk1) is read from here: 4 FILE statement(s)");
  EXPECT_EQ(findingAt(f, Severity::Note, 5),
            "disk 2 (disk2) is read from here: 1 FILE statement(s)");

  // A file packed into the installer's container is found whichever disk is in.
  dist.container = {"DATA.DAT"};
  f = checkScript(script, machine.sys(), dist);
  EXPECT_EQ(findingAt(f, Severity::Warning, 4), "");
}

}  // namespace
}  // namespace qm::pack
