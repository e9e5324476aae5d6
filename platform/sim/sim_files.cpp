#include <fstream>

#include "base/text.h"
#include "platform/sim/fat_clock.h"
#include "platform/sim/sim_system.h"

namespace qm {

namespace fs = std::filesystem;

namespace {

enum OpenMode { kModeRead, kModeReadWrite, kModeCreate, kModeAppend };

// As many as a DOS box would give a program; more open at once is a leak in the caller.
constexpr size_t kMaxOpenFiles = 256;

}  // namespace

struct SimSystem::OpenFile {
  std::filebuf buf;
  fs::path host;
  char drive = 'C';
  bool canRead = false;
  bool canWrite = false;
  // The file buffer, like C streams, needs a seek between a read and a following write.
  bool lastWasWrite = false;
  bool lastWasRead = false;
  // A time set on the handle wins over writes made after it, as on Windows.
  std::optional<FatTime> fixedTime;
};

std::unique_ptr<SimSystem> SimSystem::load(const std::string& machineFile, std::string& error) {
  auto config = readMachineFile(machineFile, error);
  if (!config) return nullptr;
  return std::make_unique<SimSystem>(std::move(*config));
}

SimSystem::SimSystem(MachineConfig config)
    : config_(std::move(config)),
      machineDir_(config_.machineDirectory.empty() ? "." : config_.machineDirectory),
      mediumIndex_(config_.drives.size(), 0) {
  writeBudget_ = config_.writeFailsAfter;
  fullDisks_ = config_.fullDisks;
  for (const auto& d : config_.failingDirectories) failDirectoryCreation(d);
  // Programs start in the root of C: when the machine has one, else of its first drive.
  current_.drive = drive('C') ? 'C' : config_.drives.empty() ? 'C' : config_.drives[0].letter;
}

SimSystem::~SimSystem() {
  for (FileHandle h = 0; h < FileHandle(files_.size()); ++h)
    if (files_[size_t(h)]) close(h);
  flushHostCache();
}

SimSystem::OpenFile* SimSystem::handle(FileHandle h) const {
  if (h < 0 || size_t(h) >= files_.size()) return nullptr;
  return files_[size_t(h)].get();
}

int SimSystem::openFileCount() const {
  int n = 0;
  for (const auto& f : files_) n += f != nullptr;
  return n;
}

bool SimSystem::isOpen(const fs::path& host) const {
  for (const auto& f : files_) {
    if (!f) continue;
    auto i = f->host.begin();
    bool below = true;
    for (auto o = host.begin(); below && o != host.end(); ++o, ++i)
      below = i != f->host.end() && *i == *o;
    if (below) return true;
  }
  return false;
}

bool SimSystem::diskFull(char letter) const {
  for (char d : fullDisks_)
    if (d == toUpperAscii(letter)) return true;
  return false;
}

FileHandle SimSystem::openFile(const std::string& path, int mode) {
  auto p = resolve(path);
  if (!p || p->isRoot() || hasWildcard(p->parts.back()) ||
      equalsNoCase(p->parts.back(), kAttributeSidecar))
    return kInvalidFile;
  auto l = lookup(*p);
  if (!l || l->isDirectory) return kInvalidFile;
  if (!l->exists && (mode == kModeRead || mode == kModeReadWrite)) return kInvalidFile;
  if (l->exists && mode != kModeRead) {
    uint32_t attrs = storedAttributes(l->host, false);
    if (attrs & kAttrReadOnly) return kInvalidFile;
    // Re-creating a hidden or system file without naming those attributes is refused by Windows.
    if (mode == kModeCreate && (attrs & (kAttrHidden | kAttrSystem))) return kInvalidFile;
  }
  // Every open shares reading only, as the Win32 side asks: readers may meet, but a writer
  // never meets another handle on the same file.
  for (const auto& other : files_)
    if (other && other->host == l->host && (mode != kModeRead || other->canWrite))
      return kInvalidFile;
  size_t slot = 0;
  while (slot < files_.size() && files_[slot]) ++slot;
  if (slot >= kMaxOpenFiles) return kInvalidFile;

  auto f = std::make_unique<OpenFile>();
  f->host = l->host;
  f->drive = p->drive;
  f->canRead = mode == kModeRead || mode == kModeReadWrite;
  f->canWrite = mode != kModeRead;
  std::ios::openmode om = std::ios::binary;
  switch (mode) {
    case kModeRead:
      om |= std::ios::in;
      break;
    case kModeReadWrite:
      om |= std::ios::in | std::ios::out;
      break;
    case kModeCreate:
      om |= std::ios::out | std::ios::trunc;
      break;
    default:
      om |= std::ios::out | (l->exists ? std::ios::in : std::ios::trunc);
      break;
  }
  if (!f->buf.open(l->host, om)) return kInvalidFile;
  if (!l->exists) hostAdded(l->host, false);
  if (mode == kModeAppend) f->buf.pubseekoff(0, std::ios::end);
  if (mode == kModeCreate || (mode == kModeAppend && !l->exists)) {
    uint32_t keep = l->exists ? storedAttributes(l->host, false) : 0;
    storeAttributes(l->host, keep | kAttrArchive, false);
  }
  if (slot == files_.size()) files_.emplace_back();
  files_[slot] = std::move(f);
  return FileHandle(slot);
}

FileHandle SimSystem::openRead(const std::string& path) { return openFile(path, kModeRead); }
FileHandle SimSystem::openReadWrite(const std::string& path) {
  return openFile(path, kModeReadWrite);
}
FileHandle SimSystem::create(const std::string& path) { return openFile(path, kModeCreate); }
FileHandle SimSystem::openAppend(const std::string& path) { return openFile(path, kModeAppend); }

int32_t SimSystem::read(FileHandle h, void* buffer, uint32_t count) {
  OpenFile* f = handle(h);
  if (!f || !f->canRead || count > uint32_t(INT32_MAX)) return -1;
  if (f->lastWasWrite) {
    f->buf.pubsync();
    f->buf.pubseekoff(0, std::ios::cur);
  }
  f->lastWasWrite = false;
  f->lastWasRead = true;
  return int32_t(f->buf.sgetn(static_cast<char*>(buffer), std::streamsize(count)));
}

int32_t SimSystem::write(FileHandle h, const void* buffer, uint32_t count) {
  OpenFile* f = handle(h);
  if (!f || !f->canWrite || count > uint32_t(INT32_MAX)) return -1;
  if (diskFull(f->drive)) return -1;
  uint32_t allowed = count;
  if (writeBudget_ && *writeBudget_ < count) allowed = uint32_t(*writeBudget_);
  if (f->lastWasRead) f->buf.pubseekoff(0, std::ios::cur);
  f->lastWasRead = false;
  f->lastWasWrite = true;
  std::streamsize done = f->buf.sputn(static_cast<const char*>(buffer), std::streamsize(allowed));
  if (writeBudget_) *writeBudget_ -= uint64_t(done);
  if (done != std::streamsize(count)) {
    f->buf.pubsync();
    return -1;
  }
  return int32_t(done);
}

int64_t SimSystem::seek(FileHandle h, int64_t offset, SeekOrigin origin) {
  OpenFile* f = handle(h);
  if (!f) return -1;
  f->buf.pubsync();
  int64_t base = 0;
  if (origin == SeekOrigin::Current) base = int64_t(f->buf.pubseekoff(0, std::ios::cur));
  if (origin == SeekOrigin::End) base = fileSize(h);
  if (base < 0) return -1;
  int64_t target = base + offset;
  if ((offset > 0 && target < base) || target < 0) return -1;
  f->lastWasRead = f->lastWasWrite = false;
  auto pos = f->buf.pubseekpos(std::streampos(target));
  return pos == std::streampos(-1) ? -1 : target;
}

int64_t SimSystem::fileSize(FileHandle h) {
  OpenFile* f = handle(h);
  if (!f) return -1;
  f->buf.pubsync();
  std::error_code ec;
  auto size = fs::file_size(f->host, ec);
  return ec ? -1 : int64_t(size);
}

void SimSystem::close(FileHandle h) {
  OpenFile* f = handle(h);
  if (!f) return;
  f->buf.close();
  if (f->fixedTime) setHostFileTime(f->host, *f->fixedTime);
  files_[size_t(h)].reset();
}

std::optional<FatTime> SimSystem::fileTime(FileHandle h) {
  OpenFile* f = handle(h);
  if (!f) return std::nullopt;
  if (f->fixedTime) return f->fixedTime;
  f->buf.pubsync();
  return hostFileTime(f->host);
}

bool SimSystem::setFileTime(FileHandle h, FatTime t) {
  OpenFile* f = handle(h);
  if (!f || !f->canWrite || !secondsFromFatTime(t)) return false;
  f->buf.pubsync();
  if (!setHostFileTime(f->host, t)) return false;
  f->fixedTime = t;
  return true;
}

}  // namespace qm
