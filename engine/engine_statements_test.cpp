#include "engine/engine_statements.h"

#include <gtest/gtest.h>

#include "script/statement_handlers.h"
#include "sysconfig/statement_fixture_for_tests.h"

namespace qm {
namespace {

using testing::StatementFixture;

// Declares group numbers as a group block would, in the order given.
void declareGroups(InstallState& state, std::initializer_list<int> numbers) {
  for (int n : numbers) {
    state.screens.groups.indexOfNumber[n] = state.screens.groups.count;
    state.screens.groups.numberOfIndex[state.screens.groups.count] = n;
    ++state.screens.groups.count;
  }
}

// Sizes are decimal numbers only, whatever a C library's strtod would also take (hexadecimal,
// infinity, not-a-number): the installer and the native build must read a script alike.
TEST(EngineStatements, SizesTakeFractionsAndTheFirstMultiplierLetter) {
  struct Case {
    const char* word;
    uint64_t bytes;
  } cases[] = {
      {"2M", 2000000},   {"1.5M", 1500000}, {"1.5m", 1500000}, {"64K", 64000},
      {"64k", 64000},    {"500", 500},      {"2KM", 2000},     {"3MK", 3000000},
      {"0.0005K", 0},    {"x12", 0},        {"-5M", 0},        {"5000M", 5000000000ull},
      {"1e3K", 1000000}, {".5K", 500},      {"+7", 7},         {"2.5e", 2},
      {"0x10", 0},       {"0x10K", 0},      {"0x1p70", 0},     {"inf", 0},
      {"infinityM", 0},  {"nan", 0},
  };
  for (const Case& c : cases) {
    std::optional<uint64_t> got = parseSize(c.word);
    ASSERT_TRUE(got) << c.word;
    EXPECT_EQ(*got, c.bytes) << c.word;
  }
  EXPECT_FALSE(parseSize("1e30"));
  EXPECT_FALSE(parseSize("20000000000000M"));
  EXPECT_TRUE(parseSize("18000000000000M"));
}

TEST(EngineStatements, ProcessorSpaceAndProgressStatements) {
  StatementFixture f;
  EXPECT_EQ(readMinCpuTypeStatement(f.statement("MINCPUTYPE 80586")), 0);
  EXPECT_EQ(f.state.engine.requiredProcessor, 586);
  EXPECT_NE(readMinCpuTypeStatement(f.statement("MINCPUTYPE 486")), 0);
  EXPECT_NE(readMinCpuTypeStatement(f.statement("MINCPUTYPE")), 0);

  EXPECT_EQ(f.state.engine.baseSpace, 1u);  // before any MINDISKSPACE
  EXPECT_EQ(readMinDiskSpaceStatement(f.statement("MINDISKSPACE 1.5M")), 0);
  EXPECT_EQ(f.state.engine.baseSpace, 1500000u);
  EXPECT_EQ(readMinDiskSpaceStatement(f.statement("MINDISKSPACE 300K 7")), 0);
  EXPECT_EQ(f.state.engine.spaceByGroupNumber[7], 300000u);
  EXPECT_EQ(f.state.engine.baseSpace, 1500000u);
  EXPECT_NE(readMinDiskSpaceStatement(f.statement("MINDISKSPACE 300K 100")), 0);
  EXPECT_NE(readMinDiskSpaceStatement(f.statement("MINDISKSPACE")), 0);

  EXPECT_NE(readProgressBarStatement(f.statement("PROGRESSBAR")), 0);
  EXPECT_EQ(readProgressBarStatement(f.statement("PROGRESSBAR 20M")), 0);
  EXPECT_EQ(f.state.engine.progressSize, 20000000);
}

TEST(EngineStatements, WordStatementsAcceptOnlyTheirWords) {
  StatementFixture f;
  EXPECT_EQ(readUninstallStatement(f.statement("UNINSTALL yes")), 0);
  EXPECT_TRUE(f.state.engine.logging);
  EXPECT_EQ(readUninstallStatement(f.statement("UNINSTALL NO")), 0);
  EXPECT_FALSE(f.state.engine.logging);
  EXPECT_NE(readUninstallStatement(f.statement("UNINSTALL MAYBE")), 0);
  EXPECT_NE(readUninstallStatement(f.statement("UNINSTALL")), 0);

  EXPECT_EQ(readOverwriteFileStatement(f.statement("OVERWRITEFILE new")), 0);
  EXPECT_EQ(f.state.engine.overwriteDefault, Overwrite::New);
  EXPECT_NE(readOverwriteFileStatement(f.statement("OVERWRITEFILE ALWAYS")), 0);
  EXPECT_EQ(f.state.engine.overwriteDefault, Overwrite::New);
}

TEST(EngineStatements, ListStatementsNeedTheirNames) {
  StatementFixture f;
  EXPECT_EQ(readRenameStatement(f.statement("RENAME \"C:\\APP\\*.TXT\" C:\\APP\\*.BAK")), 0);
  ASSERT_EQ(f.state.engine.renames.size(), 1u);
  EXPECT_EQ(f.state.engine.renames[0].oldName, "C:\\APP\\*.TXT");
  EXPECT_EQ(f.state.engine.renames[0].newName, "C:\\APP\\*.BAK");
  EXPECT_NE(readRenameStatement(f.statement("RENAME OLD.TXT")), 0);
  EXPECT_NE(readRenameStatement(f.statement("RENAME \"\" NEW.TXT")), 0);
  EXPECT_EQ(f.state.engine.renames.size(), 1u);

  EXPECT_EQ(readDeleteStatement(f.statement("DELETE \"$DEFAULTDIR$\\OLD FILE.TXT\"")), 0);
  EXPECT_NE(readDeleteStatement(f.statement("DELETE")), 0);
  ASSERT_EQ(f.state.engine.deletes.size(), 1u);
  EXPECT_EQ(f.state.engine.deletes[0], "$DEFAULTDIR$\\OLD FILE.TXT");

  EXPECT_EQ(readRegServerStatement(f.statement("REGSERVER X.DLL")), 0);
  EXPECT_EQ(readRegServerStatement(f.statement("REGSERVER \"$WINSYSDIR$\\Y.OCX\"")), 0);
  EXPECT_NE(readRegServerStatement(f.statement("REGSERVER \"\"")), 0);
  EXPECT_EQ(f.state.engine.servers, (std::vector<std::string>{"X.DLL", "$WINSYSDIR$\\Y.OCX"}));
}

TEST(EngineStatements, FileOptionsFillTheEntry) {
  StatementFixture f;
  declareGroups(f.state, {5, 1, 3});
  ASSERT_EQ(readOverwriteFileStatement(f.statement("OVERWRITEFILE NO")), 0);
  ASSERT_EQ(readFileStatement(f.statement(
                "FILE \"SUB\\A B.TXT\" OVERWRITE=yes SOURCE=DISK1\\ POPID=3 GROUP=1,3 5 "
                "ATTRIBUTE=\"rh\"")),
            0);
  ASSERT_EQ(readFileStatement(f.statement("FILE:X.DLL")), 0);
  ASSERT_EQ(readFileStatement(f.statement("FILE Y.ZIP COMPRESSED SOURCE=\\PKG")), 0);
  ASSERT_EQ(readFileStatement(f.statement("FILE Z.EXE SELF-EXTRACT SOURCE=$WINDIR$")), 0);
  ASSERT_EQ(f.state.engine.files.size(), 4u);
  EXPECT_EQ(f.state.engine.fileStatements, 4);

  const FileEntry& a = f.state.engine.files[0];
  EXPECT_EQ(a.name, "SUB\\A B.TXT");
  EXPECT_EQ(a.overwrite, Overwrite::Yes);
  EXPECT_EQ(a.sourceDir, "\\DISK1");
  EXPECT_EQ(a.sourceKind, 0);
  EXPECT_TRUE(a.hasSource);
  EXPECT_EQ(a.popId, 3);
  EXPECT_EQ(a.groups[0], 1u);  // group 1 was declared second
  EXPECT_EQ(a.groups[1], 2u);
  EXPECT_EQ(a.groups[2], 0u);
  EXPECT_EQ(a.groups[3], kNoGroup);
  EXPECT_EQ(a.attributes, kAttrReadOnly | kAttrHidden);

  const FileEntry& x = f.state.engine.files[1];
  EXPECT_EQ(x.overwrite, Overwrite::No);  // the OVERWRITEFILE default
  EXPECT_FALSE(x.hasGroups());
  EXPECT_EQ(x.popId, -1);
  EXPECT_EQ(x.attributes, kAttrNormal);
  EXPECT_EQ(x.compression, Compression::None);

  EXPECT_EQ(f.state.engine.files[2].compression, Compression::Compressed);
  EXPECT_EQ(f.state.engine.files[2].sourceKind, 1);
  EXPECT_EQ(f.state.engine.files[3].compression, Compression::SelfExtract);
  EXPECT_EQ(f.state.engine.files[3].sourceKind, 2);
  EXPECT_TRUE(f.state.engine.anyCompressed);
}

TEST(EngineStatements, InvalidFileStatementsAreRejectedAndNotListed) {
  const char* bad[] = {
      "FILE",
      "FILE A.TXT OVERWRITE=SOMETIMES",
      "FILE A.TXT OVERWRITE YES",
      "FILE A.TXT GROUP=4",  // undeclared
      "FILE A.TXT GROUP=",
      "FILE A.TXT GROUP=1,1,1,1,1,1,1,1,1,1,1,1,1",  // a thirteenth number
      "FILE A.TXT ATTRIBUTE=\"RX\"",
      "FILE A.TXT ATTRIBUTE=R",
      "FILE A.TXT POPID=x",
      "FILE A.TXT SOURCE=",
      "FILE A.TXT FAST",
  };
  for (const char* text : bad) {
    StatementFixture f;
    declareGroups(f.state, {1});
    EXPECT_NE(readFileStatement(f.statement(text)), 0) << text;
    EXPECT_TRUE(f.state.engine.files.empty()) << text;
  }
  StatementFixture ok;
  declareGroups(ok.state, {1});
  EXPECT_EQ(readFileStatement(ok.statement("FILE A.TXT GROUP=1,1,1,1,1,1,1,1,1,1,1,1")), 0);
}

TEST(EngineStatements, InsertDiskTextsAndPopup) {
  StatementFixture f;
  ASSERT_EQ(readInsertDiskStatement(f.statement("INSERTDISK \"Disk 2\" \"DISK2\" POPID=4")), 0);
  ASSERT_EQ(readInsertDiskStatement(f.statement("INSERTDISK")), 0);
  ASSERT_EQ(readInsertDiskStatement(f.statement("INSERTDISK Disk3 = \"x")), 0);
  ASSERT_EQ(f.state.engine.files.size(), 3u);
  EXPECT_EQ(f.state.engine.fileStatements, 0);
  const FileEntry& d2 = f.state.engine.files[0];
  EXPECT_EQ(d2.diskMarker, 2);
  EXPECT_EQ(d2.diskName, "Disk 2");
  EXPECT_EQ(d2.volumeLabel, "DISK2");
  EXPECT_EQ(d2.popId, 4);
  EXPECT_EQ(f.state.engine.files[1].diskMarker, 1);
  EXPECT_EQ(f.state.engine.files[1].diskName, "the next disk");
  EXPECT_EQ(f.state.engine.files[2].diskName, "the next disk");
  EXPECT_EQ(f.state.engine.files[2].popId, -1);
}

}  // namespace
}  // namespace qm
