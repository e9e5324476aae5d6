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

TEST(CheckScript, WarnsAboutWhatTheInstallerAcceptsButIgnoresAndWhatDoesNothing) {
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
      {"IF grup = 3\nENDIF\n", 1,
       "IF grup: grup is not a condition, so it is compared as text and the test never looks at "
       "the machine (did you mean group?); conditions are isfile, ocxfilever, search, locate, "
       "videocolor, videoresolution, video, memory, winver, dosver, group and $ASKn"},
      {"IF $WINDIR$ = C:\\WINDOWS\nENDIF\n", 1, ""},
      {"FILE $DEFUALTDIR$\\A.TXT\n", 1,
       "$DEFUALTDIR$ is no macro and stays as written (did you mean $DEFAULTDIR$?)"},
      {"FILE A.TXT\nRUNATEXIT \"$DEFAULTDIR$\\A.EXE $ASK2$\"\n", 2,
       "$ASK2$ is empty: the script has no ASK2 statement to ask for it"},
      {"ASK2 \"\" prompt=\"x\"\nRUNATEXIT \"$ASK2$\"\n", 2, ""},
      {"SHOWREADME $DEFAULTDIR$\\READ.ME\nFILE A.TXT\n", 1,
       "SHOWREADME $DEFAULTDIR$\\READ.ME: no FILE statement installs READ.ME, so the readme "
       "cannot be shown"},
      {"SHOWREADME $DEFAULTDIR$\\READ.ME\nFILE DOCS\\READ.ME\n", 1, ""},
      {"INSERTDISK: \"Disk 2\" \"LEDGERDISK02\"\n", 1,
       "INSERTDISK: the label LEDGERDISK02 has 12 characters, but a volume label holds at most "
       "11: no disk can carry it, and the installer will keep asking for the disk"},
      {"WINITEM \"G\" \"$DEFAULTDIR$\\A.EXE\" \"A\"\n", 1,
       "WINITEM without \", replace\": installing again adds a second item of the same name; end "
       "the line with , replace"},
      {"WINITEM \"G\" \"$DEFAULTDIR$\\A.EXE\" \"A\", replace\n", 1, ""},
      {"\xEF\xBB\xBFREM x\nREM y\n", 1,
       "the script starts with a byte order mark (UTF-8 BOM): the installer reads its three bytes "
       "as part of the first line; save the script as plain ANSI text"},
      {"REM x\r\nREM y\r\n\x1A", 3,
       "the script ends with a ^Z (a DOS end-of-file mark): the installer reads it as part of the "
       "last line; remove it"},
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

// A package volume's first bytes: the next volume's name, the markers of a first volume or of
// a continuation.
std::string volumeHead(const std::string& next, bool first) {
  std::string h(58, '\0');
  h.replace(0, next.size(), next);
  h[14] = 't';
  h[18] = first ? 't' : 'u';
  return h;
}

TEST(CheckScript, DistributionFailsOnWhatTheInstallerWillNotFind) {
  SimFixture machine;
  ASSERT_TRUE(machine.ok()) << machine.error();
  const DistFile pak("LEDGER.PAK", 1000, volumeHead("LEDGER.PA1", true));
  const DistFile pa1("LEDGER.PA1", 500, volumeHead("", false));
  struct Case {
    const char* name;
    const char* script;
    std::vector<std::vector<DistFile>> disks;
    std::vector<DistFile> container;
    int line;
    const char* error;  // "" when the line must draw no error
  };
  const Case cases[] = {
      {"a file no disk holds",
       "FILE APP.EXE\nFILE LEDGER.DLL\n",
       {{"APP.EXE"}},
       {},
       2,
       "FILE LEDGER.DLL: the installer looks for LEDGER.DLL on disk 1 (disk1), and will not "
       "find it"},
      {"a macro target is read by its name",
       "FILE $WINSYSDIR$\\LEDGER.DLL\n",
       {{"APP.EXE"}},
       {},
       1,
       "FILE $WINSYSDIR$\\LEDGER.DLL: the installer looks for LEDGER.DLL on disk 1 (disk1), and "
       "will not find it"},
      {"a file of a later disk",
       "FILE DATA.DAT\nINSERTDISK: \"Disk 2\"\n",
       {{}, {"DATA.DAT"}},
       {},
       1,
       "FILE DATA.DAT: the installer looks for DATA.DAT on disk 1 (disk1); it lies on disk 2 "
       "(disk2), and will not find it"},
      {"the container is closed after the first prompt",
       "INSERTDISK: \"Disk 2\"\nFILE DATA.DAT\n",
       {{}, {}},
       {"DATA.DAT"},
       2,
       "FILE DATA.DAT: the installer looks for DATA.DAT on disk 2 (disk2); the container holds "
       "it, but the container is closed after the first disk prompt: put it loose on that disk, "
       "and will not find it"},
      {"the container serves the first disk",
       "FILE DATA.DAT\nINSERTDISK: \"Disk 2\"\n",
       {{"install.pif"}, {}},
       {"DATA.DAT"},
       1,
       ""},
      {"a wildcard is matched on the disk",
       "INSERTDISK: \"Disk 2\"\nFILE SUB\\*.DAT\n",
       {{"install.pif"}, {"SUB\\A.DAT"}},
       {},
       2,
       ""},
      {"a wildcard that matches nothing",
       "INSERTDISK: \"Disk 2\"\nFILE *.HLP\n",
       {{"install.pif"}, {"A.DAT"}},
       {},
       2,
       "FILE *.HLP: the installer looks for *.HLP on disk 2 (disk2) (no file matches), and will "
       "not find it"},
      {"both volumes on disk 2",
       "INSERTDISK: \"Disk 2\"\nFILE LEDGER.PAK\nINSERTDISK: \"Disk 3\"\n",
       {{"install.pif"}, {pak, pa1}, {}},
       {},
       3,
       "volume 2 of package LEDGER.PAK: the installer looks for LEDGER.PA1 on disk 3 (disk3); it "
       "lies on disk 2 (disk2), and will not find it"},
      {"volumes where they are asked for",
       "INSERTDISK: \"Disk 2\"\nFILE LEDGER.PAK\nINSERTDISK: \"Disk 3\"\nFILE X.TXT\n",
       {{"install.pif"}, {pak}, {pa1, "X.TXT"}},
       {},
       3,
       ""},
      {"a first volume in the container",
       "FILE LEDGER.PAK\nINSERTDISK: \"Disk 2\"\n",
       {{"install.pif"}, {pa1}},
       {pak},
       1,
       "FILE LEDGER.PAK: the first volume of a package that goes on to another disk lies in the "
       "container; put it loose on the disk (the container cannot be read once the next disk is "
       "asked for)"},
      {"the screen graphic",
       "SCREENGRAPHIC \"LOGO.BMP\" TOPLEFT\n",
       {{"APP.EXE"}},
       {},
       1,
       "SCREENGRAPHIC LOGO.BMP: neither the first disk nor the container holds it, so the "
       "installer shows no picture"},
      {"a relaunch needs install.pif",
       "FILE A.TXT\nINSERTDISK: \"Disk 2\"\n",
       {{"A.TXT"}, {}},
       {},
       2,
       "the script has an INSERTDISK: line, so started from a floppy the installer runs a "
       "temporary copy from TEMP; without install.pif beside SETUP.EXE (or in its container) that "
       "copy is never removed: add install.pif to the first disk"},
      {"more disks asked for than given",
       "INSERTDISK: \"Disk 2\"\n",
       {{"install.pif"}},
       {},
       1,
       "this INSERTDISK asks for disk 2, but the distribution has 1 disk(s)"},
      {"a readme read from the disk at the end",
       "SHOWREADME $SOURCEDIR$\\README.TXT\nINSERTDISK: \"Disk 2\"\n",
       {{"install.pif", "README.TXT"}, {}},
       {},
       1,
       "SHOWREADME A:\\README.TXT: the installer looks for README.TXT on disk 2 (disk2); it lies "
       "on disk 1 (disk1), and will not find it"},
  };
  for (const Case& c : cases) {
    Distribution dist;
    dist.disks = c.disks;
    dist.container = c.container;
    for (size_t d = 0; d < c.disks.size(); ++d)
      dist.diskNames.push_back("disk" + std::to_string(d + 1));
    std::vector<Finding> f = checkScript(c.script, machine.sys(), dist);
    EXPECT_EQ(findingAt(f, Severity::Error, c.line), c.error) << c.name;
  }
}

TEST(CheckScript, ListsWhatEachDiskGivesInReadOrder) {
  SimFixture machine;
  ASSERT_TRUE(machine.ok()) << machine.error();
  Distribution dist;
  dist.disks = {{"install.pif", "QUILL.BMP", {"APP.EXE", 300000}},
                {{"LEDGER.PAK", 2000, volumeHead("LEDGER.PA1", true)}},
                {{"LEDGER.PA1", 900, volumeHead("", false)}, "X.TXT"}};
  dist.diskNames = {"disk1", "disk2", "disk3"};
  const char* script =
      "SCREENGRAPHIC QUILL.BMP\n"  // 1
      "MINDISKSPACE 2K\n"          // 2
      "FILE APP.EXE\n"             // 3
      "INSERTDISK: \"Disk 2\"\n"   // 4
      "FILE LEDGER.PAK\n"          // 5
      "INSERTDISK: \"Disk 3\"\n"   // 6
      "FILE X.TXT\n";              // 7
  std::vector<Finding> f = checkScript(script, machine.sys(), dist);
  EXPECT_EQ(findingAt(f, Severity::Note, 1),
            "disk 1 (disk1) is read from here: install.pif (for the temporary copy), QUILL.BMP "
            "(SCREENGRAPHIC), APP.EXE");
  EXPECT_EQ(findingAt(f, Severity::Note, 4), "disk 2 (disk2) is read from here: LEDGER.PAK");
  EXPECT_EQ(findingAt(f, Severity::Note, 6),
            "disk 3 (disk3) is read from here: LEDGER.PA1 (volume 2 of LEDGER.PAK), X.TXT");
  EXPECT_EQ(findingAt(f, Severity::Warning, 2),
            "MINDISKSPACE asks for 2000 bytes, but the files it copies take at least 302900 "
            "bytes: a full disk is found only half-way");
  for (const Finding& x : f) EXPECT_NE(x.severity, Severity::Error) << x.line << x.message;
}

TEST(CheckScript, RefusesAScriptWithCarriageReturnsAlone) {
  SimFixture machine;
  ASSERT_TRUE(machine.ok()) << machine.error();
  struct Case {
    const char* script;
    bool refused;
  };
  const Case cases[] = {
      {"TITLE \"x\"\rFILE A.TXT\r", true},
      {"TITLE \"x\"\r\nFILE A.TXT\r\n", false},
      {"TITLE \"x\"\r\r\nFILE A.TXT", false},
      {"TITLE \"x\"\nFILE A.TXT\r", false},
  };
  for (const Case& c : cases) {
    std::vector<Finding> findings = checkScript(c.script, machine.sys());
    EXPECT_EQ(findingAt(findings, Severity::Error, 1),
              c.refused ? "the script ends its lines with a carriage return alone (CR), so it "
                          "would read as one long line; the installer refuses it: save it with "
                          "CR LF line ends"
                        : "")
        << c.script;
  }
}

}  // namespace
}  // namespace qm::pack
