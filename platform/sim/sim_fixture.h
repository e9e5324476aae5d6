// Test helper: a simulated machine in a fresh temporary host folder, removed again at the end.
//
//   SimFixture f;                                  // the default machine below
//   ASSERT_TRUE(f.ok()) << f.error();
//   f.writeFile("C:\\WINDOWS\\WIN.INI", "[windows]\n");
//   SimSystem& sys = f.sys();                      // pass it wherever a System& is wanted
//   EXPECT_EQ(f.readFile("C:\\WINDOWS\\WIN.INI"), "[windows]\n");
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/sim/sim_system.h"

namespace qm {

class SimFixture {
 public:
  // Windows 3.95 on DOS 7.10, 16 MiB, 640x480x8, a 486; A: removable with media disk1, disk2 and
  // disk3 (labels DISK1 .. DISK3, disk1 inserted), C: fixed; C:\WINDOWS, C:\WINDOWS\SYSTEM and
  // C:\TEMP exist.
  static const char* const kDefaultMachine;

  // Writes machineText as machine.ini in a new temporary folder, creates the media folders its
  // [Drives] section names and the Windows, system and temp directories, and loads it.
  explicit SimFixture(const std::string& machineText = kDefaultMachine);
  ~SimFixture();
  SimFixture(const SimFixture&) = delete;
  SimFixture& operator=(const SimFixture&) = delete;

  bool ok() const { return sys_ != nullptr; }
  const std::string& error() const { return error_; }
  // The machine; aborts the test program when the machine file did not load.
  SimSystem& sys();
  const std::filesystem::path& root() const { return root_; }
  std::filesystem::path machineFile() const { return root_ / "machine.ini"; }

  // Host path for a Windows path (see SimSystem::hostPath); empty when it cannot be mapped.
  std::filesystem::path host(const std::string& winPath);
  // Writes a file (creating its folders) behind the machine's back: no faults, no handles.
  // With time, the file gets that FAT date and time; with attributes, those attribute bits.
  void writeFile(const std::string& winPath, std::string_view contents,
                 std::optional<FatTime> time = std::nullopt,
                 std::optional<uint32_t> attributes = std::nullopt);
  std::optional<std::string> readFile(const std::string& winPath);
  bool exists(const std::string& winPath);
  // Creates every missing folder of a Windows path.
  void makeDirectory(const std::string& winPath);
  // Every entry under a drive's current medium, depth first in listing order, as
  // "DIR\" and "DIR\FILE.TXT" (host case).
  std::vector<std::string> tree(char drive);
  // The text of processes.log beside the machine file, empty when nothing was logged.
  std::string processesLog() const;
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
