#include "records/instback_records.h"

namespace qm {

namespace {

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

}  // namespace qm
