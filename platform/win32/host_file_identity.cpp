#include "platform/host_file_identity.h"

#include <windows.h>

namespace qm {

// The C runtime's stat leaves the inode at 0 here; the volume serial number and the file index
// are what tell two names of one file apart on Windows.
std::optional<HostFileIdentity> hostFileIdentity(const std::string& path) {
  HANDLE h = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION info;
  const bool ok = GetFileInformationByHandle(h, &info) != 0;
  CloseHandle(h);
  if (!ok) return std::nullopt;
  return HostFileIdentity{info.dwVolumeSerialNumber,
                          uint64_t(info.nFileIndexHigh) << 32 | info.nFileIndexLow};
}

}  // namespace qm
