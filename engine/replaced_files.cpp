#include "engine/replaced_files.h"

#include <cinttypes>
#include <cstdio>

#include "base/text.h"
#include "engine/engine.h"
#include "engine/file_ops.h"

namespace qm {

namespace {

constexpr int kMaxCopies = 99999999;  // eight digits: the copies keep 8.3 names

std::string copyFileName(int number) {
  char name[16];
  std::snprintf(name, sizeof name, "%08d.bak", number);
  return name;
}

// Reads a decimal field ended by ", "; advances pos past the separator.
bool readNumber(const std::string& line, size_t& pos, uint64_t& out, uint64_t max) {
  size_t start = pos;
  uint64_t value = 0;
  while (pos < line.size() && line[pos] >= '0' && line[pos] <= '9') {
    value = value * 10 + uint64_t(line[pos] - '0');
    if (value > max) return false;
    ++pos;
  }
  if (pos == start || line.compare(pos, 2, ", ") != 0) return false;
  pos += 2;
  out = value;
  return true;
}

// Reads a quoted field; the text may hold no quote (paths cannot).
bool readQuotedField(const std::string& line, size_t& pos, std::string& out) {
  if (pos >= line.size() || line[pos] != '"') return false;
  size_t end = line.find('"', pos + 1);
  if (end == std::string::npos) return false;
  out = line.substr(pos + 1, end - pos - 1);
  pos = end + 1;
  return !out.empty();
}

bool appendLine(FileSystem& fs, const std::string& path, const std::string& line) {
  FileHandle h = fs.openAppend(path);
  if (h == kInvalidFile) return false;
  std::string text = line + "\r\n";
  bool ok = fs.write(h, text.data(), uint32_t(text.size())) == int32_t(text.size());
  fs.close(h);
  return ok;
}

uint64_t currentSize(FileSystem& fs, const std::string& path) {
  FileHandle h = fs.openRead(path);
  if (h == kInvalidFile) return 0;
  int64_t size = fs.fileSize(h);
  fs.close(h);
  return size > 0 ? uint64_t(size) : 0;
}

}  // namespace

std::string formatBackupRecord(const BackupRecord& r) {
  if (r.kind == BackupRecord::Kind::Kept)
    return "KEEP: " + std::to_string(r.logOffset) + ", \"" + r.original + "\"";
  return std::string(r.kind == BackupRecord::Kind::Deleted ? "DELETED: " : "BACKUP: ") +
         std::to_string(r.logOffset) + ", " + std::to_string(r.time.date) + ", " +
         std::to_string(r.time.time) + ", " + std::to_string(r.attributes) + ", \"" + r.original +
         "\", \"" + r.copyName + "\"";
}

std::optional<BackupRecord> parseBackupRecord(const std::string& line) {
  BackupRecord r;
  size_t pos = 0;
  uint64_t offset = 0;
  if (line.rfind("KEEP: ", 0) == 0) {
    pos = 6;
    r.kind = BackupRecord::Kind::Kept;
    if (!readNumber(line, pos, offset, UINT64_MAX / 10) ||
        !readQuotedField(line, pos, r.original) || pos != line.size())
      return std::nullopt;
    r.logOffset = offset;
    return r;
  }
  if (line.rfind("BACKUP: ", 0) == 0) {
    pos = 8;
  } else if (line.rfind("DELETED: ", 0) == 0) {
    pos = 9;
    r.kind = BackupRecord::Kind::Deleted;
  } else {
    return std::nullopt;
  }
  uint64_t date = 0, time = 0, attributes = 0;
  if (!readNumber(line, pos, offset, UINT64_MAX / 10) || !readNumber(line, pos, date, 0xFFFF) ||
      !readNumber(line, pos, time, 0xFFFF) || !readNumber(line, pos, attributes, 0xFFFF) ||
      !readQuotedField(line, pos, r.original) || line.compare(pos, 2, ", ") != 0)
    return std::nullopt;
  pos += 2;
  if (!readQuotedField(line, pos, r.copyName) || pos != line.size()) return std::nullopt;
  // The copy is a plain name inside the backup folder, never a path.
  if (r.copyName.find_first_of("\\/:") != std::string::npos || r.copyName == "." ||
      r.copyName == "..")
    return std::nullopt;
  r.logOffset = offset;
  r.time = {uint16_t(date), uint16_t(time)};
  r.attributes = uint32_t(attributes);
  return r;
}

namespace {

void keepFile(Engine& engine, const std::string& target, BackupRecord::Kind kind) {
  if (!engine.state.engine.logging || engine.log.path().empty()) return;
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
