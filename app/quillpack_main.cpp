// quillpack: the vendor's tool. One program, one sub-command per job.
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "tools/quillpack_commands.h"
#include "tools/quillpack_help.h"

namespace {

struct Command {
  const char* name;
  int (*run)(const qm::pack::Args&);
};

const Command kCommands[] = {
    {"build", qm::pack::runBuild},         {"list", qm::pack::runList},
    {"extract", qm::pack::runExtract},     {"check", qm::pack::runCheck},
    {"implode", qm::pack::runImplode},     {"explode", qm::pack::runExplode},
    {"package", qm::pack::runPackage},     {"simulate", qm::pack::runSimulate},
    {"uninstall", qm::pack::runUninstall}, {"layout", qm::pack::runLayout},
    {"help", qm::pack::runHelp},
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    qm::pack::printOverview(true);
    return 2;
  }
  if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
    qm::pack::printOverview(false);
    return 0;
  }
  for (const auto& c : kCommands) {
    if (std::strcmp(argv[1], c.name) == 0) {
      qm::pack::Args args(argv + 2, argv + argc);
      try {
        return c.run(args);
      } catch (const std::exception& e) {
        // Bad input ends the command with a message, never with an uncaught exception.
        std::fprintf(stderr, "quillpack %s: %s\n", c.name, e.what());
        return 2;
      }
    }
  }
  std::fprintf(stderr, "quillpack: unknown command '%s'\n", argv[1]);
  qm::pack::printOverview(true);
  return 2;
}
