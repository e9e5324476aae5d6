#include "engine/file_copy.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "engine/engine_fixture_for_tests.h"
#include "engine/file_ops.h"
#include "engine/package.h"
#include "tools/container_writer.h"
#include "ui/disk_prompt.h"

namespace qm {
namespace {

using testing::EngineFixture;

constexpr FatTime kOld{0x5A21, 0x6000};
constexpr FatTime kNew{0x5A22, 0x6000};
constexpr FatTime kNewLater{0x5A22, 0x6001};

std::string testDll(const char* name) {
  std::ifstream in(std::string(QM_SOURCE_DIR) + "/tests/data/pe/" + name, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

FileEntry fileEntry(const std::string& name, Overwrite overwrite = Overwrite::Yes) {
  FileEntry e;
  e.name = name;
  e.overwrite = overwrite;
  return e;
}

TEST(CopyEntry, CopiesWithTimesAttributesAndOneLogLinePerFile) {
  EngineFixture f;
  f.settleDestination();
  f.sim.writeFile("C:\\SETUP\\SUB\\README.TXT", "readme", kOld);
  f.sim.writeFile("C:\\SETUP\\A.HLP", "a", kOld);
  f.sim.writeFile("C:\\SETUP\\B.HLP", "b", kNew);
  f.sim.writeFile("C:\\SETUP\\X.DLL", "x", kOld);
  FileEntry readme = fileEntry("SUB\\README.TXT");
  readme.attributes = kAttrReadOnly;
  FileEntry help = fileEntry("*.HLP");
  FileEntry lib = fileEntry("$WINSYSDIR$\\X.DLL");
  ASSERT_EQ(copyEntry(f.engine, readme), 0);
  ASSERT_EQ(copyEntry(f.engine, help), 0);
  ASSERT_EQ(copyEntry(f.engine, lib), 0);

  EXPECT_EQ(f.sim.readFile("C:\\APP\\SUB\\README.TXT"), "readme");
  EXPECT_EQ(f.sim.sys().attributes("C:\\APP\\SUB\\README.TXT"), kAttrReadOnly);
  EXPECT_EQ(readFileTime(f.sim.sys(), "C:\\APP\\SUB\\README.TXT"), kOld);
  EXPECT_EQ(readFileTime(f.sim.sys(), "C:\\APP\\B.HLP"), kNew);
  EXPECT_EQ(f.sim.readFile("C:\\WINDOWS\\SYSTEM\\X.DLL"), "x");
  EXPECT_EQ(f.log(),
            "DIRECTORY: \"C:\\APP\\SUB\"\r\n\r\n"
            "FILE: \"C:\\APP\\SUB\\README.TXT\"\r\n"
            "FILE: \"C:\\APP\\A.HLP\"\r\n"
            "FILE: \"C:\\APP\\B.HLP\"\r\n"
            "FILE: \"C:\\WINDOWS\\SYSTEM\\X.DLL\"\r\n");
  EXPECT_EQ(f.sim.sys().currentDirectory(), "C:\\APP");
  EXPECT_TRUE(f.ui.boxes.empty());
}

TEST(CopyEntry, SourceOptionPicksTheDirectory) {
  struct Case {
    const char* source;
    int kind;
    const char* expect;
  } cases[] = {
      {"DISK2", 0, "C:\\SETUP\\DISK2\\F.TXT"},
      {"\\OTHER", 1, "C:\\OTHER\\F.TXT"},
      {"D:\\PKG\\", 2, "D:\\PKG\\F.TXT"},
      {"$WINDIR$", 2, "C:\\WINDOWS\\F.TXT"},
      // A folder beginning with a macro gets the leading expansion: the search texts work, and
      // a macro further on stays as written.
      {"$RIGHT$", 2, "D:\\PALETTES\\F.TXT"},
      {"$left$\\SUB", 2, "E:\\OLD\\SUB\\F.TXT"},
      {"$WINDIR$\\$DIR2$", 2, "C:\\WINDOWS\\$DIR2$\\F.TXT"},
      {"$DEFAULTDIR8$", 2, "$DEFAULTDIR8$\\F.TXT"},
      {"D:\\$WINDIR$", 2, "D:\\$WINDIR$\\F.TXT"},
  };
  for (const Case& c : cases) {
    EngineFixture f;
    f.macros.right = "D:\\PALETTES";
    f.macros.left = "E:\\OLD";
    f.macros.dir2 = "D:\\DATA";
    FileEntry e = fileEntry("F.TXT");
    e.hasSource = true;
    e.sourceKind = c.kind;
    e.sourceDir = c.source;
    if (c.kind == 0) e.sourceDir = std::string("\\") + c.source;
    if (e.sourceDir.size() > 3 && e.sourceDir.back() == '\\') e.sourceDir.pop_back();
    EXPECT_EQ(sourcePath(f.engine, e, std::string("F.TXT")), c.expect) << c.source;
  }
  EngineFixture f;
  FileEntry plain = fileEntry("F.TXT");
  EXPECT_EQ(sourcePath(f.engine, plain, std::nullopt), "C:\\SETUP");
  EXPECT_EQ(sourcePath(f.engine, plain, std::string("F.TXT")), "C:\\SETUP\\F.TXT");
}

TEST(CopyEntry, MissingSourceBeforeAnyDiskIsFatal) {
  EngineFixture f;
  f.settleDestination();
  FileEntry e = fileEntry("NOPE.TXT");
  EXPECT_EQ(copyEntry(f.engine, e), 1);
  ASSERT_EQ(f.ui.boxes.size(), 1u);
  EXPECT_EQ(f.ui.boxes[0].text, "File not found on the installation disk: C:\\SETUP\\NOPE.TXT. ");
  EXPECT_EQ(f.ui.boxes[0].caption, " ");
  EXPECT_TRUE(f.ui.boxes[0].owned);
}

TEST(CopyEntry, MissingSourceAfterADiskAsksForItAgainUntilQuit) {
  EngineFixture f;
  f.settleDestination();
  FileEntry disk;
  disk.diskMarker = 1;
  disk.diskName = "Disk 2";
  f.state.engine.files = {disk, fileEntry("LATE.TXT")};
  f.state.engine.position = 1;
  f.engine.currentDiskEntry = 0;
  // First prompt: OK, but the file is still missing; the second: Cancel, then Yes to quitting.
  f.ui.answers = {MsgResult::Ok, MsgResult::Cancel, MsgResult::Yes};
  EXPECT_EQ(copyEntry(f.engine, f.state.engine.files[1]), 1);
  ASSERT_GE(f.ui.boxes.size(), 3u);
  EXPECT_NE(f.ui.boxes[0].text.find("Please insert Disk 2"), std::string::npos);
  EXPECT_EQ(f.state.engine.position, 1);  // the request leaves the position where it was
}

// Every way the run asks for a disk: the copy loop's INSERTDISK prompt, the request of a
// package going on to its next volume, and the request for a file missing after a disk change.
// Whichever comes first ends the container for good; a request that finds no disk entry to ask
// for shows nothing and leaves it alone.
TEST(DiskPrompt, FirstPromptEndsTheContainer) {
  enum class Ask { CopyLoopPrompt, NextVolumeRequest, MissingFileRequest, NoDiskEntryLeft };
  struct Case {
    const char* what;
    Ask ask;
    bool ends;
  } cases[] = {
      {"copy loop prompt", Ask::CopyLoopPrompt, true},
      {"next volume request", Ask::NextVolumeRequest, true},
      {"missing file request", Ask::MissingFileRequest, true},
      {"request past the last disk entry", Ask::NoDiskEntryLeft, false},
  };
  auto packed = [](const char* name, const char* data) {
    PackItem p;
    p.name = name;
    p.data = data;
    p.time = kOld;
    return p;
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EngineFixture f;
    f.settleDestination();
    f.sim.writeFile("C:\\SETUP\\SETUP.EXE",
                    containerImage("MZ", {packed("ONLY.TXT", "only in the container"),
                                          packed("TWO.TXT", "container copy")}));
    f.sim.writeFile("C:\\SETUP\\TWO.TXT", "disk copy", kNew);
    f.container.setContainer("C:\\SETUP\\SETUP.EXE");
    FileEntry disk;
    disk.diskMarker = 1;
    disk.diskName = "Disk 2";
    f.state.engine.files = {fileEntry("ONE.TXT"), disk, fileEntry("TWO.TXT")};
    std::unique_ptr<SourceFile> open = f.container.openSource("C:\\SETUP\\ONLY.TXT");
    ASSERT_TRUE(open && open->isContainerEntry());

    int asked = 0;
    switch (c.ask) {
      case Ask::CopyLoopPrompt: {
        DiskEntry entry{"Disk 2", "", 1};
        asked = f.engine.askForDisk(&entry, nullptr);
        break;
      }
      case Ask::NextVolumeRequest:
        f.state.engine.position = 0;
        asked = f.engine.insertDiskRequest(true, nullptr);
        break;
      case Ask::MissingFileRequest: {
        f.state.engine.position = 2;
        f.engine.currentDiskEntry = 1;
        const std::string name = "LATE.TXT";
        asked = f.engine.insertDiskRequest(false, &name);
        break;
      }
      case Ask::NoDiskEntryLeft:
        f.state.engine.position = 1;
        f.engine.currentDiskEntry = 2;
        asked = f.engine.insertDiskRequest(false, nullptr);
        break;
    }
    EXPECT_EQ(asked, c.ends ? 0 : kDiskQuit);
    EXPECT_EQ(f.ui.boxes.size(), c.ends ? 1u : 0u);
    EXPECT_EQ(f.container.disabled(), c.ends);

    char buffer[8];
    EXPECT_EQ(f.container.readSource(*open, buffer, sizeof buffer), c.ends ? -1 : 8);
    EXPECT_EQ(f.container.openSource("C:\\SETUP\\ONLY.TXT") != nullptr, !c.ends);
    // The same name is looked up again after the prompt: it comes from the disk now.
    FileEntry two = fileEntry("TWO.TXT");
    f.engine.currentDiskEntry = 1;
    f.ui.answers = {MsgResult::Cancel, MsgResult::Yes};
    ASSERT_EQ(copyEntry(f.engine, two), 0);
    EXPECT_EQ(f.sim.readFile("C:\\APP\\TWO.TXT"), c.ends ? "disk copy" : "container copy");
  }
}

TEST(CopyEntry, WildcardMatchingOnlyADirectoryCopiesNothing) {
  EngineFixture f;
  f.settleDestination();
  f.sim.makeDirectory("C:\\SETUP\\DOCS.DIR");
  FileEntry e = fileEntry("*.DIR");
  EXPECT_EQ(copyEntry(f.engine, e), 0);
  EXPECT_TRUE(f.ui.boxes.empty());
  EXPECT_FALSE(f.sim.exists("C:\\APP\\DOCS.DIR"));
}

TEST(CopyEntry, ContinuationVolumeAlreadyReadIsSkipped) {
  EngineFixture f;
  f.settleDestination();
  f.engine.continuationName = "pack.p02";
  FileEntry e = fileEntry("PACK.P02");  // not even on the disk
  EXPECT_EQ(copyEntry(f.engine, e), 0);
  EXPECT_TRUE(f.ui.boxes.empty());
}

TEST(CopyFile, OverwriteModesDecideOverAnExistingTarget) {
  struct Case {
    const char* what;
    Overwrite mode;
    FatTime sourceTime, targetTime;
    std::optional<MsgResult> answer;
    bool replaced;
  } cases[] = {
      {"yes", Overwrite::Yes, kOld, kNew, std::nullopt, true},
      {"no", Overwrite::No, kNew, kOld, std::nullopt, false},
      {"ask yes", Overwrite::Ask, kOld, kOld, MsgResult::Yes, true},
      {"ask no", Overwrite::Ask, kNew, kOld, MsgResult::No, false},
      {"new newer date", Overwrite::New, kNew, kOld, std::nullopt, true},
      {"new newer time", Overwrite::New, kNewLater, kNew, std::nullopt, true},
      {"new same", Overwrite::New, kNew, kNew, std::nullopt, false},
      {"new older", Overwrite::New, kOld, kNew, std::nullopt, false},
  };
  for (const Case& c : cases) {
    EngineFixture f;
    f.settleDestination();
    f.sim.writeFile("C:\\SETUP\\F.TXT", "source", c.sourceTime);
    f.sim.writeFile("C:\\APP\\F.TXT", "target", c.targetTime, kAttrReadOnly);
    if (c.answer) f.ui.answers.push_back(*c.answer);
    EXPECT_EQ(copyFile(f.engine, "C:\\APP\\F.TXT", "C:\\SETUP\\F.TXT", c.mode, kAttrNormal), 0)
        << c.what;
    EXPECT_EQ(f.sim.readFile("C:\\APP\\F.TXT"), c.replaced ? "source" : "target") << c.what;
    EXPECT_EQ(f.log(), c.replaced ? "FILE: \"C:\\APP\\F.TXT\"\r\n" : "") << c.what;
    if (c.answer) {
      ASSERT_EQ(f.ui.boxes.size(), 1u) << c.what;
      EXPECT_EQ(f.ui.boxes[0].text, "File exists.  Overwrite C:\\APP\\F.TXT?");
      EXPECT_EQ(f.ui.boxes[0].caption, "");
      EXPECT_EQ(f.ui.boxes[0].buttons, MsgButtons::YesNo);
      EXPECT_EQ(f.ui.boxes[0].icon, MsgIcon::Question);
    } else {
      EXPECT_TRUE(f.ui.boxes.empty()) << c.what;
    }
  }
}

TEST(CopyFile, LibrariesCompareVersionTextsBeforeDates) {
  struct Case {
    const char* source;
    const char* target;
    FatTime sourceTime, targetTime;
    bool replaced;
  } cases[] = {
      // "4.71..." sorts after "10.0..." as text, so the older-looking source wins.
      {"ver_e4.dll", "ver_b0.dll", kOld, kNew, true},
      {"ver_b0.dll", "ver_e4.dll", kNew, kOld, false},
      // Without a version text on one side the dates decide.
      {"ver_none.dll", "ver_e4.dll", kNew, kOld, true},
      {"ver_none.dll", "ver_e4.dll", kOld, kNew, false},
      // Equal texts: the dates decide.
      {"ver_e4.dll", "ver_e4.dll", kNew, kOld, true},
      {"ver_e4.dll", "ver_e4.dll", kOld, kOld, false},
  };
  for (const Case& c : cases) {
    EngineFixture f;
    f.settleDestination();
    std::string source = testDll(c.source), target = testDll(c.target);
    ASSERT_FALSE(source.empty());
    f.sim.writeFile("C:\\SETUP\\LIB.DLL", source, c.sourceTime);
    f.sim.writeFile("C:\\APP\\LIB.DLL", target, c.targetTime);
    EXPECT_EQ(copyFile(f.engine, "C:\\APP\\LIB.DLL", "C:\\SETUP\\LIB.DLL", Overwrite::New, 128), 0);
    EXPECT_EQ(f.sim.readFile("C:\\APP\\LIB.DLL") == source, c.replaced || source == target)
        << c.source << " over " << c.target;
    EXPECT_EQ(f.log() == "FILE: \"C:\\APP\\LIB.DLL\"\r\n", c.replaced)
        << c.source << " over " << c.target;
  }
}

TEST(CopyFile, BlockBoundariesAndByteProgress) {
  for (size_t size :
       {size_t(0), size_t(1), size_t(kCopyBlock), size_t(kCopyBlock + 1), size_t(3 * kCopyBlock)}) {
    EngineFixture f;
    f.settleDestination();
    std::string data(size, '\0');
    for (size_t i = 0; i < size; ++i) data[i] = static_cast<char>(i * 7 + i / 251);
    f.sim.writeFile("C:\\SETUP\\D.BIN", data, kOld);
    f.engine.progressTotal = 1000000;
    EXPECT_EQ(copyFile(f.engine, "C:\\APP\\D.BIN", "C:\\SETUP\\D.BIN", Overwrite::Yes, 128), 0);
    EXPECT_EQ(f.sim.readFile("C:\\APP\\D.BIN"), data) << size;
    EXPECT_EQ(f.engine.progressCounter, static_cast<int32_t>(size)) << size;
  }
  // A skipped file still moves the bar by its size.
  EngineFixture f;
  f.settleDestination();
  f.sim.writeFile("C:\\SETUP\\S.TXT", std::string(1234, 's'));
  f.sim.writeFile("C:\\APP\\S.TXT", "keep");
  f.engine.progressTotal = 1000000;
  EXPECT_EQ(copyFile(f.engine, "C:\\APP\\S.TXT", "C:\\SETUP\\S.TXT", Overwrite::No, 128), 0);
  EXPECT_EQ(f.engine.progressCounter, 1234);
}

TEST(CopyFile, AFailedWriteIsReportedNotHidden) {
  EngineFixture f;
  f.settleDestination();
  f.sim.writeFile("C:\\SETUP\\BIG.BIN", std::string(100000, 'b'));
  f.sim.sys().failWritesAfter(40000);
  EXPECT_NE(copyFile(f.engine, "C:\\APP\\BIG.BIN", "C:\\SETUP\\BIG.BIN", Overwrite::Yes, 128), 0);
  ASSERT_EQ(f.ui.boxes.size(), 1u);
  EXPECT_EQ(f.ui.boxes[0].text, "Writing disk error.");
}

// A source named without wildcards is looked at for a package header and then copied from the
// same open file: whatever its size, and whether it lies loose or in the container, not one byte
// of its start may go missing.
TEST(CopyEntry, ASourceOpenedOnceIsCopiedWholeFromItsFirstByte) {
  const size_t sizes[] = {
      0, 1, kPackageHeaderSize - 1, kPackageHeaderSize, kPackageHeaderSize + 1, kCopyBlock + 7000};
  for (bool inContainer : {false, true}) {
    for (size_t size : sizes) {
      SCOPED_TRACE((inContainer ? "container entry of " : "loose file of ") + std::to_string(size) +
                   " bytes");
      EngineFixture f;
      PackageExtractor packages(f.engine);
      f.engine.packages = &packages;
      f.settleDestination();
      std::string data;
      for (size_t i = 0; i < size; ++i) data += char('A' + (i * 7 + i / 26) % 26);
      if (inContainer) {
        PackItem item;
        item.name = "DATA.BIN";
        item.data = data;
        item.time = kOld;
        f.sim.writeFile("C:\\SETUP\\SETUP.EXE", containerImage("MZ", {item}));
        f.container.setContainer("C:\\SETUP\\SETUP.EXE");
      } else {
        f.sim.writeFile("C:\\SETUP\\DATA.BIN", data, kOld);
      }
      FileEntry e = fileEntry("DATA.BIN");
      ASSERT_EQ(copyEntry(f.engine, e), 0);
      EXPECT_EQ(f.sim.readFile("C:\\APP\\DATA.BIN"), data);
      EXPECT_EQ(readFileTime(f.sim.sys(), "C:\\APP\\DATA.BIN"), kOld);
      EXPECT_EQ(f.sim.sys().openFileCount(), inContainer ? 1 : 0) << "a source left open";
    }
  }
}

}  // namespace
}  // namespace qm
