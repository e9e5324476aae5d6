// Files an installation writes over are kept first, so the uninstaller can put them back instead
// of deleting a file that was there before (a shared library in the system folder, an earlier
// installation's file), and the files a DELETE statement removes. The copies live in a folder
// beside install.log and are listed in a side file there; install.log itself is not changed.
// Format: docs/replaced-files.md.
#pragma once

#include <string>

#include "records/instback_records.h"

namespace qm {

class Engine;

// Appends one record to instback.log, stamped with install.log's size now. Does nothing unless
// logging is on and the log's place is known.
void keepRecord(Engine& engine, BackupRecord record);
// A DIGEST record of the file as it is now, after the installation wrote or edited it.
void keepDigest(Engine& engine, const std::string& path);
// Before the installation first changes a file it edits in place (a start-up file and its .BAK,
// an INI file, a text file): a PRIOR record with a copy of the file, or ABSENT when there is
// none. Once per file and run.
void keepPriorState(Engine& engine, const std::string& path);
// The FILE line of a file the installation wrote, its digest, and its use count when it is a
// shared file (existed: a file was there before the write).
void logWrittenFile(Engine& engine, const std::string& path, bool existed);

// Called just before the copy writes over target. Does nothing unless logging is on, the log's
// place is known and target is an existing file.
void keepReplacedFile(Engine& engine, const std::string& target);
// The same, just before a DELETE statement removes path.
void keepDeletedFile(Engine& engine, const std::string& path);

}  // namespace qm
