// AUTOEXEC, CONFIG and ADDTEXT lines: a changed line gets its old text back and an added line
// goes, every other byte of the file as it is.
#include <algorithm>

#include "base/dos_text.h"
#include "base/text.h"
#include "platform/file_handle.h"
#include "uninstall/undo_context.h"

namespace qm {

namespace {

// The line equal to text: the first, or the last.
std::optional<size_t> findLine(const DosText& text, const std::string& line, bool last) {
  std::optional<size_t> at;
  for (size_t i = 0; i < text.lines.size(); ++i) {
    if (text.lines[i].text != line) continue;
    at = i;
    if (!last) break;
  }
  return at;
}

struct LineChange {
  std::string oldLine, newLine;
};

std::string backupName(const std::string& path) { return path.substr(0, path.size() - 3) + "BAK"; }

// Old line back for a changed line; an added line removed. The text file is saved beside itself
// first (AUTOEXEC.BAK, CONFIG.BAK) when startupFile is set.
void undoLineChange(UndoContext& cx, const LogLine& line, const std::vector<LineChange>& readings,
                    const std::string& path, bool startupFile, bool removeLastMatch) {
  System& sys = cx.sys;
  if (cx.wasRestoredWhole(path)) return;
  std::optional<std::string> bytes = readAll(sys, path);
  if (!bytes) return cx.note(path + " is gone; nothing to put back");
  // Read as DOS reads it, so that each line keeps its own line end and a ^Z, what follows it and
  // a byte-order mark stay where they are.
  DosText text = DosText::parse(*bytes);
  // The readings whose new line is in the file.
  std::vector<std::pair<const LineChange*, size_t>> found;
  for (const LineChange& r : readings) {
    if (auto at = findLine(text, r.newLine, r.oldLine.empty() && removeLastMatch))
      found.push_back({&r, *at});
  }
  if (found.empty()) {
    // The change is not there: undone already (an edit answered No puts the old file back but
    // keeps its log lines) when the old line is, else changed by someone since.
    const LineChange& first = readings.front();
    if (readings.size() == 1 && (first.oldLine.empty() || findLine(text, first.oldLine, false)))
      return cx.note("\"" + first.newLine + "\" is not in " + path + "; nothing to undo");
    return cx.problem(
        &line, "the line \"" + first.newLine + "\" is no longer in " + path + "; nothing changed");
  }
  if (found.size() > 1)
    return cx.problem(&line, "the line can be read more than one way in " + path);
  const LineChange& r = *found.front().first;
  size_t at = found.front().second;
  if (r.oldLine.empty()) {
    text.lines.erase(text.lines.begin() + long(at));
  } else {
    text.lines[at].text = r.oldLine;
  }
  // A .BAK put back whole is the user's own again, not the installer's backup.
  if (startupFile && !cx.wasRestoredWhole(backupName(path)) &&
      std::find(cx.textBackedUp.begin(), cx.textBackedUp.end(), path) == cx.textBackedUp.end()) {
    const std::string bak = backupName(path);
    // The installer's own backup is the file as it was: once the text is that again, the file
    // gets its time back too.
    if (std::optional<std::string> before = readAll(sys, bak)) {
      if (std::optional<FatTime> time = fileTimeOf(sys, bak))
        cx.startupOriginals.push_back({path, *before, *time});
    } else {
      // No backup: the installer found no file and made this one from its additions alone.
      cx.madeByInstaller.push_back(path);
    }
    if (sys.files().attributes(bak)) sys.files().setAttributes(bak, kAttrNormal);
    if (!sys.files().copyFile(path, bak, false))
      return cx.problem(&line, path + " could not be saved as " + bak + "; nothing changed");
    cx.textBackedUp.push_back(path);
  }
  if (!replaceFile(sys, path, text.bytes()))
    return cx.problem(&line, path + " could not be rewritten");
  if (text.lines.empty() && std::find(cx.madeByInstaller.begin(), cx.madeByInstaller.end(), path) !=
                                cx.madeByInstaller.end()) {
    // Nothing is left of a file the installation made: it goes, with the copy saved above.
    if (deleteFileForced(sys, path)) {
      deleteFileForced(sys, backupName(path));
      return cx.done("deleted " + path + ", which the installation had made");
    }
  }
  for (const UndoContext::Original& o : cx.startupOriginals) {
    if (o.path != path) continue;
    // An addition terminated the old last line first; with the additions gone, that line end is
    // the only difference from the file as it was.
    std::string now = text.bytes();
    if (!text.lines.empty() && !text.lines.back().end.empty() &&
        now == o.text + text.lines.back().end) {
      text.lines.back().end.clear();
      if (!replaceFile(sys, path, text.bytes())) break;
      now = text.bytes();
    }
    if (o.text != now) continue;
    ScopedFile h = ScopedFile::openReadWrite(sys, path);
    if (!h) break;
    sys.files().setFileTime(h.get(), o.time);
  }
  cx.done(std::string(r.oldLine.empty() ? "removed \"" + r.newLine + "\" from "
                                        : "put \"" + r.oldLine + "\" back into ") +
          path);
}

}  // namespace

void undoStartupLine(UndoContext& cx, const LogLine& line, const char* name) {
  std::string path = std::string(1, bootDriveLetter(cx.sys)) + ":\\" + name;
  std::vector<LineChange> readings;
  for (const LogRecord& r : line.readings) {
    if (const auto* a = std::get_if<AutoexecRecord>(&r))
      readings.push_back({a->oldLine, a->newLine});
    if (const auto* c = std::get_if<ConfigRecord>(&r)) readings.push_back({c->oldLine, c->newLine});
  }
  undoLineChange(cx, line, readings, path, true, true);
}

void undoAddText(UndoContext& cx, const LogLine& line) {
  // Every reading names its file; they must agree on one that is safe.
  std::optional<std::string> file;
  std::vector<LineChange> readings;
  for (const AddTextRecord* r : line.all<AddTextRecord>()) {
    std::string path = cx.inDestination(line, r->file);
    if (file && !equalsNoCase(*file, path))
      return cx.problem(&line, "the text's file cannot be told apart; nothing changed");
    file = path;
    readings.push_back({r->oldLine, r->newText});
  }
  auto path = cx.safe(line, *file);
  if (!path) return;
  undoLineChange(cx, line, readings, *path, false, false);
}

}  // namespace qm
