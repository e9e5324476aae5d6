#include "engine/file_ops.h"

#include <gtest/gtest.h>

#include "engine/engine_fixture_for_tests.h"

namespace qm {
namespace {

using testing::EngineFixture;

std::string mz(const std::string& tail) { return "MZ" + std::string(100, '\x01') + tail; }

TEST(CreateDirectories, EachNewLevelIsLoggedOnceOutermostFirst) {
  EngineFixture f;
  f.settleDestination();
  ASSERT_EQ(createDirectories(f.engine, "C:\\APP\\A\\B", "C:\\APP"), 0);
  ASSERT_EQ(createPath(f.engine, "C:\\APP\\A\\C"), 0);  // A exists: only C is new
  EXPECT_EQ(f.sim.sys().currentDirectory(), "C:\\APP\\A\\C");
  ASSERT_EQ(createPath(f.engine, "C:\\APP"), 0);  // nothing new: nothing logged
  EXPECT_TRUE(f.sim.exists("C:\\APP\\A\\B"));
  EXPECT_EQ(f.engine.currentDrive, 3);
  EXPECT_EQ(f.log(),
            "DIRECTORY: \"C:\\APP\\A\"\r\nDIRECTORY: \"C:\\APP\\A\\B\"\r\n\r\n"
            "DIRECTORY: \"C:\\APP\\A\\C\"\r\n\r\n");
  EXPECT_TRUE(f.ui.boxes.empty());
}

TEST(CreateDirectories, AFailedLevelIsShownAndTheLevelsBeforeItAreKept) {
  EngineFixture f;
  f.settleDestination();
  f.sim.sys().failDirectoryCreation("C:\\APP\\NEW\\BAD");
  EXPECT_EQ(createPath(f.engine, "C:\\APP\\NEW\\BAD\\DEEP"), 2);
  ASSERT_EQ(f.ui.boxes.size(), 1u);
  EXPECT_EQ(f.ui.boxes[0].text, "Invalid directory.");
  EXPECT_TRUE(f.ui.boxes[0].captionDefault);
  EXPECT_FALSE(f.ui.boxes[0].owned);
  EXPECT_EQ(f.log(), "DIRECTORY: \"C:\\APP\\NEW\"\r\n\r\n");
  // The destination dialog shows its own message.
  EXPECT_EQ(createPath(f.engine, "C:\\APP\\NEW\\BAD", false), 2);
  EXPECT_EQ(f.ui.boxes.size(), 1u);
}

TEST(FileTimes, ReadAndSetByPath) {
  EngineFixture f;
  f.sim.writeFile("C:\\T.TXT", "x", FatTime{0x5A21, 0x6000});
  EXPECT_EQ(readFileTime(f.sim.sys(), "C:\\T.TXT"), (FatTime{0x5A21, 0x6000}));
  EXPECT_EQ(readFileTime(f.sim.sys(), "C:\\MISSING.TXT"), (FatTime{0, 0}));
  EXPECT_TRUE(setFileTime(f.sim.sys(), "C:\\T.TXT", FatTime{0x5B01, 0x1234}));
  EXPECT_EQ(readFileTime(f.sim.sys(), "C:\\T.TXT"), (FatTime{0x5B01, 0x1234}));
}

TEST(FileTimes, LibrariesAreKnownByExtension) {
  for (const char* yes : {"X.DLL", "C:\\A\\b.vbx", "c.Ocx"}) EXPECT_TRUE(isLibrary(yes)) << yes;
  for (const char* no : {"X.EXE", "DLL", "C:\\DLL.D\\X", "X.DLLX"})
    EXPECT_FALSE(isLibrary(no)) << no;
}

TEST(Rename, WildcardFormsMoveEveryMatchingFileAndLogFullPaths) {
  struct Case {
    const char* oldName;
    const char* newName;
    std::vector<std::string> before;
    std::vector<std::string> after;
    const char* log;
  } cases[] = {
      {"C:\\OLD\\*.TXT",
       "C:\\OLD\\*.BAK",
       {"A.TXT", "B.TXT", "C.DOC"},
       {"A.BAK", "B.BAK", "C.DOC"},
       "RENAME: C:\\OLD\\A.BAK, C:\\OLD\\A.TXT\r\nRENAME: C:\\OLD\\B.BAK, C:\\OLD\\B.TXT\r\n"},
      {"C:\\OLD\\*.*",
       "C:\\NEW\\",
       {"A.TXT", "B"},
       {},
       "DIRECTORY: \"C:\\NEW\"\r\n\r\n"
       "RENAME: C:\\NEW\\A.TXT, C:\\OLD\\A.TXT\r\nRENAME: C:\\NEW\\B, C:\\OLD\\B\r\n"},
      {"C:\\OLD\\R*",
       "C:\\OLD\\NEWBASE",
       {"README.TXT", "RUN", "X.TXT"},
       {"NEWBASE", "NEWBASE.TXT", "X.TXT"},
       "RENAME: C:\\OLD\\NEWBASE.TXT, C:\\OLD\\README.TXT\r\nRENAME: C:\\OLD\\NEWBASE, "
       "C:\\OLD\\RUN\r\n"},
      {"OLD\\*.TXT",
       "*.BAK",
       {"A.TXT"},
       {"A.BAK"},  // relative to the current directory
       "RENAME: C:\\OLD\\A.BAK, C:\\OLD\\A.TXT\r\n"},
  };
  for (const Case& c : cases) {
    EngineFixture f;
    f.settleDestination();
    f.sim.makeDirectory("C:\\OLD");
    for (const std::string& name : c.before) f.sim.writeFile("C:\\OLD\\" + name, name);
    f.sim.sys().setCurrentDirectory("C:\\");
    renameEntry(f.engine, RenameEntry{c.oldName, c.newName});
    std::vector<std::string> left;
    for (const std::string& e : f.sim.tree('C'))
      if (e.rfind("OLD\\", 0) == 0 && e.size() > 4) left.push_back(e.substr(4));
    EXPECT_EQ(left, c.after) << c.oldName;
    EXPECT_EQ(f.log(), c.log) << c.oldName;
    EXPECT_EQ(f.sim.sys().currentDirectory(), "C:\\") << c.oldName;
  }
}

TEST(Rename, PlainRenameReplacesTargetAndSkipsMissingSource) {
  EngineFixture f;
  f.settleDestination();
  f.sim.writeFile("C:\\APP\\OLD.INI", "old");
  f.sim.writeFile("C:\\APP\\NEW.INI", "previous");
  renameEntry(f.engine, RenameEntry{"$DEFAULTDIR$\\OLD.INI", "$DEFAULTDIR$\\NEW.INI"});
  renameEntry(f.engine, RenameEntry{"C:\\APP\\GONE.INI", "C:\\APP\\X.INI"});
  EXPECT_EQ(f.sim.readFile("C:\\APP\\NEW.INI"), "old");
  EXPECT_FALSE(f.sim.exists("C:\\APP\\OLD.INI"));
  EXPECT_FALSE(f.sim.exists("C:\\APP\\X.INI"));
  EXPECT_EQ(f.log(), "RENAME: C:\\APP\\NEW.INI, C:\\APP\\OLD.INI\r\n");
}

TEST(Rename, WildcardWithoutDirectoryMovesNothing) {
  EngineFixture f;
  f.settleDestination();
  f.sim.writeFile("C:\\APP\\A.TXT", "a");
  renameEntry(f.engine, RenameEntry{"*.TXT", "*.BAK"});
  EXPECT_TRUE(f.sim.exists("C:\\APP\\A.TXT"));
}

TEST(Delete, ReadOnlyFilesGoAndDirectoriesStay) {
  EngineFixture f;
  f.settleDestination();
  f.sim.writeFile("C:\\APP\\RO.TXT", "r", std::nullopt, kAttrReadOnly);
  f.sim.writeFile("C:\\APP\\A.TMP", "a");
  f.sim.writeFile("C:\\APP\\B.TMP", "b", std::nullopt, kAttrReadOnly | kAttrHidden);
  f.sim.makeDirectory("C:\\APP\\DIR.TMP");
  f.sim.writeFile("C:\\APP\\KEEP.TXT", "k");
  f.sim.sys().setCurrentDirectory("C:\\");
  deleteEntry(f.engine, "RO.TXT");  // relative: in the destination
  deleteEntry(f.engine, "$DEFAULTDIR$\\*.TMP");
  deleteEntry(f.engine, "C:\\APP\\MISSING.TXT");
  EXPECT_FALSE(f.sim.exists("C:\\APP\\RO.TXT"));
  EXPECT_FALSE(f.sim.exists("C:\\APP\\A.TMP"));
  EXPECT_FALSE(f.sim.exists("C:\\APP\\B.TMP"));
  EXPECT_TRUE(f.sim.exists("C:\\APP\\DIR.TMP"));
  EXPECT_TRUE(f.sim.exists("C:\\APP\\KEEP.TXT"));
  EXPECT_EQ(f.sim.sys().currentDirectory(), "C:\\");
  EXPECT_EQ(f.log(), "");  // deletions are not logged
}

TEST(RegisterServer, SuccessIsSilentAndEveryFailureShowsTheSameText) {
  EngineFixture f;
  f.sim.writeFile("C:\\APP\\GOOD.DLL", mz(std::string("DllRegisterServer") + '\0'));
  f.sim.writeFile("C:\\APP\\NOEXP.DLL", mz("DllUnregisterServer"));
  f.sim.writeFile("C:\\APP\\TEXT.DLL", "not a library");
  EXPECT_EQ(registerServer(f.engine, "C:\\APP\\GOOD.DLL"), 1);
  EXPECT_TRUE(f.ui.boxes.empty());
  EXPECT_NE(f.sim.processesLog().find("register C:\\APP\\GOOD.DLL"), std::string::npos);
  for (const char* bad : {"C:\\APP\\NOEXP.DLL", "C:\\APP\\TEXT.DLL", "C:\\APP\\MISSING.DLL"}) {
    f.ui.boxes.clear();
    EXPECT_EQ(registerServer(f.engine, bad), 0) << bad;
    ASSERT_EQ(f.ui.boxes.size(), 1u);
    EXPECT_EQ(f.ui.boxes[0].text, std::string(bad) + " has not been successfully registered.");
    EXPECT_EQ(f.ui.boxes[0].caption, bad);
    EXPECT_EQ(f.ui.boxes[0].icon, MsgIcon::None);
    EXPECT_FALSE(f.ui.boxes[0].owned);
  }
}

}  // namespace
}  // namespace qm
