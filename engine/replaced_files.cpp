#include "engine/replaced_files.h"

#include <cinttypes>
#include <cstdio>

#include "base/text.h"
#include "engine/engine.h"
#include "engine/file_ops.h"
#include "platform/file_handle.h"

namespace qm {

namespace {

constexpr int kMaxCopies = 99999999;  // eight digits: the copies keep 8.3 names

std::string copyFileName(int number) {
  char name[16];
  std::snprintf(name, sizeof name, "%08d.bak", number);
  return name;
}

bool appendLine(FileSystem& fs, const std::string& path, const std::string& line) {
  ScopedFile file = ScopedFile::openAppend(fs, path);
  return file && file.writeAll(line + "\r\n");
}

uint64_t currentSize(FileSystem& fs, const std::string& path) {
  ScopedFile file = ScopedFile::openRead(fs, path);
  int64_t size = file ? fs.fileSize(file.get()) : 0;
  return size > 0 ? uint64_t(size) : 0;
}

void keepFile(Engine& engine, const std::string& target, BackupRecord::Kind kind) {
  if (!engine.log.logging() || engine.log.path().empty()) return;
  FileSystem& fs = engine.sys;
  std::optional<uint32_t> attributes = fs.attributes(target);
  if (!attributes || (*attributes & kAttrDirectory)) return;

  const std::string logDir = directoryPart(engine.log.path());
  const std::string folder = logDir + kBackupFolderName;
  BackupRecord record;
  record.kind = kind;
  record.original = target;
  record.logOffset = currentSize(fs, engine.log.path());
  record.time = readFileTime(fs, target);
  record.attributes = *attributes;
  if (!fs.attributes(folder)) fs.createDirectory(folder);
  // Numbers go on from the copies already there (an earlier installation into this folder).
  int number = int(fs.find(folder + "\\*.bak").size()) + 1;
  while (number <= kMaxCopies && fs.attributes(folder + "\\" + copyFileName(number))) ++number;
  record.copyName = copyFileName(number);
  if (number > kMaxCopies || !fs.copyFile(target, folder + "\\" + record.copyName, true)) {
    engine.ui.trace("no copy of " + target + " could be kept");
    // A deleted file without a copy cannot come back; a replaced one must at least stay.
    if (kind == BackupRecord::Kind::Deleted) return;
    record.kind = BackupRecord::Kind::Kept;
  } else {
    engine.ui.trace("kept " + target + " as " + folder + "\\" + record.copyName);
  }
  if (!appendLine(fs, logDir + kBackupListName, formatBackupRecord(record)))
    engine.ui.trace("could not write " + logDir + kBackupListName);
}

}  // namespace

void keepReplacedFile(Engine& engine, const std::string& target) {
  keepFile(engine, target, BackupRecord::Kind::Saved);
}

void keepDeletedFile(Engine& engine, const std::string& path) {
  keepFile(engine, path, BackupRecord::Kind::Deleted);
}

}  // namespace qm
