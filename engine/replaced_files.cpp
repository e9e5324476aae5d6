#include "engine/replaced_files.h"

#include <cinttypes>
#include <cstdio>

#include "base/text.h"
#include "engine/engine.h"
#include "engine/file_ops.h"
#include "engine/shared_files.h"
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

bool logging(const Engine& engine) {
  // With UNINSTALL NO the log is still written while the run lasts, so that a rollback can undo
  // it; the finish removes it afterwards.
  return engine.log.logging() && !engine.log.path().empty();
}

// A copy of the file in the backup folder: its name there, or empty when none could be made.
std::string copyIntoFolder(Engine& engine, const std::string& path) {
  FileSystem& fs = engine.sys;
  const std::string folder = directoryPart(engine.log.path()) + kBackupFolderName;
  if (!fs.attributes(folder)) fs.createDirectory(folder);
  // Numbers go on from the copies already there (an earlier installation into this folder).
  int number = int(fs.find(folder + "\\*.bak").size()) + 1;
  while (number <= kMaxCopies && fs.attributes(folder + "\\" + copyFileName(number))) ++number;
  if (number > kMaxCopies || !fs.copyFile(path, folder + "\\" + copyFileName(number), true)) {
    engine.ui.trace("no copy of " + path + " could be kept");
    return "";
  }
  engine.ui.trace("kept " + path + " as " + folder + "\\" + copyFileName(number));
  return copyFileName(number);
}

// True when a copy was made and recorded.
bool keepFile(Engine& engine, const std::string& target, BackupRecord::Kind kind) {
  if (!logging(engine)) return false;
  FileSystem& fs = engine.sys;
  std::optional<uint32_t> attributes = fs.attributes(target);
  if (!attributes || (*attributes & kAttrDirectory)) return false;
  BackupRecord record;
  record.kind = kind;
  record.original = target;
  record.time = readFileTime(fs, target);
  record.attributes = *attributes;
  record.copyName = copyIntoFolder(engine, target);
  if (record.copyName.empty()) {
    // A deleted file without a copy cannot come back; a replaced one must at least stay.
    if (kind == BackupRecord::Kind::Deleted) return false;
    record.kind = BackupRecord::Kind::Kept;
  }
  keepRecord(engine, record);
  return record.kind != BackupRecord::Kind::Kept;
}

}  // namespace

void keepRecord(Engine& engine, BackupRecord record) {
  if (!logging(engine)) return;
  const std::string list = directoryPart(engine.log.path()) + kBackupListName;
  record.logOffset = currentSize(engine.sys, engine.log.path());
  if (!appendLine(engine.sys, list, formatBackupRecord(record)))
    engine.ui.trace("could not write " + list);
}

void keepDigest(Engine& engine, const std::string& path) {
  if (!logging(engine)) return;
  std::optional<std::string> bytes = readAll(engine.sys, path);
  if (!bytes) return;
  BackupRecord record;
  record.kind = BackupRecord::Kind::Digest;
  record.original = path;
  record.size = bytes->size();
  record.digest = contentDigest(*bytes);
  keepRecord(engine, record);
}

void keepPriorState(Engine& engine, const std::string& path) {
  if (!logging(engine)) return;
  for (const std::string& kept : engine.priorKept)
    if (equalsNoCase(kept, path)) return;
  engine.priorKept.push_back(path);
  FileSystem& fs = engine.sys;
  std::optional<uint32_t> attributes = fs.attributes(path);
  if (attributes && (*attributes & kAttrDirectory)) return;
  BackupRecord record;
  record.kind = attributes ? BackupRecord::Kind::Prior : BackupRecord::Kind::Absent;
  record.original = path;
  if (attributes) {
    record.time = readFileTime(fs, path);
    record.attributes = *attributes;
    record.copyName = copyIntoFolder(engine, path);
    // Without a copy the uninstaller undoes the file's changes one by one, as it always could.
    if (record.copyName.empty()) return;
  }
  keepRecord(engine, record);
}

void logWrittenFile(Engine& engine, const std::string& path, bool existed) {
  engine.log.record(FileRecord{path});
  keepDigest(engine, path);
  countSharedFile(engine, path, existed);
}

void keepReplacedFile(Engine& engine, const std::string& target) {
  if (!keepFile(engine, target, BackupRecord::Kind::Saved)) return;
  // Listed machine-wide, so that an installation uninstalled out of turn can hand its copy on.
  const std::string index =
      withTrailingBackslash(engine.sys.files().windowsDirectory()) + kReplacedIndexName;
  ReplacedIndexLine line{target, directoryPart(engine.log.path()) + kBackupListName};
  if (!appendLine(engine.sys, index, formatReplacedIndexLine(line)))
    engine.ui.trace("could not write " + index);
}

void keepDeletedFile(Engine& engine, const std::string& path) {
  keepFile(engine, path, BackupRecord::Kind::Deleted);
}

}  // namespace qm
