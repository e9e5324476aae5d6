#include "engine/install_log.h"

#include <gtest/gtest.h>

#include "engine/engine_fixture_for_tests.h"

namespace qm {
namespace {

using testing::EngineFixture;

TEST(InstallLog, NothingIsWrittenOrKeptWhileLoggingIsOff) {
  EngineFixture f;
  f.state.engine.logging = false;
  f.settleDestination();
  EXPECT_EQ(f.engine.log.record("FILE: \"C:\\APP\\A\""), 0);
  EngineFixture g;
  g.state.engine.logging = false;
  EXPECT_EQ(g.engine.log.record("DIRECTORY: \"C:\\APP\"\n"), 0);
  EXPECT_FALSE(f.sim.exists("C:\\APP\\install.log"));
  EXPECT_TRUE(g.engine.log.pending().empty());
}

TEST(InstallLog, WaitingLinesComeFirstAndEveryLineEndsInCrLf) {
  EngineFixture f;
  // Before the destination is known the log cannot be opened.
  EXPECT_EQ(f.engine.log.record("DIRECTORY: \"C:\\APP\"\n"), 0);
  EXPECT_EQ(f.engine.log.record("FILE: \"C:\\X\""), 0);
  f.settleDestination();
  EXPECT_EQ(f.engine.log.record("DEFAULTDIR: \"C:\\APP\""), 1);
  EXPECT_EQ(f.engine.log.record("DEFAULTDIR: \"C:\\APP\"\n"), 1);
  EXPECT_EQ(f.log(),
            "DIRECTORY: \"C:\\APP\"\r\n"
            "FILE: \"C:\\X\"\r\n"  // a waiting line never runs into the next one
            "DEFAULTDIR: \"C:\\APP\"\r\n"
            "DEFAULTDIR: \"C:\\APP\"\r\n\r\n");
  EXPECT_TRUE(f.engine.log.pending().empty());
}

TEST(InstallLog, ASecondInstallationContinuesTheLog) {
  EngineFixture f;
  f.settleDestination();
  f.engine.log.record("FILE: \"C:\\APP\\ONE\"");
  InstallLog second(f.sim.sys(), f.state.engine);
  second.setDirectory("C:\\APP");
  second.record("FILE: \"C:\\APP\\TWO\"");
  EXPECT_EQ(f.log(), "FILE: \"C:\\APP\\ONE\"\r\nFILE: \"C:\\APP\\TWO\"\r\n");
}

TEST(InstallLog, WaitingTextIsBoundedAndDropsWholeRecords) {
  EngineFixture f;
  std::string line = "DIRECTORY: \"C:\\" + std::string(80, 'D') + "\"\n";
  for (int i = 0; i < 30; ++i) f.engine.log.record(line);
  EXPECT_LE(f.engine.log.pending().size(), kPendingLogChars);
  EXPECT_EQ(f.engine.log.pending().size() % line.size(), 0u);
  EXPECT_EQ(f.engine.log.dropped(), 30 - int(kPendingLogChars / line.size()));
  f.settleDestination();
  f.engine.log.record("X: \"\"");
  std::string log = f.log();
  EXPECT_EQ(log.size(), (kPendingLogChars / line.size()) * (line.size() + 1) + 7);
}

TEST(InstallLog, LogPathIsTheDestinationsInstallLog) {
  EngineFixture f;
  f.engine.log.setDirectory("D:\\APPS\\TOOL");
  EXPECT_EQ(f.engine.log.path(), "D:\\APPS\\TOOL\\install.log");
  f.engine.log.setDirectory(std::string(1200, 'x'));
  EXPECT_EQ(f.engine.log.path().size(), kMaxLogPathChars);
}

}  // namespace
}  // namespace qm
