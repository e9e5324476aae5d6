// The OS seam on the real Win32 API. Each method is the matching system call and nothing more;
// behaviour (sharing, replace-on-move, time conversion) is whatever Windows does.
//
// Bodies by topic: win32_files.cpp (open files), win32_dirs.cpp (names, directories, find),
// win32_drives.cpp (drives, short names, system folders), win32_machine.cpp (versions, display,
// environment, processes). A new seam method goes in its topic's file or a new win32_<topic>.cpp.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/system.h"

namespace qm {

// The run's DDE client instance and its open conversation with the shell (win32_shell.cpp).
struct Win32ShellClient {
  ~Win32ShellClient();
  unsigned long instance = 0;
  void* conversation = nullptr;  // HCONV
  // Folder windows that were open when the client started: the user's, never closed.
  std::vector<void*> foldersOpenBefore;  // HWND
};

// The machine-wide lock every installation and uninstallation takes before it changes anything.
constexpr const char* kInstallationLockName = "Quillmount.Installation";

class Win32System : public CombinedSystem {
 public:
  Win32System() = default;
  ~Win32System() override;
  Win32System(const Win32System&) = delete;
  Win32System& operator=(const Win32System&) = delete;

  // --- FileSystem: open files (win32_files.cpp)
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

  // --- FileSystem: names and directories (win32_dirs.cpp)
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

  // --- FileSystem: drives and system folders (win32_drives.cpp)
  DriveType driveType(const std::string& root) override;
  std::optional<std::string> volumeLabel(const std::string& root) override;
  std::optional<uint64_t> freeSpace(const std::string& root) override;
  uint32_t logicalDrives() override;
  std::optional<std::string> shortPathName(const std::string& path) override;
  std::string tempDirectory() override;
  std::string windowsDirectory() override;
  std::string systemDirectory() override;

  // --- Machine (win32_machine.cpp)
  uint32_t versionWord() override;
  int screenWidth() override;
  int screenHeight() override;
  std::optional<std::string> environment(const std::string& name) override;
  void disableCriticalErrorBoxes() override;
  bool startProcess(const std::string& commandLine, int showState, bool wait) override;
  std::string modulePath() override;
  std::string commandLineArguments() override;

  // --- Machine facts for IF conditions (win32_info.cpp), and the registry read
  uint64_t totalPhysicalMemory() override;
  DisplayCaps displayCaps() override;
  std::optional<RegistryValue> readRegistryValue(RegistryRoot root, const std::string& key,
                                                 const std::string& name) override;
  std::optional<std::string> versionText(const std::string& path,
                                         const std::string& query) override;
  int localeCompareNoCase(const std::string& a, const std::string& b) override;

  // --- INI files through the private-profile functions (win32_profiles.cpp)
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

  // --- Machine: library registration and the processor (win32_engine.cpp)
  RegisterResult registerServer(const std::string& path) override;
  int processorType() override;
  RegisterResult unregisterServer(const std::string& path) override;

  // --- Restart (win32_restart.cpp)
  bool enableShutdownPrivilege() override;
  bool requestRestart() override;
  bool lockInstallations(uint32_t waitMs) override;

  // --- Registry writes (win32_registry.cpp) and the Program Manager over DDE (win32_shell.cpp)
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
  std::vector<std::string> closeShellGroupWindows(const std::vector<std::string>& groups,
                                                  uint32_t waitMs) override;

  // Exit code of the last process started with wait, or -1 when none finished.
  long lastExitCode() const override { return lastExitCode_; }

 private:
  // HANDLE values stored as pointers so that this header needs no <windows.h>.
  FileHandle addHandle(void* h);
  void* handle(FileHandle h) const;

  std::vector<void*> handles_;
  long lastExitCode_ = -1;
  Win32ShellClient shell_;
};

// The part of a command line after the program token (quoted or not) and the blanks after it.
std::string argumentsAfterProgram(const std::string& commandLine);

}  // namespace qm
