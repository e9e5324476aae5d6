// INIFILE entries: one key of one section set or extended through the system's profile
// functions, each change recorded so that the uninstaller can put the old value back.
#include "base/text.h"
#include "engine/engine.h"
#include "engine/replaced_files.h"
#include "platform/file_handle.h"
#include "sysconfig/config_values.h"
#include "sysconfig/text_edits.h"

namespace qm {

namespace {

// A profile read as the installer compares it: up to the first NUL, so a key list counts by its
// first name.
std::string firstText(const std::string& text) { return text.substr(0, text.find('\0')); }

constexpr const char* kIniKeepName = "~qmini.old";

bool isMarker(const std::string& text) { return equalsNoCase(firstText(text), kProfileMarker); }

// Where the existence test looks for the file: a plain name in the Windows directory.
std::string fullIniPath(const Engine& engine, const std::string& file) {
  if ((!file.empty() && file[0] == '\\') || (file.size() >= 2 && file[1] == ':')) return file;
  return engine.macros.winDir + "\\" + file;
}

bool fileExists(FileSystem& fs, const std::string& path) {
  return bool(ScopedFile::openRead(fs, path));
}

void applyIniEntry(Engine& engine, IniEntry& entry) {
  if (entry.mode == 0) return;
  expandMacros(engine.macros, entry.value);
  expandLeftRight(engine.macros, entry.value);
  expandMacros(engine.macros, entry.file);
  expandMacros(engine.macros, entry.section);
  expandMacros(engine.macros, entry.key);

  if (entry.mode == 2) {
    MessageRequest box;
    box.text = engine.state.settings.prompts.iniFile + entry.file + "?";
    box.icon = MsgIcon::Question;
    box.buttons = MsgButtons::YesNo;
    box.owned = true;
    box.topic = "IniFile";
    if (engine.ui.messageBox(box) == MsgResult::No) return;
  }

  FileSystem& fs = engine.sys;
  Profiles& ini = engine.sys;
  std::string newFile;
  if (!equalsNoCase(entry.file, "WIN.INI")) {
    const std::string path = fullIniPath(engine, entry.file);
    if (!fileExists(fs, path)) newFile = path;
  }
  const bool newSection =
      isMarker(ini.profileKeys(entry.file, entry.section, kProfileMarker, kProfileBufferChars));
  const std::string current =
      ini.profileString(entry.file, entry.section, entry.key, kProfileMarker, kProfileValueChars);
  if (equalsNoCase(current, entry.value)) return;

  IniKeyRecord line{entry.section, entry.key, entry.value, entry.file, std::nullopt};
  std::string text = entry.value;
  if (!isMarker(current)) {
    if (entry.add) {
      if (upperAscii(current).find(upperAscii(entry.value)) != std::string::npos) return;
      text = current + " " + entry.value;
      line.previous = text;
    } else {
      line.previous = current;
    }
  }
  // A copy of the file waits beside it until the change is recorded: putting it back is then a
  // rename, which a full disk cannot refuse.
  const std::string path = fullIniPath(engine, entry.file);
  const std::string keep = directoryPart(path) + kIniKeepName;
  if (fs.attributes(keep)) fs.deleteFile(keep);
  const bool kept = newFile.empty() && fs.attributes(path) && fs.copyFile(path, keep, false);
  if (newFile.empty() && fs.attributes(path) && !kept) {
    engine.ui.trace("INI file " + path + " could not be copied before the change; [" +
                    entry.section + "] " + entry.key + " is left as it is");
    return;
  }
  keepPriorState(engine, path);
  // Only what reached the file is recorded: the uninstaller must not undo a change that was
  // never made, nor delete a file the installer did not create.
  const bool written = ini.writeProfileString(entry.file, entry.section, entry.key, text);
  ini.flushProfile(entry.file);
  if (!written) {
    if (kept) fs.deleteFile(keep);
    engine.ui.trace("INI file " + entry.file + " could not be written: [" + entry.section + "] " +
                    entry.key);
    return;
  }
  const bool recorded =
      (newFile.empty() || engine.log.record(FileRecord{newFile}) >= 0) &&
      engine.log.record(line) >= 0 &&
      (!newSection || engine.log.record(IniSectionRecord{entry.section, entry.file}) >= 0);
  if (recorded) {
    if (kept) fs.deleteFile(keep);
    keepDigest(engine, path);
    return;
  }
  // What cannot be undone later is undone now: the old value, or no key, section or file.
  if (!isMarker(current)) {
    ini.writeProfileString(entry.file, entry.section, entry.key, current);
  } else if (newSection) {
    ini.deleteProfileSection(entry.file, entry.section);
  } else {
    ini.deleteProfileKey(entry.file, entry.section, entry.key);
  }
  ini.flushProfile(entry.file);
  if (kept) fs.moveFile(keep, path, true);
  if (!newFile.empty()) fs.deleteFile(newFile);
  engine.ui.trace("INI file " + entry.file + ": [" + entry.section + "] " + entry.key +
                  " could not be recorded in install.log; the change is undone");
}

}  // namespace

void applyIniEntries(Engine& engine) {
  for (IniEntry& entry : engine.state.config.iniEntries) applyIniEntry(engine, entry);
}

}  // namespace qm
