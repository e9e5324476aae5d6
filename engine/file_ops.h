// File services of the installation engine: directory creation with its log record, file times
// by path, and the RENAME, DELETE and REGSERVER work.
#pragma once

#include <string>

#include "platform/file_handle.h"
#include "platform/system.h"
#include "records/engine_records.h"

namespace qm {

class Engine;

// Creates every missing level of path beyond the existing prefix, leaving the deepest level the
// current directory, and records the levels made as one "DIRECTORY:" log entry. 0, or 2 after
// a level could not be made (shown unless showFailure is false: the destination dialog shows
// its own).
int createDirectories(Engine& engine, const std::string& path, const std::string& existingPrefix,
                      bool showFailure = true);
// createDirectories with the drive root ("C:\") as the existing prefix.
int createPath(Engine& engine, const std::string& path, bool showFailure = true);

// The OVERWRITE=ASK question for an existing target; true when the user says to replace it.
// A yes moves the progress window below a popup that is showing, as the copy goes on under it.
bool confirmOverwrite(Engine& engine, const std::string& target);
// Counts the bytes of a file left in place as done, so the bar still reaches its end.
void countSkippedBytes(Engine& engine, int64_t bytes);

// True for the libraries whose version text decides an OVERWRITE=NEW: .dll, .vbx and .ocx.
bool isLibrary(const std::string& path);

// Moves old to new (replacing new in one step) and logs "RENAME: new, old"; nothing when old
// does not exist or the move fails.
void renameFile(Engine& engine, const std::string& oldPath, const std::string& newPath);
// One RENAME entry: plain, or one of the three wildcard forms.
void renameEntry(Engine& engine, const RenameEntry& entry);
// One DELETE entry: a file, or every file matching a wildcard (never a directory).
void deleteEntry(Engine& engine, const std::string& path);
// Registers one library; shows the failure and returns 0 when it did not register.
int registerServer(Engine& engine, const std::string& path);

}  // namespace qm
