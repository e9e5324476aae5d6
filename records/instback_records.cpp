#include "records/instback_records.h"

#include <cstdio>
#include <iterator>

namespace qm {

namespace {

using Kind = BackupRecord::Kind;

// Indexed by Kind.
const char* const kKeywords[] = {"BACKUP",    "KEEP",      "DELETED", "PRIOR",  "ABSENT",
                                 "DIGEST",    "REGSET",    "REGGONE", "REGWAS", "REGNEW",
                                 "REGKEYWAS", "REGKEYNEW", "ITEM",    "SHARED"};

// What follows the offset, by kind.
enum class Shape { Copy, Path, Digest, Value, ValueName, Key, Item, Count };

Shape shapeOf(Kind kind) {
  switch (kind) {
    case Kind::Saved:
    case Kind::Deleted:
    case Kind::Prior:
      return Shape::Copy;
    case Kind::Kept:
    case Kind::Absent:
      return Shape::Path;
    case Kind::Digest:
      return Shape::Digest;
    case Kind::RegSet:
    case Kind::RegWas:
      return Shape::Value;
    case Kind::RegGone:
    case Kind::RegNew:
      return Shape::ValueName;
    case Kind::Item:
      return Shape::Item;
    case Kind::Shared:
      return Shape::Count;
    default:
      return Shape::Key;
  }
}

std::string q(const std::string& text) { return "\"" + text + "\""; }

std::string hexOf(const std::vector<uint8_t>& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (uint8_t b : bytes) {
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
  return out;
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads the fields of one line left to right; every read fails once one has.
struct Fields {
  const std::string& line;
  size_t pos;
  bool ok = true;

  // A field's end: ", " before the next field, or the end of the line after the last.
  bool end(bool last) {
    if (last) return ok = ok && pos == line.size();
    if (!ok || line.compare(pos, 2, ", ") != 0) return ok = false;
    pos += 2;
    return true;
  }
  uint64_t number(uint64_t max, bool last = false) {
    size_t start = pos;
    uint64_t value = 0;
    while (ok && pos < line.size() && line[pos] >= '0' && line[pos] <= '9') {
      const uint64_t digit = uint64_t(line[pos] - '0');
      if (digit > max || value > (max - digit) / 10) return ok = false;
      value = value * 10 + uint64_t(line[pos++] - '0');
    }
    if (pos == start) ok = false;
    end(last);
    return value;
  }
  std::vector<uint8_t> hex() {
    std::vector<uint8_t> out;
    while (ok && pos + 1 < line.size() && hexDigit(line[pos]) >= 0) {
      int hi = hexDigit(line[pos]), lo = hexDigit(line[pos + 1]);
      if (lo < 0) ok = false;
      out.push_back(uint8_t(hi << 4 | lo));
      pos += 2;
    }
    end(false);
    return out;
  }
  // A quoted text that holds no quote and is not empty (a path, a key).
  std::string path(bool last) {
    std::string out;
    if (!ok || pos >= line.size() || line[pos] != '"') return ok = false, out;
    size_t close = line.find('"', pos + 1);
    if (close == std::string::npos || close == pos + 1) return ok = false, out;
    out = line.substr(pos + 1, close - pos - 1);
    pos = close + 1;
    end(last);
    return out;
  }
  // The last field: everything between its quotes, which may hold quotes (a value's name).
  std::string rest() {
    std::string out;
    if (!ok || line.size() < pos + 2 || line[pos] != '"' || line.back() != '"')
      return ok = false, out;
    out = line.substr(pos + 1, line.size() - pos - 2);
    pos = line.size();
    return out;
  }
};

bool knownRoot(uint64_t root) {
  switch (RegistryRoot(root)) {
    case RegistryRoot::ClassesRoot:
    case RegistryRoot::CurrentUser:
    case RegistryRoot::LocalMachine:
    case RegistryRoot::Users:
    case RegistryRoot::CurrentConfig:
    case RegistryRoot::DynData:
      return true;
  }
  return false;
}

}  // namespace

std::string formatBackupRecord(const BackupRecord& r) {
  std::string out =
      std::string(kKeywords[size_t(r.kind)]) + ": " + std::to_string(r.logOffset) + ", ";
  const std::string root = std::to_string(uint32_t(r.root));
  switch (shapeOf(r.kind)) {
    case Shape::Copy:
      return out + std::to_string(r.time.date) + ", " + std::to_string(r.time.time) + ", " +
             std::to_string(r.attributes) + ", " + q(r.original) + ", " + q(r.copyName);
    case Shape::Path:
      return out + q(r.original);
    case Shape::Digest: {
      char digest[17];
      std::snprintf(digest, sizeof digest, "%016llX", static_cast<unsigned long long>(r.digest));
      return out + std::to_string(r.size) + ", " + digest + ", " + q(r.original);
    }
    case Shape::Value:
      return out + root + ", " + std::to_string(r.value.type) + ", " + hexOf(r.value.data) + ", " +
             q(r.key) + ", " + q(r.name);
    case Shape::ValueName:
      return out + root + ", " + q(r.key) + ", " + q(r.name);
    case Shape::Key:
      return out + root + ", " + q(r.key);
    case Shape::Item:
      return out + q(r.group) + ", " + q(r.title) + ", " + q(r.command);
    case Shape::Count:
      return out + std::to_string(r.count) + ", " + (r.found ? "1" : "0") + ", " +
             std::to_string(r.keysMade) + ", " + q(r.original);
  }
  return out;
}

std::optional<BackupRecord> parseBackupRecord(const std::string& line) {
  BackupRecord r;
  size_t colon = line.find(": ");
  if (colon == std::string::npos) return std::nullopt;
  size_t k = 0;
  while (k < std::size(kKeywords) && line.compare(0, colon, kKeywords[k]) != 0) ++k;
  if (k == std::size(kKeywords)) return std::nullopt;
  r.kind = Kind(k);
  Fields f{line, colon + 2};
  r.logOffset = f.number(UINT64_MAX);
  switch (shapeOf(r.kind)) {
    case Shape::Copy:
      r.time.date = uint16_t(f.number(0xFFFF));
      r.time.time = uint16_t(f.number(0xFFFF));
      r.attributes = uint32_t(f.number(0xFFFF));
      r.original = f.path(false);
      r.copyName = f.path(true);
      // The copy is a plain name inside the backup folder, never a path.
      if (r.copyName.find_first_of("\\/:") != std::string::npos || r.copyName == "." ||
          r.copyName == "..")
        return std::nullopt;
      break;
    case Shape::Path:
      r.original = f.path(true);
      break;
    case Shape::Digest: {
      r.size = f.number(UINT64_MAX);
      for (int i = 0; i < 16 && f.ok; ++i) {
        int d = f.pos < line.size() ? hexDigit(line[f.pos++]) : -1;
        if (d < 0) f.ok = false;
        r.digest = r.digest << 4 | uint64_t(d < 0 ? 0 : d);
      }
      f.end(false);
      r.original = f.path(true);
      break;
    }
    case Shape::Value:
    case Shape::ValueName:
    case Shape::Key: {
      uint64_t root = f.number(0xFFFFFFFF);
      if (!knownRoot(root)) return std::nullopt;
      r.root = RegistryRoot(root);
      if (shapeOf(r.kind) == Shape::Value) {
        r.value.type = uint32_t(f.number(0xFFFFFFFF));
        r.value.data = f.hex();
      }
      r.key = f.path(shapeOf(r.kind) == Shape::Key);
      if (shapeOf(r.kind) != Shape::Key) r.name = f.rest();
      break;
    }
    case Shape::Item:
      r.group = f.path(false);
      r.title = f.path(false);
      r.command = f.rest();
      break;
    case Shape::Count:
      r.count = uint32_t(f.number(0xFFFFFFFF));
      r.found = f.number(1) == 1;
      r.keysMade = uint32_t(f.number(kMaxSharedKeyLevels));
      r.original = f.path(true);
      break;
  }
  if (!f.ok) return std::nullopt;
  return r;
}

std::string formatReplacedIndexLine(const ReplacedIndexLine& line) {
  return q(line.original) + ", " + q(line.list);
}

std::optional<ReplacedIndexLine> parseReplacedIndexLine(const std::string& line) {
  Fields f{line, 0};
  ReplacedIndexLine out;
  out.original = f.path(false);
  out.list = f.path(true);
  if (!f.ok) return std::nullopt;
  return out;
}

uint64_t contentDigest(std::string_view bytes) {
  uint64_t h = 14695981039346656037ull;
  for (unsigned char c : bytes) {
    h ^= c;
    h *= 1099511628211ull;
  }
  return h;
}

}  // namespace qm
