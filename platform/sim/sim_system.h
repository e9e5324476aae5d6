// A simulated Windows machine on a host folder, described by a machine file (docs/machine-file.md).
// Windows paths (drive letters, backslashes, names in any case) are mapped onto the media folders
// beside the machine file; everything else the machine reports comes from the machine file.
//
// Method bodies are spread by topic: sim_paths.cpp (path resolution, host lookup), sim_files.cpp
// (open files), sim_dirs.cpp (directories, find, attributes, copy and move), sim_drives.cpp
// (drives, media, short names), sim_machine.cpp (versions, display, environment, processes).
// A new seam method goes in the file of its topic, or in a new sim_<topic>.cpp.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/win_path.h"
#include "platform/sim/host_folder_cache.h"
#include "platform/sim/machine_file.h"
#include "platform/sim/program_manager.h"
#include "platform/system.h"

namespace qm {

class RegistryTree;

class SimSystem : public CombinedSystem {
 public:
  // Reads the machine file; nullptr with "FILE:LINE: message" in error when it is unusable.
  static std::unique_ptr<SimSystem> load(const std::string& machineFile, std::string& error);
  explicit SimSystem(MachineConfig config);
  ~SimSystem() override;
  SimSystem(const SimSystem&) = delete;
  SimSystem& operator=(const SimSystem&) = delete;

  // --- FileSystem: open files (sim_files.cpp)
  FileHandle openRead(const std::string& path) override;
  FileHandle openReadWrite(const std::string& path) override;
  FileHandle create(const std::string& path) override;
  FileHandle openAppend(const std::string& path) override;
  int32_t read(FileHandle h, void* buffer, uint32_t count) override;
  int32_t write(FileHandle h, const void* buffer, uint32_t count) override;
  int64_t seek(FileHandle h, int64_t offset, SeekOrigin origin) override;
  int64_t fileSize(FileHandle h) override;
  void close(FileHandle h) override;
  std::optional<FatTime> fileTime(FileHandle h) override;
  bool setFileTime(FileHandle h, FatTime t) override;

  // --- FileSystem: names and directories (sim_dirs.cpp)
  std::optional<uint32_t> attributes(const std::string& path) override;
  bool setAttributes(const std::string& path, uint32_t attributes) override;
  std::vector<FindEntry> find(const std::string& pattern) override;
  bool createDirectory(const std::string& path) override;
  bool removeDirectory(const std::string& path) override;
  bool deleteFile(const std::string& path) override;
  bool moveFile(const std::string& from, const std::string& to, bool replace) override;
  bool copyFile(const std::string& from, const std::string& to, bool failIfExists) override;
  std::string currentDirectory() override;
  bool setCurrentDirectory(const std::string& path) override;

  // --- FileSystem: drives (sim_drives.cpp)
  DriveType driveType(const std::string& root) override;
  std::optional<std::string> volumeLabel(const std::string& root) override;
  std::optional<uint64_t> freeSpace(const std::string& root) override;
  uint32_t logicalDrives() override;
  std::optional<std::string> shortPathName(const std::string& path) override;
  std::string tempDirectory() override;
  std::string windowsDirectory() override;
  std::string systemDirectory() override;

  // --- Machine (sim_machine.cpp)
  uint32_t versionWord() override;
  int screenWidth() override;
  int screenHeight() override;
  std::optional<std::string> environment(const std::string& name) override;
  void disableCriticalErrorBoxes() override;
  bool startProcess(const std::string& commandLine, int showState, bool wait) override;
  std::string modulePath() override;
  std::string commandLineArguments() override;

  // --- Libraries and processor (sim_engine.cpp)
  // A library registers when it is an executable image that names the export; each success is
  // written to processes.log as "register PATH".
  RegisterResult registerServer(const std::string& path) override;
  int processorType() override;
  // Unregisters like registerServer, looking for the DllUnregisterServer export ("unregister
  // PATH").
  RegisterResult unregisterServer(const std::string& path) override;

  // --- Restart (sim_restart.cpp): nothing restarts; each request is a line of processes.log.
  bool enableShutdownPrivilege() override;
  bool requestRestart() override;
  // [Faults] OtherInstallation=Yes: another program holds the lock for the whole run.
  bool lockInstallations(uint32_t) override { return !config_.otherInstallation; }

