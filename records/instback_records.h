// instback.log's lines as typed records, one format and one parse: the files an installation
// kept before writing over or deleting them (docs/replaced-files.md). The installer appends them
// and the uninstaller reads them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/system.h"

namespace qm {

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

}  // namespace qm
