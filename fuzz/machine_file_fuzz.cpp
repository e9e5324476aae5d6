// Feeds arbitrary bytes to the machine-file reader. A machine it accepts must be well formed
// (drives in letter order, each once, media folders that stay inside the machine's folder, labels
// that fit a volume) and must come up as a simulated machine that answers path, drive and medium
// questions without faults; a machine it refuses must say where.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/sim/machine_file.h"
#include "platform/sim/sim_system.h"

namespace {

namespace fs = std::filesystem;

void check(bool ok) {
  if (!ok) std::abort();
}

// Media folders the fuzzer's machines may name; created once, never written by the checks.
const fs::path& machineFolder() {
  static const fs::path dir = [] {
    fs::path d = fs::temp_directory_path() / ("qm-machine-fuzz-" + std::to_string(getpid()));
    for (const char* sub : {"c", "d", "d1", "d2", "disk1", "disk2", "disk3", "c/WINDOWS",
                            "c/WINDOWS/SYSTEM", "c/TEMP"})
      fs::create_directories(d / sub);
    std::ofstream(d / "c" / "README.TXT") << "hello\r\n";
    std::ofstream(d / "d1" / "A.TXT") << "disk one";
    // A plain buffer, so that the clean-up at exit does not read a destroyed object.
    static char removeAtExit[4096];
    std::snprintf(removeAtExit, sizeof removeAtExit, "%s", d.c_str());
    std::atexit([] {
      std::error_code ec;
      fs::remove_all(removeAtExit, ec);
    });
    return d;
  }();
  return dir;
}

bool staysInside(const std::string& folder) {
  if (folder.empty() || folder[0] == '/' || folder[0] == '\\') return false;
  if (folder.find(':') != std::string::npos) return false;
  size_t start = 0;
  while (start <= folder.size()) {
    size_t end = folder.find_first_of("/\\", start);
    if (end == std::string::npos) end = folder.size();
    if (folder.compare(start, end - start, "..") == 0 && end - start == 2) return false;
    start = end + 1;
  }
  return true;
}

void checkMachine(const qm::MachineConfig& m) {
  check(!m.drives.empty());
  for (size_t i = 0; i < m.drives.size(); ++i) {
    const qm::SimDrive& d = m.drives[i];
    check(d.letter >= 'A' && d.letter <= 'Z');
    if (i > 0) check(m.drives[i - 1].letter < d.letter);
    for (const std::string& medium : d.media) check(staysInside(medium));
  }
  for (const auto& [medium, label] : m.labels) check(label.size() <= 11);
  check(m.windowsMajor >= 0 && m.windowsMajor <= 255 && m.windowsMinor >= 0 &&
        m.windowsMinor <= 99);
  check(m.screenWidth > 0 && m.screenHeight > 0 && m.bitsPerPixel > 0);

  qm::SimSystem sim(m);
  // Only questions that read: the machine's folders are shared by every input.
  for (const char* path : {"C:\\README.TXT", "c:\\..\\..\\..\\etc\\passwd", "A:\\A.TXT", "D:\\",
                           "Z:\\X", "C:\\WINDOWS\\SYSTEM\\..\\..\\README.TXT"}) {
    if (std::optional<fs::path> host = sim.hostPath(path)) {
      // Whatever a Windows path names lies inside the machine's folder.
      std::string h = fs::weakly_canonical(*host).string();
      std::string root = fs::weakly_canonical(machineFolder()).string();
      check(h.rfind(root, 0) == 0);
    }
    (void)sim.attributes(path);
    (void)sim.find(path);
  }
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    std::string root = std::string(1, letter) + ":\\";
    (void)sim.driveType(root);
    (void)sim.volumeLabel(root);
    (void)sim.freeSpace(root);
    for (int i = 0; i < 4; ++i) (void)sim.insertNextMedium(letter);
  }
  (void)sim.logicalDrives();
  (void)sim.versionWord();
  (void)sim.environment("PATH");
  check(sim.openFileCount() == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  std::string error;
  std::optional<qm::MachineConfig> m =
      qm::parseMachineText(text, "m.ini", machineFolder().string(), error);
  if (!m) {
    check(error.rfind("m.ini", 0) == 0);
    return 0;
  }
  checkMachine(*m);
  return 0;
}
