#include "tools/progress.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace qm::pack {
namespace {

TEST(Progress, LineShowsWhatIsCountedAndTheTimeLeft) {
  struct Row {
    ProgressState state;
    double elapsed;
    const char* expected;
  };
  const Row rows[] = {
      {{12000000, 100000000, 3, 81, "APP.PA1"},
       6,
       "packing: 3/81 files, 12.0/100.0 MB (12%), "
       "APP.PA1, 0:44 left"},
      // Too early to judge the rate, and nothing done yet: no time left.
      {{0, 100000000, 0, 81, ""}, 30, "packing: 0/81 files, 0.0/100.0 MB (0%)"},
      {{50, 100, 0, 0, ""}, 0.5, "packing: 0.0/0.0 MB (50%)"},
      // Files only: the share follows them; hours once the wait is that long.
      {{0, 0, 1, 40, "p2"}, 100, "packing: 1/40 files (2%), p2, 1:05:00 left"},
      // Done, or a total that was underestimated: never past 100%, no time left.
      {{150, 100, 2, 2, ""}, 9, "packing: 2/2 files, 0.0/0.0 MB (100%)"},
      {{0, 0, 0, 0, "SETUP.EXE"}, 3, "packing: SETUP.EXE"},
  };
  for (const Row& r : rows)
    EXPECT_EQ(progressLine("packing", r.state, r.elapsed), r.expected) << r.expected;
}

std::string written(std::FILE* f) {
  std::rewind(f);
  std::string text;
  for (int c; (c = std::fgetc(f)) != EOF;) text += char(c);
  return text;
}

TEST(Progress, DrawsOnlyWhenEnabledAndClearsItsLine) {
  for (bool enabled : {false, true}) {
    std::FILE* f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    {
      Progress p("exploding", 1000, 0, enabled, f);
      p.setItem("A.IMP");
      p.advance(400);
      p.setItem("B.IMP");  // a new item is shown at once, however soon
      p.finish();
      p.advance(600);  // after finish nothing more is drawn
      EXPECT_EQ(p.state().bytesDone, 1000u);
    }
    const std::string text = written(f);
    std::fclose(f);
    if (!enabled) {
      EXPECT_EQ(text, "");
      continue;
    }
    EXPECT_EQ(text.rfind("\r\x1b[K"), text.size() - 4) << "the line is cleared at the end";
    EXPECT_NE(text.find("\rexploding: 0.0/0.0 MB (0%), A.IMP\x1b[K"), std::string::npos) << text;
    EXPECT_NE(text.find("B.IMP"), std::string::npos) << text;
    EXPECT_EQ(text.find("100%"), std::string::npos) << text;
  }
}

}  // namespace
}  // namespace qm::pack
