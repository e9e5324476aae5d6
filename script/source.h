// The source reader: every file the installation reads from the distribution is opened here,
// either as a plain file or as an entry of the archive container appended to the program's own
// file. Callers open, read, seek and close both kinds the same way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/file_handle.h"

namespace qm {

// Container layout: a 16-byte trailer at the very end of the file and a chain of 276-byte
// directory entries, each followed directly by its file's data. All integers little-endian.
constexpr char kContainerMagic[8] = {'[', 'T', 'o', 'v', 'e', 'k', ']', '\0'};
constexpr uint32_t kTrailerSize = 16;
constexpr uint32_t kTrailerMagicOffset = 0;
constexpr uint32_t kTrailerFirstEntryOffset = 8;
constexpr uint32_t kTrailerSecondValueOffset = 12;
constexpr uint32_t kEntrySize = 276;
constexpr uint32_t kEntryNextOffset = 0;
constexpr uint32_t kEntryAttributesOffset = 4;
constexpr uint32_t kEntryTimeOffset = 8;
constexpr uint32_t kEntryDateOffset = 12;
constexpr uint32_t kEntrySizeOffset = 16;
constexpr uint32_t kEntryNameOffset = 20;
constexpr uint32_t kEntryNameSize = 256;

// Block size of the bulk copies that go through the reader (relaunch copy, file copy).
constexpr uint32_t kCopyBlockSize = 32768;

// One directory entry as stored; offset is where the entry itself begins.
struct ContainerEntry {
  uint32_t offset = 0;
  uint32_t next = 0;
  uint32_t attributes = 0;
  uint32_t time = 0;
  uint32_t date = 0;
  uint32_t size = 0;
  std::string name;
};

struct ContainerTrailer {
  uint32_t firstEntry = 0;
  uint32_t secondValue = 0;
};

// Decodes a trailer; nullopt when the magic does not match exactly (with case).
std::optional<ContainerTrailer> decodeTrailer(const uint8_t (&bytes)[kTrailerSize]);
ContainerEntry decodeEntry(const uint8_t (&bytes)[kEntrySize], uint32_t offset);

// Reads exactly n bytes at an absolute offset of the container file; false when it cannot.
using ReadAt = std::function<bool(uint64_t offset, uint8_t* buffer, size_t n)>;

// Walks the entry chain in chain order. The walk ends at a next offset of 0, at an entry that
// does not lie wholly before the trailer, at an entry already seen (a looping chain) or at a
// failed read; the entries read so far are returned.
std::vector<ContainerEntry> walkContainerChain(const ReadAt& readAt, uint64_t fileSize,
                                               uint32_t firstEntry);

// For each entry of a walked chain: true when its data runs past the container's data, into the
// trailer, past the end of the file or over another entry's record. Such an entry's size is
// damaged: the bytes it claims are not its file's.
std::vector<bool> overrunningEntries(const std::vector<ContainerEntry>& entries, uint64_t fileSize);

// One open source file. A container entry has handle -1 and reads through the container.
struct SourceFile {
  explicit SourceFile(FileSystem& fs) : handle(fs, kInvalidFile) {}

  ScopedFile handle;     // plain file; not open for a container entry
  int64_t base = 0;      // offset of an entry's data in the container; 0 for a plain file
  int64_t position = 0;  // read position relative to base (container entries only)
  int64_t size = 0;
  uint32_t date = 0;  // MS-DOS date
  uint32_t time = 0;  // MS-DOS time
  uint32_t attributes = 0;

  bool isContainerEntry() const { return !handle; }

 private:
  friend class Container;
  // A container entry whose size runs past the container's data: every read of it fails.
  bool overruns_ = false;
  // Read-ahead for readLine: bytes already taken from the file but not yet handed out.
  std::vector<char> ahead_;
  size_t aheadPos_ = 0;
  size_t aheadLeft() const { return ahead_.size() - aheadPos_; }
};

// The archive container and the reader over it. One per run, owned by the run.
class Container {
 public:
  explicit Container(FileSystem& fs) : fs_(fs), handle_(fs, kInvalidFile) {}
  ~Container() { closeContainer(); }
  Container(const Container&) = delete;
  Container& operator=(const Container&) = delete;

  // Names the container file; it is opened on the next openSource.
  void setContainer(const std::string& path);
  // Closes the container if one was in use and forgets its path; always 0.
  int closeContainer();
  // Closes the container and stops every later lookup from consulting it, until the run ends.
  void disableContainer();
  bool disabled() const { return disabled_; }
  // True while a container with a valid trailer is open.
  bool inUse() const { return firstEntry_ != 0; }

  // A container entry matching the path's name part, else the plain file; null when neither.
  std::unique_ptr<SourceFile> openSource(const std::string& path);
  // Bytes read (0 at the end) or -1.
  int32_t readSource(SourceFile& file, void* buffer, uint32_t count);
  // origin 0 start, 1 current, 2 end; the new position or -1. Entries clamp to 0 .. size.
  int64_t seekSource(SourceFile& file, int64_t offset, int origin);
  int64_t tellSource(SourceFile& file);
  int64_t sourceSize(const SourceFile& file) const { return file.size; }
  // Reads one line of at most bufferSize - 1 characters into line, keeping its line feed and
  // dropping carriage returns (which do not count). False at the end of the file or on a read
  // error; a longer line comes back in pieces.
  bool readLine(SourceFile& file, std::string& line, size_t bufferSize);
  // Closes and frees the file; a null file is ignored.
  void closeSource(std::unique_ptr<SourceFile>& file) { file.reset(); }

 private:
  void openContainer();
  void forget();
  // Reads from the file itself, past readLine's read-ahead.
  int32_t readDirect(SourceFile& file, void* buffer, uint32_t count);

  FileSystem& fs_;
  std::string path_;
  ScopedFile handle_;
  uint32_t firstEntry_ = 0;
  uint32_t secondValue_ = 0;
  bool disabled_ = false;
  // Upper-cased name -> index into entries_, first in chain order.
  std::vector<ContainerEntry> entries_;
  std::vector<bool> overruns_;  // per entry of entries_
  std::unordered_map<std::string, size_t> index_;
};

}  // namespace qm
