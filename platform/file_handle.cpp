#include "platform/file_handle.h"

namespace qm {

namespace {

constexpr const char* kReplaceTempName = "~qmun.tmp";

std::string folderOf(const std::string& path) {
  size_t slash = path.find_last_of("\\/:");
  return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

}  // namespace

std::optional<std::string> readAll(FileSystem& fs, const std::string& path) {
  ScopedFile file = ScopedFile::openRead(fs, path);
  return file ? readRest(fs, file.get()) : std::nullopt;
}

std::optional<std::string> readRest(FileSystem& fs, FileHandle h) {
  std::string bytes;
  char block[8192];
  int32_t n = 0;
  while ((n = fs.read(h, block, sizeof block)) > 0) bytes.append(block, size_t(n));
  if (n < 0) return std::nullopt;
  return bytes;
}

bool writeFileBytes(FileSystem& fs, const std::string& path, std::string_view bytes) {
  bool whole = false;
  {
    ScopedFile file = ScopedFile::create(fs, path);
    if (!file) return false;
    whole = file.writeAll(bytes);
  }
  // Closed first: an open file cannot be deleted.
  if (!whole) fs.deleteFile(path);
  return whole;
}

bool replaceFile(FileSystem& fs, const std::string& path, std::string_view bytes) {
  std::optional<uint32_t> attributes = fs.attributes(path);
  const std::string temp = folderOf(path) + kReplaceTempName;
  if (!writeFileBytes(fs, temp, bytes)) return false;
  if (attributes && (*attributes & kAttrReadOnly)) fs.setAttributes(path, kAttrNormal);
  if (!fs.moveFile(temp, path, true)) {
    fs.deleteFile(temp);
    if (attributes) fs.setAttributes(path, *attributes);
    return false;
  }
  if (attributes) fs.setAttributes(path, *attributes);
  return true;
}

std::optional<FatTime> fileTimeOf(FileSystem& fs, const std::string& path) {
  ScopedFile file = ScopedFile::openRead(fs, path);
  return file ? fs.fileTime(file.get()) : std::nullopt;
}

FatTime readFileTime(FileSystem& fs, const std::string& path) {
  return fileTimeOf(fs, path).value_or(FatTime{});
}

bool setFileTime(FileSystem& fs, const std::string& path, FatTime time) {
  ScopedFile file = ScopedFile::openReadWrite(fs, path);
  return file && fs.setFileTime(file.get(), time);
}

}  // namespace qm
