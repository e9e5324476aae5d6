#include "engine/engine.h"

#include <gtest/gtest.h>

#include "engine/engine_fixture_for_tests.h"
#include "ui/disk_prompt.h"

namespace qm {
namespace {

using testing::EngineFixture;

FileEntry fileNamed(const char* name) {
  FileEntry e;
  e.name = name;
  return e;
}

FileEntry diskNamed(const char* name, int kind) {
  FileEntry e;
  e.diskMarker = kind;
  e.diskName = name;
  return e;
}

// Message 1026 over a list of FILE ONE, a disk that asks nothing, FILE TWO, Disk 2, FILE THREE.
TEST(EngineInsertDiskRequest, WalksToTheNextDiskThatAsks) {
  struct Case {
    const char* what;
    int position, currentDisk;
    bool advance;
    const char* missingFile;
    std::deque<MsgResult> answers;
    int result;
    int positionAfter, currentDiskAfter;
    std::vector<std::string> boxTexts;
  };
  const Case cases[] = {
      {"advance passes files and the silent disk",
       0,
       -1,
       true,
       nullptr,
       {MsgResult::Ok},
       0,
       3,
       3,
       {"Please insert Disk 2"}},
      {"a missing file is named and the position put back",
       4,
       3,
       false,
       "THREE.TXT",
       {MsgResult::Ok},
       0,
       4,
       3,
       {"File not found on the installation disk: THREE.TXT. Please insert Disk 2"}},
      {"no disk left to ask for", 3, 3, true, nullptr, {}, kDiskQuit, 4, 4, {}},
      {"the user quits at the prompt",
       0,
       -1,
       false,
       nullptr,
       {MsgResult::Cancel, MsgResult::Yes},
       kDiskQuit,
       3,
       3,
       {"Please insert Disk 2", ""}},
      {"quitting refused, then the disk",
       0,
       -1,
       false,
       nullptr,
       {MsgResult::Cancel, MsgResult::No, MsgResult::Ok},
       0,
       3,
       3,
       {"Please insert Disk 2", "", "Please insert Disk 2"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EngineFixture f;
    f.state.engine.files = {fileNamed("ONE.TXT"), diskNamed("Silent", 0), fileNamed("TWO.TXT"),
                            diskNamed("Disk 2", 1), fileNamed("THREE.TXT")};
    f.state.engine.position = c.position;
    f.engine.currentDiskEntry = c.currentDisk;
    f.ui.answers = c.answers;
    std::string missing = c.missingFile ? c.missingFile : "";
    EXPECT_EQ(f.engine.insertDiskRequest(c.advance, c.missingFile ? &missing : nullptr), c.result);
    EXPECT_EQ(f.state.engine.position, c.positionAfter);
    EXPECT_EQ(f.engine.currentDiskEntry, c.currentDiskAfter);
    ASSERT_EQ(f.ui.boxes.size(), c.boxTexts.size());
    for (size_t i = 0; i < c.boxTexts.size(); ++i) {
      if (!c.boxTexts[i].empty()) {
        EXPECT_EQ(f.ui.boxes[i].text, c.boxTexts[i]) << i;
      }
    }
    EXPECT_FALSE(f.engine.unanswerable);
  }
}

}  // namespace
}  // namespace qm
