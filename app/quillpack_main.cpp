// quillpack: the vendor's tool. One program, one sub-command per job.
#include <cstdio>
#include <cstring>
#include <string>

#include "tools/quillpack_commands.h"

namespace {

struct Command {
  const char* name;
  int (*run)(const qm::pack::Args&);
  const char* usage;
};

const Command kCommands[] = {
    {"build", qm::pack::runBuild, "build --stub STUB.exe -o SETUP.EXE FILE..."},
    {"list", qm::pack::runList, "list SETUP.EXE"},
    {"extract", qm::pack::runExtract, "extract SETUP.EXE NAME -o OUT"},
    {"check", qm::pack::runCheck, "check [--machine MACHINE.ini] SCRIPT"},
    {"implode", qm::pack::runImplode, "implode [--ascii] [--dict 1024|2048|4096] IN OUT"},
    {"explode", qm::pack::runExplode, "explode IN OUT"},
    {"package", qm::pack::runPackage,
     "package -o NAME.PAK [--volume-size BYTES] [--base DIR] FILE..."},
    {"simulate", qm::pack::runSimulate,
     "simulate --machine MACHINE.ini [--answers ANSWERS.ini] [--trace FILE] [--] PROGRAM [ARGS...]"},
    {"uninstall", qm::pack::runUninstall,
     "uninstall --machine MACHINE.ini [--answers ANSWERS.ini] [--trace FILE] [--] LOG"},
};

void printUsage(FILE* out) {
  std::fprintf(out, "usage: quillpack COMMAND [ARGS...]\ncommands:\n");
  for (const auto& c : kCommands) std::fprintf(out, "  quillpack %s\n", c.usage);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    printUsage(stderr);
    return 2;
  }
  if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
    printUsage(stdout);
    return 0;
  }
  for (const auto& c : kCommands) {
    if (std::strcmp(argv[1], c.name) == 0) {
      qm::pack::Args args(argv + 2, argv + argc);
      return c.run(args);
    }
  }
  std::fprintf(stderr, "quillpack: unknown command '%s'\n", argv[1]);
  printUsage(stderr);
  return 2;
}
