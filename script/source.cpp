#include "script/source.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

#include "base/text.h"

namespace qm {

namespace {

// readLine takes this much at a time; a container entry costs one seek and read per refill
// instead of one per byte.
constexpr uint32_t kLineChunk = 4096;

uint32_t le32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// The name and extension of a path, as the C runtime's path splitting finds them: after a drive
// "X:" and after the last backslash or slash.
std::string lookupName(const std::string& path) {
  size_t start = (path.size() >= 2 && path[1] == ':') ? 2 : 0;
  size_t slash = path.find_last_of("\\/");
  if (slash != std::string::npos && slash + 1 > start) start = slash + 1;
  return path.substr(start);
}

}  // namespace

std::optional<ContainerTrailer> decodeTrailer(const uint8_t (&bytes)[kTrailerSize]) {
  if (std::memcmp(bytes + kTrailerMagicOffset, kContainerMagic, sizeof kContainerMagic) != 0)
    return std::nullopt;
  return ContainerTrailer{le32(bytes + kTrailerFirstEntryOffset),
                          le32(bytes + kTrailerSecondValueOffset)};
}

ContainerEntry decodeEntry(const uint8_t (&bytes)[kEntrySize], uint32_t offset) {
  ContainerEntry e;
  e.offset = offset;
  e.next = le32(bytes + kEntryNextOffset);
  e.attributes = le32(bytes + kEntryAttributesOffset);
  e.time = le32(bytes + kEntryTimeOffset);
  e.date = le32(bytes + kEntryDateOffset);
  e.size = le32(bytes + kEntrySizeOffset);
  const char* name = reinterpret_cast<const char*>(bytes + kEntryNameOffset);
  e.name.assign(name, strnlen(name, kEntryNameSize));
  return e;
}

std::vector<ContainerEntry> walkContainerChain(const ReadAt& readAt, uint64_t fileSize,
                                               uint32_t firstEntry) {
  std::vector<ContainerEntry> entries;
  std::unordered_set<uint32_t> seen;
  uint8_t bytes[kEntrySize];
  // A record overlapping the trailer would read the trailer's bytes as a name and a size.
  const uint64_t dataEnd = fileSize < kTrailerSize ? 0 : fileSize - kTrailerSize;
  for (uint32_t at = firstEntry; at != 0;) {
    if (uint64_t(at) + kEntrySize > dataEnd || !seen.insert(at).second) break;
    if (!readAt(at, bytes, kEntrySize)) break;
    entries.push_back(decodeEntry(bytes, at));
    at = entries.back().next;
  }
  return entries;
}

std::vector<bool> overrunningEntries(const std::vector<ContainerEntry>& entries,
                                     uint64_t fileSize) {
  const uint64_t dataEnd = fileSize < kTrailerSize ? 0 : fileSize - kTrailerSize;
  std::vector<uint32_t> records;
  records.reserve(entries.size());
  for (const ContainerEntry& e : entries) records.push_back(e.offset);
  std::sort(records.begin(), records.end());
  std::vector<bool> out(entries.size());
  for (size_t i = 0; i < entries.size(); ++i) {
    const uint64_t end = uint64_t(entries[i].offset) + kEntrySize + entries[i].size;
    auto nextRecord = std::upper_bound(records.begin(), records.end(), entries[i].offset);
    out[i] = end > dataEnd || (nextRecord != records.end() && end > *nextRecord);
  }
  return out;
}

void Container::setContainer(const std::string& path) {
  // A container still open from before would otherwise keep its handle for the rest of the run.
  closeContainer();
  path_ = path;
}

void Container::forget() {
  handle_.close();
  path_.clear();
  firstEntry_ = 0;
  secondValue_ = 0;
  entries_.clear();
  overruns_.clear();
  index_.clear();
}

int Container::closeContainer() {
  forget();
  return 0;
}

void Container::disableContainer() {
  closeContainer();
  disabled_ = true;
}

void Container::openContainer() {
  if (handle_ || path_.empty()) return;
  ScopedFile file = ScopedFile::openRead(fs_, path_);
  const FileHandle h = file.get();
  if (!file) {
    forget();
    return;
  }
  uint8_t trailer[kTrailerSize];
  std::optional<ContainerTrailer> t;
  if (fs_.seek(h, -int64_t(kTrailerSize), SeekOrigin::End) >= 0 &&
      fs_.read(h, trailer, kTrailerSize) == int32_t(kTrailerSize))
    t = decodeTrailer(trailer);
  // A trailer pointing at offset 0 would mean "no container in use"; nothing to keep open then.
  if (!t || t->firstEntry == 0) {
    forget();
    return;
  }
  handle_ = std::move(file);
  firstEntry_ = t->firstEntry;
  secondValue_ = t->secondValue;

  // The directory is read once here, so each later lookup is one hash probe instead of a walk.
  int64_t size = fs_.fileSize(h);
  ReadAt readAt = [&](uint64_t offset, uint8_t* buffer, size_t n) {
    return fs_.seek(h, int64_t(offset), SeekOrigin::Begin) == int64_t(offset) &&
           fs_.read(h, buffer, uint32_t(n)) == int32_t(n);
  };
  entries_ = walkContainerChain(readAt, size < 0 ? 0 : uint64_t(size), firstEntry_);
  overruns_ = overrunningEntries(entries_, size < 0 ? 0 : uint64_t(size));
  index_.reserve(entries_.size());
  for (size_t i = 0; i < entries_.size(); ++i) index_.emplace(upperAscii(entries_[i].name), i);
}

std::unique_ptr<SourceFile> Container::openSource(const std::string& path) {
  openContainer();
  if (inUse() && !disabled_) {
    auto it = index_.find(upperAscii(lookupName(path)));
    if (it != index_.end()) {
      const ContainerEntry& e = entries_[it->second];
      auto file = std::make_unique<SourceFile>(fs_);
      file->base = int64_t(e.offset) + kEntrySize;
      file->size = e.size;
      file->attributes = e.attributes;
      file->date = e.date & 0xFFFF;
      file->time = e.time & 0xFFFF;
      file->overruns_ = overruns_[it->second];
      return file;
    }
  }
  if (hasWildcard(path)) return nullptr;
  auto file = std::make_unique<SourceFile>(fs_);
  file->handle = ScopedFile::openRead(fs_, path);
  if (!file->handle) return nullptr;
  std::optional<FatTime> t = fs_.fileTime(file->handle.get());
  if (!t) return nullptr;
  file->date = t->date;
  file->time = t->time;
  file->attributes = fs_.attributes(path).value_or(0);
  int64_t size = fs_.seek(file->handle.get(), 0, SeekOrigin::End);
  file->size = size < 0 ? 0 : size;
  fs_.seek(file->handle.get(), 0, SeekOrigin::Begin);
  return file;
}

int32_t Container::readDirect(SourceFile& file, void* buffer, uint32_t count) {
  if (!file.isContainerEntry()) return fs_.read(file.handle.get(), buffer, count);
  // Installing the next entry's record and data under this entry's name would be silent damage.
  if (!inUse() || file.overruns_) return -1;
  int64_t left = std::max<int64_t>(0, file.size - file.position);
  if (int64_t(count) > left) count = uint32_t(left);
  if (count == 0) return 0;
  int64_t at = file.base + file.position;
  if (fs_.seek(handle_.get(), at, SeekOrigin::Begin) != at) return -1;
  int32_t n = fs_.read(handle_.get(), buffer, count);
  if (n > 0) file.position += n;
  return n;
}

int32_t Container::readSource(SourceFile& file, void* buffer, uint32_t count) {
  if (file.isContainerEntry() && !inUse()) return -1;
  uint32_t taken = uint32_t(std::min<size_t>(count, file.aheadLeft()));
  if (taken > 0) {
    std::memcpy(buffer, file.ahead_.data() + file.aheadPos_, taken);
    file.aheadPos_ += taken;
    if (taken == count) return int32_t(taken);
  }
  int32_t n = readDirect(file, static_cast<char*>(buffer) + taken, count - taken);
  if (n < 0) return taken > 0 ? int32_t(taken) : -1;
  return int32_t(taken) + n;
}

int64_t Container::seekSource(SourceFile& file, int64_t offset, int origin) {
  if (origin < 0 || origin > 2) return -1;
  int64_t pending = int64_t(file.aheadLeft());
  if (!file.isContainerEntry()) {
    if (origin == 1) offset -= pending;
    file.ahead_.clear();
    file.aheadPos_ = 0;
    return fs_.seek(file.handle.get(), offset, SeekOrigin(origin));
  }
  if (!inUse()) return -1;
  file.position -= pending;
  file.ahead_.clear();
  file.aheadPos_ = 0;
  int64_t p = origin == 0 ? 0 : origin == 2 ? file.size : file.position;
  p = std::clamp<int64_t>(p + offset, 0, file.size);
  file.position = p;
  return p;
}

int64_t Container::tellSource(SourceFile& file) {
  int64_t pending = int64_t(file.aheadLeft());
  if (!file.isContainerEntry()) {
    int64_t p = fs_.seek(file.handle.get(), 0, SeekOrigin::Current);
    return p < 0 ? -1 : p - pending;
  }
  if (!inUse()) return -1;
  return file.position - pending;
}

bool Container::readLine(SourceFile& file, std::string& line, size_t bufferSize) {
  line.clear();
  size_t room = bufferSize > 0 ? bufferSize - 1 : 0;
  while (room > 0) {
    if (file.aheadLeft() == 0) {
      if (file.isContainerEntry() && !inUse()) return false;
      file.ahead_.resize(kLineChunk);
      file.aheadPos_ = 0;
      int32_t n = readDirect(file, file.ahead_.data(), kLineChunk);
      file.ahead_.resize(n > 0 ? size_t(n) : 0);
      if (n < 0) return false;
      if (n == 0) return !line.empty();
    }
    char c = file.ahead_[file.aheadPos_++];
    if (c == '\r') continue;
    line += c;
    if (c == '\n') return true;
    --room;
  }
  return true;
}

}  // namespace qm
