#include "finish/uninstall_log.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

using Readings = std::vector<std::vector<std::string>>;

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
    EXPECT_EQ(log.lines[0].readings, c.readings) << c.line;
  }
}

TEST(UninstallLog, TextsHoldingTheSeparatorKeepEveryReading) {
  InstallLogContents log = readInstallLog(
      "AUTOEXEC: \"SET A=\"x\", \"y\", \"SET A=\"z\"\"\r\n"
      "ADDTEXT: \"a\", b\", C:\\F.TXT, \"new\"\r\n"
      "RENAME: C:\\A, B\\X.TXT, C:\\Y.TXT\r\n");
  ASSERT_EQ(log.lines.size(), 3u);
  EXPECT_EQ(log.lines[0].readings,
            (Readings{{"SET A=\"x", "y\", \"SET A=\"z\""}, {"SET A=\"x\", \"y", "SET A=\"z\""}}));
  // The file holds no quote, so "a\", b" cannot end the old text.
  EXPECT_EQ(log.lines[1].readings, (Readings{{"a\", b", "C:\\F.TXT", "new"}}));
  EXPECT_EQ(log.lines[2].readings,
            (Readings{{"C:\\A", "B\\X.TXT, C:\\Y.TXT"}, {"C:\\A, B\\X.TXT", "C:\\Y.TXT"}}));
}

TEST(UninstallLog, OverlappingSeparatorsInAnIniLineCutOnce) {
  // ", ", " holds the separator twice, sharing a quote: every reading is made of the line's own
  // pieces, never of a piece taken twice.
  InstallLogContents log =
      readInstallLog("INIFILE: \"S\", \", \"K\", \"V\", \"A.INI\"\r\n");
  ASSERT_EQ(log.lines.size(), 1u);
  for (const auto& reading : log.lines[0].readings) {
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

}  // namespace
}  // namespace qm