  // --- Machine facts for IF conditions (sim_info.cpp); the registry is registry.reg
  // beside the machine file (sim_registry.cpp), read afresh so edits made between runs show.
  uint64_t totalPhysicalMemory() override;
  DisplayCaps displayCaps() override;
  std::optional<RegistryValue> readRegistryValue(RegistryRoot root, const std::string& key,
                                                 const std::string& name) override;
  std::optional<std::string> versionText(const std::string& path,
                                         const std::string& query) override;
  int localeCompareNoCase(const std::string& a, const std::string& b) override;

  // --- Registry writes (sim_registry.cpp) and the Program Manager over DDE (sim_shell.cpp), which
  // keeps its groups in groups.ini beside the machine file; [Machine] Shell=none: no shell runs.
  bool openRegistryKey(RegistryRoot root, const std::string& key) override;
  RegistryKeyResult createRegistryKey(RegistryRoot root, const std::string& key) override;
  bool setRegistryValue(RegistryRoot root, const std::string& key, const std::string& name,
                        const RegistryValue& value) override;
  bool deleteRegistryValue(RegistryRoot root, const std::string& key,
                           const std::string& name) override;
  bool deleteRegistryKey(RegistryRoot root, const std::string& key) override;
  std::optional<std::vector<std::string>> registrySubkeys(RegistryRoot root,
                                                          const std::string& key) override;
  std::optional<std::vector<std::string>> registryValueNames(RegistryRoot root,
                                                             const std::string& key) override;
  bool startShellClient() override;
  bool connectShell() override;
  bool executeShellCommand(const std::string& command) override;
  void disconnectShell() override;
  // Read from groups.ini while the shell runs (sim_shell_query.cpp).
  std::optional<size_t> shellGroupItemCount(const std::string& group) override;
  std::optional<std::vector<std::pair<std::string, std::string>>> shellGroupItems(
      const std::string& group) override;
  std::vector<std::string> closeShellGroupWindows(const std::vector<std::string>& groups,
                                                  uint32_t waitMs) override;

  // --- INI files (sim_profiles.cpp), on the simulated disks, as the system's profile functions
  // read and write them (profile_text.h).
  std::string profileString(const std::string& file, const std::string& section,
                            const std::string& key, const std::string& fallback,
                            size_t bufferChars) override;
  std::string profileKeys(const std::string& file, const std::string& section,
                          const std::string& fallback, size_t bufferChars) override;
  bool writeProfileString(const std::string& file, const std::string& section,
                          const std::string& key, const std::string& value) override;
  bool deleteProfileKey(const std::string& file, const std::string& section,
                        const std::string& key) override;
  bool deleteProfileSection(const std::string& file, const std::string& section) override;
  void flushProfile(const std::string& file) override;

  // --- Simulator controls
  // Puts the drive's next medium in; false (the current one stays) when there is no next.
  bool insertNextMedium(char drive);
  // Folder name of the medium in the drive, empty when the drive is empty or unknown.
  std::string currentMedium(char drive) const;
  void setModulePath(std::string path) { modulePath_ = std::move(path); }
  void setCommandLineArguments(std::string args) { arguments_ = std::move(args); }
  bool criticalErrorBoxesDisabled() const { return criticalBoxesOff_; }
  const MachineConfig& config() const { return config_; }
  // Host folder holding the machine file; registry.reg, groups.ini and processes.log live here.
  const std::filesystem::path& machineDirectory() const { return machineDir_; }
  // Appends one line to processes.log (started processes, restart requests).
  void appendProcessLog(const std::string& line);
  // Host file or folder a Windows path names (in the case found on the host when it exists, as
  // given when it does not); nullopt when its drive is unknown or empty, or a folder above it is
  // missing.
  std::optional<std::filesystem::path> hostPath(const std::string& path);
  // Files still open; a test that ends with open files has found a leak.
  int openFileCount() const;

  // --- Host caching, for a run in which this machine is the only writer of its folders (a
  // `quillpack simulate` run): folder listings and attribute sidecars are read once and kept,
  // and changed sidecars are written by flushHostCache() or at the end. A path through a link
  // on a drive ends the caching for the rest of the run, since one folder then has two names.
  void enableHostCache();
  bool hostCacheEnabled() const { return cache_ != nullptr; }
  // Writes every changed sidecar now; the cache goes on.
  void flushHostCache();

  // --- Faults for tests; the machine file's [Faults] section sets the same ones.
  // Writes succeed for bytes more bytes in total, then fail (the crossing write stores what fits).
  void failWritesAfter(uint64_t bytes) { writeBudget_ = bytes; }
  // A full disk reports no free space and refuses every write and every new directory.
  void setDiskFull(char drive, bool full);
  // Creating this directory (a full Windows path) fails.
  void failDirectoryCreation(const std::string& path);
  void clearFaults();

