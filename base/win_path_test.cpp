#include "base/win_path.h"

#include <gtest/gtest.h>

#include "base/text.h"

namespace qm {
namespace {

TEST(WinPath, ResolvedAsWindowsReadsThem) {
  const WinPath current{'D', {"WORK", "SUB"}};
  struct Case {
    const char* path;
    const char* resolved;  // nullptr: unusable
  };
  const Case cases[] = {
      {"C:\\QNOTES\\..\\..\\..\\USER", "C:\\USER"},
      {"C:\\APP\\.\\BIN\\", "C:\\APP\\BIN"},
      {"C:\\APP.\\DATA  ", "C:\\APP\\DATA"},
      {"c:/app//bin", "C:\\APP\\BIN"},
      {"C:\\", "C:\\"},
      {"C:", "C:\\"},
      {"D:", "D:\\WORK\\SUB"},
      {"D:X", "D:\\WORK\\SUB\\X"},
      {"NAME", "D:\\WORK\\SUB\\NAME"},
      {"..\\UP", "D:\\WORK\\UP"},
      {"\\ROOTED", "D:\\ROOTED"},
      {"C:\\DATA\\*.", "C:\\DATA\\*."},  // a pattern keeps its dot
      {"\\\\SERVER\\SHARE", nullptr},
      {"1:\\APP", nullptr},
      {"C:\\A<B", nullptr},
      {"C:\\A\tB", nullptr},
      {"", nullptr},
  };
  for (const Case& c : cases) {
    const std::optional<WinPath> p = resolveWinPath(c.path, current);
    if (!c.resolved) {
      EXPECT_FALSE(p.has_value()) << c.path;
      continue;
    }
    ASSERT_TRUE(p.has_value()) << c.path;
    EXPECT_EQ(upperAscii(p->text()), c.resolved) << c.path;
  }
}

TEST(WinPath, DirectoriesForMakingCurrentAndForJoining) {
  struct Case {
    const char* dir;
    const char* current;
    const char* joinable;
  };
  const Case cases[] = {
      {"C:\\WINDOWS\\", "C:\\WINDOWS", "C:\\WINDOWS"},
      {"C:\\WINDOWS\\\\", "C:\\WINDOWS", "C:\\WINDOWS"},
      {"C:\\WINDOWS", "C:\\WINDOWS", "C:\\WINDOWS"},
      {"C:\\", "C:\\", "C:"},
      {"C:\\\\", "C:\\", "C:"},
      {"C:", "C:", "C:"},
      {"\\", "\\", ""},
      {"SUB\\", "SUB", "SUB"},
      {"", "", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(withoutTrailingBackslash(c.dir), c.current) << c.dir;
    EXPECT_EQ(joinableDirectory(c.dir), c.joinable) << c.dir;
  }
}

TEST(WinPath, DeviceNames) {
  for (const char* name : {"CON", "nul", "NUL.TXT", "com1", "LPT9.LOG", "AUX ", "CLOCK$"})
    EXPECT_TRUE(isDeviceName(name)) << name;
  for (const char* name : {"CONFIG", "COM", "COM0", "LPT10", "NULL", "APP", ""})
    EXPECT_FALSE(isDeviceName(name)) << name;
}

}  // namespace
}  // namespace qm
