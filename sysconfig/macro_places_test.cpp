// Which expansions reach the texts of the system configuration, from the script line to what is
// written. Each probe gives a different result under each expansion and each moment:
//   "$RIGHT$-$DIR2$-$LEFT$": the stored-text expansion only turns $DIR2$; $LEFT$/$RIGHT$ are
//   turned only where they are meant to be, with the values of the moment they are turned;
//   "$SYSTEM$-$SYSTEM$": the first is turned while the script is read, the second when applied.
// The macros hold one set of values while the script is read and another when it is applied, as
// after a later search condition or a changed directory.
#include <gtest/gtest.h>

#include <algorithm>

#include "engine/engine_fixture_for_tests.h"
#include "script/parser.h"
#include "sysconfig/text_edits.h"

namespace qm {
namespace {

using testing::EngineFixture;

constexpr const char* kMixed = "$RIGHT$-$DIR2$-$LEFT$";
constexpr const char* kTwice = "$SYSTEM$-$SYSTEM$";

std::string replaced(std::string text, const std::string& with) {
  for (size_t at = text.find("{}"); at != std::string::npos; at = text.find("{}", at + with.size()))
    text.replace(at, 2, with);
  return text;
}

std::vector<std::string> logLines(const std::string& log) {
  std::vector<std::string> out;
  for (size_t start = 0; start < log.size();) {
    size_t end = log.find("\r\n", start);
    if (end == std::string::npos) end = log.size();
    out.push_back(log.substr(start, end - start));
    start = end + 2;
  }
  return out;
}

TEST(MacroPlaces, SystemConfigurationTextsWhenApplied) {
  struct Probe {
    const char* text;
    const char* stored;            // read, then every stored-text macro turned when applied
    const char* leftRightAtApply;  // the same, then $LEFT$/$RIGHT$ when applied
    const char* leftRightAtRead;   // $LEFT$/$RIGHT$ while read, the rest when applied
  };
  const Probe probes[] = {
      {kMixed, "$RIGHT$-D2A-$LEFT$", "RA-D2A-LA", "RP-D2A-LP"},
      {kTwice, "SYSP-SYSA", "SYSP-SYSA", "SYSP-SYSA"},
  };
  enum Expect { Stored, LeftRightAtApply, LeftRightAtRead };
  struct Place {
    const char* name;
    const char* statement;  // {} stands for the probe
    Expect expect;
    const char* logLine;  // {} stands for the expected text
  };
  const Place places[] = {
      {"INI value", "INIFILE \"S\" \"K\" \"{}\" T.INI", LeftRightAtApply,
       "INIFILE: \"S\", \"K\", \"{}\", \"T.INI\""},
      {"INI section", "INIFILE \"{}\" \"K\" \"V\" T.INI", Stored,
       "INIFILE: \"{}\", \"K\", \"V\", \"T.INI\""},
      {"INI key", "INIFILE \"S\" \"{}\" \"V\" T.INI", Stored,
       "INIFILE: \"S\", \"{}\", \"V\", \"T.INI\""},
      {"INI quoted file", "INIFILE \"S\" \"K\" \"V\" \"{}.INI\"", Stored,
       "INIFILE: \"S\", \"K\", \"V\", \"{}.INI\""},
      {"INI bare file", "INIFILE \"S\" \"K\" \"V\" {}.INI", Stored,
       "INIFILE: \"S\", \"K\", \"V\", \"{}.INI\""},
      {"ADDTEXT text", "ADDTEXT \"{}\" T.TXT", LeftRightAtRead, "ADDTEXT: \"\", T.TXT, \"{}\""},
      {"ADDTEXT quoted file", "ADDTEXT \"x\" \"{}.TXT\"", Stored, "ADDTEXT: \"\", {}.TXT, \"x\""},
      {"ADDTEXT bare file", "ADDTEXT \"x\" {}.TXT", Stored, "ADDTEXT: \"\", {}.TXT, \"x\""},
      // The position finds the line it is expanded to, and the replace logs that line.
      {"ADDTEXT position", "ADDTEXT \"x\" L.TXT \"{}\" REPLACE", Stored,
       "ADDTEXT: \"{}\", L.TXT, \"x\""},
      {"AUTOEXEC line", "AUTOEXEC ADD=\"{}\"", Stored, "AUTOEXEC: \"\", \"{}\""},
      {"AUTOEXEC path", "AUTOEXEC ADDPATH=\"{}\"", Stored, "AUTOEXEC: \"\", \"PATH={};\""},
      {"CONFIG line", "CONFIG ADD=\"{}\"", Stored, "CONFIG: \"\", \"{}\""},
  };
  for (const Place& place : places) {
    for (const Probe& probe : probes) {
      const std::string expanded = place.expect == Stored             ? probe.stored
                                   : place.expect == LeftRightAtApply ? probe.leftRightAtApply
                                                                      : probe.leftRightAtRead;
      const std::string what = std::string(place.name) + " with " + probe.text;
      EngineFixture f;
      f.settleDestination();
      f.sim.writeFile("C:\\AUTOEXEC.BAT", "@ECHO OFF\r\nWIN\r\n");
      f.sim.writeFile("C:\\CONFIG.SYS", "FILES=30\r\n");
      // Every line a position could be expanded to, so that a wrong expansion finds another.
      f.sim.writeFile("C:\\APP\\L.TXT", std::string("first\r\n") + probe.text + "\r\n" +
                                            probe.stored + "\r\n" + probe.leftRightAtApply +
                                            "\r\n" + probe.leftRightAtRead + "\r\nlast\r\n");
      f.macros.system = "SYSP";
      f.macros.dir2 = "D2P";
      f.macros.right = "RP";
      f.macros.left = "LP";
      ASSERT_EQ(parseScriptText(replaced(place.statement, probe.text) + "\n", f.sim.sys(), f.ui,
                                f.macros, f.startup, f.state),
                0)
          << what;
      f.macros.system = "SYSA";
      f.macros.dir2 = "D2A";
      f.macros.right = "RA";
      f.macros.left = "LA";
      editAutoexecFile(f.engine);
      editConfigFile(f.engine);
      applyIniEntries(f.engine);
      applyTextAdditions(f.engine);
      const std::vector<std::string> lines = logLines(f.log());
      const std::string wanted = replaced(place.logLine, expanded);
      EXPECT_TRUE(std::find(lines.begin(), lines.end(), wanted) != lines.end())
          << what << ": wanted " << wanted << "\n"
          << f.log();
    }
  }
}

}  // namespace
}  // namespace qm
