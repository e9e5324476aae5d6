// The one seam between the installer and the operating system. Core code sees only these
// interfaces; platform/win32 implements them with the real API and platform/sim with a simulated
// machine on a host folder. Files are binary on both sides: text-mode line ends are the caller's
// job.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qm {

using FileHandle = int32_t;  // -1 = not open
constexpr FileHandle kInvalidFile = -1;

// File attribute bits, as Windows numbers them.
constexpr uint32_t kAttrReadOnly = 0x01;
constexpr uint32_t kAttrHidden = 0x02;
constexpr uint32_t kAttrSystem = 0x04;
constexpr uint32_t kAttrDirectory = 0x10;
constexpr uint32_t kAttrArchive = 0x20;
constexpr uint32_t kAttrNormal = 0x80;
constexpr uint32_t kAttrReparsePoint = 0x400;  // a link or junction: its folder is elsewhere

enum class SeekOrigin { Begin = 0, Current = 1, End = 2 };

// Drive types as GetDriveType numbers them.
enum class DriveType : int {
  Unknown = 0,
  NoRootDir = 1,
  Removable = 2,
  Fixed = 3,
  Remote = 4,
  CdRom = 5,
  RamDisk = 6
};

// MS-DOS date and time words; ordered as (date, time) so later files compare greater.
struct FatTime {
  uint16_t date = 0;
  uint16_t time = 0;
  friend bool operator==(const FatTime&, const FatTime&) = default;
  friend auto operator<=>(const FatTime& a, const FatTime& b) {
    return (uint32_t(a.date) << 16 | a.time) <=> (uint32_t(b.date) << 16 | b.time);
  }
};

struct FindEntry {
  std::string name;  // file name only, as stored on disk
  uint32_t attributes = 0;
  uint64_t size = 0;
  FatTime time;
};

// How a self-registering library answered: loaded, export found, and its result.
enum class RegisterResult { Registered, LoadFailed, NoExport, Failed };

// Show states for started processes, as ShowWindow numbers them.
constexpr int kShowHidden = 0;
constexpr int kShowNormal = 1;
constexpr int kShowMaximized = 3;
constexpr int kShowDefault = 5;

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Opens an existing file for reading (readers may share it); kInvalidFile on failure.
  virtual FileHandle openRead(const std::string& path) = 0;
  // Opens an existing file for reading and writing without truncating it.
  virtual FileHandle openReadWrite(const std::string& path) = 0;
  // Creates or truncates a file for writing.
  virtual FileHandle create(const std::string& path) = 0;
  // Opens for appending, creating the file when it is missing.
  virtual FileHandle openAppend(const std::string& path) = 0;
  // Bytes read (0 at the end) or -1.
  virtual int32_t read(FileHandle h, void* buffer, uint32_t count) = 0;
  // Bytes written or -1.
  virtual int32_t write(FileHandle h, const void* buffer, uint32_t count) = 0;
  // New position or -1.
  virtual int64_t seek(FileHandle h, int64_t offset, SeekOrigin origin) = 0;
  virtual int64_t fileSize(FileHandle h) = 0;
  virtual void close(FileHandle h) = 0;

  // Last-write time of an open file, as FAT date and time without any time-zone shift.
  virtual std::optional<FatTime> fileTime(FileHandle h) = 0;
  virtual bool setFileTime(FileHandle h, FatTime t) = 0;

  // Attributes, or nullopt when the path does not exist.
  virtual std::optional<uint32_t> attributes(const std::string& path) = 0;
  virtual bool setAttributes(const std::string& path, uint32_t attributes) = 0;

  // Every entry matching a pattern whose last part may hold * and ? (Windows rules), in the
  // order the system lists them. "." and ".." are included when the system reports them.
  virtual std::vector<FindEntry> find(const std::string& pattern) = 0;

  virtual bool createDirectory(const std::string& path) = 0;
  virtual bool removeDirectory(const std::string& path) = 0;
  virtual bool deleteFile(const std::string& path) = 0;
  // Moves or renames; with replace, an existing target is replaced in one step.
  virtual bool moveFile(const std::string& from, const std::string& to, bool replace) = 0;
  virtual bool copyFile(const std::string& from, const std::string& to, bool failIfExists) = 0;

  virtual std::string currentDirectory() = 0;
  virtual bool setCurrentDirectory(const std::string& path) = 0;

  // root is "A:\" style.
  virtual DriveType driveType(const std::string& root) = 0;
  virtual std::optional<std::string> volumeLabel(const std::string& root) = 0;
  virtual std::optional<uint64_t> freeSpace(const std::string& root) = 0;
  // Bit 0 = A:, bit 1 = B:, ...
  virtual uint32_t logicalDrives() = 0;

  // The 8.3 form of an existing path, or nullopt.
  virtual std::optional<std::string> shortPathName(const std::string& path) = 0;
  // With a trailing backslash, as the system gives it; empty when there is none.
  virtual std::string tempDirectory() = 0;
  virtual std::string windowsDirectory() = 0;
  virtual std::string systemDirectory() = 0;
};

