#include "engine/shared_files.h"

#include <gtest/gtest.h>

#include "engine/engine_fixture_for_tests.h"
#include "engine/replaced_files.h"
#include "finish/rollback.h"
#include "uninstall/uninstaller.h"

namespace qm {
namespace {

using testing::EngineFixture;

constexpr const char* kTarget = "C:\\WINDOWS\\SYSTEM\\SHARED.DLL";

constexpr int64_t kNone = -1, kText = -2, kHighest = UINT32_MAX;

// A value as the table gives it: no value, a text, or a count.
std::optional<RegistryValue> valueOf(int64_t v) {
  if (v == kNone) return std::nullopt;
  return v == kText ? RegistryValue{kRegSz, {'x', 0}} : sharedCountValue(uint32_t(v));
}

int64_t countValue(System& sys) {
  auto v = sys.registry().readRegistryValue(RegistryRoot::LocalMachine, kSharedFilesKey, kTarget);
  return !v ? kNone : sharedCountOf(*v) ? int64_t(*sharedCountOf(*v)) : kText;
}

void setCount(System& sys, int64_t value) {
  const std::string key = kSharedFilesKey;
  for (size_t end = key.find('\\');; end = key.find('\\', end + 1)) {
    sys.registry().createRegistryKey(RegistryRoot::LocalMachine, key.substr(0, end));
    if (end == std::string::npos) break;
  }
  sys.registry().setRegistryValue(RegistryRoot::LocalMachine, kSharedFilesKey, kTarget,
                                  *valueOf(value));
}

// A file written into the system folder, counted on install and lowered again by the
// uninstaller (or the rollback of a failed run); someone may change the count in between.
TEST(SharedFiles, CountsAreRaisedOnInstallAndLoweredByTheUninstaller) {
  struct Case {
    const char* name;
    const char* windows;
    bool logging, existed;
    int64_t before, installed, meanwhile, after;  // the value at each step
    bool fileStays;
    bool failed = false;  // the run fails and is rolled back
  } cases[] = {
      {"a new file", "4.0", true, false, kNone, 1, kNone, kNone, false},
      {"a failed run's rollback", "4.0", true, true, kNone, 2, kNone, kNone, true, true},
      {"the user's file without a count", "4.0", true, true, kNone, 2, kNone, kNone, true},
      {"a count already there", "4.0", true, true, 3, 4, kNone, 3, true},
      {"Windows 3.x writes nothing", "3.95", true, true, kNone, kNone, kNone, kNone, true},
      {"nothing without logging", "4.0", false, false, kNone, kNone, kNone, kNone, true},
      {"a text is no count", "4.0", true, true, kText, kText, kNone, kText, true},
      {"a count at its highest", "4.0", true, true, kHighest, kHighest, kNone, kHighest, true},
      {"another program counted it meanwhile", "4.0", true, false, kNone, 1, 2, 1, true},
      {"a count someone set to 0 never wraps", "4.0", true, false, kNone, 1, 0, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string machine = SimFixture::kDefaultMachine;
    machine.replace(machine.find("3.95"), 4, c.windows);
    EngineFixture f(machine);
    f.state.engine.logging = c.logging;
    f.engine.log.keepForRollback();
    f.settleDestination();
    System& sys = f.sim.sys();
    if (c.before != kNone) setCount(sys, c.before);
    if (c.existed) {
      f.sim.writeFile(kTarget, "v1");
      keepReplacedFile(f.engine, kTarget);
    }
    f.sim.writeFile(kTarget, "v2");
    logWrittenFile(f.engine, kTarget, c.existed);
    logWrittenFile(f.engine, kTarget, c.existed);  // counted once per run
    EXPECT_EQ(countValue(sys), c.installed);
    if (!c.logging) continue;
    if (c.meanwhile != kNone) setCount(sys, c.meanwhile);

    if (c.failed) {
      f.ui.answers.push_back(MsgResult::Yes);
      settleRollback(f.engine, 3);
    } else {
      Uninstaller core(sys, f.ui);
      core.askAndTell = false;
      core.run("C:\\APP\\install.log");
    }
    EXPECT_EQ(countValue(sys), c.after);
    EXPECT_EQ(f.sim.exists(kTarget), c.fileStays);
    if (c.existed && c.before == kNone && c.meanwhile == kNone) {
      EXPECT_EQ(f.sim.readFile(kTarget), "v1");
      EXPECT_FALSE(sys.registry().openRegistryKey(RegistryRoot::LocalMachine, kSharedFilesKey));
    }
  }
}

// A rollback that cannot undo everything keeps the log for the uninstaller; the count it lowered
// already must not be lowered again by that uninstaller.
TEST(SharedFiles, APartialRollbackLowersACountOnce) {
  std::string machine = SimFixture::kDefaultMachine;
  machine.replace(machine.find("3.95"), 4, "4.0");
  EngineFixture f(machine);
  f.engine.log.keepForRollback();
  f.settleDestination();
  System& sys = f.sim.sys();
  setCount(sys, 3);
  f.sim.writeFile(kTarget, "v1");
  keepReplacedFile(f.engine, kTarget);
  f.sim.writeFile(kTarget, "v2");
  logWrittenFile(f.engine, kTarget, true);
  // A logged file that became a folder cannot be undone.
  f.engine.log.record(FileRecord{"C:\\APP\\NEW.TXT"});
  sys.files().createDirectory("C:\\APP\\NEW.TXT");
  f.ui.answers.push_back(MsgResult::Yes);
  settleRollback(f.engine, 3);
  EXPECT_EQ(countValue(sys), 3);
  Uninstaller core(sys, f.ui);
  core.askAndTell = false;
  core.run("C:\\APP\\install.log");
  EXPECT_EQ(countValue(sys), 3);
  EXPECT_EQ(f.sim.readFile(kTarget), "v1");
}

}  // namespace
}  // namespace qm
