#include "engine/replaced_files.h"

#include <gtest/gtest.h>

#include "engine/engine_fixture_for_tests.h"
#include "engine/file_copy.h"
#include "engine/file_ops.h"

namespace qm {
namespace {

TEST(ReplacedFiles, RecordsReadBackAndBadOnesAreRefused) {
  BackupRecord saved;
  saved.logOffset = 1234;
  saved.time = {0x2A43, 0x6000};
  saved.attributes = kAttrReadOnly | kAttrArchive;
  saved.original = "C:\\WINDOWS\\SYSTEM\\SHARED.DLL";
  saved.copyName = "00000001.bak";
  BackupRecord kept;
  kept.kind = BackupRecord::Kind::Kept;
  kept.logOffset = 7;
  kept.original = "C:\\APP\\A.TXT";
  BackupRecord deleted = saved;
  deleted.kind = BackupRecord::Kind::Deleted;
  for (const BackupRecord& r : {saved, kept, deleted}) {
    std::optional<BackupRecord> back = parseBackupRecord(formatBackupRecord(r));
    ASSERT_TRUE(back) << formatBackupRecord(r);
    EXPECT_EQ(back->kind, r.kind);
    EXPECT_EQ(back->logOffset, r.logOffset);
    EXPECT_EQ(back->original, r.original);
    EXPECT_EQ(back->copyName, r.copyName);
    EXPECT_EQ(back->time, r.time);
    EXPECT_EQ(back->attributes, r.attributes);
  }
  EXPECT_EQ(
      formatBackupRecord(saved),
      "BACKUP: 1234, 10819, 24576, 33, \"C:\\WINDOWS\\SYSTEM\\SHARED.DLL\", \"00000001.bak\"");
  for (const char* bad : {
           "BACKUP: 1, 2, 3, 4, \"C:\\A\", \"..\"",
           "BACKUP: 1, 2, 3, 4, \"C:\\A\", \"..\\..\\WIN.INI\"",
           "BACKUP: 1, 70000, 3, 4, \"C:\\A\", \"1.bak\"",
           "BACKUP: 1, 2, 3, 4, \"C:\\A\", \"1.bak\" trailing",
           "BACKUP: x, 2, 3, 4, \"C:\\A\", \"1.bak\"",
           "BACKUP: 1, 2, 3, 4, \"C:\\A\"",
           "KEEP: 99999999999999999999999, \"C:\\A\"",
           "KEEP: 1, \"\"",
           "COPY: 1, \"C:\\A\"",
       })
    EXPECT_FALSE(parseBackupRecord(bad)) << bad;
}

struct CopyRun : testing::EngineFixture {
  CopyRun() {
    settleDestination();
    sim.writeFile("C:\\SETUP\\SHARED.DLL", "new");
    sim.writeFile("C:\\WINDOWS\\SYSTEM\\SHARED.DLL", "old", FatTime{0x2A43, 0x6000},
                  kAttrReadOnly | kAttrArchive);
  }
  int copy(Overwrite overwrite) {
    return copyFile(engine, "C:\\WINDOWS\\SYSTEM\\SHARED.DLL", "C:\\SETUP\\SHARED.DLL", overwrite,
                    kAttrArchive);
  }
  std::string list() { return sim.readFile("C:\\APP\\instback.log").value_or(""); }
};

TEST(ReplacedFiles, AReplacedFileIsKeptBeforeItIsWrittenOver) {
  CopyRun run;
  run.engine.log.record("DEFAULTDIR: \"C:\\APP\"");
  const size_t offset = run.log().size();
  ASSERT_EQ(run.copy(Overwrite::Yes), 0);
  EXPECT_EQ(run.sim.readFile("C:\\WINDOWS\\SYSTEM\\SHARED.DLL"), "new");
  EXPECT_EQ(run.sim.readFile("C:\\APP\\instback\\00000001.bak"), "old");
  // The copy's record, then the digest of the file the installation left.
  EXPECT_EQ(run.list().substr(0, run.list().find("DIGEST: ")),
            "BACKUP: " + std::to_string(offset) +
                ", 10819, 24576, 33, \"C:\\WINDOWS\\SYSTEM\\SHARED.DLL\", "
                "\"00000001.bak\"\r\n");
  // The FILE line comes after the recorded offset; the log itself is unchanged in format.
  EXPECT_EQ(run.log().substr(offset), "FILE: \"C:\\WINDOWS\\SYSTEM\\SHARED.DLL\"\r\n");
  // A second replacement keeps the file as it then was, under the next number.
  ASSERT_EQ(run.copy(Overwrite::Yes), 0);
  EXPECT_EQ(run.sim.readFile("C:\\APP\\instback\\00000002.bak"), "new");
}

TEST(ReplacedFiles, NothingIsKeptWhenNothingIsReplacedOrNoUninstallerWillRun) {
  struct Case {
    bool logging;
    Overwrite overwrite;
  } cases[] = {{false, Overwrite::Yes}, {true, Overwrite::No}};
  for (const Case& c : cases) {
    CopyRun run;
    run.state.engine.logging = c.logging;
    ASSERT_EQ(run.copy(c.overwrite), 0);
    EXPECT_FALSE(run.sim.exists("C:\\APP\\instback"));
    EXPECT_EQ(run.list().find("BACKUP: "), std::string::npos);
  }
  CopyRun run;  // a new file has nothing to keep
  ASSERT_EQ(copyFile(run.engine, "C:\\APP\\SHARED.DLL", "C:\\SETUP\\SHARED.DLL", Overwrite::Yes,
                     kAttrArchive),
            0);
  EXPECT_EQ(run.list().find("BACKUP: "), std::string::npos);
}

TEST(ReplacedFiles, FilesADeleteStatementRemovesAreKeptToo) {
  CopyRun run;
  run.sim.writeFile("C:\\DATA\\A.TXT", "a", FatTime{0x2A43, 0x6000}, kAttrReadOnly);
  run.sim.writeFile("C:\\DATA\\B.TXT", "b", FatTime{0x2A43, 0x6000});
  deleteEntry(run.engine, "C:\\DATA\\*.TXT");
  EXPECT_FALSE(run.sim.exists("C:\\DATA\\A.TXT"));
  EXPECT_EQ(run.sim.readFile("C:\\APP\\instback\\00000001.bak"), "a");
  EXPECT_EQ(run.sim.readFile("C:\\APP\\instback\\00000002.bak"), "b");
  EXPECT_EQ(run.list(),
            "DELETED: 0, 10819, 24576, 1, \"C:\\DATA\\A.TXT\", \"00000001.bak\"\r\n"
            "DELETED: 0, 10819, 24576, 32, \"C:\\DATA\\B.TXT\", \"00000002.bak\"\r\n");
}

}  // namespace
}  // namespace qm
