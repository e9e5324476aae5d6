// quillpack simulate: a whole installation on a simulated Windows machine.
#include <cstdio>
#include <cstring>

#include "tools/quillpack_commands.h"
#include "tools/simulation.h"

namespace qm::pack {

namespace {
constexpr const char* kUsage =
    "usage: quillpack simulate --machine MACHINE.ini [--answers ANSWERS.ini] [--trace FILE] [--] "
    "PROGRAM [ARGS...]";
}

int runSimulate(const Args& args) {
  SimulationRequest request;
  size_t i = 0;
  for (; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= args.size()) return false;
      out = args[++i];
      return true;
    };
    if (a == "--machine") {
      if (!value(request.machineFile)) break;
    } else if (a == "--answers") {
      if (!value(request.answersFile)) break;
    } else if (a == "--trace") {
      if (!value(request.traceFile)) break;
    } else if (a == "--help" || a == "-h") {
      std::printf("%s\n", kUsage);
      return 0;
    } else if (a == "--") {
      ++i;
      break;
    } else if (a.rfind("--", 0) == 0) {
      std::fprintf(stderr, "quillpack simulate: unknown option '%s'\n%s\n", a.c_str(), kUsage);
      return 2;
    } else {
      break;
    }
  }
  if (request.machineFile.empty() || i >= args.size()) {
    std::fprintf(stderr, "%s\n", kUsage);
    return 2;
  }
  request.program = args[i];
  request.arguments.assign(args.begin() + static_cast<long>(i) + 1, args.end());

  SimulationResult result = runSimulation(request);
  if (!result.error.empty()) {
    std::fprintf(stderr, "quillpack simulate: %s\n", result.error.c_str());
    return 2;
  }
  std::fwrite(result.installLog.data(), 1, result.installLog.size(), stdout);
  return result.exitCode;
}

}  // namespace qm::pack
