#include "platform/sim/scratch_machine.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

#include "base/text.h"

namespace qm {

namespace fs = std::filesystem;

const char* const ScratchMachine::kDefaultMachine =
    "[Machine]\n"
    "Windows=3.95\n"
    "DOS=7.10\n"
    "Memory=16777216\n"
    "Display=640x480x8\n"
    "Processor=486\n"
    "WindowsDir=C:\\WINDOWS\n"
    "SystemDir=C:\\WINDOWS\\SYSTEM\n"
    "TempDir=C:\\TEMP\n"
    "[Drives]\n"
    "A=removable disk1 disk2 disk3\n"
    "C=fixed c\n"
    "[Labels]\n"
    "disk1=DISK1\n"
    "disk2=DISK2\n"
    "disk3=DISK3\n";

std::filesystem::path makeScratchFolder(const std::string& prefix) {
  std::error_code ec;
  fs::path base = fs::temp_directory_path(ec);
  if (ec) base = ".";
  std::mt19937_64 rng(std::random_device{}() ^
                      uint64_t(std::chrono::steady_clock::now().time_since_epoch().count()));
  for (int attempt = 0; attempt < 100; ++attempt) {
    char name[32];
    std::snprintf(name, sizeof name, "%016llx", static_cast<unsigned long long>(rng()));
    fs::path p = base / (prefix + name);
    if (fs::create_directory(p, ec)) return p;
  }
  return base / (prefix + "fallback");
}

namespace {

// The media folders named in a machine text's [Drives] section; the reader itself wants them to
// exist, so the fixture makes them first.
std::vector<std::string> mediaFolders(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  std::string line;
  bool drives = false;
  while (std::getline(in, line)) {
    size_t semi = line.find(';');
    if (semi != std::string::npos) line.resize(semi);
    size_t first = line.find_first_not_of(" \t\r");
    if (first == std::string::npos) continue;
    if (line[first] == '[') {
      drives = startsWithNoCase(std::string_view(line).substr(first), "[Drives]");
      continue;
    }
    size_t eq = line.find('=');
    if (!drives || eq == std::string::npos) continue;
    std::istringstream words(line.substr(eq + 1));
    std::string word;
    words >> word;  // the drive type
    while (words >> word)
      if (word.find("..") == std::string::npos && word[0] != '/') out.push_back(word);
  }
  return out;
}

}  // namespace

ScratchMachine::ScratchMachine(const std::string& machineText)
    : root_(makeScratchFolder("qm-sim-")) {
  reload(machineText);
}

ScratchMachine::~ScratchMachine() {
  sys_.reset();
  std::error_code ec;
  if (!std::getenv("QM_KEEP_SIM")) fs::remove_all(root_, ec);
}

SimSystem& ScratchMachine::sys() {
  if (!sys_) {
    std::fprintf(stderr, "simulated machine: the machine did not load: %s\n", error_.c_str());
    std::abort();
  }
  return *sys_;
}

bool ScratchMachine::reload(const std::string& machineText) {
  sys_.reset();
  {
    std::ofstream out(machineFile(), std::ios::binary | std::ios::trunc);
    out << machineText;
  }
  std::error_code ec;
  for (const auto& m : mediaFolders(machineText)) fs::create_directories(root_ / m, ec);
  if (!reload()) return false;
  for (const std::string& dir :
       {sys_->windowsDirectory(), sys_->systemDirectory(), sys_->config().tempDir}) {
    auto p = sys_->resolve(dir);
    if (!dir.empty() && p && sys_->hostPath(std::string{p->drive, ':', '\\'})) makeDirectory(dir);
  }
  return true;
}

bool ScratchMachine::reload() {
  sys_.reset();
  error_.clear();
  sys_ = SimSystem::load(machineFile().string(), error_);
  return sys_ != nullptr;
}

void ScratchMachine::makeDirectory(const std::string& winPath) {
  auto p = sys().resolve(winPath);
  if (!p) return;
  SimSystem::WinPath partial{p->drive, {}};
  for (const auto& part : p->parts) {
    partial.parts.push_back(part);
    auto a = sys().attributes(partial.text());
    if (!a) sys().createDirectory(partial.text());
  }
}

}  // namespace qm