// Predefined registry roots, numbered as the system numbers their handles.
enum class RegistryRoot : uint32_t {
  ClassesRoot = 0x80000000u,
  CurrentUser = 0x80000001u,
  LocalMachine = 0x80000002u,
  Users = 0x80000003u,
  CurrentConfig = 0x80000005u,
  DynData = 0x80000006u
};

// Registry value types as the system numbers them.
constexpr uint32_t kRegNone = 0;
constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegExpandSz = 2;
constexpr uint32_t kRegBinary = 3;
constexpr uint32_t kRegDword = 4;
constexpr uint32_t kRegDwordBigEndian = 5;
constexpr uint32_t kRegLink = 6;
constexpr uint32_t kRegMultiSz = 7;
constexpr uint32_t kRegResourceList = 8;
constexpr uint32_t kRegFullResourceDescriptor = 9;

struct RegistryValue {
  uint32_t type = 0;          // REG_SZ = 1, REG_DWORD = 4, ... as the registry numbers them
  std::vector<uint8_t> data;  // as stored: a text includes its terminating NUL
};

// How creating a registry key ended.
enum class RegistryKeyResult { Failed, Created, Opened };

// The registry. Keys are paths below a predefined root ("Software\Vendor\Tool"); an empty value
// name is the key's default (unnamed) value. Every call opens and closes its own key.
class Registry {
 public:
  virtual ~Registry() = default;
  // A value of a key opened for reading; nullopt when the key or the value is missing.
  virtual std::optional<RegistryValue> readRegistryValue(RegistryRoot root, const std::string& key,
                                                         const std::string& name) = 0;
  // The key exists and opens for reading and writing.
  virtual bool openRegistryKey(RegistryRoot root, const std::string& key) = 0;
  // Creates or opens one key for reading and writing (non-volatile, no class); its parent must
  // exist.
  virtual RegistryKeyResult createRegistryKey(RegistryRoot root, const std::string& key) = 0;
  // Writes a value of an existing key, replacing any value of that name in one step.
  virtual bool setRegistryValue(RegistryRoot root, const std::string& key, const std::string& name,
                                const RegistryValue& value) = 0;
  virtual bool deleteRegistryValue(RegistryRoot root, const std::string& key,
                                   const std::string& name) = 0;
  // Deletes the key with every subkey and value below it, deepest first; false when the key was
  // missing or something below it could not be deleted.
  virtual bool deleteRegistryKey(RegistryRoot root, const std::string& key) = 0;
  // Names of the key's direct subkeys, and of its values ("" for the default value); nullopt when
  // the key cannot be opened for reading.
  virtual std::optional<std::vector<std::string>> registrySubkeys(RegistryRoot root,
                                                                  const std::string& key) = 0;
  virtual std::optional<std::vector<std::string>> registryValueNames(RegistryRoot root,
                                                                     const std::string& key) = 0;
};

