// A text file as DOS reads it: the start-up files and the text files the installer edits. Every
// line keeps its own line end (CR LF, LF or CR alone), the text ends at the first ^Z and what
// follows it is kept, a last line may have no line end, a byte-order mark stands apart from the
// first line, and no line is ever cut, however long. Writing the lines back gives the same bytes.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qm {

constexpr char kDosEndOfText = '\x1A';
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

struct DosLine {
  std::string text;  // without its line end
  std::string end;   // "\r\n", "\n", "\r", or empty for a last line that has none
  friend bool operator==(const DosLine&, const DosLine&) = default;
};

struct DosText {
  std::string mark;  // the UTF-8 byte-order mark the file starts with, or empty
  std::vector<DosLine> lines;
  std::string tail;  // the ^Z that ends the text and every byte after it, or empty

  static DosText parse(std::string_view bytes);
  // The bytes the file had, with whatever changes were made to the lines.
  std::string bytes() const;
  // The line end a new line gets: the one the file uses first, CR LF when it has none.
  std::string newLineEnd() const;
  // Puts new lines in before line at (at the end for lines.size()), each with the file's line
  // end, or with CR LF where a CR alone would run into a neighbour's LF and join two lines.
  void insertLines(size_t at, const std::vector<std::string>& texts);
  bool lastLineEnded() const { return lines.empty() || !lines.back().end.empty(); }
};

// A line with a byte below 32 other than the tab: binary data or a stray NUL that no rule may read
// as a command, and that no log line can hold.
bool hasControlByte(std::string_view line);
// A file in UTF-16 (it starts with a UTF-16 byte-order mark): DOS cannot read it as lines.
bool isUtf16Text(std::string_view bytes);

}  // namespace qm
