// The machine file that describes a simulated Windows machine: versions, memory, display, drives
// with their media folders, labels, free space, environment and injected faults.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/system.h"

namespace qm {

struct SimDrive {
  char letter = 'C';
  DriveType type = DriveType::Fixed;
  // Host folder names, relative to the machine file's folder; removable drives may hold several
  // media (the first is inserted at start) or none (an empty drive).
  std::vector<std::string> media;
};

// How the high half of the version word is filled, as a 32-bit program finds it on each kind of
// Windows: Dos keeps the DOS version there (the machine file's DOS= key); Win32s sets the top bit,
// Windows 9x the top two bits, and NT puts its build number there.
enum class VersionLayout { Dos, Win32s, Windows9x, Nt };

struct MachineConfig {
  std::string machineFile;       // as given to the reader
  std::string machineDirectory;  // host folder of the machine file, the base of every media folder
  int windowsMajor = 3;
  int windowsMinor = 95;
  int dosMajor = 7;
  int dosMinor = 10;
  VersionLayout layout = VersionLayout::Dos;  // Platform=
  uint16_t build = 0;                         // Build=: NT's build number
  uint64_t memory = 16777216;
  int screenWidth = 640;
  int screenHeight = 480;
  int bitsPerPixel = 8;
  int processor = 486;
  std::string windowsDir = "C:\\WINDOWS";
  std::string systemDir = "C:\\WINDOWS\\SYSTEM";
  std::string tempDir = "C:\\TEMP";
  // A Program Manager serves the shell's DDE conversation; Shell=none: no shell runs.
  bool shellRunning = true;
  std::vector<SimDrive> drives;  // in letter order
  // Keyed by medium folder name, upper-cased.
  std::map<std::string, std::string> labels;
  std::map<char, uint64_t> freeSpace;
  std::vector<std::pair<std::string, std::string>> environment;  // in file order
  // Faults written into the machine file, for dry runs that must see a failure.
  std::optional<uint64_t> writeFailsAfter;
  std::vector<char> fullDisks;
  std::vector<std::string> failingDirectories;
  // Another installation holds the installation lock for the whole run.
  bool otherInstallation = false;
};

// Free space reported for a drive that [FreeSpace] does not mention: above 4 GiB on purpose, so
// that any 32-bit truncation of a size shows up in tests.
constexpr uint64_t kDefaultFreeSpace = 8589934592ull;

// Reads a machine description; on failure returns nullopt with "FILE:LINE: message" in error.
// Media folders must exist beside the machine file.
std::optional<MachineConfig> parseMachineText(const std::string& text, const std::string& fileName,
                                              const std::string& machineDirectory,
                                              std::string& error);
std::optional<MachineConfig> readMachineFile(const std::string& path, std::string& error);

// The version word the machine reports: low byte Windows major, next byte minor, the high half
// as its layout says.
uint32_t versionWordOf(const MachineConfig& config);

}  // namespace qm
