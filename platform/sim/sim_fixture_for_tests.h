// Test helper: a simulated machine in a fresh temporary host folder, removed again at the end,
// with ways to put files on it and look at them behind the machine's back.
//
//   SimFixture f;                                  // ScratchMachine's default machine
//   ASSERT_TRUE(f.ok()) << f.error();
//   f.writeFile("C:\\WINDOWS\\WIN.INI", "[windows]\n");
//   SimSystem& sys = f.sys();                      // pass it wherever a System& is wanted
//   EXPECT_EQ(f.readFile("C:\\WINDOWS\\WIN.INI"), "[windows]\n");
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/sim/scratch_machine.h"

namespace qm {

class SimFixture : public ScratchMachine {
 public:
  using ScratchMachine::ScratchMachine;

  // Host path for a Windows path (see SimSystem::hostPath); empty when it cannot be mapped.
  std::filesystem::path host(const std::string& winPath);
  // Writes a file (creating its folders) behind the machine's back: no faults, no handles.
  // With time, the file gets that FAT date and time; with attributes, those attribute bits.
  void writeFile(const std::string& winPath, std::string_view contents,
                 std::optional<FatTime> time = std::nullopt,
                 std::optional<uint32_t> attributes = std::nullopt);
  std::optional<std::string> readFile(const std::string& winPath);
  bool exists(const std::string& winPath);
  // Every entry under a drive's current medium, depth first in listing order, as
  // "DIR\" and "DIR\FILE.TXT" (host case).
  std::vector<std::string> tree(char drive);
  // The text of processes.log beside the machine file, empty when nothing was logged.
  std::string processesLog() const;
};

}  // namespace qm
