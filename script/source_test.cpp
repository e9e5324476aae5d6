#include "script/source.h"

#include <gtest/gtest.h>

#include "script/memory_system_for_tests.h"
#include "tools/container_writer.h"

namespace qm {
namespace {

using testing::MemorySystem;

const std::string kStub = std::string("MZ-stub-") + std::string(100, '\x90');

PackItem item(std::string name, std::string data, uint32_t attributes = kAttrArchive) {
  PackItem p;
  p.name = std::move(name);
  p.data = std::move(data);
  p.attributes = attributes;
  p.time = FatTime{0x5A21, 0x6543};
  return p;
}

void setLe32(std::string& image, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) image[at + i] = char(v >> (8 * i));
}

uint32_t le32At(const std::string& image, size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | uint8_t(image[at + i]);
  return v;
}

// Entry offsets of an image made by containerImage, in file order.
std::vector<uint32_t> entryOffsets(const std::string& image) {
  std::vector<uint32_t> offsets;
  for (uint32_t at = le32At(image, image.size() - kTrailerSize + 8); at != 0;
       at = le32At(image, at))
    offsets.push_back(at);
  return offsets;
}

struct Fixture {
  MemorySystem sys;
  Container container{sys};
  explicit Fixture(const std::string& image, const std::string& path = "A:\\SETUP.EXE") {
    sys.put(path, image);
    container.setContainer(path);
  }
  std::string readAll(SourceFile& f) {
    std::string out;
    char buf[7];
    for (int32_t n; (n = container.readSource(f, buf, sizeof buf)) > 0;) out.append(buf, n);
    return out;
  }
};

TEST(SourceContainer, TrailerMagicMustMatchExactlyElseSourcesComeFromDisk) {
  std::string good = containerImage(kStub, {item("README.TXT", "from container")});
  struct Case {
    const char* what;
    std::string image;
    bool container;
  };
  std::string upper = good, noNul = good, shortFile = "[Tovek]";
  upper.replace(upper.size() - kTrailerSize, 7, "[TOVEK]");
  noNul[noNul.size() - kTrailerSize + 7] = 'x';
  const Case cases[] = {
      {"valid trailer", good, true},
      {"no trailer", kStub, false},
      {"magic differs by case", upper, false},
      {"magic without its NUL", noNul, false},
      {"file shorter than a trailer", shortFile, false},
  };
  for (const Case& c : cases) {
    Fixture fx(c.image);
    fx.sys.put("A:\\README.TXT", "from disk");
    auto f = fx.container.openSource("A:\\README.TXT");
    ASSERT_TRUE(f) << c.what;
    EXPECT_EQ(fx.readAll(*f), c.container ? "from container" : "from disk") << c.what;
    EXPECT_EQ(f->isContainerEntry(), c.container) << c.what;
    EXPECT_EQ(fx.container.inUse(), c.container) << c.what;
  }
}

TEST(SourceContainer, LookupUsesNamePartOnlyAndIgnoresAsciiCase) {
  Fixture fx(containerImage(kStub, {item("README.TXT", "readme"), item("\xC4RGER.TXT", "umlaut")}));
  for (const char* path : {"A:\\DISK1\\README.TXT", "C:\\README.TXT", "readme.txt", "B:readme.TXT",
                           "x/y/ReadMe.Txt"}) {
    auto f = fx.container.openSource(path);
    ASSERT_TRUE(f) << path;
    EXPECT_EQ(fx.readAll(*f), "readme") << path;
  }
  // Only A to Z fold: a byte above 127 must be equal.
  EXPECT_TRUE(fx.container.openSource("\xC4rger.txt"));
  EXPECT_FALSE(fx.container.openSource("\xE4RGER.TXT"));
}

TEST(SourceContainer, FirstEntryInChainOrderWinsOnEqualNames) {
  std::string image =
      containerImage(kStub, {item("SETUP.CFG", "first in file"), item("setup.cfg", "second")});
  {
    Fixture fx(image);
    auto f = fx.container.openSource("Setup.Cfg");
    ASSERT_TRUE(f);
    EXPECT_EQ(fx.readAll(*f), "first in file");
  }
  // Chain the second entry first: chain order, not file order, decides.
  std::vector<uint32_t> at = entryOffsets(image);
  setLe32(image, image.size() - kTrailerSize + 8, at[1]);
  setLe32(image, at[1], at[0]);
  setLe32(image, at[0], 0);
  Fixture fx(image);
  auto f = fx.container.openSource("SETUP.CFG");
  ASSERT_TRUE(f);
  EXPECT_EQ(fx.readAll(*f), "second");
}

TEST(SourceContainer, BrokenChainEndsTheWalkAndKeepsEarlierEntries) {
  std::string base = containerImage(
      kStub, {item("ONE.TXT", "1"), item("TWO.TXT", "22"), item("THREE.TXT", "333")});
  std::vector<uint32_t> at = entryOffsets(base);
  struct Case {
    const char* what;
    uint32_t patchAt;
    uint32_t value;
    bool threeFound;
  };
  const Case cases[] = {
      {"intact", 0, 0, true},
      {"second entry loops back to the first", at[1], at[0], false},
      {"entry points at itself", at[1], at[1], false},
      {"next offset past the end", at[1], 0x7FFFFFF0, false},
      {"entry overlapping the end of the file", at[1], uint32_t(base.size() - 100), false},
  };
  for (const Case& c : cases) {
    std::string image = base;
    if (c.patchAt) setLe32(image, c.patchAt, c.value);
    Fixture fx(image);
    EXPECT_TRUE(fx.container.openSource("ONE.TXT")) << c.what;
    EXPECT_TRUE(fx.container.openSource("TWO.TXT")) << c.what;
    EXPECT_EQ(bool(fx.container.openSource("THREE.TXT")), c.threeFound) << c.what;
    EXPECT_FALSE(fx.container.openSource("MISSING.TXT")) << c.what;
  }
  // A first entry outside the file: the container is in use but holds nothing.
  std::string image = base;
  setLe32(image, image.size() - kTrailerSize + 8, uint32_t(image.size()));
  Fixture fx(image);
  fx.sys.put("C:\\ONE.TXT", "disk");
  auto f = fx.container.openSource("C:\\ONE.TXT");
  ASSERT_TRUE(f);
  EXPECT_EQ(fx.readAll(*f), "disk");
}

TEST(SourceContainer, OpeningManyEntriesReadsTheDirectoryOnce) {
  std::vector<PackItem> items;
  for (int i = 0; i < 2000; ++i) items.push_back(item("F" + std::to_string(i) + ".DAT", "x"));
  Fixture fx(containerImage(kStub, items));
  for (int i = 1999; i >= 0; --i)
    ASSERT_TRUE(fx.container.openSource("F" + std::to_string(i) + ".DAT")) << i;
  // One read for the trailer and one per entry; a walk per open would need about two million.
  EXPECT_LE(fx.sys.reads, 2001);
  EXPECT_EQ(fx.sys.opens, 1);
}

TEST(SourceReader, EntryRecordCarriesItsDirectoryFields) {
  PackItem p = item("DATA.BIN", std::string(300, 'd'), kAttrReadOnly | kAttrArchive);
  p.time = FatTime{0x4E6F, 0x8A2B};
  Fixture fx(containerImage(kStub, {p}));
  auto f = fx.container.openSource("DATA.BIN");
  ASSERT_TRUE(f);
  EXPECT_EQ(fx.container.sourceSize(*f), 300);
  EXPECT_EQ(f->date, 0x4E6Fu);
  EXPECT_EQ(f->time, 0x8A2Bu);
  EXPECT_EQ(f->attributes, kAttrReadOnly | kAttrArchive);
  EXPECT_EQ(f->base, int64_t(kStub.size() + kEntrySize));

  fx.sys.put("C:\\PLAIN.TXT", "twelve bytes");
  fx.sys.stored["C:\\PLAIN.TXT"].time = FatTime{0x1234, 0x5678};
  fx.sys.stored["C:\\PLAIN.TXT"].attributes = kAttrHidden;
  auto g = fx.container.openSource("C:\\PLAIN.TXT");
  ASSERT_TRUE(g);
  EXPECT_FALSE(g->isContainerEntry());
  EXPECT_EQ(fx.container.sourceSize(*g), 12);
  EXPECT_EQ(g->date, 0x1234u);
  EXPECT_EQ(g->time, 0x5678u);
  EXPECT_EQ(g->attributes, kAttrHidden);
  EXPECT_EQ(fx.container.tellSource(*g), 0);
}

TEST(SourceReader, WildcardPathsNeverOpenPlainFilesButMayMatchStoredNames) {
  Fixture fx(containerImage(kStub, {item("WILD*.TXT", "stored")}));
  fx.sys.put("C:\\*.TXT", "literal star");
  fx.sys.put("C:\\A?.TXT", "literal question");
  EXPECT_FALSE(fx.container.openSource("C:\\*.TXT"));
  EXPECT_FALSE(fx.container.openSource("C:\\A?.TXT"));
  auto f = fx.container.openSource("C:\\DIR\\wild*.txt");
  ASSERT_TRUE(f);
  EXPECT_EQ(fx.readAll(*f), "stored");
}

TEST(SourceReader, ReadsStopAtTheEndOfAnEntry) {
  std::string data;
  for (int i = 0; i < 50; ++i) data += char('A' + i % 26);
  Fixture fx(containerImage(kStub, {item("E.BIN", data), item("NEXT.BIN", "must not leak")}));
  auto f = fx.container.openSource("E.BIN");
  ASSERT_TRUE(f);
  char buf[100];
  EXPECT_EQ(fx.container.seekSource(*f, -10, 2), 40);
  EXPECT_EQ(fx.container.readSource(*f, buf, 100), 10);
  EXPECT_EQ(std::string(buf, 10), data.substr(40));
  EXPECT_EQ(fx.container.readSource(*f, buf, 100), 0);
  EXPECT_EQ(fx.container.tellSource(*f), 50);
}

TEST(SourceReader, EntrySeeksClampToTheEntry) {
  Fixture fx(containerImage(kStub, {item("E.BIN", std::string(50, 'e'))}));
  auto f = fx.container.openSource("E.BIN");
  ASSERT_TRUE(f);
  struct Case {
    int64_t start, offset;
    int origin;
    int64_t expected;
  };
  const Case cases[] = {
      {0, -5, 0, 0},  {0, 150, 0, 50}, {20, 5, 1, 25}, {20, -30, 1, 0}, {20, 31, 1, 50},
      {0, -1, 2, 49}, {0, 10, 2, 50},  {10, 0, 3, -1}, {10, 0, -1, -1},
  };
  for (const Case& c : cases) {
    fx.container.seekSource(*f, c.start, 0);
    EXPECT_EQ(fx.container.seekSource(*f, c.offset, c.origin), c.expected)
        << c.start << " " << c.offset << " " << c.origin;
    if (c.expected >= 0) {
      EXPECT_EQ(fx.container.tellSource(*f), c.expected);
    }
  }
}

// Each case runs on a plain file and on a container entry: the results must be the same.
TEST(SourceReader, ReadLineSplitsKeepsLineFeedAndDropsCarriageReturns) {
  struct Case {
    const char* what;
    std::string data;
    size_t bufferSize;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"empty file", "", 1000, {}},
      {"no final line feed", "A\nB", 1000, {"A\n", "B"}},
      {"CR LF", "one\r\ntwo\r\n", 1000, {"one\n", "two\n"}},
      {"long line in pieces", "abcdefghij\n", 5, {"abcd", "efgh", "ij\n"}},
      {"carriage returns do not count", "ab\r\rcd\ref\n", 5, {"abcd", "ef\n"}},
      {"line feed right after a full piece", "abcd\nx", 5, {"abcd", "\n", "x"}},
      {"blank lines", "\n\r\n\n", 10, {"\n", "\n", "\n"}},
      {"only carriage returns", "\r\r\r", 10, {}},
      {"longer than a read-ahead block",
       std::string(9000, 'q') + "\nz",
       10000,
       {std::string(9000, 'q') + "\n", "z"}},
  };
  for (const Case& c : cases) {
    for (bool inContainer : {false, true}) {
      Fixture fx(inContainer ? containerImage(kStub, {item("S.CFG", c.data), item("T", "tail")})
                             : kStub);
      fx.sys.put("C:\\S.CFG", c.data);
      auto f = fx.container.openSource("C:\\S.CFG");
      ASSERT_TRUE(f);
      ASSERT_EQ(f->isContainerEntry(), inContainer);
      std::vector<std::string> got;
      std::string line;
      while (fx.container.readLine(*f, line, c.bufferSize)) got.push_back(line);
      EXPECT_EQ(got, c.lines) << c.what << (inContainer ? " (container)" : " (plain)");
    }
  }
}

