// A simulated machine in a fresh temporary host folder, removed again at the end: the machine
// `quillpack check` reads a script against when no machine file is given, and the base of the
// tests' SimFixture.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "platform/sim/sim_system.h"

namespace qm {

// A new empty folder in the host's temporary folder, named prefix and 16 random hex digits.
std::filesystem::path makeScratchFolder(const std::string& prefix);

class ScratchMachine {
 public:
  // Windows 3.95 on DOS 7.10, 16 MiB, 640x480x8, a 486; A: removable with media disk1, disk2 and
  // disk3 (labels DISK1 .. DISK3, disk1 inserted), C: fixed; C:\WINDOWS, C:\WINDOWS\SYSTEM and
  // C:\TEMP exist.
  static const char* const kDefaultMachine;

  // Writes machineText as machine.ini in a new temporary folder, creates the media folders its
  // [Drives] section names and the Windows, system and temp directories, and loads it.
  explicit ScratchMachine(const std::string& machineText = kDefaultMachine);
  // Removes the folder unless QM_KEEP_SIM is set.
  ~ScratchMachine();
  ScratchMachine(const ScratchMachine&) = delete;
  ScratchMachine& operator=(const ScratchMachine&) = delete;

  bool ok() const { return sys_ != nullptr; }
  const std::string& error() const { return error_; }
  // The machine; aborts the program when the machine file did not load (check ok() first).
  SimSystem& sys();
  const std::filesystem::path& root() const { return root_; }
  std::filesystem::path machineFile() const { return root_ / "machine.ini"; }

  // Creates every missing folder of a Windows path.
  void makeDirectory(const std::string& winPath);
  // Replaces the machine file and loads it again (a fresh SimSystem: handles and faults go).
  bool reload(const std::string& machineText);
  // Loads the machine file as it is on disk again.
  bool reload();

 private:
  std::filesystem::path root_;
  std::unique_ptr<SimSystem> sys_;
  std::string error_;
};

}  // namespace qm
