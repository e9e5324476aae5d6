#include "finish/rollback.h"

#include <gtest/gtest.h>

#include "engine/engine_fixture_for_tests.h"
#include "engine/replaced_files.h"
#include "platform/file_handle.h"
#include "records/instback_records.h"

namespace qm {
namespace {

using testing::EngineFixture;

constexpr const char* kLog = "C:\\APP\\install.log";
constexpr const char* kFile = "C:\\APP\\NEW.TXT";
const FatTime kOldTime{0x2A21, 0x5C00};

// One run on a destination that may hold an earlier installation's log: the run logs and writes
// NEW.TXT, then ends with the result, and the user answers the undo question.
TEST(Rollback, UndoesOnlyThisRunAndLeavesTheLogAsItWas) {
  const std::string earlier = "FILE: \"C:\\APP\\OLD.TXT\"\r\n";
  struct Case {
    const char* what;
    bool logging;            // UNINSTALL YES
    bool earlierLog;         // an earlier installation's log is there
    int result;              // the driver's
    MsgResult answer;        // to the undo question
    bool fileIsFolderAfter;  // NEW.TXT became a folder, so it cannot be undone
    bool fileStays;
    const char* logAfter;  // "earlier", "none", "all" (the earlier part and this run's)
    size_t boxes;          // the question and a warning
  };
  const Case cases[] = {
      {"undone, earlier log back", true, true, 3, MsgResult::Yes, false, false, "earlier", 1},
      {"undone, no log before", true, false, 2, MsgResult::Yes, false, false, "none", 1},
      {"undone without logging", false, false, 3, MsgResult::Yes, false, false, "none", 1},
      {"declined with logging", true, true, 3, MsgResult::No, false, true, "all", 1},
      {"declined without logging", false, true, 3, MsgResult::No, false, true, "earlier", 1},
      {"completed without logging", false, true, 0, MsgResult::Yes, false, true, "earlier", 0},
      {"completed with logging", true, false, 0, MsgResult::Yes, false, true, "all", 0},
      {"not undone: log kept whole", true, true, 3, MsgResult::Yes, true, true, "all", 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EngineFixture f;
    f.state.engine.logging = c.logging;
    f.engine.log.keepForRollback();
    if (c.earlierLog) f.sim.writeFile(kLog, earlier, kOldTime, kAttrArchive);
    f.settleDestination();
    f.engine.log.record(FileRecord{kFile});
    const std::string thisRun = "FILE: \"C:\\APP\\NEW.TXT\"\r\n";
    if (c.fileIsFolderAfter) {
      f.sim.sys().createDirectory(kFile);
    } else {
      f.sim.writeFile(kFile, "new");
    }
    f.ui.answers.push_back(c.answer);
    settleRollback(f.engine, c.result);

    EXPECT_EQ(f.sim.exists(kFile), c.fileStays);
    std::string want = std::string(c.logAfter) == "none" ? ""
                       : std::string(c.logAfter) == "earlier"
                           ? earlier
                           : (c.earlierLog ? earlier : "") + thisRun;
    EXPECT_EQ(f.sim.readFile(kLog).value_or(""), want);
    EXPECT_EQ(f.sim.exists(kLog), !want.empty());
    if (c.earlierLog && want == earlier) {
      EXPECT_EQ(fileTimeOf(f.sim.sys(), kLog), std::optional<FatTime>(kOldTime));
    }
    ASSERT_EQ(f.ui.boxes.size(), c.boxes);
    if (c.boxes > 0) {
      EXPECT_EQ(f.ui.boxes[0].text, kRollbackQuestion);
    }
    if (c.boxes > 1) {
      EXPECT_NE(f.ui.boxes[1].text.find(kFile), std::string::npos);
    }
  }
}

// A file replaced in the Windows folder is listed machine-wide in INSTBACK.LST for the
// installations after this one; a run that keeps no log takes its line out again when it ends,
// with the copy, and leaves another installation's line alone.
TEST(Rollback, ARunWithoutLoggingLeavesNoReplacedFileListed) {
  const std::string shared = "C:\\WINDOWS\\SHARED.DLL", index = "C:\\WINDOWS\\INSTBACK.LST";
  const std::string other = "\"C:\\WINDOWS\\OTHER.DLL\", \"C:\\B\\instback.log\"\r\n";
  for (bool logging : {false, true}) {
    SCOPED_TRACE(logging ? "UNINSTALL YES" : "UNINSTALL NO");
    EngineFixture f;
    f.state.engine.logging = logging;
    f.engine.log.keepForRollback();
    f.settleDestination();
    f.sim.writeFile(index, other);
    f.sim.writeFile(shared, "v1");
    keepReplacedFile(f.engine, shared);
    f.sim.writeFile(shared, "v2");
    logWrittenFile(f.engine, shared, true);
    settleRollback(f.engine, 0);
    const std::string ours = "\"" + shared + "\", \"C:\\APP\\instback.log\"\r\n";
    EXPECT_EQ(f.sim.readFile(index), other + (logging ? ours : ""));
    EXPECT_EQ(f.sim.exists("C:\\APP\\instback\\00000001.bak"), logging);
    EXPECT_EQ(f.sim.exists("C:\\APP\\instback.log"), logging);
  }
}

TEST(Rollback, BackupOffsetsPointIntoThisRunsPart) {
  BackupRecord r;
  r.logOffset = 300;
  r.original = "C:\\APP\\ONE.TXT";
  r.copyName = "00000003.bak";
  BackupRecord early = r;
  early.logOffset = 10;  // cannot fall below the start of the part
  std::string list =
      formatBackupRecord(r) + "\r\n" + formatBackupRecord(early) + "\r\nnot a record\r\n";
  r.logOffset = 200;
  early.logOffset = 0;
  EXPECT_EQ(shiftBackupOffsets(list, 100),
            formatBackupRecord(r) + "\r\n" + formatBackupRecord(early) + "\r\nnot a record\r\n");
}

}  // namespace
}  // namespace qm
