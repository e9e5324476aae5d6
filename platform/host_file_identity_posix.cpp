#ifndef _WIN32
#include <sys/stat.h>

#include "platform/host_file_identity.h"

namespace qm {

std::optional<HostFileIdentity> hostFileIdentity(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return HostFileIdentity{uint64_t(st.st_dev), uint64_t(st.st_ino)};
}

}  // namespace qm
#endif
