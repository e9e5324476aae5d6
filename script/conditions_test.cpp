#include "script/conditions.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "platform/sim/sim_fixture_for_tests.h"
#include "script/parser.h"
#include "script/script_reader.h"

namespace qm {
namespace {

constexpr const char* kMachine =
    "[Machine]\n"
    "Windows=3.95\n"
    "DOS=7.10\n"
    "Memory=16777216\n"
    "Display=640x480x8\n"
    "WindowsDir=C:\\WINDOWS\n"
    "SystemDir=C:\\WINDOWS\\SYSTEM\n"
    "TempDir=C:\\TEMP\n"
    "[Drives]\n"
    "A=removable disk1\n"
    "C=fixed c\n"
    "D=fixed d\n"
    "E=cdrom e\n"
    "N=network net\n";

std::string machineWith(const std::string& memory, const std::string& display) {
  std::string m = kMachine;
  m.replace(m.find("16777216"), 8, memory);
  m.replace(m.find("640x480x8"), 9, display);
  return m;
}

std::string dllBytes(const std::string& name) {
  std::ifstream in(std::string(QM_SOURCE_DIR) + "/tests/data/pe/" + name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class CountingUi : public Ui {
 public:
  MsgResult messageBox(const MessageRequest&) override { return MsgResult::Ok; }
  void showCheckingSystem() override { ++checkingBoxes; }
  int checkingBoxes = 0;
};

class NoLines : public ScriptReader {
 public:
  int nextScriptLine(std::string&) override { return 0; }
};

// One condition evaluated on a simulated machine, the way the parser hands the IF line over.
struct ConditionRun {
  explicit ConditionRun(const std::string& machine = kMachine) : sim(machine) {
    EXPECT_TRUE(sim.ok()) << sim.error();
    uint32_t v = sim.sys().versionWord();
    startup.windowsVersion =
        conditionFraction(std::to_string(v & 0xFF) + "." + std::to_string((v >> 8) & 0xFF));
    startup.dosVersion =
        conditionFraction(std::to_string(v >> 24) + "." + std::to_string((v >> 16) & 0xFF));
    macros.sourceDir = "A:\\";
    macros.winDir = "C:\\WINDOWS";
  }
  int eval(const std::string& ifLine, bool secondPass = false) {
    line.load(ifLine);
    line.readKeyword();
    ctx.secondPass = secondPass;
    return evaluateCondition(ctx);
  }

  SimFixture sim;
  InstallState state;
  MacroValues macros;
  StartupValues startup;
  CountingUi ui;
  NoLines reader;
  StatementLine line{&macros};
  StatementContext ctx{state, line, macros, startup, sim.sys(), ui, reader};
};

struct Case {
  const char* line;
  int expected;
};

void runCases(ConditionRun& run, std::initializer_list<Case> cases) {
  for (const Case& c : cases) EXPECT_EQ(run.eval(c.line), c.expected) << c.line;
}

TEST(Conditions, ReadComparisonTakesOneOrTwoCharacters) {
  struct Op {
    const char* text;
    int code;
    const char* rest;
  } ops[] = {
      {"= x", 1, " x"},   {"== x", 1, " x"},  {"> x", 2, " x"},   {"< x", 3, " x"},
      {">= x", 4, " x"},  {"<= x", 5, " x"},  {"<> x", 6, " x"},  {"  ,>=5", 4, "5"},
      {"=> 4", -1, " 4"}, {">> 4", -1, " 4"}, {"=< 4", 1, "< 4"}, {"! 4", -1, " 4"},
      {"", -1, ""},       {"x", -1, ""},
  };
  for (const Op& op : ops) {
    StatementLine line;
    line.load(op.text);
    EXPECT_EQ(readComparison(line), op.code) << op.text;
    EXPECT_EQ(line.rest(), op.rest) << op.text;
  }
}

TEST(Conditions, NumbersConvertAsIntegersAndFractions) {
  struct Num {
    const char* text;
    int64_t integer;
    double fraction;
  } nums[] = {
      {"3.95", 3, 3.95},
      {"  -12abc", -12, -12},
      {"+7", 7, 7},
      {"abc", 0, 0},
      {"", 0, 0},
      {".5", 0, 0.5},
      {"1e2", 1, 100},
      {"4.0.1", 4, 4.0},
      {"2e", 2, 2},
      {"99999999999999999999999", std::numeric_limits<int64_t>::max() / 10 * 10 - 10, 1e23},
  };
  for (const Num& n : nums) {
    EXPECT_EQ(conditionInteger(n.text), n.integer) << n.text;
    EXPECT_DOUBLE_EQ(conditionFraction(n.text), n.fraction) << n.text;
  }
}

TEST(Conditions, MemoryComparesTotalBytesWithKilobytes) {
  ConditionRun sixteen;
  runCases(sixteen, {{"IF memory >= 8192", 1},
                     {"IF memory = 8192", 0},
                     {"IF memory = 16384", 1},
                     {"IF memory == 16384", 1},
                     {"IF memory < 16384", 0},
                     {"IF memory <= 16384", 1},
                     {"IF memory <> 16384", 0},
                     {"IF memory > 16383", 1},
                     {"IF memory(>=4096)", 1},
                     {"IF memory => 4096", -1},
                     {"IF memory", -1}});
  ConditionRun eight(machineWith("8388608", "640x480x8"));
  runCases(eight, {{"IF memory = 8192", 1}, {"IF memory > 8192", 0}});
  // 8 GiB: the 32-bit product the old arithmetic used would wrap to 0 and read as "no memory".
  ConditionRun large(machineWith("8589934592", "640x480x8"));
  runCases(large, {{"IF memory > 4194304", 1},
                   {"IF memory >= 8388608", 1},
                   {"IF memory = 8388608", 1},
                   {"IF memory < 16384", 0}});
}

TEST(Conditions, WindowsAndDosVersionsCompareAsDecimalFractions) {
  ConditionRun run;
  runCases(run, {{"IF winver >= 3.95", 1},
                 {"IF winver = range 3.1 4.0", 1},
                 {"IF winver == RANGE 3.96 4", 0},
                 {"IF winver = range 3.95 3.95", 1},
                 {"IF winver = range 3.1", -1},
                 {"IF winver => 4", -1},
                 {"IF winver > 3.95", 0},
                 {"IF winver < 4", 1},
                 {"IF winver = 3.95", 1},
                 {"IF winver <> 3.1", 1},
                 {"IF winver > range 1 5", 1},  // not "=": range is a word worth 0
                 {"IF dosver = 7.1", 1},
                 {"IF dosver >= 7", 1},
                 {"IF dosver < 6.22", 0},
                 {"IF DOSVER = range 6 7.10", 1}});
}

TEST(Conditions, DisplayTestsFollowTheirTable) {
  ConditionRun vga;  // 640 x 480, 256 colours
  runCases(vga, {{"IF video <256", 1},
                 {"IF video < 256", 1},
                 {"IF video >256", 1},
                 {"IF video >257", 0},
                 {"IF video < 640 480", 0},
                 {"IF video < 800 480", 1},  // width below, height at most
                 {"IF video < 800 600", 1},
                 {"IF video > 640 480", 1},
                 {"IF video > 640 481", 0},
                 {"IF video > 256 640 480", 1},
                 {"IF video < 256 640 480", 0},
                 {"IF video < 256 800 480", 0},  // with colours both sides must be below
                 {"IF video < 256 800 600", 1},
                 {"IF video(<256)", 1},
                 {"IF video <", -1},
                 {"IF video = 256", -1},
                 {"IF video 256", -1},
                 {"IF videoresolution > 640 480", 1},
                 {"IF videoresolution < 640 480", 0},
                 {"IF videoresolution < 641 480", 1},
                 {"IF videocolor > 256", 1},
                 {"IF videocolor < 256", 1},
                 {"IF videocolor > 65536", 0},
                 {"IF videocolor = 256", -1},
                 {"IF videocolor x", -1}});
  // True colour: 2 to the 32nd does not fit 32 bits; compared in 64 it is the largest.
  ConditionRun trueColour(machineWith("16777216", "1024x768x32"));
  runCases(trueColour, {{"IF videocolor > 16777216", 1},
                        {"IF videocolor > 4294967296", 1},
                        {"IF videocolor > 4294967297", 0},
                        {"IF video < 256", 0},
                        {"IF video > 65536 1024 768", 1}});
}

TEST(Conditions, OtherWordsCompareAsTextsWithoutCase) {
  ConditionRun run;
  run.macros.system = "Pro";
  runCases(run, {{"IF $SYSTEM$ = \"PRO\"", 1},
                 {"IF $SYSTEM$ = pro", 1},
                 {"IF $SYSTEM$ <> PRO", 0},
                 {"IF $SYSTEM$ > \"ABC\"", 1},
                 {"IF $SYSTEM$ < \"ABC\"", 0},
                 {"IF $SYSTEM$ >= \"pro\"", 1},
                 {"IF abc < abd", 1},
                 {"IF \"abc\" = abc", 0},  // the test name is a word: quotes and all
                 {"IF 4.0 > 10.0", 1},     // as texts, not numbers
                 {"IF standalone", -1}});
}

TEST(Conditions, IsFileTestsFilesWildcardsAndDirectories) {
  ConditionRun run;
  run.sim.writeFile("C:\\APP\\README.TXT", "x");
  run.sim.makeDirectory("C:\\APP\\SUB");
  run.sim.writeFile("A:\\SETUP.CFG", "x");
  run.sim.writeFile("C:\\WINDOWS\\WIN.INI", "x");
  ASSERT_TRUE(run.sim.sys().setCurrentDirectory("C:\\APP"));
  runCases(run, {{"IF isfile \"C:\\APP\\README.TXT\"", 1},
                 {"IF isfile C:\\APP\\readme.txt", 1},
                 {"IF isfile(C:\\APP\\README.TXT)", 1},
                 {"IF isfile C:\\APP\\*.TXT", 1},
                 {"IF isfile C:\\APP\\READ?E.*", 1},
                 {"IF isfile C:\\APP\\*.DOC", 0},
                 {"IF isfile \"C:\\APP\\\"", 1},
                 {"IF isfile \"C:\\APP\\SUB\\\"", 1},
                 {"IF isfile \"C:\\NOPE\\\"", 0},
                 {"IF isfile \"C:\\APP\\README.TXT\\\"", 0},  // a file is no directory
                 {"IF isfile C:\\APP\\SUB", 1},               // directories match too
                 {"IF isfile C:", 0},                         // no file-name part
                 {"IF isfile", 0},
                 {"IF isfile README.TXT", 1},  // relative to the current directory
                 {"IF isfile SUB\\NONE.TXT", 0},
                 {"IF isfile \"$SOURCEDIR$\\SETUP.CFG\"", 1},
                 {"IF isfile \"$WINDIR$\\WIN.INI\"", 1},
                 {"IF isfile \"$WINDIR$\\SYSTEM.INI\"", 0}});
  EXPECT_EQ(run.sim.sys().currentDirectory(), "C:\\APP");
}

TEST(Conditions, SearchFindsTextBetweenMarkersAndSetsLeftRight) {
  ConditionRun run;
  run.sim.writeFile("C:\\AUTOEXEC.BAT",
                    "REM path=c:\\old\r\n"
                    "@ECHO OFF\r\n"
                    "[begin]\r\n"
                    "SET PATH=C:\\DOS;C:\\WINDOWS\r\n"
                    "[end]\r\n"
                    "SET TEMP=C:\\TEMP\r\n"
                    "last line without end");
  struct SearchCase {
    const char* line;
    int expected;
    const char* left;
    const char* right;
    const char* search;
  } cases[] = {
      {"IF search \"path=\" C:\\AUTOEXEC.BAT", 1, "REM ", "c:\\old", "1"},
      {"IF search \"path=\" \"C:\\AUTOEXEC.BAT\" \"rem\"", 1, "SET ", "C:\\DOS;C:\\WINDOWS", "4"},
      // The begin marker's own line is not searched.
      {"IF search \"begin\" C:\\AUTOEXEC.BAT \"\" Begin=\"[begin]\"", 0, "-", "-", "-"},
      {"IF search \"set\" C:\\AUTOEXEC.BAT \"\" Begin=\"[begin]\" End=\"[end]\"", 1, "",
       " PATH=C:\\DOS;C:\\WINDOWS", "4"},
      // Nothing after the end marker is found; markers are case-sensitive.
      {"IF search \"temp\" C:\\AUTOEXEC.BAT \"\" Begin=\"[begin]\" End=\"[end]\"", 0, "-", "-",
       "-"},
      {"IF search \"temp\" C:\\AUTOEXEC.BAT \"\" Begin=\"[BEGIN]\"", 0, "-", "-", "-"},
      {"IF search \"temp\" C:\\AUTOEXEC.BAT \"\" Begin=\"[begin]\" End=\"[END]\"", 1, "SET ",
       "=C:\\TEMP", "6"},
      {"IF search \"without\" C:\\AUTOEXEC.BAT", 1, "last line ", " end", "7"},
      {"IF search \"$WINDIR$\" C:\\AUTOEXEC.BAT", 1, "SET PATH=C:\\DOS;", "", "4"},
      {"IF search \"nowhere\" C:\\AUTOEXEC.BAT", 0, "-", "-", "-"},
      {"IF search \"path\" C:\\MISSING.BAT", 0, "-", "-", "-"},
      {"IF search", -1, "-", "-", "-"},
      {"IF search \"path\"", -1, "-", "-", "-"},
  };
  for (const SearchCase& c : cases) {
    run.macros.left = run.macros.right = run.macros.search = "-";
    EXPECT_EQ(run.eval(c.line), c.expected) << c.line;
    EXPECT_EQ(run.macros.left, c.left) << c.line;
    EXPECT_EQ(run.macros.right, c.right) << c.line;
    EXPECT_EQ(run.macros.search, c.search) << c.line;
  }
  EXPECT_EQ(run.sim.sys().openFileCount(), 0);
}

TEST(Conditions, SearchReadsLongLinesInPiecesAndCountsThem) {
  ConditionRun run;
  std::string longLine(997, 'a');
  longLine += "NEEDLE tail";
  run.sim.writeFile("C:\\LONG.TXT",
                    "first\r\n" + longLine + "\r\nmore NEEDLE\x1A NEEDLE after eof");
  EXPECT_EQ(searchTextFile(run.sim.sys(), run.macros, "needle", "C:\\LONG.TXT", "", "", ""), 1);
  // The 997 'a's are the second line's first piece; the needle starts the third.
  EXPECT_EQ(run.macros.search, "3");
  EXPECT_EQ(run.macros.left, "");
  EXPECT_EQ(run.macros.right, " tail");
  EXPECT_EQ(searchTextFile(run.sim.sys(), run.macros, "after", "C:\\LONG.TXT", "", "", ""), 0);
  EXPECT_EQ(searchTextFile(run.sim.sys(), run.macros, "more", "C:\\LONG.TXT", "", "", ""), 1);
  EXPECT_EQ(run.macros.search, "4");
  EXPECT_EQ(run.macros.right, " NEEDLE");
}

struct LocateRun : ConditionRun {
  LocateRun() {
    sim.writeFile("C:\\TOOLS\\X.EXE", "x");
    sim.writeFile("C:\\A\\DEEP\\HIT.TXT", "x");
    sim.writeFile("C:\\B\\HIT.TXT", "x");
    sim.writeFile("D:\\GAMES\\DOOM\\DOOM.EXE", "x");
    sim.writeFile("E:\\DOOM.EXE", "x");
    sim.writeFile("N:\\SHARE\\DOOM.EXE", "x");
    sim.writeFile("A:\\DOOM.EXE", "x");
    EXPECT_TRUE(sim.sys().setCurrentDirectory("C:\\TOOLS"));
  }
};

TEST(Conditions, LocateSearchesTheSelectedDrivesDepthFirst) {
  struct LocateCase {
    const char* sourceDir;
    const char* line;
    int expected;
    const char* dir;
    const char* drive;
  } cases[] = {
      {"A:\\", "IF locate DOOM.EXE", 1, "D:\\GAMES\\DOOM", "D"},
      {"A:\\", "IF locate \"doom.exe\"", 1, "D:\\GAMES\\DOOM", "D"},
      {"D:\\SETUP", "IF locate DOOM.EXE", 1, "N:\\SHARE", "N"},  // never the source drive
      {"D:\\SETUP", "IF locate DOOM.EXE local", 0, "-", "-"},    // E: is a CD, A: removable
      {"A:\\", "IF locate DOOM.EXE network", 1, "N:\\SHARE", "N"},
      {"A:\\", "IF locate DOOM.EXE LOCAL", 1, "D:\\GAMES\\DOOM", "D"},
      {"A:\\", "IF locate DOOM.EXE E", 1, "E:\\", "E"},  // a root keeps its backslash
      {"A:\\", "IF locate DOOM.EXE a", 1, "A:\\", "A"},  // one drive: even the source
      {"A:\\", "IF locate DOOM.EXE d", 1, "D:\\GAMES\\DOOM", "D"},
      {"A:\\", "IF locate DOOM.EXE Z", 0, "-", "-"},
      {"A:\\", "IF locate D??M.*", 1, "D:\\GAMES", "D"},     // the folder DOOM matches first
      {"A:\\", "IF locate HIT.TXT", 1, "C:\\A\\DEEP", "C"},  // depth first, in listing order
      {"A:\\", "IF locate GAMES", 1, "D:\\", "D"},           // directories are found too
      {"A:\\", "IF locate NONE.EXE", 0, "-", "-"},
      {"A:\\", "IF locate DOOM.EXE elsewhere", -1, "-", "-"},
  };
  for (const LocateCase& c : cases) {
    LocateRun run;
    run.macros.sourceDir = c.sourceDir;
    run.macros.locateDir = run.macros.locateDrive = "-";
    EXPECT_EQ(run.eval(c.line), c.expected) << c.line;
    EXPECT_EQ(run.macros.locateDir, c.dir) << c.line;
    EXPECT_EQ(run.macros.locateDrive, c.drive) << c.line;
    // The checking-system box shows before every search, and only then.
    EXPECT_EQ(run.ui.checkingBoxes, c.expected < 0 ? 0 : 1) << c.line;
    EXPECT_EQ(run.sim.sys().currentDirectory(), "C:\\TOOLS") << c.line;
  }
}

struct OcxRun : ConditionRun {
  static constexpr const char* kGrid = "00000001-0000-0000-0000-00000000000A";
  OcxRun() {
    sim.writeFile("C:\\WINDOWS\\SYSTEM\\GRID.OCX", dllBytes("ver_e4.dll"));
    sim.writeFile("C:\\WINDOWS\\SYSTEM\\PLAIN.OCX", dllBytes("ver_none.dll"));
    sim.writeFile("C:\\WINDOWS\\SYSTEM\\OLD16.DLL", dllBytes("ver_b0.dll"));
    std::ofstream reg(sim.root() / "registry.reg", std::ios::binary);
    reg << "REGEDIT4\r\n\r\n"
           "[HKEY_CLASSES_ROOT\\CLSID\\{00000001-0000-0000-0000-00000000000A}\\InprocServer32]\r\n"
           "@=\"C:\\\\WINDOWS\\\\SYSTEM\\\\GRID.OCX\"\r\n"
           "[HKEY_CLASSES_ROOT\\CLSID\\{00000001-0000-0000-0000-00000000000A}\\InprocServer]\r\n"
           "@=\"C:\\\\WINDOWS\\\\SYSTEM\\\\OLD16.DLL\"\r\n"
           "[HKEY_CLASSES_ROOT\\CLSID\\{00000002-0000-0000-0000-00000000000B}\\InprocServer32]\r\n"
           "@=\"C:\\\\WINDOWS\\\\SYSTEM\\\\PLAIN.OCX\"\r\n"
           "[HKEY_CLASSES_ROOT\\CLSID\\{00000003-0000-0000-0000-00000000000C}\\InprocServer32]\r\n"
           "@=\"C:\\\\WINDOWS\\\\SYSTEM\\\\GONE.OCX\"\r\n"
           "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\{00000004-0000-0000-0000-"
           "00000000000D}\\InprocServer32]\r\n"
           "@=\"C:\\\\WINDOWS\\\\SYSTEM\\\\GRID.OCX\"\r\n";
  }
};

TEST(Conditions, OcxFileVersionComparesTheServersVersionText) {
  OcxRun run;
  runCases(run,
           {{"IF ocxfilever \"00000001-0000-0000-0000-00000000000A\" 32 >= \"4.71\"", 1},
            {"IF ocxfilever \"{00000001-0000-0000-0000-00000000000A}\" 32 >= \"4.71\"", 1},
            {"IF ocxfilever \"{00000001-0000-0000-0000-00000000000a\" 32 = \"4.71.1712.5\"", 1},
            {"IF ocxfilever \"00000001-0000-0000-0000-00000000000A}\" 32 = \"4.71.1712.5\"", 1},
            // Texts, not numbers: "4.71..." sorts after "10.0".
            {"IF ocxfilever \"00000001-0000-0000-0000-00000000000A\" 32 > \"10.0\"", 1},
            {"IF ocxfilever \"00000001-0000-0000-0000-00000000000A\" 32 < \"5\"", 1},
            // The 16-bit server key has no "32".
            {"IF ocxfilever \"00000001-0000-0000-0000-00000000000A\" 16 = \"10.0.0.1 (BETA)\"", 1},
            // No version resource, a missing file or key: "0.0.0.0".
            {"IF ocxfilever \"00000002-0000-0000-0000-00000000000B\" 32 >= \"1.0.0.0\"", 0},
            {"IF ocxfilever \"00000002-0000-0000-0000-00000000000B\" 32 = \"0.0.0.0\"", 1},
            {"IF ocxfilever \"00000003-0000-0000-0000-00000000000C\" 32 = \"0.0.0.0\"", 1},
            {"IF ocxfilever \"00000009-0000-0000-0000-00000000000F\" 32 = \"0.0.0.0\"", 1},
            {"IF ocxfilever \"00000002-0000-0000-0000-00000000000B\" 16 = \"0.0.0.0\"", 1},
            // Registered under the machine's classes key shows through the classes root.
            {"IF ocxfilever \"00000004-0000-0000-0000-00000000000D\" 32 = \"4.71.1712.5\"", 1},
            {"IF ocxfilever \"00000001-0000-0000-0000-00000000000A\" 64 = \"1\"", -1},
            {"IF ocxfilever \"00000001-0000-0000-0000-00000000000A\" 032 = \"1\"", -1},
            {"IF ocxfilever \"\" 32 = \"1\"", -1},
            {"IF ocxfilever 00000001-0000-0000-0000-00000000000A 32 = \"1\"", -1},
            {"IF ocxfilever \"00000001-0000-0000-0000-00000000000A\" 32 => \"1\"", -1},
            {"IF ocxfilever \"00000001-0000-0000-0000-00000000000A\" 32 = \"\"", -1},
            {"IF ocxfilever \"00000001-0000-0000-0000-00000000000A\" 32 = 4.71", -1}});
}

TEST(Conditions, ReadFileVersionTakesTheE4TableThenB0) {
  OcxRun run;
  struct VersionCase {
    const char* path;
    int result;
    const char* text;
  } cases[] = {
      {"C:\\WINDOWS\\SYSTEM\\GRID.OCX", 1, "4.71.1712.5"},  // E4 wins over B0's 9.9.9.9
      {"C:\\WINDOWS\\SYSTEM\\OLD16.DLL", 1, "10.0.0.1 (beta)"},
      {"C:\\WINDOWS\\SYSTEM\\PLAIN.OCX", 0, "-"},
      {"C:\\WINDOWS\\SYSTEM\\GONE.OCX", 0, "-"},
      {"C:\\WINDOWS\\WIN.INI", 0, "-"},
  };
  run.sim.writeFile("C:\\WINDOWS\\WIN.INI", "[windows]\r\n");
  for (const VersionCase& c : cases) {
    std::string out = "-";
    EXPECT_EQ(readFileVersion(run.sim.sys(), c.path, out), c.result) << c.path;
    EXPECT_EQ(out, c.text) << c.path;
  }
  EXPECT_EQ(run.sim.sys().openFileCount(), 0);
}

TEST(Conditions, AnswerConditionsDeferInTheFirstPass) {
  ConditionRun run;
  run.startup.windowsVersion = 3.95;
  std::string script =
      "IF winver >= 3.95\n"
      "REM taken\n"
      "ENDIF\n"
      "IF group = 1 3\n"
      "REM deferred one\n"
      "ELSE\n"
      "ENDIF\n"
      "IF $ASK1 = \"Yes\"\n"
      "ENDIF\n"
      "IF $ask2$ >= \"b\"\n"
      "endif\n";
  ASSERT_EQ(parseScriptText(script, run.sim.sys(), run.ui, run.macros, run.startup, run.state), 0);
  const auto& blocks = run.state.deferred.blocks;
  ASSERT_EQ(blocks.size(), 3u);
  EXPECT_EQ(run.state.deferred.count, 3);
  EXPECT_EQ(blocks[0].firstLineNumber, 4);
  EXPECT_EQ(blocks[0].lines.size(), 4u);
  EXPECT_EQ(blocks[0].lines[0], "IF group = 1 3");
  EXPECT_EQ(blocks[1].firstLineNumber, 8);
  EXPECT_EQ(blocks[2].lines.back(), "endif");
}

TEST(Conditions, DeferredBlocksHoldAtMostFiftyEightLinesBeforeTheirEndIf) {
  for (int inner : {58, 59}) {
    ConditionRun run;
    std::string script = "IF group = 1\n";
    for (int i = 0; i < inner; ++i) script += "REM line\n";
    script += "ENDIF\n";
    int result = parseScriptText(script, run.sim.sys(), run.ui, run.macros, run.startup, run.state);
    EXPECT_EQ(result, inner == 58 ? 0 : 1) << inner;
    EXPECT_EQ(run.state.deferred.count, inner == 58 ? 1 : 0) << inner;
  }
}

TEST(Conditions, SecondPassDecidesGroupsAndAnswers) {
  ConditionRun run;
  GroupTables& g = run.state.screens.groups;
  // Group numbers 1, 3 and 7 have indexes 0, 1, 2; only group 3 was checked.
  g.indexOfNumber[1] = 0;
  g.indexOfNumber[3] = 1;
  g.indexOfNumber[7] = 2;
  g.selected[1] = true;
  run.macros.ask[0] = "yes";
  run.macros.ask[1] = "abx";
  run.macros.ask[2] = "3.5";
  run.macros.left = "ab";
  struct Answer {
    const char* line;
    int expected;
    bool syntaxFlag;
  } cases[] = {
      {"IF group = 1 3", 1, false},
      {"IF group=3", 1, false},
      {"IF group = 1 7", 0, false},
      {"IF group = 1 7 99", 0, false},
      {"IF group =", 0, false},
      {"IF GROUP = 03", 1, false},
      {"IF group = 1 100", -1, false},
      {"IF group = x1", -1, false},
      {"IF group = 3 x1", 1, false},  // decided before the bad word is read
      {"IF group 1", -1, false},
      {"IF $ASK1 = \"Yes\"", 0, false},
      {"IF $ASK1 = \"yes\"", 1, false},
      {"IF $ASK1$ = \"yes\"", 1, false},
      {"IF $ask1 >= \"Yes\"", 1, false},
      {"IF $ASK1 <= \"YES\"", 1, false},
      {"IF $ASK1 > \"Yes\"", 0, false},
      {"IF $ASK1 <> \"Yes\"", 1, false},
      {"IF $ASK1 <> \"yes\"", 0, false},
      {"IF $ASK2 = \"$LEFT$x\"", 1, false},
      {"IF $ASK3 = range 1 5", 1, false},
      {"IF $ASK3 > RANGE 3.5 3.5", 1, false},  // whatever the operator
      {"IF $ASK3 = range 4 5", 0, false},
      {"IF $ASK3 = range 1", -1, false},
      {"IF $ASK1 = yes", -1, false},
      {"IF $ASK1 => \"yes\"", -1, false},
      {"IF $ASK6 = \"x\"", -1, false},
      {"IF $ASK0 = \"x\"", -1, false},
      {"IF memory > 1", -1, true},
      {"IF isfile C:\\X", -1, true},
  };
  for (const Answer& c : cases) {
    run.state.syntaxError = false;
    EXPECT_EQ(run.eval(c.line, true), c.expected) << c.line;
    EXPECT_EQ(run.state.syntaxError, c.syntaxFlag) << c.line;
  }
  EXPECT_TRUE(run.state.deferred.blocks.empty());  // nothing is deferred in the second pass
}

}  // namespace
}  // namespace qm
