// ADDTEXT: one line put into a text file, or put in place of one, at a line number counted from
// either end or next to the first line that matches a search text. The new text goes to a
// temporary file beside the old one, which then replaces it in one step.
#include "base/dos_text.h"
#include "base/text.h"
#include "engine/engine.h"
#include "engine/replaced_files.h"
#include "platform/file_handle.h"
#include "sysconfig/text_edits.h"

namespace qm {

namespace {

constexpr const char* kTempName = "~Mirn.tmp";
constexpr const char* kOldName = "~Mirn.old";

// A search text matches a whole line, or with a trailing "*" the start of one.
bool matchesPosition(std::string_view line, std::string_view position) {
  if (!position.empty() && position.back() == '*')
    return startsWithNoCase(line, position.substr(0, position.size() - 1));
  return equalsNoCase(line, position);
}

std::string additionLog(std::string_view oldLine, const std::string& file, std::string_view text) {
  return formatLogRecord(AddTextRecord{std::string(oldLine), file, std::string(text)});
}

struct Target {
  bool search = false;  // no line number: the position is a search text
  long line = 0;
};

// The line the text goes to (or replaces). nullopt when the text is there already.
std::optional<Target> findTarget(const std::vector<DosLine>& lines, const TextAddition& a) {
  Target target;
  target.line = parseLeadingInt(a.position);
  target.search = target.line == 0;
  const long count = static_cast<long>(lines.size());
  for (long i = 0; i < count; ++i) {
    const std::string& line = lines[size_t(i)].text;
    if (!a.replace && equalsNoCase(line, a.text)) return std::nullopt;
    if (target.search && matchesPosition(line, a.position)) {
      target.search = false;
      target.line = a.replace ? i + 1 : i + 2;
    }
  }
  if (target.search) return target;
  if (target.line > count + 1) target.line = count + 1;
  if (target.line < 0) target.line = count + target.line + (a.replace ? 1 : 2);
  if (target.line < 1) target.line = 1;
  return target;
}

// Every line keeps its own line end and its whole length; a new line takes the end the file
// uses.
TextEdit addText(DosText text, const TextAddition& a, bool created, const Target& target) {
  TextEdit edit;
  const long count = static_cast<long>(text.lines.size());
  const std::string end = text.newLineEnd();
  if (!target.search && target.line <= count) {
    DosLine& line = text.lines[size_t(target.line - 1)];
    const std::string oldLine = line.text;
    if (!a.replace) {
      text.insertLines(size_t(target.line - 1), {a.text});
      edit.log.push_back(additionLog("", a.file, a.text));
    } else if (!a.text.empty() && a.text.back() == '*') {
      line.text = a.text.substr(0, a.text.size() - 1) + oldLine;
      edit.log.push_back(additionLog(oldLine, a.file, line.text));
    } else {
      line.text = a.text;
      edit.log.push_back(additionLog(oldLine, a.file, a.text));
    }
    edit.changed = true;
  }
  if ((target.search || target.line == count + 1) && (!a.replace || created)) {
    if (!text.lastLineEnded()) text.lines.back().end = end;
    text.insertLines(text.lines.size(), {a.text});
    edit.log.push_back(additionLog("", a.file, a.text));
    edit.changed = true;
  }
  edit.bytes = text.bytes();
  return edit;
}

// The new bytes are written beside the file and put in its place in one step, its attributes
// kept. A copy of the old file waits beside it until the change is recorded, so that putting it
// back is a rename, which a full disk cannot refuse.
class TextReplacement {
 public:
  TextReplacement(FileSystem& fs, const std::string& file)
      : fs_(fs), file_(file), attributes_(fs.attributes(file)) {
    const size_t slash = file.rfind('\\');
    const std::string dir = slash == std::string::npos ? std::string() : file.substr(0, slash + 1);
    temp_ = dir + kTempName;
    old_ = dir + kOldName;
  }
  bool replace(std::string_view bytes) {
    for (const std::string& stale : {temp_, old_})
      if (fs_.attributes(stale)) fs_.deleteFile(stale);
    if (!writeFileBytes(fs_, temp_, bytes) || !fs_.copyFile(file_, old_, false)) return undo();
    fs_.setAttributes(file_, kAttrNormal);
    if (!fs_.moveFile(temp_, file_, true)) return undo();
    restoreAttributes(fs_, file_, attributes_);
    return true;
  }
  // The change is recorded: the old copy goes.
  void keep() { fs_.deleteFile(old_); }
  // Puts the old file back.
  bool undo() {
    fs_.deleteFile(temp_);
    if (fs_.attributes(old_)) {
      fs_.setAttributes(file_, kAttrNormal);
      fs_.moveFile(old_, file_, true);
    }
    restoreAttributes(fs_, file_, attributes_);
    return false;
  }

 private:
  FileSystem& fs_;
  std::string file_, temp_, old_;
  std::optional<uint32_t> attributes_;
};

void applyTextAddition(Engine& engine, TextAddition& a) {
  FileSystem& fs = engine.sys;
  fs.setCurrentDirectory(engine.destination());
  expandMacros(engine.macros, a.text);
  expandMacros(engine.macros, a.file);
  if (!a.position.empty()) expandMacros(engine.macros, a.position);

  // The file as the uninstaller will find it: a relative name lies in the destination.
  const bool rooted =
      (!a.file.empty() && a.file[0] == '\\') || (a.file.size() > 1 && a.file[1] == ':');
  const std::string path = rooted ? a.file : engine.destination() + "\\" + a.file;
  keepPriorState(engine, path);
  std::optional<std::string> old = readAll(fs, a.file);
  bool created = false;
  if (!old) {
    ScopedFile::openAppend(fs, a.file);
    old = readAll(fs, a.file);
    if (!old) {
      engine.ui.trace("text file " + a.file + " can neither be read nor created");
      return;
    }
    created = true;
    if (engine.log.record(FileRecord{a.file}) < 0) {
      fs.deleteFile(a.file);
      engine.ui.trace("text file " + a.file + ": could not be recorded in install.log; removed");
      return;
    }
  }
  if (isUtf16Text(*old)) {
    engine.ui.trace("text file " + a.file + " is UTF-16 text; it is left as it is");
    return;
  }
  const DosText text = DosText::parse(*old);
  const std::optional<Target> target = findTarget(text.lines, a);
  if (!target) return;
  const TextEdit edit = addText(text, a, created, *target);
  if (!edit.changed) return;
  TextReplacement replacement(fs, a.file);
  if (!replacement.replace(edit.bytes)) {
    engine.ui.trace("text file " + a.file + " could not be rewritten; it is left unchanged");
    return;
  }
  for (const std::string& line : edit.log) {
    if (engine.log.record(line) >= 0) continue;
    replacement.undo();
    engine.ui.trace("text file " + a.file +
                    ": its change could not be recorded in install.log and is undone");
    return;
  }
  replacement.keep();
  keepDigest(engine, path);
}

}  // namespace

void applyTextAdditions(Engine& engine) {
  for (TextAddition& a : engine.state.config.textAdditions) applyTextAddition(engine, a);
}

}  // namespace qm
