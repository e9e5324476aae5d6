// A small in-memory machine for unit tests of the reader and start-up: files keyed by their
// upper-cased path, drive types by letter, started processes recorded, reads counted, and a
// read fault that can be armed per file.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "base/text.h"
#include "platform/system.h"

namespace qm::testing {

class MemorySystem : public CombinedSystem {
  using Text = const std::string&;
  using Names = std::optional<std::vector<std::string>>;

 public:
  struct File {
    std::string data;
    FatTime time{0x5A21, 0x6000};
    uint32_t attributes = kAttrArchive;
  };
  std::map<std::string, File> stored;  // key: upper-cased full path
  std::map<char, DriveType> drives;   // missing letters are fixed disks
  std::string moduleFile = "C:\\SETUP.EXE";
  std::string arguments;
  std::string currentDir = "C:\\";
  std::string temp = "C:\\TEMP\\";
  std::string windows = "C:\\WINDOWS\\";
  std::string system = "C:\\WINDOWS\\SYSTEM\\";
  uint32_t version = 0x070A5F03;     // Windows 3.95, DOS 7.10
  std::vector<std::string> started;  // "show|wait|command line"
  std::vector<std::string> calls;    // order of notable calls
  std::string failReadsOf;           // upper-cased path whose reads fail
  bool failCreate = false;
  int reads = 0;
  int opens = 0;

  void put(const std::string& path, std::string data) {
    stored[upperAscii(path)].data = std::move(data);
  }
  bool has(const std::string& path) const { return stored.count(upperAscii(path)) > 0; }
  const std::string& text(const std::string& path) { return stored[upperAscii(path)].data; }

