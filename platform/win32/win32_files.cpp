#include <windows.h>

#include "platform/win32/win32_system.h"

namespace qm {

namespace {

constexpr size_t kMaxOpenFiles = 256;

HANDLE openWith(const std::string& path, DWORD access, DWORD disposition) {
  return CreateFileA(path.c_str(), access, FILE_SHARE_READ, nullptr, disposition,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

Win32System::~Win32System() {
  for (void* h : handles_)
    if (h) CloseHandle(static_cast<HANDLE>(h));
}

FileHandle Win32System::addHandle(void* h) {
  if (h == INVALID_HANDLE_VALUE) return kInvalidFile;
  size_t slot = 0;
  while (slot < handles_.size() && handles_[slot]) ++slot;
  if (slot >= kMaxOpenFiles) {
    CloseHandle(static_cast<HANDLE>(h));
    return kInvalidFile;
  }
  if (slot == handles_.size()) handles_.push_back(nullptr);
  handles_[slot] = h;
  return FileHandle(slot);
}

void* Win32System::handle(FileHandle h) const {
  if (h < 0 || size_t(h) >= handles_.size()) return nullptr;
  return handles_[size_t(h)];
}

FileHandle Win32System::openRead(const std::string& path) {
  return addHandle(openWith(path, GENERIC_READ, OPEN_EXISTING));
}

FileHandle Win32System::openReadWrite(const std::string& path) {
  return addHandle(openWith(path, GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING));
}

FileHandle Win32System::create(const std::string& path) {
  return addHandle(openWith(path, GENERIC_WRITE, CREATE_ALWAYS));
}

FileHandle Win32System::openAppend(const std::string& path) {
  HANDLE h = openWith(path, GENERIC_WRITE, OPEN_ALWAYS);
  if (h != INVALID_HANDLE_VALUE) SetFilePointer(h, 0, nullptr, FILE_END);
  return addHandle(h);
}

int32_t Win32System::read(FileHandle h, void* buffer, uint32_t count) {
  HANDLE f = static_cast<HANDLE>(handle(h));
  DWORD done = 0;
  if (!f || count > uint32_t(INT32_MAX) || !ReadFile(f, buffer, count, &done, nullptr)) return -1;
  return int32_t(done);
}

int32_t Win32System::write(FileHandle h, const void* buffer, uint32_t count) {
  HANDLE f = static_cast<HANDLE>(handle(h));
  DWORD done = 0;
  if (!f || count > uint32_t(INT32_MAX) || !WriteFile(f, buffer, count, &done, nullptr)) return -1;
  return done == count ? int32_t(done) : -1;
}

int64_t Win32System::seek(FileHandle h, int64_t offset, SeekOrigin origin) {
  HANDLE f = static_cast<HANDLE>(handle(h));
  if (!f) return -1;
  // SetFilePointer with a high part works on every 32-bit Windows, SetFilePointerEx does not.
  LONG high = LONG(offset >> 32);
  DWORD method = origin == SeekOrigin::Begin ? FILE_BEGIN
                 : origin == SeekOrigin::End ? FILE_END
                                             : FILE_CURRENT;
  SetLastError(NO_ERROR);
  DWORD low = SetFilePointer(f, LONG(offset & 0xFFFFFFFF), &high, method);
  if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) return -1;
  return int64_t(uint64_t(uint32_t(high)) << 32 | low);
}

int64_t Win32System::fileSize(FileHandle h) {
  HANDLE f = static_cast<HANDLE>(handle(h));
  if (!f) return -1;
  DWORD high = 0;
  SetLastError(NO_ERROR);
  DWORD low = GetFileSize(f, &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return -1;
  return int64_t(uint64_t(high) << 32 | low);
}

void Win32System::close(FileHandle h) {
  HANDLE f = static_cast<HANDLE>(handle(h));
  if (!f) return;
  CloseHandle(f);
  handles_[size_t(h)] = nullptr;
}

std::optional<FatTime> Win32System::fileTime(FileHandle h) {
  HANDLE f = static_cast<HANDLE>(handle(h));
  FILETIME written;
  WORD date = 0, time = 0;
  // No FileTimeToLocalFileTime: the FAT words carry the file's UTC time as it is.
  if (!f || !GetFileTime(f, nullptr, nullptr, &written) ||
      !FileTimeToDosDateTime(&written, &date, &time))
    return std::nullopt;
  return FatTime{date, time};
}

bool Win32System::setFileTime(FileHandle h, FatTime t) {
  HANDLE f = static_cast<HANDLE>(handle(h));
  FILETIME ft;
  return f && DosDateTimeToFileTime(t.date, t.time, &ft) && SetFileTime(f, nullptr, nullptr, &ft);
}

}  // namespace qm
