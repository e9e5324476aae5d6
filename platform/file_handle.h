// A file held open through the seam for as long as the object lives, and the whole-file reads
// and writes built on it, so no caller closes a handle by hand or writes its own read loop.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "platform/system.h"

namespace qm {

class ScopedFile {
 public:
  ScopedFile(FileSystem& fs, FileHandle handle) : fs_(&fs), handle_(handle) {}
  ScopedFile(ScopedFile&& other) noexcept
      : fs_(other.fs_), handle_(std::exchange(other.handle_, kInvalidFile)) {}
  ScopedFile& operator=(ScopedFile&& other) noexcept {
    if (this != &other) {
      close();
      fs_ = other.fs_;
      handle_ = std::exchange(other.handle_, kInvalidFile);
    }
    return *this;
  }
  ScopedFile(const ScopedFile&) = delete;
  ScopedFile& operator=(const ScopedFile&) = delete;
  ~ScopedFile() { close(); }

  static ScopedFile openRead(FileSystem& fs, const std::string& path) {
    return {fs, fs.openRead(path)};
  }
  static ScopedFile openReadWrite(FileSystem& fs, const std::string& path) {
    return {fs, fs.openReadWrite(path)};
  }
  static ScopedFile create(FileSystem& fs, const std::string& path) {
    return {fs, fs.create(path)};
  }
  static ScopedFile openAppend(FileSystem& fs, const std::string& path) {
    return {fs, fs.openAppend(path)};
  }

  explicit operator bool() const { return handle_ != kInvalidFile; }
  FileHandle get() const { return handle_; }
  // Every byte written, or false.
  bool writeAll(std::string_view bytes) {
    return bytes.empty() ||
           fs_->write(handle_, bytes.data(), uint32_t(bytes.size())) == int32_t(bytes.size());
  }
  void close() {
    if (handle_ != kInvalidFile) fs_->close(std::exchange(handle_, kInvalidFile));
  }

 private:
  FileSystem* fs_;
  FileHandle handle_;
};

// The file's bytes exactly as stored; nullopt when it cannot be opened or a read fails.
std::optional<std::string> readAll(FileSystem& fs, const std::string& path);
// The bytes of an open file from its position to the end; nullopt when a read fails.
std::optional<std::string> readRest(FileSystem& fs, FileHandle h);

// Creates the file with exactly these bytes; a file that could not be written whole is deleted
// again.
bool writeFileBytes(FileSystem& fs, const std::string& path, std::string_view bytes);

// Writes bytes to a temporary file beside path and moves it over path in one step, so a failure
// leaves the old file whole. The file keeps its attributes (a read-only one is cleared for the
// move and set again). False, with nothing changed, when any step fails.
bool replaceFile(FileSystem& fs, const std::string& path, std::string_view bytes);

// The last-write time of an existing file, read through a handle of its own.
std::optional<FatTime> fileTimeOf(FileSystem& fs, const std::string& path);
// Last-write time of the file at path; {0, 0} when it cannot be opened.
FatTime readFileTime(FileSystem& fs, const std::string& path);
bool setFileTime(FileSystem& fs, const std::string& path, FatTime time);

}  // namespace qm
