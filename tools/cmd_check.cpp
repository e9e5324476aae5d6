// Placeholder until the command lands.
#include <cstdio>

#include "tools/quillpack_commands.h"

namespace qm::pack {

int runCheck(const Args&) {
  std::fprintf(stderr, "quillpack: not available yet\n");
  return 2;
}

}  // namespace qm::pack
