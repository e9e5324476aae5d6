#include "engine/shared_files.h"

#include <gtest/gtest.h>

#include "engine/engine_fixture_for_tests.h"
#include "engine/replaced_files.h"
#include "uninstall/uninstaller.h"

namespace qm {
namespace {

using testing::EngineFixture;

constexpr const char* kTarget = "C:\\WINDOWS\\SYSTEM\\SHARED.DLL";

// The value as "TYPE:BYTES", or "none".
std::string shown(const std::optional<RegistryValue>& v) {
  if (!v) return "none";
  std::string out = std::to_string(v->type) + ":";
  for (uint8_t b : v->data) out += std::to_string(b) + " ";
  return out;
}

std::string countValue(System& sys) {
  return shown(sys.readRegistryValue(RegistryRoot::LocalMachine, kSharedFilesKey, kTarget));
}

void setCount(System& sys, const RegistryValue& value) {
  const std::string key = kSharedFilesKey;
  for (size_t end = key.find('\\');; end = key.find('\\', end + 1)) {
    sys.createRegistryKey(RegistryRoot::LocalMachine, key.substr(0, end));
    if (end == std::string::npos) break;
  }
  sys.setRegistryValue(RegistryRoot::LocalMachine, kSharedFilesKey, kTarget, value);
}

// A file written into the system folder, counted on install and lowered again by the
// uninstaller; someone may change the count in between.
TEST(SharedFiles, CountsAreRaisedOnInstallAndLoweredByTheUninstaller) {
  const RegistryValue text{kRegSz, {'x', 0}};
  struct Case {
    const char* name;
    const char* windows;
    bool logging;
    bool existed;
    std::optional<RegistryValue> before;     // the value before the installation
    std::optional<RegistryValue> installed;  // after it
    std::optional<RegistryValue> meanwhile;  // set between install and uninstall
    std::optional<RegistryValue> after;      // after the uninstall
    bool fileStays;
  } cases[] = {
      {"a new file", "4.0", true, false, {}, sharedCountValue(1), {}, {}, false},
      {"the user's file without a count starts at one",
       "4.0",
       true,
       true,
       {},
       sharedCountValue(2),
       {},
       {},
       true},
      {"a count already there",
       "4.0",
       true,
       true,
       sharedCountValue(3),
       sharedCountValue(4),
       {},
       sharedCountValue(3),
       true},
      {"Windows 3.x writes nothing", "3.95", true, true, {}, {}, {}, {}, true},
      {"without logging nothing is counted", "4.0", false, false, {}, {}, {}, {}, true},
      {"a text is no count", "4.0", true, true, text, text, {}, text, true},
      {"a count at its highest stays",
       "4.0",
       true,
       true,
       sharedCountValue(UINT32_MAX),
       sharedCountValue(UINT32_MAX),
       {},
       sharedCountValue(UINT32_MAX),
       true},
      {"another program counted it meanwhile: the file stays",
       "4.0",
       true,
       false,
       {},
       sharedCountValue(1),
       sharedCountValue(2),
       sharedCountValue(1),
       true},
      {"a count someone set to 0 never wraps",
       "4.0",
       true,
       false,
       {},
       sharedCountValue(1),
       sharedCountValue(0),
       sharedCountValue(0),
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string machine = SimFixture::kDefaultMachine;
    machine.replace(machine.find("3.95"), 4, c.windows);
    EngineFixture f(machine);
    f.state.engine.logging = c.logging;
    f.settleDestination();
    System& sys = f.sim.sys();
    if (c.before) setCount(sys, *c.before);
    if (c.existed) {
      f.sim.writeFile(kTarget, "v1");
      keepReplacedFile(f.engine, kTarget);
    }
    f.sim.writeFile(kTarget, "v2");
    logWrittenFile(f.engine, kTarget, c.existed);
    logWrittenFile(f.engine, kTarget, c.existed);  // counted once per run
    EXPECT_EQ(countValue(sys), shown(c.installed));
    if (!c.logging) continue;
    if (c.meanwhile) setCount(sys, *c.meanwhile);

    Uninstaller core(sys, f.ui);
    core.askAndTell = false;
    core.run("C:\\APP\\install.log");
    EXPECT_EQ(countValue(sys), shown(c.after));
    EXPECT_EQ(f.sim.exists(kTarget), c.fileStays);
    if (c.existed && !c.before && !c.meanwhile) {
      EXPECT_EQ(f.sim.readFile(kTarget), "v1");
      EXPECT_FALSE(sys.openRegistryKey(RegistryRoot::LocalMachine, kSharedFilesKey));
    }
  }
}

}  // namespace
}  // namespace qm
