#include <gtest/gtest.h>

#include "sysconfig/text_edits.h"

namespace qm {
namespace {

TEST(StartupLineRules, PathLineRecognition) {
  struct Case {
    const char* line;
    size_t offset;
  };
  const Case cases[] = {
      {"PATH C:\\DOS\n", 5},
      {"path=c:\\dos\n", 5},
      {"  PATH = C:\\DOS\n", 9},
      {"\tPath\tC:\\DOS", 6},
      {"SET PATH=C:\\DOS\n", 9},
      {"set\t  path=C:\\DOS\n", 11},
      {"PATH=\n", 5},
      {"PATH\n", 4},  // an empty path: the value begins at the line end
      {"PATH", 4},
      {"=PATH=C:\\DOS", 6},
      {"SET PATH = C:\\DOS\n", 0},  // a blank before "=" sets a variable "PATH "
      {"SET PATHEXT=.COM\n", 0},
      {"@PATH C:\\DOS\n", 0},
      {"PATHFINDER.EXE /Q\n", 0},
      {"PATHS=1\n", 0},
      {"SETPATH=C:\\DOS\n", 0},
      {"REM PATH C:\\DOS\n", 0},
      {"ECHO %PATH%\n", 0},
      {"", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(pathValueOffset(c.line), c.offset) << c.line;
}

TEST(StartupLineRules, ShareLineRecognition) {
  constexpr size_t kNone = std::string_view::npos;
  struct Case {
    const char* line;
    size_t end;  // just after the program's "SHARE"
  };
  const Case cases[] = {
      {"SHARE\n", 5},
      {"share.exe /f:2048\n", 5},
      {"C:\\DOS\\SHARE.EXE /F:4096 /L:40\n", 12},
      {"  C:\\DOS\\SHARE /L:20", 14},
      {"C:SHARE.EXE\n", 7},
      {"LH C:\\DOS\\SHARE.EXE /L:500\n", 15},
      {"loadhigh share\n", 14},
      {"LH /L:1,13984 /S C:\\DOS\\SHARE.EXE /F:5100\n", 29},
      {"C:\\DOS\\SHARE.EXE/F:4096\n", 12},
      {"C:\\SHARED\\SHARE.EXE\n", 15},  // the folder's letters do not count
      {"C:\\SHAREWARE\\TOOL.EXE\n", kNone},
      {"SET SHARED=1\n", kNone},
      {"rem share\n", kNone},
      {"REM C:\\DOS\\SHARE.EXE\n", kNone},
      {"SHARED.EXE\n", kNone},
      {"VSHARE.386\n", kNone},
      {"LH\n", kNone},
      {"", kNone},
  };
  for (const Case& c : cases) EXPECT_EQ(shareProgramEnd(c.line), c.end) << c.line;
}

TEST(StartupLineRules, FilesAndBuffersRecognition) {
  constexpr size_t kNone = std::string_view::npos;
  struct Case {
    const char* line;
    const char* keyword;
    size_t offset;
  };
  const Case cases[] = {
      {"FILES=20\n", "FILES", 6},
      {"files = 40\n", "FILES", 8},
      {"FILES\t=\t30\n", "FILES", 8},
      {"FILES 30\n", "FILES", 6},
      {"BUFFERS=20,0\n", "BUFFERS", 8},
      {"FILESHIGH=20\n", "FILES", kNone},
      {"BUFFERSHIGH=20\n", "BUFFERS", kNone},
      {" FILES=20\n", "FILES", kNone},  // no leading blanks
      {"FILES\n", "FILES", kNone},
      {"FCBS=4\n", "FILES", kNone},
  };
  for (const Case& c : cases) EXPECT_EQ(configValueOffset(c.line, c.keyword), c.offset) << c.line;
}

MacroValues appMacros() {
  MacroValues m;
  m.defaultDir = "C:\\APP";
  m.winDir = "C:\\WINDOWS";
  return m;
}

struct AutoexecCase {
  const char* name;
  const char* before;
  std::vector<const char*> paths;
  std::vector<const char*> added;
  bool share = false;
  int shareFiles = 0, shareLocks = 0;
  std::optional<std::string> config;
  const char* after;
  std::vector<std::string> log;
};

TEST(AutoexecRewrite, LineRules) {
  const AutoexecCase cases[] = {
      {"directory goes to the front",
       "@ECHO OFF\nPATH C:\\DOS\nWIN\n",
       {"c:\\app"},
       {},
       false,
       0,
       0,
       {},
       "@ECHO OFF\nPATH C:\\APP;C:\\DOS\nWIN\n",
       {"AUTOEXEC: \"PATH C:\\DOS\", \"PATH C:\\APP;C:\\DOS\""}},
      {"already on the path, before a separator or the end",
       "PATH C:\\APP;C:\\DOS\nSET PATH=%PATH%;c:\\tools\n",
       {"C:\\APP", "C:\\DOS"},
       {},
       false,
       0,
       0,
       {},
       "PATH C:\\APP;C:\\DOS\nSET PATH=%PATH%;c:\\tools\n",
       {}},
      {"a longer directory does not count",
       "PATH C:\\APP\\BIN;C:\\DOS\n",
       {"C:\\APP"},
       {},
       false,
       0,
       0,
       {},
       "PATH C:\\APP;C:\\APP\\BIN;C:\\DOS\n",
       {"AUTOEXEC: \"PATH C:\\APP\\BIN;C:\\DOS\", \"PATH C:\\APP;C:\\APP\\BIN;C:\\DOS\""}},
      {"several entries: one log line from the line as it was read",
       "PATH C:\\DOS\n",
       {"C:\\ONE", "C:\\TWO"},
       {},
       false,
       0,
       0,
       {},
       "PATH C:\\TWO;C:\\ONE;C:\\DOS\n",
       {"AUTOEXEC: \"PATH C:\\DOS\", \"PATH C:\\TWO;C:\\ONE;C:\\DOS\""}},
      {"only the first PATH line",
       "PATH C:\\DOS\nPATH C:\\WIN\n",
       {"C:\\APP"},
       {},
       false,
       0,
       0,
       {},
       "PATH C:\\APP;C:\\DOS\nPATH C:\\WIN\n",
       {"AUTOEXEC: \"PATH C:\\DOS\", \"PATH C:\\APP;C:\\DOS\""}},
      {"a program named PATH... is not a PATH line",
       "PATHFINDER.EXE /Q\nECHO done\n",
       {"C:\\APP"},
       {},
       false,
       0,
       0,
       {},
       "PATHFINDER.EXE /Q\nPATH=C:\\APP;\nECHO done\n",
       {"AUTOEXEC: \"\", \"PATH=C:\\APP;\""}},
      {"a bare PATH gets an equals sign",
       "PATH\nECHO done\n",
       {"C:\\A", "C:\\B"},
       {},
       false,
       0,
       0,
       {},
       "PATH=C:\\B;C:\\A;\nECHO done\n",
       {"AUTOEXEC: \"PATH\", \"PATH=C:\\B;C:\\A;\""}},
      {"no PATH line: a new one before the last line, in the case written",
       "@ECHO OFF\nWIN\n",
       {"c:\\app", "$WINDIR$"},
       {},
       false,
       0,
       0,
       {},
       "@ECHO OFF\nPATH=c:\\app;C:\\WINDOWS;\nWIN\n",
       {"AUTOEXEC: \"\", \"PATH=c:\\app;C:\\WINDOWS;\""}},
      {"a last line without its line end keeps it so, the additions before it",
       "@ECHO OFF\nWIN",
       {},
       {"SET APP=1"},
       false,
       0,
       0,
       {},
       "@ECHO OFF\nSET APP=1\nWIN",
       {"AUTOEXEC: \"\", \"SET APP=1\""}},
      {"empty file: only the additions, PATH then ADD then SHARE",
       "",
       {"C:\\APP"},
       {"SET APP=$DEFAULTDIR$"},
       true,
       2048,
       40,
       {},
       "PATH=C:\\APP;\r\nSET APP=C:\\APP\r\nSHARE /F:2048 /L:40\r\n",
       {"AUTOEXEC: \"\", \"PATH=C:\\APP;\"", "AUTOEXEC: \"\", \"SET APP=C:\\APP\"",
        "AUTOEXEC: \"\", \"SHARE /F:2048 /L:40\""}},
      {"an added text already inside a line, exact case, is not added",
       "rem SET APP=1 here\nWIN\n",
       {},
       {"SET APP=1", "set app=1"},
       false,
       0,
       0,
       {},
       "rem SET APP=1 here\nset app=1\nWIN\n",
       {"AUTOEXEC: \"\", \"set app=1\""}},
      {"SHARE line with enough files takes the locks",
       "C:\\DOS\\SHARE.EXE /F:4096\nWIN\n",
       {},
       {},
       true,
       2048,
       40,
       {},
       "C:\\DOS\\SHARE /F:4096 /L:40\nWIN\n",
       {"AUTOEXEC: \"C:\\DOS\\SHARE.EXE /F:4096\", \"C:\\DOS\\SHARE /F:4096 /L:40\""}},
      {"SHARE line with enough of both is only upper-cased",
       "c:\\dos\\share.exe /f:4096\nWIN\n",
       {},
       {},
       true,
       1024,
       0,
       {},
       "C:\\DOS\\SHARE.EXE /F:4096\nWIN\n",
       {}},
      {"SHARE behind LH, in a folder whose name holds SHARE",
       "lh c:\\shared\\share.exe /l:20\nWIN\n",
       {},
       {},
       true,
       500,
       40,
       {},
       "LH C:\\SHARED\\SHARE /F:500 /L:40\nWIN\n",
       {"AUTOEXEC: \"lh c:\\shared\\share.exe /l:20\", \"LH C:\\SHARED\\SHARE /F:500 /L:40\""}},
      {"lines that merely hold the letters SHARE are left alone",
       "SET SHARED=1\nC:\\SHAREWARE\\TOOL.EXE\nrem share\nWIN\n",
       {},
       {},
       true,
       0,
       0,
       {},
       "SET SHARED=1\nC:\\SHAREWARE\\TOOL.EXE\nrem share\nSHARE\nWIN\n",
       {"AUTOEXEC: \"\", \"SHARE\""}},
      {"CONFIG sections: only the PATH after the chosen label",
       "PATH C:\\DOS\n:WORK\nPATH C:\\WORK\n:GAME\nPATH C:\\GAME\n:END\n",
       {"C:\\APP"},
       {},
       false,
       0,
       0,
       std::string("game"),
       "PATH C:\\DOS\n:WORK\nPATH C:\\WORK\n:GAME\nPATH C:\\APP;C:\\GAME\n:END\n",
       {"AUTOEXEC: \"PATH C:\\GAME\", \"PATH C:\\APP;C:\\GAME\""}},
  };
  for (const AutoexecCase& c : cases) {
    AutoexecRequest request;
    request.mode = 1;
    for (const char* p : c.paths) request.pathEntries.push_back({true, p});
    for (const char* a : c.added) request.addedLines.push_back({true, a});
    request.shareWanted = c.share;
    request.shareFiles = c.shareFiles;
    request.shareLocks = c.shareLocks;
    const TextEdit edit = rewriteAutoexec(c.before, request, appMacros(), c.config);
    EXPECT_EQ(edit.bytes, c.after) << c.name;
    EXPECT_EQ(edit.log, c.log) << c.name;
    EXPECT_EQ(edit.changed, !c.log.empty()) << c.name;
  }
}

TEST(AutoexecRewrite, LongLineIsTracedAndEveryLimitHolds) {
  AutoexecRequest request;
  request.pathEntries.push_back({true, "C:\\APPDIR"});
  // 236 characters and the line end: the directory and its ";" make 247, beyond 243.
  const std::string line = "PATH C:\\" + std::string(228, 'D') + "\n";
  TextEdit edit = rewriteAutoexec(line + "WIN\n", request, appMacros(), {});
  EXPECT_EQ(edit.bytes, line + "WIN\n");
  ASSERT_EQ(edit.notes.size(), 1u);
  EXPECT_NE(edit.notes[0].find("too long"), std::string::npos);
  // Four characters shorter, the insertion just fits.
  const std::string shorter = "PATH C:\\" + std::string(224, 'D') + "\n";
  edit = rewriteAutoexec(shorter + "WIN\n", request, appMacros(), {});
  EXPECT_EQ(edit.bytes, "PATH C:\\APPDIR;C:\\" + std::string(224, 'D') + "\nWIN\n");
  EXPECT_EQ(edit.bytes.find('\n'), kPathLineChars - 1);
}

TEST(AutoexecRewrite, DestinationDriveAloneGetsItsBackslash) {
  AutoexecRequest request;
  request.addDestination = true;
  MacroValues macros = appMacros();
  macros.defaultDir = "D:";
  const TextEdit edit = rewriteAutoexec("PATH C:\\DOS\n", request, macros, {});
  EXPECT_EQ(edit.bytes, "PATH D:\\;C:\\DOS\n");
}

struct ConfigCase {
  const char* name;
  const char* before;
  int files, buffers;
  std::vector<const char*> added;
  const char* after;
  std::vector<std::string> log;
};

TEST(ConfigRewrite, LineRules) {
  const ConfigCase cases[] = {
      {"below the minimum",
       "FILES=20\nBUFFERS=10\n",
       30,
       20,
       {},
       "FILES=30\nBUFFERS=20\n",
       {"CONFIG: \"FILES=20\", \"FILES=30\"", "CONFIG: \"BUFFERS=10\", \"BUFFERS=20\""}},
      {"enough already", "FILES = 40\n", 30, -1, {}, "FILES = 40\n", {}},
      {"only the first line of each",
       "FILES=10\nFILES=5\n",
       30,
       -1,
       {},
       "FILES=30\nFILES=5\n",
       {"CONFIG: \"FILES=10\", \"FILES=30\""}},
      {"leading blanks and FILESHIGH are other lines",
       " FILES=10\nFILESHIGH=20\n",
       30,
       -1,
       {},
       " FILES=10\nFILESHIGH=20\nFILES = 30\n",
       {"CONFIG: \"\", \"FILES = 30\""}},
      {"BUFFERSHIGH is not BUFFERS",
       "BUFFERSHIGH=20,0\n",
       -1,
       30,
       {},
       "BUFFERSHIGH=20,0\nBUFFERS = 30\n",
       {"CONFIG: \"\", \"BUFFERS = 30\""}},
      {"the rest of the line goes with the old number",
       "BUFFERS=10,0 ; comment\n",
       -1,
       30,
       {},
       "BUFFERS=30\n",
       {"CONFIG: \"BUFFERS=10,0 ; comment\", \"BUFFERS=30\""}},
      {"no minimum adds nothing", "DEVICE=HIMEM.SYS\n", 0, -1, {}, "DEVICE=HIMEM.SYS\n", {}},
      {"a negative number under an unset minimum stays",
       "FILES=-5\n",
       -1,
       -1,
       {},
       "FILES=-5\n",
       {}},
      {"a last line without line end keeps it so, the additions before it",
       "DOS=HIGH",
       30,
       -1,
       {"DEVICE=$DEFAULTDIR$\\APP.SYS"},
       "FILES = 30\r\nDEVICE=C:\\APP\\APP.SYS\r\nDOS=HIGH",
       {"CONFIG: \"\", \"FILES = 30\"", "CONFIG: \"\", \"DEVICE=C:\\APP\\APP.SYS\""}},
      {"added text found in a line",
       "device=c:\\app\\app.sys\n",
       -1,
       -1,
       {"c:\\app\\app.sys", "C:\\APP\\APP.SYS"},
       "device=c:\\app\\app.sys\nC:\\APP\\APP.SYS\n",
       {"CONFIG: \"\", \"C:\\APP\\APP.SYS\""}},
      {"a changed last line still has no line end",
       "FILES=8",
       30,
       -1,
       {"X"},
       "X\r\nFILES=30",
       {"CONFIG: \"FILES=8\", \"FILES=30\"", "CONFIG: \"\", \"X\""}},
  };
  for (const ConfigCase& c : cases) {
    ConfigRequest request;
    request.mode = 1;
    request.filesWanted = c.files;
    request.buffersWanted = c.buffers;
    for (const char* a : c.added) request.addedLines.push_back({true, a});
    const TextEdit edit = rewriteConfig(c.before, request, appMacros());
    EXPECT_EQ(edit.bytes, c.after) << c.name;
    EXPECT_EQ(edit.log, c.log) << c.name;
  }
}

}  // namespace
}  // namespace qm