TEST(SourceReader, ReadLineAndBlockReadsShareOnePosition) {
  const std::string data = "first\r\nsecond line\nthird";
  for (bool inContainer : {false, true}) {
    Fixture fx(inContainer ? containerImage(kStub, {item("M.TXT", data)}) : kStub);
    fx.sys.put("C:\\M.TXT", data);
    auto f = fx.container.openSource("C:\\M.TXT");
    ASSERT_TRUE(f);
    std::string line;
    ASSERT_TRUE(fx.container.readLine(*f, line, 100));
    EXPECT_EQ(fx.container.tellSource(*f), 7);
    char buf[6];
    ASSERT_EQ(fx.container.readSource(*f, buf, 6), 6);
    EXPECT_EQ(std::string(buf, 6), "second");
    EXPECT_EQ(fx.container.seekSource(*f, 1, 1), 14);
    ASSERT_TRUE(fx.container.readLine(*f, line, 100));
    EXPECT_EQ(line, "line\n");
    EXPECT_EQ(fx.container.seekSource(*f, 0, 0), 0);
    ASSERT_TRUE(fx.container.readLine(*f, line, 100));
    EXPECT_EQ(line, "first\n");
  }
}

TEST(SourceReader, ReadErrorEndsReadLineEvenAfterCharacters) {
  Fixture fx(kStub);
  fx.sys.put("C:\\BAD.CFG", "text\n");
  auto f = fx.container.openSource("C:\\BAD.CFG");
  ASSERT_TRUE(f);
  fx.sys.failReadsOf = "C:\\BAD.CFG";
  std::string line = "stale";
  EXPECT_FALSE(fx.container.readLine(*f, line, 100));
  char c;
  EXPECT_EQ(fx.container.readSource(*f, &c, 1), -1);
}

