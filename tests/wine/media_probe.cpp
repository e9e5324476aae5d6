// Puts another medium into a drive of the running Wine prefix, as winecfg's drive page does: the
// drive letter is defined afresh on a host folder through Wine's mount manager, which reads the
// folder's volume label (.windows-label) anew. A changed symbolic link or label file alone is
// not seen: the mount manager keeps the label it read when the drive was defined.
//
//   media_probe.exe LETTER HOSTFOLDER     HOSTFOLDER: an absolute host path
//
// Exit code 0 when the drive holds the new medium, 1 when the mount manager refused, 2 on bad
// arguments.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Wine's own control codes and request layout for defining a drive on a host path.
constexpr DWORD kMountManagerType = 'm';
constexpr DWORD kDefineUnixDrive = (kMountManagerType << 16) |
                                   ((FILE_READ_ACCESS | FILE_WRITE_ACCESS) << 14) | (32 << 2) |
                                   METHOD_BUFFERED;

struct UnixDriveRequest {
  ULONG size;
  ULONG type;
  ULONG fsType;
  DWORD serial;
  ULONGLONG unixDevice;
  WCHAR letter;
  USHORT mountPointOffset;
  USHORT deviceOffset;
  USHORT labelOffset;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 || std::strlen(argv[1]) != 1 || argv[2][0] != '/') {
    std::fprintf(stderr, "usage: media_probe.exe LETTER /HOST/FOLDER\n");
    return 2;
  }
  const std::string host = argv[2];
  std::vector<char> buffer(sizeof(UnixDriveRequest) + host.size() + 1, 0);
  UnixDriveRequest request{};
  request.size = static_cast<ULONG>(buffer.size());
  request.type = DRIVE_REMOVABLE;  // below C: the mount manager makes it a floppy
  request.letter = static_cast<WCHAR>(argv[1][0] | 0x20);
  request.mountPointOffset = sizeof(UnixDriveRequest);
  std::memcpy(buffer.data(), &request, sizeof request);
  std::memcpy(buffer.data() + sizeof request, host.c_str(), host.size() + 1);

  HANDLE manager = CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, 0);
  if (manager == INVALID_HANDLE_VALUE) {
    std::fprintf(stderr, "cannot open the mount manager (error %lu)\n", GetLastError());
    return 1;
  }
  DWORD returned = 0;
  BOOL ok = DeviceIoControl(manager, kDefineUnixDrive, buffer.data(),
                            static_cast<DWORD>(buffer.size()), nullptr, 0, &returned, nullptr);
  DWORD error = GetLastError();
  CloseHandle(manager);
  if (!ok) {
    std::fprintf(stderr, "the mount manager refused %c: on %s (error %lu)\n", argv[1][0],
                 host.c_str(), error);
    return 1;
  }
  return 0;
}
