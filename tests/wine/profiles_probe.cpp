// Runs the profile cases of tests/data/profiles/cases.txt through the real Win32 seam, so the
// bytes the simulated machine writes are checked against the system's own profile functions.
// Prints "PASS name" or "FAIL name: detail" per case and "DONE passed=N failed=M" at the end.
//
//   profiles_probe.exe CASES_FILE WORK_FOLDER
#include <cstdio>
#include <string>

#include "platform/sim/profile_cases_for_tests.h"
#include "platform/win32/win32_system.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: profiles_probe CASES_FILE WORK_FOLDER\n");
    return 2;
  }
  qm::Win32System sys;
  const std::optional<std::string> text = qm::readAll(sys, argv[1]);
  if (!text) {
    std::printf("FAIL cannot read %s\nDONE passed=0 failed=1\n", argv[1]);
    return 1;
  }
  std::string error;
  const auto cases = qm::testing::parseProfileCases(*text, error);
  if (!error.empty()) {
    std::printf("FAIL %s: %s\nDONE passed=0 failed=1\n", argv[1], error.c_str());
    return 1;
  }
  sys.createDirectory(argv[2]);
  int passed = 0, failed = 0;
  for (const auto& c : cases) {
    const std::string problem = qm::testing::runProfileCase(sys, c, argv[2]);
    if (problem.empty()) {
      std::printf("PASS %s\n", c.name.c_str());
      ++passed;
    } else {
      std::printf("FAIL %s: %s\n", c.name.c_str(), problem.c_str());
      ++failed;
    }
  }
  std::printf("DONE passed=%d failed=%d\n", passed, failed);
  return failed == 0 ? 0 : 1;
}
