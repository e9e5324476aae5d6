// AUTOEXEC.BAT and CONFIG.SYS as real machines have them: the installation edits each file as the
// rules say and leaves every other byte, its attributes with it, and the uninstaller gives the
// file its exact old bytes back.
#include <gtest/gtest.h>

#include <functional>

#include "engine/engine_fixture_for_tests.h"
#include "sysconfig/text_edits.h"
#include "ui/scripted_ui_for_tests.h"
#include "uninstall/uninstaller.h"

namespace qm {
namespace {

using testing::EngineFixture;

struct StartupCase {
  const char* name;
  bool autoexec;  // else CONFIG.SYS
  std::string before;
  uint32_t attributes;
  std::string installed;
};

void requestChanges(EngineFixture& f) {
  AutoexecRequest& a = f.state.config.autoexec;
  a.mode = 1;
  a.pathEntries.push_back({true, "C:\\APP"});
  a.addedLines.push_back({true, "SET APP=1"});
  ConfigRequest& c = f.state.config.config;
  c.mode = 1;
  c.filesWanted = 30;
  c.addedLines.push_back({true, "DEVICE=C:\\APP\\APP.SYS"});
}

TEST(StartupFilesRoundTrip, RealWorldFilesComeBackByteForByte) {
  const std::string mouse = "C:\\MOUSE\\MOUSE.COM /Q /S30 /H50";
  const std::string padding(230, 'x');
  const std::string longFiles = "FILES=40 ; " + std::string(300, 'f');
  const std::string longShell = "SHELL=C:\\COMMAND.COM /P /E:" + std::string(280, '9');
  const std::string nul("FILES=20\0 old\r\n", 15);
  const StartupCase cases[] = {
      {"CR alone ends each line; a line past byte 240 stays whole", true,
       "@ECHO OFF\rREM " + padding + "\r" + mouse + "\rPATH C:\\DOS\rWIN\r", 0,
       "@ECHO OFF\rREM " + padding + "\r" + mouse + "\rPATH C:\\APP;C:\\DOS\rSET APP=1\rWIN\r"},
      {"lines longer than 240 characters are never cut", false,
       longShell + "\r\n" + longFiles + "\r\n", 0,
       longShell + "\r\n" + longFiles + "\r\nDEVICE=C:\\APP\\APP.SYS\r\n"},
      {"no final line end: the additions go before the last line", true,
       "@ECHO OFF\r\nPATH C:\\DOS\r\nWIN", 0,
       "@ECHO OFF\r\nPATH C:\\APP;C:\\DOS\r\nSET APP=1\r\nWIN"},
      {"a ^Z ends the text; the additions go before WIN, the rest stays after it", true,
       "@ECHO OFF\r\nWIN\r\n\x1A\x1A junk", 0,
       "@ECHO OFF\r\nPATH=C:\\APP;\r\nSET APP=1\r\nWIN\r\n\x1A\x1A junk"},
      {"CONFIG.SYS additions before the ^Z, where DOS reads them", false,
       "FILES=20\r\nDOS=HIGH\r\n\x1A", 0,
       "FILES=30\r\nDOS=HIGH\r\nDEVICE=C:\\APP\\APP.SYS\r\n\x1A"},
      {"a line holding a NUL is no FILES line and stays as it is", false, nul, 0,
       nul + "FILES = 30\r\nDEVICE=C:\\APP\\APP.SYS\r\n"},
      {"read-only, hidden and system attributes stay", true, "PATH C:\\DOS\r\nWIN\r\n",
       kAttrReadOnly | kAttrHidden | kAttrSystem, "PATH C:\\APP;C:\\DOS\r\nSET APP=1\r\nWIN\r\n"},
      {"read-only CONFIG.SYS", false, "FILES=20\r\n", kAttrReadOnly | kAttrArchive,
       "FILES=30\r\nDEVICE=C:\\APP\\APP.SYS\r\n"},
      {"a byte-order mark is not part of the first line", true,
       "\xEF\xBB\xBFPATH C:\\DOS\r\nWIN\r\n", 0,
       "\xEF\xBB\xBFPATH C:\\APP;C:\\DOS\r\nSET APP=1\r\nWIN\r\n"},
      {"lone LF line ends stay lone, new lines take them too", true,
       "@ECHO OFF\nPATH C:\\DOS\nWIN\n", 0, "@ECHO OFF\nPATH C:\\APP;C:\\DOS\nSET APP=1\nWIN\n"},
      {"UTF-16 text is left alone", false,
       std::string("\xFF\xFE"
                   "F\0I\0\r\0\n\0",
                   10),
       0,
       std::string("\xFF\xFE"
                   "F\0I\0\r\0\n\0",
                   10)},
  };
  for (const StartupCase& c : cases) {
    const std::string path = c.autoexec ? "C:\\AUTOEXEC.BAT" : "C:\\CONFIG.SYS";
    EngineFixture f;
    f.settleDestination();
    f.engine.log.record("DEFAULTDIR: \"C:\\APP\"");
    f.sim.writeFile(path, c.before);
    if (c.attributes) f.sim.sys().setAttributes(path, c.attributes);
    requestChanges(f);
    (c.autoexec ? editAutoexecFile : editConfigFile)(f.engine);
    EXPECT_EQ(f.sim.readFile(path), c.installed) << c.name;
    EXPECT_EQ(f.sim.sys().attributes(path).value_or(0) & ~kAttrArchive,
              c.attributes & ~kAttrArchive)
        << c.name;

    ScriptedUi ui;
    Uninstaller uninstaller(f.sim.sys(), ui);
    EXPECT_EQ(uninstaller.run("C:\\APP\\install.log"), kUninstallDone) << c.name;
    EXPECT_EQ(f.sim.readFile(path), c.before) << c.name;
    EXPECT_EQ(f.sim.sys().attributes(path).value_or(0) & ~kAttrArchive,
              c.attributes & ~kAttrArchive)
        << c.name;
  }
}

}  // namespace
}  // namespace qm
