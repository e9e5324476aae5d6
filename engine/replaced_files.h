// Files an installation writes over are kept first, so the uninstaller can put them back instead
// of deleting a file that was there before (a shared library in the system folder, an earlier
// installation's file), and the files a DELETE statement removes. The copies live in a folder
// beside install.log and are listed in a side file there; install.log itself is not changed.
// Format: docs/replaced-files.md.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/system.h"

namespace qm {

class Engine;

constexpr const char* kBackupListName = "instback.log";
constexpr const char* kBackupFolderName = "instback";

struct BackupRecord {
  // Saved: a copy was made. Kept: no copy could be made, so the uninstaller leaves the file.
  // Deleted: a DELETE statement removed the file; the copy puts it back.
  enum class Kind { Saved, Kept, Deleted };
  Kind kind = Kind::Saved;
  // install.log's size when the file was replaced (its FILE line is the first one for the same
  // path at or after this offset) or deleted (changes logged before it are older).
  uint64_t logOffset = 0;
  FatTime time;  // the file's own time and attributes (not Kept)
  uint32_t attributes = 0;
  std::string original;  // full path of the replaced file
  std::string copyName;  // its copy's name in the backup folder (not Kept)
};

// One line of the side file, without its line end.
std::string formatBackupRecord(const BackupRecord& record);
// nullopt for a line that is not exactly one record (the uninstaller then skips it).
std::optional<BackupRecord> parseBackupRecord(const std::string& line);

// Called just before the copy writes over target. Does nothing unless logging is on, the log's
// place is known and target is an existing file.
void keepReplacedFile(Engine& engine, const std::string& target);
// The same, just before a DELETE statement removes path.
void keepDeletedFile(Engine& engine, const std::string& path);

}  // namespace qm
