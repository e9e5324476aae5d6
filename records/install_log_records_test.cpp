#include "records/install_log_records.h"

#include <gtest/gtest.h>

#include <random>

#include "base/text.h"

namespace qm {
namespace {

using Readings = std::vector<std::vector<std::string>>;

// A reading's texts in the order the line holds them.
struct Texts {
  using T = std::vector<std::string>;
  T operator()(const DefaultDirRecord& r) { return {r.path}; }
  template <LogKind K>
  T operator()(const PathRecord<K>& r) {
    return {r.path};
  }
  template <LogKind K>
  T operator()(const PromptRecord<K>& r) {
    return {r.text};
  }
  template <LogKind K>
  T operator()(const LineChangeRecord<K>& r) {
    return {r.oldLine, r.newLine};
  }
  T operator()(const RenameRecord& r) { return {r.newPath, r.oldPath}; }
  T operator()(const IniKeyRecord& r) {
    T t{r.section, r.key, r.value, r.file};
    if (r.previous) t.push_back(*r.previous);
    return t;
  }
  T operator()(const IniSectionRecord& r) { return {r.section, r.file}; }
  T operator()(const AddTextRecord& r) { return {r.oldLine, r.file, r.newText}; }
  T operator()(const RegKeyRecord& r) { return {r.rootName, r.keyPath}; }
  T operator()(const WinItemRecord& r) { return {r.group, r.title}; }
};

Readings textsOf(const LogLine& line) {
  Readings out;
  for (const LogRecord& r : line.readings) out.push_back(std::visit(Texts{}, r));
  return out;
}

std::string repeated(const std::string& text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

TEST(UninstallLog, EveryKindIsReadWithItsTexts) {
  struct Case {
    const char* line;
    LogKind kind;
    Readings readings;
  } cases[] = {
      {"DEFAULTDIR: \"C:\\APP\"", LogKind::DefaultDir, {{"C:\\APP"}}},
      {"DIRECTORY: \"C:\\APP\\DATA\"", LogKind::Directory, {{"C:\\APP\\DATA"}}},
      {"UNINSTALLTITLEPROMPT: \"Say \"bye\"\"", LogKind::TitlePrompt, {{"Say \"bye\""}}},
      {"FILE: \"C:\\APP\\A.EXE\"", LogKind::File, {{"C:\\APP\\A.EXE"}}},
      {"RENAME: C:\\APP\\A.BAK, C:\\APP\\A.TXT",
       LogKind::Rename,
       {{"C:\\APP\\A.BAK", "C:\\APP\\A.TXT"}}},
      {"AUTOEXEC: \"\", \"PATH=C:\\APP;\"", LogKind::Autoexec, {{"", "PATH=C:\\APP;"}}},
      {"CONFIG: \"FILES=20\", \"FILES=30\"", LogKind::Config, {{"FILES=20", "FILES=30"}}},
      {"INIFILE: \"S\", \"K\", \"V\", \"A.INI\"", LogKind::IniKey, {{"S", "K", "V", "A.INI"}}},
      {"INIFILE: \"S\", \"K\", \"V\", \"A.INI\", \"old\"",
       LogKind::IniKey,
       // A value may hold the separator, so the file may stand in either place.
       {{"S", "K", "V", "A.INI", "old"}, {"S", "K", "V\", \"A.INI", "old"}}},
      {"INIFILE: \"S\", \"A.INI\"", LogKind::IniSection, {{"S", "A.INI"}}},
      {"RegServer: \"C:\\APP\\X.DLL\"", LogKind::RegServer, {{"C:\\APP\\X.DLL"}}},
      {"ADDTEXT: \"\", NOTES.TXT, \"line\"", LogKind::AddText, {{"", "NOTES.TXT", "line"}}},
      {"REGKEY: \"HKEY_LOCAL_MACHINE\", \"Software\\Q\"",
       LogKind::RegKey,
       {{"HKEY_LOCAL_MACHINE", "Software\\Q"}}},
      {"WINITEM: \"Tools\", \"Notes\"", LogKind::WinItem, {{"Tools", "Notes"}}},
  };
  for (const Case& c : cases) {
    InstallLogContents log = readInstallLog(std::string(c.line) + "\r\n");
    ASSERT_EQ(log.lines.size(), 1u) << c.line;
    EXPECT_TRUE(log.skipped.empty()) << c.line;
    EXPECT_EQ(log.lines[0].kind, c.kind) << c.line;
    EXPECT_EQ(textsOf(log.lines[0]), c.readings) << c.line;
  }
}

TEST(UninstallLog, TextsHoldingTheSeparatorKeepEveryReading) {
  InstallLogContents log = readInstallLog(
      "AUTOEXEC: \"SET A=\"x\", \"y\", \"SET A=\"z\"\"\r\n"
      "ADDTEXT: \"a\", b\", C:\\F.TXT, \"new\"\r\n"
      "RENAME: C:\\A, B\\X.TXT, C:\\Y.TXT\r\n");
  ASSERT_EQ(log.lines.size(), 3u);
  EXPECT_EQ(textsOf(log.lines[0]),
            (Readings{{"SET A=\"x", "y\", \"SET A=\"z\""}, {"SET A=\"x\", \"y", "SET A=\"z\""}}));
  // The file holds no quote, so "a\", b" cannot end the old text.
  EXPECT_EQ(textsOf(log.lines[1]), (Readings{{"a\", b", "C:\\F.TXT", "new"}}));
  EXPECT_EQ(textsOf(log.lines[2]),
            (Readings{{"C:\\A", "B\\X.TXT, C:\\Y.TXT"}, {"C:\\A, B\\X.TXT", "C:\\Y.TXT"}}));
}

TEST(UninstallLog, OverlappingSeparatorsInAnIniLineCutOnce) {
  // ", ", " holds the separator twice, sharing a quote: every reading is made of the line's own
  // pieces, never of a piece taken twice.
  InstallLogContents log = readInstallLog("INIFILE: \"S\", \", \"K\", \"V\", \"A.INI\"\r\n");
  ASSERT_EQ(log.lines.size(), 1u);
  for (const auto& reading : textsOf(log.lines[0])) {
    size_t total = 0;
    for (const std::string& text : reading) total += text.size();
    EXPECT_LT(total, std::string("S\", \", \"K\", \"V\", \"A.INI").size());
  }
}

TEST(UninstallLog, BadLinesAreSkippedWithTheirReason) {
  struct Case {
    std::string bytes;
    const char* reason;
  } cases[] = {
      {"FILE: \"C:\\APP\\A.EXE\"", "the line is cut off"},
      {"FILE: \"C:\\APP\\A.EXE\r\n", "the line's texts cannot be read"},
      {"FILE: C:\\APP\\A.EXE\r\n", "the line's texts cannot be read"},
      {"FILE: \"\"\r\n", "the path is empty or holds a quote"},
      {"DELETE: \"C:\\APP\\A.EXE\"\r\n", "unknown kind of line"},
      {"garbage\r\n", "not a line the installer writes"},
      {std::string("FILE: \"C:\\A\0B\"\r\n", 16), "the line holds control characters"},
      {"INIFILE: \"S\", \"K\", \"V\"\r\n", "the line's texts cannot be read"},
      {"ADDTEXT: \"\", , \"x\"\r\n", "the line's texts cannot be read"},
      {"AUTOEXEC: \"" + repeated("x\", \"", 20) + "x\"\r\n", "the line can be read too many ways"},
  };
  for (const Case& c : cases) {
    InstallLogContents log = readInstallLog(c.bytes);
    EXPECT_TRUE(log.lines.empty()) << c.bytes;
    ASSERT_EQ(log.skipped.size(), 1u) << c.bytes;
    EXPECT_EQ(log.skipped[0].reason, c.reason) << c.bytes;
    EXPECT_EQ(log.skipped[0].lineNumber, 1);
  }
}

TEST(UninstallLog, LinesKnowTheirDestinationOffsetAndTheLastTexts) {
  std::string bytes =
      "DIRECTORY: \"C:\\ONE\"\r\n\r\n"
      "DEFAULTDIR: \"C:\\ONE\"\r\n"
      "UNINSTALLTITLEPROMPT: \"First\"\r\n"
      "ADDTEXT: \"\", A.TXT, \"x\"\r\n"
      "DEFAULTDIR: \"C:\\TWO\"\r\n"
      "UNINSTALLTITLEPROMPT: \"Second\"\r\n"
      "ADDTEXT: \"\", A.TXT, \"y\"\r\n";
  InstallLogContents log = readInstallLog(bytes);
  ASSERT_EQ(log.lines.size(), 7u);
  EXPECT_EQ(log.lines[0].destination, "");
  EXPECT_EQ(log.lines[3].destination, "C:\\ONE");
  EXPECT_EQ(log.lines[6].destination, "C:\\TWO");
  EXPECT_EQ(log.lines[3].lineNumber, 5);
  EXPECT_EQ(bytes.substr(log.lines[3].offset, 9), "ADDTEXT: ");
  EXPECT_EQ(log.texts.title, "Second");
  EXPECT_EQ(log.texts.begin, UninstallTexts().begin);
}

// Every record the installer can write reads back as itself: formatted into a log with random
// texts (blanks, commas, quotes where the kind allows them), each line's readings hold the record,
// and a line whose texts hold no separator has no other reading.
TEST(InstallLogRecords, EveryRecordFormatsAndReadsBackAsItself) {
  std::mt19937 random(18);
  auto text = [&](bool quotes) {
    static const char kPieces[] = "aZ9 ,.\\:;=\"";
    std::string t;
    for (int n = int(random() % 9); n > 0; --n) {
      char c = kPieces[random() % (sizeof kPieces - 1)];
      if (c != '"' || quotes) t += c;
    }
    return t;
  };
  auto path = [&] { return "C:\\" + text(false); };
  std::vector<LogRecord> records;
  for (int round = 0; round < 300; ++round) {
    std::optional<std::string> previous;
    if (random() % 2) previous = text(true);
    records.push_back(DefaultDirRecord{path(), random() % 2 == 0});
    records.push_back(DirectoryRecord{path()});
    records.push_back(BeginPromptRecord{text(true)});
    records.push_back(EndPromptRecord{text(true)});
    records.push_back(TitlePromptRecord{text(true)});
    records.push_back(RenameRecord{path(), path()});
    records.push_back(FileRecord{path()});
    records.push_back(AutoexecRecord{text(true), text(true)});
    records.push_back(ConfigRecord{text(true), text(true)});
    records.push_back(IniKeyRecord{text(false), text(false), text(true), path(), previous});
    records.push_back(IniSectionRecord{text(false), path()});
    records.push_back(RegServerRecord{path()});
    records.push_back(AddTextRecord{text(true), path(), text(true)});
    records.push_back(RegKeyRecord{text(false), text(false)});
    records.push_back(WinItemRecord{text(true), text(true)});
  }
  std::string bytes;
  for (const LogRecord& r : records) bytes += formatLogRecord(r) + "\n";
  InstallLogContents log = readInstallLog(toCrLf(bytes));
  size_t next = 0, checked = 0;
  for (const LogRecord& r : records) {
    std::string line = formatLogRecord(r);
    line = line.substr(0, line.find('\n'));
    // A line read too many ways is skipped as a whole; the next one is the next record's.
    if (next < log.lines.size() &&
        formatLogRecord(log.lines[next].readings.front()).find(line) != 0)
      continue;
    ASSERT_LT(next, log.lines.size());
    const LogLine& got = log.lines[next++];
    EXPECT_EQ(got.kind, kindOf(r)) << line;
    EXPECT_NE(std::find(got.readings.begin(), got.readings.end(), r), got.readings.end()) << line;
    if (line.find("\", ") == std::string::npos && line.find(", ") == line.rfind(", ")) {
      EXPECT_EQ(got.readings.size(), 1u) << line;
    }
    ++checked;
  }
  EXPECT_EQ(next, log.lines.size());
  // Nearly every line is read; only the ones with too many separators may be skipped.
  EXPECT_GT(checked, records.size() * 9 / 10);
}

}  // namespace
}  // namespace qm
