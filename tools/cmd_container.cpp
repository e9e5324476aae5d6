// Placeholder until the command lands.
#include <cstdio>

#include "tools/quillpack_commands.h"

namespace qm::pack {

int runBuild(const Args&) {
  std::fprintf(stderr, "quillpack: not available yet\n");
  return 2;
}

int runList(const Args&) {
  std::fprintf(stderr, "quillpack: not available yet\n");
  return 2;
}

int runExtract(const Args&) {
  std::fprintf(stderr, "quillpack: not available yet\n");
  return 2;
}

}  // namespace qm::pack