// The Program Manager's DDE conversation: service and topic "PROGMAN", commands in its command
// language ("[CreateGroup(Tools)]").
class ProgramGroups {
 public:
  virtual ~ProgramGroups() = default;
  // Starts this program's DDE client (once per run); false when DDE cannot be used.
  virtual bool startShellClient() = 0;
  // Opens a conversation with the shell; false when no shell answers.
  virtual bool connectShell() = 0;
  // Sends one command text as an execute transaction and waits for the shell (at most 10 s);
  // true when the shell carried it out.
  virtual bool executeShellCommand(const std::string& command) = 0;
  virtual void disconnectShell() = 0;
  // How many items a group holds; nullopt when the group is missing or the shell cannot say (the
  // shell's DDE service need not answer such requests), and the caller must then assume it holds
  // something.
  virtual std::optional<size_t> shellGroupItemCount(const std::string& group) {
    return std::nullopt;
  }
  // A group's items in the shell's order, as (title, command line); nullopt when the group is
  // missing or the shell cannot say.
  virtual std::optional<std::vector<std::pair<std::string, std::string>>> shellGroupItems(
      const std::string& group) {
    return std::nullopt;
  }
  // Closes the windows the shell opened for these groups (from Windows 95 on, a created group's
  // folder window comes up a moment after the command), waiting up to waitMs for them; a window
  // that was already open when the client started is the user's and stays. Gives the groups
  // whose window it closed; a shell that opens no windows closes none.
  virtual std::vector<std::string> closeShellGroupWindows(const std::vector<std::string>& groups,
                                                          uint32_t waitMs) {
    return {};
  }
};

// INI files through the system's private-profile functions. A file name without a folder is
// looked for in the Windows directory. Sections and keys match without regard to case.
class Profiles {
 public:
  virtual ~Profiles() = default;
  // One key's value as GetPrivateProfileString gives it (enclosing quotes removed, at most
  // bufferChars - 1 characters); fallback when the section or the key is missing.
  virtual std::string profileString(const std::string& file, const std::string& section,
                                    const std::string& key, const std::string& fallback,
                                    size_t bufferChars) = 0;
  // The key names of a section, each followed by a NUL, as GetPrivateProfileString gives them
  // without a key; fallback when the section is missing or lists no key.
  virtual std::string profileKeys(const std::string& file, const std::string& section,
                                  const std::string& fallback, size_t bufferChars) = 0;
  // Sets a key, creating the section and the file as needed; false when the system refused.
  virtual bool writeProfileString(const std::string& file, const std::string& section,
                                  const std::string& key, const std::string& value) = 0;
  virtual bool deleteProfileKey(const std::string& file, const std::string& section,
                                const std::string& key) = 0;
  virtual bool deleteProfileSection(const std::string& file, const std::string& section) = 0;
  // Writes whatever the system still caches of the file to disk.
  virtual void flushProfile(const std::string& file) = 0;
};

// The display device's colour depth and resolution.
struct DisplayCaps {
  int bitsPerPixel = 0;
  int planes = 0;
  int width = 0;
  int height = 0;
};

// The running machine itself: the facts IF conditions test, processes, libraries, restart and the
// lock that keeps installations one at a time.
class Machine {
 public:
  virtual ~Machine() = default;
  // Total physical memory in bytes, not capped at 4 GiB.
  virtual uint64_t totalPhysicalMemory() = 0;
  // Bits per pixel, planes and resolution of an information context on "DISPLAY".
  virtual DisplayCaps displayCaps() = 0;
  // The text that the version functions give for a query path such as
  // "\StringFileInfo\040904E4\FileVersion" of a file; nullopt when the file has no version
  // resource or the path names nothing.
  virtual std::optional<std::string> versionText(const std::string& path,
                                                 const std::string& query) = 0;
  // The system's case-insensitive locale comparison: below, at or above 0 as a sorts before,
  // with or after b.
  virtual int localeCompareNoCase(const std::string& a, const std::string& b) = 0;

