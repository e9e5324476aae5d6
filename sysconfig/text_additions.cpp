// ADDTEXT: one line put into a text file, or put in place of one, at a line number counted from
// either end or next to the first line that matches a search text. The new text goes to a
// temporary file beside the old one, which then replaces it in one step.
#include "base/text.h"
#include "engine/engine.h"
#include "platform/file_handle.h"
#include "sysconfig/text_edits.h"

namespace qm {

namespace {

constexpr const char* kTempName = "~Mirn.tmp";

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
std::optional<Target> findTarget(const std::vector<std::string>& lines, const TextAddition& a) {
  Target target;
  target.line = parseLeadingInt(a.position);
  target.search = target.line == 0;
  const long count = static_cast<long>(lines.size());
  for (long i = 0; i < count; ++i) {
    const std::string line = withoutLineEnd(lines[size_t(i)]);
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

TextEdit addText(const std::vector<std::string>& lines, const TextAddition& a, bool created,
                 const Target& target) {
  TextEdit edit;
  const long count = static_cast<long>(lines.size());
  for (long i = 1; i <= count; ++i) {
    const std::string& line = lines[size_t(i - 1)];
    if (target.search || i != target.line) {
      edit.text += line;
      continue;
    }
    const std::string oldLine = withoutLineEnd(line);
    if (!a.replace) {
      if (!edit.text.empty() && !endsLine(edit.text)) edit.text += "\n";
      edit.text += a.text + "\n" + line;
      edit.log.push_back(additionLog("", a.file, a.text));
    } else if (!a.text.empty() && a.text.back() == '*') {
      const std::string front = a.text.substr(0, a.text.size() - 1);
      edit.text += front + line;
      edit.log.push_back(additionLog(oldLine, a.file, front + oldLine));
    } else {
      edit.text += a.text + "\n";
      edit.log.push_back(additionLog(oldLine, a.file, a.text));
    }
    edit.changed = true;
  }
  if ((target.search || target.line == count + 1) && (!a.replace || created)) {
    if (!edit.text.empty() && !endsLine(edit.text)) edit.text += "\n";
    edit.text += a.text + "\n";
    edit.log.push_back(additionLog("", a.file, a.text));
    edit.changed = true;
  }
  return edit;
}

void applyTextAddition(Engine& engine, TextAddition& a) {
  FileSystem& fs = engine.sys;
  fs.setCurrentDirectory(engine.destination());
  expandMacros(engine.macros, a.text);
  expandMacros(engine.macros, a.file);
  if (!a.position.empty()) expandMacros(engine.macros, a.position);

  std::optional<std::string> old = readTextFile(fs, a.file);
  bool created = false;
  if (!old) {
    ScopedFile::openAppend(fs, a.file);
    old = readTextFile(fs, a.file);
    if (!old) {
      engine.ui.trace("text file " + a.file + " can neither be read nor created");
      return;
    }
    created = true;
    engine.log.record(FileRecord{a.file});
  }
  const std::vector<std::string> lines = splitPieces(*old, kTextPieceChars);
  const std::optional<Target> target = findTarget(lines, a);
  if (!target) return;
  const TextEdit edit = addText(lines, a, created, *target);

  const size_t slash = a.file.rfind('\\');
  const std::string temp =
      (slash == std::string::npos ? std::string() : a.file.substr(0, slash + 1)) + kTempName;
  if (fs.attributes(temp)) fs.deleteFile(temp);
  if (!writeTextFile(fs, temp, edit.text) || !fs.moveFile(temp, a.file, true)) {
    fs.deleteFile(temp);
    engine.ui.trace("text file " + a.file + " could not be rewritten; it is left unchanged");
    return;
  }
  for (const std::string& line : edit.log) engine.log.record(line);
}

}  // namespace

void applyTextAdditions(Engine& engine) {
  for (TextAddition& a : engine.state.config.textAdditions) applyTextAddition(engine, a);
}

}  // namespace qm
