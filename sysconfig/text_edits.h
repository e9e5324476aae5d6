// The text half of the system configuration: AUTOEXEC.BAT and CONFIG.SYS (startup_files.cpp),
// INI entries (ini_entries.cpp) and text additions (text_additions.cpp). Each file is read whole,
// its new text worked out in memory and then written in one go, so a failed write never leaves a
// half-changed file, and the install log records only changes that reached the disk.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_handle.h"
#include "platform/system.h"
#include "records/config_records.h"
#include "script/macros.h"

namespace qm {

class Engine;

void editAutoexecFile(Engine& engine);
void editConfigFile(Engine& engine);
void applyIniEntries(Engine& engine);
void applyTextAdditions(Engine& engine);

// Working limits of the DOS start-up files: the longest line a change may make (counting one
// character for its line end) and the longest directory inserted into a PATH line. A line that
// is already longer is never cut: it is read whole, and left as it is when a change would pass
// the limit.
constexpr size_t kPathLineChars = 243;
constexpr size_t kPathDirectoryChars = 499;
// Profile reads of a section's key list and of a key's value.
constexpr size_t kProfileBufferChars = 998;
// The value of a key that will be extended is read whole, well past the usual buffer, so that
// what is written back never loses its end.
constexpr size_t kProfileValueChars = 32768;
constexpr const char* kProfileMarker = "~Mirn";

// A file's new bytes, worked out before anything is written.
struct TextEdit {
  std::string bytes;               // exactly as they go to the file
  std::vector<std::string> log;    // install-log lines, in order
  std::vector<std::string> notes;  // for the trace: lines left alone, and why
  bool changed = false;
};

// AUTOEXEC.BAT's new bytes for the request. configName is the CONFIG environment variable (the
// start-up configuration chosen at boot), when it is set. The request's entries are expanded and
// marked done as they are used.
TextEdit rewriteAutoexec(std::string_view oldBytes, AutoexecRequest& request,
                         const MacroValues& macros, const std::optional<std::string>& configName);
TextEdit rewriteConfig(std::string_view oldBytes, ConfigRequest& request,
                       const MacroValues& macros);

// Where the directory list of a line that sets the search path begins (the line end for an
// empty path); 0 for a line that sets no path.
size_t pathValueOffset(std::string_view line);
// Just after "SHARE" in the program name of a line that loads the file-sharing program; npos for
// any other line.
size_t shareProgramEnd(std::string_view line);
// Where the number of a CONFIG.SYS line setting keyword (FILES, BUFFERS) begins; npos for any
// other line.
size_t configValueOffset(std::string_view line, std::string_view keyword);

// Puts the file's read-only, hidden and system attributes back after it was rewritten.
void restoreAttributes(FileSystem& fs, const std::string& path, std::optional<uint32_t> before);

}  // namespace qm
