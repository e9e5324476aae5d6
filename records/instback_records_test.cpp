#include "records/instback_records.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

using Kind = BackupRecord::Kind;

BackupRecord record(Kind kind) {
  BackupRecord r;
  r.kind = kind;
  r.logOffset = 4321;
  r.time = {0x2A43, 0x6000};
  r.attributes = 33;
  r.original = "C:\\WINDOWS\\SYSTEM\\SHARED.DLL";
  r.copyName = "00000007.bak";
  r.size = 12;
  r.digest = 0xFEDCBA9876543210ull;
  r.root = RegistryRoot::CurrentUser;
  r.key = "Software\\Vendor, Inc\\App";
  r.name = "Name \"with\", quotes";
  r.value = {kRegBinary, {0x00, 0xAB, 0xFF}};
  r.group = "Tools, Old";
  r.title = "Read Me";
  r.command = "\"C:\\Program Files\\A.EXE\" /x, y";
  r.count = 4294967295u;
  r.found = true;
  r.keysMade = 5;
  return r;
}

// Every kind of record reads back as itself, each with the fields its kind has.
TEST(InstbackRecords, EveryKindFormatsAndReadsBackAsItself) {
  for (Kind kind : {Kind::Saved, Kind::Kept, Kind::Deleted, Kind::Prior, Kind::Absent, Kind::Digest,
                    Kind::RegSet, Kind::RegGone, Kind::RegWas, Kind::RegNew, Kind::RegKeyWas,
                    Kind::RegKeyNew, Kind::Item, Kind::Shared}) {
    const std::string line = formatBackupRecord(record(kind));
    std::optional<BackupRecord> back = parseBackupRecord(line);
    ASSERT_TRUE(back) << line;
    EXPECT_EQ(back->kind, kind) << line;
    EXPECT_EQ(formatBackupRecord(*back), line);
  }
  // An empty value name (the default value) and empty data are fields of their own.
  BackupRecord empty = record(Kind::RegSet);
  empty.name.clear();
  empty.value.data.clear();
  std::optional<BackupRecord> back = parseBackupRecord(formatBackupRecord(empty));
  ASSERT_TRUE(back);
  EXPECT_EQ(back->name, "");
  EXPECT_TRUE(back->value.data.empty());
  EXPECT_EQ(back->key, empty.key);
}

TEST(InstbackRecords, LinesThatAreNotExactlyOneRecordAreRefused) {
  for (const char* bad : {
           "DIGEST: 1, 12, FEDCBA987654321, \"C:\\A\"",         // fifteen hex digits
           "DIGEST: 1, 12, FEDCBA9876543210, \"\"",             // no path
           "REGSET: 1, 7, 1, 00, \"Software\", \"x\"",          // no such root
           "REGSET: 1, 2147483649, 1, 0, \"Software\", \"x\"",  // half a byte
           "REGGONE: 1, 2147483649, \"Software\"",              // no value name
           "REGKEYWAS: 1, 2147483649, \"Soft\"ware\"",          // a quote in the key
           "PRIOR: 1, 2, 3, 4, \"C:\\A\", \"..\"",              // the copy is no plain name
           "ITEM: 1, \"Tools\", \"\", \"C:\\A.EXE\"",           // no title
           "ABSENT: 18446744073709551616, \"C:\\A\"",           // offset past 64 bits
           "SHARED: 1, 4294967296, 1, 0, \"C:\\A\"",            // a count past 32 bits
           "SHARED: 1, 2, 2, 0, \"C:\\A\"",                     // found is 0 or 1
           "SHARED: 1, 2, 1, 6, \"C:\\A\"",                     // more levels than the key has
       })
    EXPECT_FALSE(parseBackupRecord(bad)) << bad;
}

TEST(InstbackRecords, ReplacedIndexLinesAndDigests) {
  ReplacedIndexLine line{"C:\\WINDOWS\\SYSTEM\\SHARED.DLL", "C:\\APP\\instback.log"};
  EXPECT_EQ(parseReplacedIndexLine(formatReplacedIndexLine(line)), line);
  EXPECT_FALSE(parseReplacedIndexLine("\"C:\\A\""));
  EXPECT_NE(contentDigest("v1"), contentDigest("v2"));
  EXPECT_EQ(contentDigest(""), 14695981039346656037ull);
}

}  // namespace
}  // namespace qm
