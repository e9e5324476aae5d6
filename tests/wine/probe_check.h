// The lines a Wine probe prints for its shell test to read: "PASS name", "FAIL name: detail"
// and, last, "DONE passed=N failed=M". Every probe is a program of its own, so each gets its own
// tally from this header.
#pragma once

#include <cstdio>
#include <string>

namespace qm {
namespace {

int passed = 0;
int failed = 0;

void check(bool ok, const std::string& name, const std::string& detail = "") {
  if (ok) {
    ++passed;
    std::printf("PASS %s\n", name.c_str());
  } else {
    ++failed;
    std::printf("FAIL %s: %s\n", name.c_str(), detail.c_str());
  }
  // The shell test still sees every line printed before a crash.
  std::fflush(stdout);
}

// Prints the DONE line; the probe's exit code.
int finishProbe() {
  std::printf("DONE passed=%d failed=%d\n", passed, failed);
  return failed == 0 ? 0 : 1;
}

}  // namespace
}  // namespace qm
