// The text half of the system configuration: AUTOEXEC.BAT and CONFIG.SYS (startup_files.cpp),
// INI entries (ini_entries.cpp) and text additions (text_additions.cpp). Each file is read whole,
// its new text worked out in memory and then written in one go, so a failed write never leaves a
// half-changed file, and the install log records only changes that reached the disk.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/system.h"
#include "records/config_records.h"
#include "script/macros.h"

namespace qm {

class Engine;

void editAutoexecFile(Engine& engine);
void editConfigFile(Engine& engine);
void applyIniEntries(Engine& engine);
void applyTextAdditions(Engine& engine);

// Working limits of the DOS start-up files: the pieces they are read in, the longest PATH line
// an insertion may make (line end included) and the longest directory inserted.
constexpr size_t kStartupPieceChars = 240;
constexpr size_t kPathLineChars = 243;
constexpr size_t kPathDirectoryChars = 499;
// Text additions read their files in pieces of 997 characters and the line end.
constexpr size_t kTextPieceChars = 998;
// Profile reads of a section's key list and of a key's value.
constexpr size_t kProfileBufferChars = 998;
// The value of a key that will be extended is read whole, well past the usual buffer, so that
// what is written back never loses its end.
constexpr size_t kProfileValueChars = 32768;
constexpr const char* kProfileMarker = "~Mirn";

// A file's new text, worked out before anything is written.
struct TextEdit {
  std::string text;                // line feeds only; text mode adds the carriage returns
  std::vector<std::string> log;    // install-log lines, in order
  std::vector<std::string> notes;  // for the trace: lines left alone, and why
  bool changed = false;
};

// AUTOEXEC.BAT's new text for the request. configName is the CONFIG environment variable (the
// start-up configuration chosen at boot), when it is set. The request's entries are expanded and
// marked done as they are used.
TextEdit rewriteAutoexec(std::string_view oldText, AutoexecRequest& request,
                         const MacroValues& macros, const std::optional<std::string>& configName);
TextEdit rewriteConfig(std::string_view oldText, ConfigRequest& request, const MacroValues& macros);

// Where the directory list of a line that sets the search path begins (the line end for an
// empty path); 0 for a line that sets no path.
size_t pathValueOffset(std::string_view line);
// Just after "SHARE" in the program name of a line that loads the file-sharing program; npos for
// any other line.
size_t shareProgramEnd(std::string_view line);
// Where the number of a CONFIG.SYS line setting keyword (FILES, BUFFERS) begins; npos for any
// other line.
size_t configValueOffset(std::string_view line, std::string_view keyword);

// Pieces of a text as a line reader with a buffer of maxChars gets them: each ends after its
// line feed, or earlier when the line is longer.
std::vector<std::string> splitPieces(std::string_view text, size_t maxChars);

inline bool endsLine(std::string_view s) { return !s.empty() && s.back() == '\n'; }
inline std::string withoutLineEnd(std::string_view s) {
  return std::string(endsLine(s) ? s.substr(0, s.size() - 1) : s);
}

// Windows text mode over the seam's binary files: nullopt when the file cannot be opened or read.
std::optional<std::string> readTextFile(FileSystem& fs, const std::string& path);
// Creates the file and writes the text with CR LF line ends; a file that could not be written
// whole is deleted again.
bool writeTextFile(FileSystem& fs, const std::string& path, std::string_view text);

}  // namespace qm
