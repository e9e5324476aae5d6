// The simulated machine's private-profile functions: INI files on the simulated disks, read and
// written through the machine's own file calls (so its faults reach them). A changed file is
// written to a temporary file beside it and renamed over it, so a failed write leaves the old
// file whole.
#include "base/text.h"
#include "platform/file_handle.h"
#include "platform/sim/profile_text.h"
#include "platform/sim/sim_system.h"

namespace qm {

namespace {

constexpr const char* kProfileTemp = "~qmprof.tmp";

// A default text as a key read uses it: blanks at its end do not count.
std::string trimDefault(const std::string& fallback) {
  size_t end = fallback.find_last_not_of(' ');
  return end == std::string::npos ? fallback.substr(0, 1) : fallback.substr(0, end + 1);
}

std::string profilePath(SimSystem& sys, const std::string& file) {
  // Only a plain name goes to the Windows directory; anything with a folder or a drive is taken
  // as a path of its own.
  const bool plain =
      file.find_first_of("\\/") == std::string::npos && !(file.size() >= 2 && file[1] == ':');
  return plain ? withTrailingBackslash(sys.windowsDirectory()) + file : file;
}

// The file's bytes; empty for a file that does not exist, nullopt for one that cannot be read.
std::optional<std::string> readProfileBytes(SimSystem& sys, const std::string& path) {
  ScopedFile file = ScopedFile::openRead(sys, path);
  if (!file) return sys.attributes(path) ? std::nullopt : std::optional<std::string>("");
  return readRest(sys, file.get());
}

bool saveProfile(SimSystem& sys, const std::string& path, const std::string& bytes) {
  // The system re-creates the file, which it refuses for a read-only, hidden or system file.
  if (auto attrs = sys.attributes(path);
      attrs && (*attrs & (kAttrReadOnly | kAttrHidden | kAttrSystem)))
    return false;
  const std::string temp = directoryPart(path) + kProfileTemp;
  bool written = false;
  {
    ScopedFile file = ScopedFile::create(sys, temp);
    if (!file) return false;
    written = sys.write(file.get(), bytes.data(), uint32_t(bytes.size())) == int32_t(bytes.size());
  }
  if (written && sys.moveFile(temp, path, true)) return true;
  sys.deleteFile(temp);
  return false;
}

}  // namespace

std::string SimSystem::profileString(const std::string& file, const std::string& section,
                                     const std::string& key, const std::string& fallback,
                                     size_t bufferChars) {
  std::optional<std::string> bytes = readProfileBytes(*this, profilePath(*this, file));
  if (!bytes) return fallback.substr(0, bufferChars ? bufferChars - 1 : 0);
  const ProfileText doc = ProfileText::parse(*bytes);
  const std::string* value = doc.value(section, key);
  return profileCopy(value ? *value : trimDefault(fallback), bufferChars);
}

std::string SimSystem::profileKeys(const std::string& file, const std::string& section,
                                   const std::string& fallback, size_t bufferChars) {
  std::optional<std::string> bytes = readProfileBytes(*this, profilePath(*this, file));
  std::string list = bytes ? ProfileText::parse(*bytes).keyList(section, bufferChars) : "";
  return list.empty() ? profileCopy(fallback, bufferChars) : list;
}

bool SimSystem::writeProfileString(const std::string& file, const std::string& section,
                                   const std::string& key, const std::string& value) {
  const std::string path = profilePath(*this, file);
  std::optional<std::string> bytes = readProfileBytes(*this, path);
  if (!bytes) return false;  // never overwrite what could not be read
  ProfileText doc = ProfileText::parse(*bytes);
  if (!doc.set(section, key, value)) return true;
  return saveProfile(*this, path, doc.text());
}

bool SimSystem::deleteProfileKey(const std::string& file, const std::string& section,
                                 const std::string& key) {
  const std::string path = profilePath(*this, file);
  std::optional<std::string> bytes = readProfileBytes(*this, path);
  if (!bytes) return false;
  ProfileText doc = ProfileText::parse(*bytes);
  return !doc.removeKey(section, key) || saveProfile(*this, path, doc.text());
}

bool SimSystem::deleteProfileSection(const std::string& file, const std::string& section) {
  const std::string path = profilePath(*this, file);
  std::optional<std::string> bytes = readProfileBytes(*this, path);
  if (!bytes) return false;
  ProfileText doc = ProfileText::parse(*bytes);
  return !doc.removeSection(section) || saveProfile(*this, path, doc.text());
}

// Every change is on the disk already.
void SimSystem::flushProfile(const std::string& file) {}

}  // namespace qm
