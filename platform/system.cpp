#include "platform/system.h"

#include <cstdio>
#include <cstdlib>

namespace qm {

namespace {

double versionNumber(unsigned major, unsigned minor) {
  char text[32];
  std::snprintf(text, sizeof text, "%d.%d", int(major), int(minor));
  return std::strtod(text, nullptr);
}

}  // namespace

double windowsVersionOf(uint32_t word) { return versionNumber(word & 0xFF, (word >> 8) & 0xFF); }

double dosVersionOf(uint32_t word) { return versionNumber(word >> 24, (word >> 16) & 0xFF); }

char bootDriveLetter(FileSystem& fs) {
  return fs.driveType("A:\\") == DriveType::Fixed ? 'A' : 'C';
}

void runAndWait(Machine& machine, const std::string& commandLine, int showState) {
  machine.startProcess(commandLine, showState, true);
}

}  // namespace qm