  FileHandle openRead(const std::string& path) override {
    ++opens;
    auto it = stored.find(upperAscii(path));
    return it == stored.end() ? kInvalidFile : openHandle(it->first);
  }
  FileHandle openReadWrite(const std::string& path) override { return openRead(path); }
  FileHandle create(const std::string& path) override {
    if (failCreate) return kInvalidFile;
    stored[upperAscii(path)] = File{};
    return openHandle(upperAscii(path));
  }
  FileHandle openAppend(const std::string& path) override {
    FileHandle h = openHandle(upperAscii(path));
    handles_[h].pos = stored[upperAscii(path)].data.size();
    return h;
  }
  int32_t read(FileHandle h, void* buffer, uint32_t count) override {
    ++reads;
    auto it = handles_.find(h);
    if (it == handles_.end() || it->second.path == failReadsOf) return -1;
    const std::string& d = stored[it->second.path].data;
    size_t pos = it->second.pos;
    size_t n = pos >= d.size() ? 0 : std::min<size_t>(count, d.size() - pos);
    if (n > 0) d.copy(static_cast<char*>(buffer), n, pos);
    it->second.pos += n;
    return int32_t(n);
  }
  int32_t write(FileHandle h, const void* buffer, uint32_t count) override {
    auto it = handles_.find(h);
    if (it == handles_.end()) return -1;
    std::string& d = stored[it->second.path].data;
    if (d.size() < it->second.pos + count) d.resize(it->second.pos + count);
    d.replace(it->second.pos, count, static_cast<const char*>(buffer), count);
    it->second.pos += count;
    return int32_t(count);
  }
  int64_t seek(FileHandle h, int64_t offset, SeekOrigin origin) override {
    auto it = handles_.find(h);
    if (it == handles_.end()) return -1;
    int64_t base = origin == SeekOrigin::Begin     ? 0
                   : origin == SeekOrigin::Current ? int64_t(it->second.pos)
                                                   : int64_t(stored[it->second.path].data.size());
    if (base + offset < 0) return -1;
    it->second.pos = size_t(base + offset);
    return base + offset;
  }
  int64_t fileSize(FileHandle h) override {
    auto it = handles_.find(h);
    return it == handles_.end() ? -1 : int64_t(stored[it->second.path].data.size());
  }
  void close(FileHandle h) override { handles_.erase(h); }
  std::optional<FatTime> fileTime(FileHandle h) override {
    auto it = handles_.find(h);
    if (it == handles_.end()) return std::nullopt;
    return stored[it->second.path].time;
  }
  bool setFileTime(FileHandle h, FatTime t) override { return false; }
  std::optional<uint32_t> attributes(const std::string& path) override {
    auto it = stored.find(upperAscii(path));
    if (it == stored.end()) return std::nullopt;
    return it->second.attributes;
  }
  bool setAttributes(const std::string&, uint32_t) override { return false; }
  std::vector<FindEntry> find(const std::string&) override { return {}; }
  bool createDirectory(const std::string&) override { return true; }
  bool removeDirectory(const std::string&) override { return false; }
  bool deleteFile(const std::string& path) override { return stored.erase(upperAscii(path)) > 0; }
  bool moveFile(const std::string&, const std::string&, bool) override { return false; }
  bool copyFile(const std::string&, const std::string&, bool) override { return false; }
  std::string currentDirectory() override { return currentDir; }
  bool setCurrentDirectory(const std::string& path) override {
    calls.push_back("chdir " + path);
    currentDir = path;
    return true;
  }
  DriveType driveType(const std::string& root) override {
    calls.push_back("driveType " + root);
    if (root.empty()) return DriveType::NoRootDir;
    auto it = drives.find(toUpperAscii(root[0]));
    return it == drives.end() ? DriveType::Fixed : it->second;
  }
  std::optional<std::string> volumeLabel(const std::string&) override { return std::nullopt; }
  std::optional<uint64_t> freeSpace(const std::string&) override { return std::nullopt; }
  uint32_t logicalDrives() override { return 0x4; }
  std::optional<std::string> shortPathName(const std::string& path) override {
    return upperAscii(path);
  }
  std::string tempDirectory() override { return temp; }
  std::string windowsDirectory() override { return windows; }
  std::string systemDirectory() override { return system; }
  uint32_t versionWord() override { return version; }
  int screenWidth() override { return 800; }
  int screenHeight() override { return 600; }
  std::optional<std::string> environment(const std::string&) override { return std::nullopt; }
  void disableCriticalErrorBoxes() override { calls.push_back("disableCriticalErrorBoxes"); }
  bool startProcess(const std::string& commandLine, int showState, bool wait) override {
    started.push_back(std::to_string(showState) + (wait ? "|wait|" : "|nowait|") + commandLine);
    calls.push_back("start " + commandLine);
    return true;
  }
  std::string modulePath() override { return moduleFile; }
  std::string commandLineArguments() override { return arguments; }
  // Machine facts for conditions: a plain machine without registry or version resources.
  uint64_t totalPhysicalMemory() override { return 16u << 20; }
  DisplayCaps displayCaps() override { return {8, 1, 640, 480}; }
  std::optional<RegistryValue> readRegistryValue(RegistryRoot, const std::string&,
                                                 const std::string&) override {
    return std::nullopt;
  }
  std::optional<std::string> versionText(const std::string&, const std::string&) override {
    return std::nullopt;
  }
  int localeCompareNoCase(const std::string& a, const std::string& b) override {
    std::string x = upperAscii(a), y = upperAscii(b);
    return x < y ? -1 : (x == y ? 0 : 1);
  }
  // No libraries load, nothing restarts and no other installation runs.
  RegisterResult registerServer(Text) override { return RegisterResult::LoadFailed; }
  RegisterResult unregisterServer(Text) override { return RegisterResult::LoadFailed; }
  int processorType() override { return 586; }
  bool enableShutdownPrivilege() override { return false; }
  bool requestRestart() override { return false; }
  bool lockInstallations(uint32_t) override { return true; }
  // A registry that refuses every change, no shell, and INI files that hold nothing.
  bool openRegistryKey(RegistryRoot, Text) override { return false; }
  RegistryKeyResult createRegistryKey(RegistryRoot, Text) override {
    return RegistryKeyResult::Failed;
  }
  bool setRegistryValue(RegistryRoot, Text, Text, const RegistryValue&) override { return false; }
  bool deleteRegistryValue(RegistryRoot, Text, Text) override { return false; }
  bool deleteRegistryKey(RegistryRoot, Text) override { return false; }
  Names registrySubkeys(RegistryRoot, Text) override { return std::nullopt; }
  Names registryValueNames(RegistryRoot, Text) override { return std::nullopt; }
  bool startShellClient() override { return false; }
  bool connectShell() override { return false; }
  bool executeShellCommand(Text) override { return false; }
  void disconnectShell() override {}
  std::string profileString(Text, Text, Text, Text fallback, size_t) override { return fallback; }
  std::string profileKeys(Text, Text, Text fallback, size_t) override { return fallback; }
  bool writeProfileString(Text, Text, Text, Text) override { return false; }
  bool deleteProfileKey(Text, Text, Text) override { return false; }
  bool deleteProfileSection(Text, Text) override { return false; }
  void flushProfile(Text) override {}

 private:
  struct Open {
    std::string path;
    size_t pos = 0;
  };
  FileHandle openHandle(const std::string& key) {
    handles_[next_] = Open{key, 0};
    return next_++;
  }
  std::map<FileHandle, Open> handles_;
  FileHandle next_ = 3;
};

}  // namespace qm::testing