  // Packed version word: low byte Windows major, next byte minor; high word DOS major.minor.
  virtual uint32_t versionWord() = 0;
  virtual int screenWidth() = 0;
  virtual int screenHeight() = 0;
  virtual std::optional<std::string> environment(const std::string& name) = 0;
  // Stops the system's own "drive not ready" boxes: failing calls return errors instead.
  virtual void disableCriticalErrorBoxes() = 0;
  // Starts a command line; false when it could not be started. With wait, blocks until it ends.
  virtual bool startProcess(const std::string& commandLine, int showState, bool wait) = 0;
  // The exit code of the last process started with wait, -1 when none could be read.
  virtual long lastExitCode() const { return -1; }
  // Full path of the running program's own file.
  virtual std::string modulePath() = 0;
  // The command line after the program name.
  virtual std::string commandLineArguments() = 0;
  // Loads the library, calls its "DllRegisterServer" export without arguments and unloads it.
  // Machines that cannot load libraries report LoadFailed.
  virtual RegisterResult registerServer(const std::string& path) = 0;
  // Loads the library, calls its "DllUnregisterServer" export without arguments and unloads it.
  virtual RegisterResult unregisterServer(const std::string& path) = 0;
  // The processor type the system reports (386, 486, 586 for Intel; other numbers otherwise).
  virtual int processorType() = 0;

  // Enables SeShutdownPrivilege in this process's token; false when the token cannot be opened
  // or the privilege cannot be enabled.
  virtual bool enableShutdownPrivilege() = 0;
  // Asks the system to restart (ExitWindowsEx with the restart flag); false when it refused.
  virtual bool requestRestart() = 0;

  // Takes the machine-wide lock that every installation and uninstallation holds while it
  // changes the machine, waiting up to waitMs for another program to let it go; held until this
  // process ends. True when it is held, also on a system with no such locks (nothing else can
  // run there at once).
  virtual bool lockInstallations(uint32_t waitMs) = 0;
};

// The machine as the installer sees it: its files, registry, program shell, INI files and the
// machine itself, each a part of its own. A machine (platform/win32, platform/sim, a test double)
// implements every part once and hands them here; core code asks for the part it needs
// (`sys.files().openRead(...)`), and a System converts to any part, so it can be passed as is
// to a function that needs only that part.
class System {
 public:
  System(FileSystem& files, Registry& registry, ProgramGroups& shell, Profiles& profiles,
         Machine& machine)
      : files_(files), registry_(registry), shell_(shell), profiles_(profiles), machine_(machine) {}

  FileSystem& files() const { return files_; }
  Registry& registry() const { return registry_; }
  ProgramGroups& shell() const { return shell_; }
  Profiles& profiles() const { return profiles_; }
  Machine& machine() const { return machine_; }

  operator FileSystem&() const { return files_; }
  operator Registry&() const { return registry_; }
  operator ProgramGroups&() const { return shell_; }
  operator Profiles&() const { return profiles_; }
  operator Machine&() const { return machine_; }

 private:
  FileSystem& files_;
  Registry& registry_;
  ProgramGroups& shell_;
  Profiles& profiles_;
  Machine& machine_;
};

// A System whose every part is this one object: how both machines and the test doubles are built.
class CombinedSystem : public FileSystem,
                       public Registry,
                       public ProgramGroups,
                       public Profiles,
                       public Machine,
                       public System {
 protected:
  CombinedSystem() : System(*this, *this, *this, *this, *this) {}
};

// Starts a command line and waits until it ends; nothing is reported when it cannot start.
void runAndWait(Machine& machine, const std::string& commandLine, int showState);

// Windows version (low byte major, next byte minor) and DOS version (high byte major, next
// minor) from the packed version word, as the decimal numbers "major.minor" read.
double windowsVersionOf(uint32_t versionWord);
double dosVersionOf(uint32_t versionWord);

// The drive DOS started from, whose AUTOEXEC.BAT and CONFIG.SYS count: 'A' when A: is a fixed
// disk, 'C' otherwise.
char bootDriveLetter(FileSystem& fs);

}  // namespace qm
