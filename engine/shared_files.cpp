#include "engine/shared_files.h"

#include "base/text.h"
#include "base/win_path.h"
#include "engine/engine.h"
#include "engine/replaced_files.h"
#include "platform/file_handle.h"
#include "records/instback_records.h"

namespace qm {

namespace {

// The machine's list of replaced files names every installation that counted the file too, in
// the order they counted it: the uninstaller finds there who else still uses it.
void listClaim(Engine& engine, const std::string& path) {
  System& sys = engine.sys;
  const std::string index =
      withTrailingBackslash(sys.files().windowsDirectory()) + kReplacedIndexName;
  const ReplacedIndexLine ours{path, directoryPart(engine.log.path()) + kBackupListName};
  std::string text = readAll(sys, index).value_or("");
  size_t start = 0;
  while (start < text.size()) {
    size_t nl = text.find('\n', start);
    std::string line = text.substr(start, nl == std::string::npos ? nl : nl - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::optional<ReplacedIndexLine> listed = parseReplacedIndexLine(line);
    if (listed && equalsNoCase(listed->original, ours.original) &&
        equalsNoCase(listed->list, ours.list))
      return;  // the copy it kept listed it already
    start = nl == std::string::npos ? text.size() : nl + 1;
  }
  ScopedFile file = ScopedFile::openAppend(sys, index);
  if (!file || !file.writeAll(formatReplacedIndexLine(ours) + "\r\n"))
    engine.ui.trace("could not write " + index);
}

}  // namespace

std::optional<uint32_t> sharedCountOf(const RegistryValue& value) {
  if ((value.type != kRegDword && value.type != kRegBinary) || value.data.size() != 4)
    return std::nullopt;
  const std::vector<uint8_t>& b = value.data;
  return uint32_t(b[3]) << 24 | uint32_t(b[2]) << 16 | uint32_t(b[1]) << 8 | b[0];
}

RegistryValue sharedCountValue(uint32_t count) {
  return {kRegDword,
          {uint8_t(count), uint8_t(count >> 8), uint8_t(count >> 16), uint8_t(count >> 24)}};
}

bool inSharedFolder(System& sys, const std::string& path) {
  const std::string folder = withoutTrailingBackslash(directoryPart(path));
  return equalsNoCase(folder, withoutTrailingBackslash(sys.files().windowsDirectory())) ||
         equalsNoCase(folder, withoutTrailingBackslash(sys.files().systemDirectory()));
}

void countSharedFile(Engine& engine, const std::string& path, bool existed) {
  System& sys = engine.sys;
  // Without logging there is no uninstaller to lower the count again.
  if (!engine.state.engine.logging || engine.log.path().empty() ||
      windowsVersionOf(sys.machine().versionWord()) < 4.0 || !inSharedFolder(sys, path))
    return;
  for (const std::string& counted : engine.sharedCounted)
    if (equalsNoCase(counted, path)) return;
  engine.sharedCounted.push_back(path);

  BackupRecord record;
  record.kind = BackupRecord::Kind::Shared;
  record.original = path;
  const RegistryRoot root = RegistryRoot::LocalMachine;
  if (std::optional<RegistryValue> now =
          sys.registry().readRegistryValue(root, kSharedFilesKey, path)) {
    std::optional<uint32_t> count = sharedCountOf(*now);
    if (!count || *count == UINT32_MAX) {
      engine.ui.trace("not counted: the count of " + path + " is no number it can raise");
      return;
    }
    record.count = *count;
    record.found = true;
  } else {
    record.count = existed ? 1 : 0;
  }
  // Each level the raise makes is recorded, so that the uninstaller takes away only its own.
  std::vector<std::string> made;
  const std::string key = kSharedFilesKey;
  bool ready = true;
  for (size_t end = key.find('\\'); ready; end = key.find('\\', end + 1)) {
    RegistryKeyResult result = sys.registry().createRegistryKey(root, key.substr(0, end));
    if (result == RegistryKeyResult::Created) made.push_back(key.substr(0, end));
    ready = result != RegistryKeyResult::Failed;
    if (end == std::string::npos) break;
  }
  if (!ready || !sys.registry().setRegistryValue(root, kSharedFilesKey, path,
                                                 sharedCountValue(record.count + 1))) {
    for (auto it = made.rbegin(); it != made.rend(); ++it)
      sys.registry().deleteRegistryKey(root, *it);
    engine.ui.trace("not counted: the count of " + path + " cannot be written");
    return;
  }
  record.keysMade = uint32_t(made.size());
  keepRecord(engine, record);
  listClaim(engine, path);
  engine.ui.trace("counted " + path + ": " + std::to_string(record.count + 1));
}

}  // namespace qm
