// registry.reg and groups.ini are often written by hand: the simulated machine keeps their
// comment lines when a change writes them back.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "platform/sim/sim_fixture_for_tests.h"

namespace qm {
namespace {

std::string hostText(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(HandWrittenFiles, CommentsSurviveEveryChange) {
  SimFixture f;
  ASSERT_TRUE(f.ok()) << f.error();
  const auto registry = f.root() / "registry.reg";
  std::ofstream(registry, std::ios::binary)
      << "REGEDIT4\r\n; the test machine's registry\r\n\r\n"
         "; settings of the old tool\r\n[HKEY_CURRENT_USER\\Software\\Old]\r\n"
         "; its colour\r\n\"Colour\"=\"red\"\r\n; the end\r\n";
  ASSERT_TRUE(f.sys().setRegistryValue(RegistryRoot::CurrentUser, "Software\\Old", "Size",
                                       RegistryValue{kRegDword, {1, 0, 0, 0}}));
  const std::string reg = hostText(registry);
  for (const char* comment : {"; the test machine's registry\r\n",
                              "; settings of the old tool\r\n[HKEY_CURRENT_USER\\Software\\Old]\r\n"
                              "; its colour\r\n\"Colour\"=\"red\"\r\n\"Size\"=dword:00000001\r\n",
                              "; the end\r\n"})
    EXPECT_NE(reg.find(comment), std::string::npos) << comment << "\n" << reg;

  const auto groups = f.root() / "groups.ini";
  std::ofstream(groups, std::ios::binary)
      << "; made by hand\r\n[Main]\r\n; the editor\r\nItem=Edit|EDIT.EXE|||\r\n; last\r\n";
  ASSERT_TRUE(f.sys().startShellClient() && f.sys().connectShell());
  ASSERT_TRUE(f.sys().executeShellCommand("[ShowGroup(Main,1)][AddItem(C:\\T.EXE,Tool)]"));
  f.sys().disconnectShell();
  EXPECT_EQ(hostText(groups),
            "; made by hand\r\n[Main]\r\n; the editor\r\nItem=Edit|EDIT.EXE|||\r\n"
            "Item=Tool|C:\\T.EXE|||\r\n; last\r\n");
}

}  // namespace
}  // namespace qm