TEST(SourceContainer, DisabledContainerIsNeverConsultedAgain) {
  Fixture fx(containerImage(kStub, {item("ONLY.TXT", "in container\n"), item("BOTH.TXT", "c")}));
  fx.sys.put("A:\\BOTH.TXT", "disk");
  auto open = fx.container.openSource("A:\\ONLY.TXT");
  ASSERT_TRUE(open);
  std::string line;
  char buf[4];
  fx.container.disableContainer();
  EXPECT_TRUE(fx.container.disabled());
  EXPECT_EQ(fx.container.readSource(*open, buf, 4), -1);
  EXPECT_EQ(fx.container.seekSource(*open, 0, 0), -1);
  EXPECT_EQ(fx.container.tellSource(*open), -1);
  EXPECT_FALSE(fx.container.readLine(*open, line, 100));
  EXPECT_FALSE(fx.container.openSource("A:\\ONLY.TXT"));
  // Naming the container again does not bring its entries back.
  fx.container.setContainer("A:\\SETUP.EXE");
  EXPECT_FALSE(fx.container.openSource("A:\\ONLY.TXT"));
  auto both = fx.container.openSource("A:\\BOTH.TXT");
  ASSERT_TRUE(both);
  EXPECT_EQ(fx.readAll(*both), "disk");
}

TEST(SourceContainer, ClosedContainerFailsOpenEntriesAndReopensWhenNamedAgain) {
  Fixture fx(containerImage(kStub, {item("A.TXT", "abc")}));
  auto f = fx.container.openSource("A.TXT");
  ASSERT_TRUE(f);
  EXPECT_EQ(fx.container.closeContainer(), 0);
  char buf[4];
  EXPECT_EQ(fx.container.readSource(*f, buf, 4), -1);
  EXPECT_FALSE(fx.container.openSource("A.TXT"));  // the path was forgotten
  fx.container.setContainer("A:\\SETUP.EXE");
  auto g = fx.container.openSource("A.TXT");
  ASSERT_TRUE(g);
  EXPECT_EQ(fx.readAll(*g), "abc");
  // A failed open forgets the path: it is not retried on every open.
  fx.container.setContainer("A:\\MISSING.EXE");
  EXPECT_FALSE(fx.container.openSource("A.TXT"));
  int opens = fx.sys.opens;
  fx.container.openSource("B.TXT");
  EXPECT_EQ(fx.sys.opens, opens + 1);  // only the plain-file attempt
}

}  // namespace
}  // namespace qm
