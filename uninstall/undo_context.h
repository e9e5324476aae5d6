// What every undo step shares: the machine, the report, the log's folder, the copies kept in
// instback.log, and the state one step leaves for a later one (folders to remove at the end,
// start-up files saved once, sections to remove when empty, groups the shell cannot judge).
// Each kind of change is undone in its own file: undo_files (FILE, DIRECTORY, RENAME, the kept
// copies), undo_text (AUTOEXEC, CONFIG, ADDTEXT), undo_ini (INIFILE), undo_registry (REGKEY,
// RegServer) and undo_program_items (WINITEM).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/system.h"
#include "records/install_log_records.h"
#include "records/instback_records.h"
#include "uninstall/uninstaller.h"

namespace qm {

class Ui;

struct KeptCopy {
  BackupRecord record;
  int fileLine = 0;  // the FILE line it belongs to; 0 when none was found
  bool handled = false;
};

struct UndoContext {
  UndoContext(System& s, Ui& u, UninstallReport& r, const std::string& log);

  System& sys;
  Ui& ui;
  UninstallReport& report;
  std::string logPath;
  std::string logDir;  // with its backslash
  std::string windowsDir, systemDir;
  std::vector<KeptCopy> backups;
  std::vector<std::string> backupFolderLeft;  // copies that could not be put back
  std::vector<std::string> directories;       // created folders still there, deepest first
  std::vector<std::string> textBackedUp;      // AUTOEXEC.BAT / CONFIG.SYS saved in this run
  std::vector<std::string> groupsLeft;        // groups the shell could not say were empty
  struct Original {
    std::string path, text;
    FatTime time;
  };
  std::vector<Original> startupOriginals;    // AUTOEXEC.BAK / CONFIG.BAK as the installer left them
  std::vector<std::string> madeByInstaller;  // startup files that had no backup beside them
  std::vector<IniSectionRecord> newSections;
  // Per file with a DIGEST record (upper case): whether it was still as the installation left it
  // when this run began.
  std::vector<std::pair<std::string, bool>> unchanged;  // by upper-cased path
  // Edited files put back whole (upper case): their log lines have nothing left to undo.
  std::vector<std::string> restoredWhole;
  // Shared files another installation or program still counts (upper case): they stay.
  std::vector<std::string> sharedStaying;

  void done(const std::string& what);
  void note(const std::string& what);
  void problem(const LogLine* line, const std::string& what);
  void left(const std::string& what);
  // nullopt when nothing is known of how the installation left the file.
  std::optional<bool> unchangedSinceInstall(const std::string& path) const;
  bool wasRestoredWhole(const std::string& path) const;
  // The path when it is safe to touch, else nullopt after reporting why.
  std::optional<std::string> safe(const LogLine& line, const std::string& path);
  bool isSafe(const std::string& path) const;
  // The path of a text the log names as written: a relative one lies in the destination (the
  // log's own folder when the log names none), never in whatever folder this program runs in.
  std::string inDestination(const LogLine& line, const std::string& path) const;
  static std::string absolute(const std::string& path, const std::string& folder);
  std::string copyPath(const BackupRecord& record) const;
};

bool isDirectory(FileSystem& fs, const std::string& path);
bool directoryIsEmpty(FileSystem& fs, const std::string& dir);
bool deleteFileForced(FileSystem& fs, const std::string& path);
// A text's lines without their line ends.
std::vector<std::string> linesOf(const std::string& bytes);

// undo_files.cpp
void undoFile(UndoContext& cx, const LogLine& line);
void undoDirectory(UndoContext& cx, const LogLine& line);
void undoRename(UndoContext& cx, const LogLine& line);
void removeDirectories(UndoContext& cx);
void readBackups(UndoContext& cx, const InstallLogContents& log);
void restoreDeleted(UndoContext& cx, std::optional<uint64_t> after);
void settleUnclaimedBackups(UndoContext& cx);
void removeBackupFolder(UndoContext& cx);
// Takes one line (original, list) out of the machine's list of replaced files in windowsDir; the
// list goes once empty. False when the list holds the line but could not be rewritten.
bool dropReplacedIndexLine(FileSystem& fs, const std::string& windowsDir,
                           const std::string& original, const std::string& list);
// Files the installation edited in place and that are still as it left them get their old
// bytes, time and attributes back, or go when it made them.
void restoreUnchangedFiles(UndoContext& cx);
// undo_shared.cpp
// Lowers the counts of the shared files this installation counted. A file another installation
// of this installer still counts stays, and what this one kept of it is handed to that one; a
// file some other program counts stays too. Only a file back at the count it had before the
// first of them is left to its FILE line.
void lowerSharedCounts(UndoContext& cx);
// undo_text.cpp
void undoStartupLine(UndoContext& cx, const LogLine& line, const char* name);
void undoAddText(UndoContext& cx, const LogLine& line);
// undo_ini.cpp
void undoIniKey(UndoContext& cx, const LogLine& line);
// An INIFILE line naming a section the installation made: removed at the end when empty, once
// its file passed the guard.
void noteNewSection(UndoContext& cx, const LogLine& line);
// Sections of file (every file when section is empty) that the installation created and that
// are empty now.
void removeEmptySections(UndoContext& cx, const std::string& section, const std::string& file);
// undo_registry.cpp
void undoRegServer(UndoContext& cx, const LogLine& line);
void undoRegKey(UndoContext& cx, const LogLine& line);
// The registry values and keys instback.log records: values back to what they were while they
// hold what the installation left, deleted keys made again, keys a rename made removed.
void undoRegistryRecords(UndoContext& cx);
bool registryKeyIsEmpty(Registry& registry, RegistryRoot root, const std::string& key);
// Deletes the key when nothing is in it; what holds values or keys stays, reported as left.
void removeKeyIfEmpty(UndoContext& cx, const LogLine* line, RegistryRoot root,
                      const std::string& key);
// undo_program_items.cpp
void undoWinItem(UndoContext& cx, const LogLine& line);

}  // namespace qm