  using WinPath = qm::WinPath;
  // Resolves against the current directory; nullopt for an unusable path (UNC, bad drive).
  std::optional<WinPath> resolve(const std::string& path) const;

 private:
  struct OpenFile;
  struct Lookup {
    std::filesystem::path host;
    bool exists = false;
    bool isDirectory = false;
  };
  // One entry of a host folder, found without regard to case.
  struct HostMatch {
    std::string name;
    bool isDirectory = false;
    bool isLink = false;
  };

  // sim_paths.cpp
  const SimDrive* drive(char letter) const;
  std::optional<std::filesystem::path> driveRoot(char letter) const;
  // The drive's folder with every link resolved; nullopt when it leads out of the machine folder.
  std::optional<std::filesystem::path> realDriveRoot(char letter) const;
  std::optional<Lookup> lookup(const WinPath& p) const;
  std::optional<Lookup> lookup(const std::string& path) const;
  std::optional<HostMatch> matchEntry(const std::filesystem::path& dir,
                                      const std::string& name) const;
  // The folder's entries in listing order, from the cache when it is on.
  std::vector<std::string> listEntries(const std::filesystem::path& dir) const;
  // The machine made or removed host entry (a file or folder); keeps the cache true.
  void hostAdded(const std::filesystem::path& host, bool isDirectory);
  void hostRemoved(const std::filesystem::path& host);
  // Before a change that moves or removes a whole folder: writes the sidecars, forgets all.
  void resetHostCache();
  // A path through a link: the cache cannot tell one folder's two names apart, so it ends.
  void endHostCache() const;

  // sim_registry.cpp: loads registry.reg, applies the change and saves it when it succeeded.
  bool changeRegistry(const std::function<bool(RegistryTree&)>& change);

  // sim_engine.cpp: a library's export is found when the image names it.
  RegisterResult callServerExport(const std::string& path, std::string_view exportName,
                                  const std::string& logWord);

  // sim_files.cpp
  FileHandle openFile(const std::string& path, int mode);
  OpenFile* handle(FileHandle h) const;
  // True when a file at host, or below it, is open.
  bool isOpen(const std::filesystem::path& host) const;
  bool diskFull(char drive) const;

  // sim_dirs.cpp: attributes live in a sidecar per host folder.
  // The folder's lines as the cache holds them; nullptr when the cache is off.
  std::vector<SidecarLine>* sidecarLines(const std::filesystem::path& dir) const;
  uint32_t storedAttributes(const std::filesystem::path& host, bool isDirectory) const;
  void storeAttributes(const std::filesystem::path& host, uint32_t bits, bool isDirectory);
  void forgetAttributes(const std::filesystem::path& host);
  bool directoryIsEmpty(const std::filesystem::path& host) const;
  FindEntry entryFor(const std::filesystem::path& host, std::string name) const;

  MachineConfig config_;
  std::filesystem::path machineDir_;
  std::vector<size_t> mediumIndex_;  // per config_.drives entry
  WinPath current_;
  std::vector<std::unique_ptr<OpenFile>> files_;
  std::string modulePath_;
  std::string arguments_;
  bool criticalBoxesOff_ = false;
  std::optional<uint64_t> writeBudget_;
  std::vector<char> fullDisks_;
  std::vector<std::string> failingDirectories_;  // canonical upper-case texts
  ShellSession shell_;  // the simulated Program Manager's own state while it runs
  bool shellConnected_ = false;
  // The machine folder with every link resolved, read once (sim_paths.cpp).
  mutable std::optional<std::filesystem::path> realMachineDir_;
  // On only while enabled; mutable since lookups fill it. Ended by a path through a link.
  mutable std::unique_ptr<HostFolderCache> cache_;
};

// Name of the per-folder sidecar file holding attributes; never listed, never matched.
inline constexpr const char* kAttributeSidecar = ".qm-attributes";

// Host directory entries in the order a simulated directory lists them (case-insensitive name
// order), without the sidecar.
std::vector<std::string> sortedHostEntries(const std::filesystem::path& dir);
// The host entry whose name equals name without regard to ASCII case (an exact match first).
std::optional<std::string> matchHostEntry(const std::filesystem::path& dir,
                                          const std::string& name);

}  // namespace qm
