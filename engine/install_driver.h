// The installation driver: the phases of one installation in their fixed order, run by the main
// window's start message, and the abort rule (a phase that fails or is cancelled ends it).
#pragma once

#include <optional>
#include <string>

namespace qm {

class Engine;

// How the installation ended, for the exit code.
enum class InstallEnd { Completed, Quit, Failed, OtherInstallation };

// The system-configuration work the driver runs at its places in the order. The defaults change
// nothing, for runs and tests without it.
class ConfigurationPhases {
 public:
  virtual ~ConfigurationPhases() = default;
  virtual void editAutoexec(Engine& engine) {}
  virtual void editConfig(Engine& engine) {}
  virtual void editIniFiles(Engine& engine) {}
  virtual void addTexts(Engine& engine) {}
  // After a successful installation only.
  virtual void applyRegistry(Engine& engine) {}
  virtual void createProgramItems(Engine& engine) {}
};

// Runs every phase. 0 when all ran, 1 when the installation was cancelled or failed.
int install(Engine& engine);

// The start message (1025): the intro screen goes, the installation runs, and then either the
// registry and program items are applied (success) or the readme and run-at-exit commands are
// dropped (failure). Returns install's result; the caller posts the quit message.
int startMessage(Engine& engine);

// The installer's exit code for the driver's result (the restart code is the finish's).
int installExitCode(const Engine& engine, int installResult);

// The longest folder path Windows creates: room is left for an 8.3 name inside it.
constexpr size_t kMaxFolderPathChars = 247;

// A destination as Windows names it: completed with a drive, "." and ".." resolved, trailing
// dots and blanks gone, a drive root as "C:\". nullopt when it cannot be a folder: a device
// name or a wildcard in it, a bad drive or character, or a path too long for a folder.
std::optional<std::string> canonicalDestination(const std::string& path);

// The default destination a script without DEFAULTDIR gets: C:\NEWFILES on the boot drive.
std::string defaultDestination(char bootDrive);

// A destination completed with a drive: "C:" before a rooted path, "C:\" before a relative one.
std::string completeDrive(const std::string& path);

}  // namespace qm
