// quillpack uninstall: the uninstaller's core on a simulated Windows machine.
#include <cstdio>

#include "tools/quillpack_commands.h"
#include "tools/safe_output.h"
#include "tools/uninstall_simulation.h"

namespace qm::pack {

namespace {
constexpr const char* kUsage =
    "usage: quillpack uninstall --machine MACHINE.ini [--answers ANSWERS.ini] [--trace FILE] "
    "[--] 'C:\\APP\\install.log'";
}

int runUninstall(const Args& args) {
  UninstallSimulation request;
  size_t i = 0;
  for (; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= args.size()) return false;
      out = args[++i];
      return true;
    };
    if (a == "--machine") {
      if (!value(request.machineFile)) return usage(kUsage);
    } else if (a == "--answers") {
      if (!value(request.answersFile)) return usage(kUsage);
    } else if (a == "--trace") {
      if (!value(request.traceFile)) return usage(kUsage);
    } else if (a == "--help" || a == "-h") {
      std::printf("%s\n", kUsage);
      return 0;
    } else if (a == "--") {
      ++i;
      break;
    } else if (a.rfind("--", 0) == 0) {
      std::fprintf(stderr, "quillpack uninstall: unknown option '%s'\n", a.c_str());
      return usage(kUsage);
    } else {
      break;
    }
  }
  if (request.machineFile.empty() || i + 1 != args.size()) return usage(kUsage);
  request.logPath = args[i];
  for (const std::string& input : {request.machineFile, request.answersFile})
    if (!input.empty())
      if (std::string problem = inputProblem(input, false); !problem.empty())
        return inputError(problem);

  UninstallSimulationResult result = runUninstallSimulation(request);
  if (!result.error.empty()) {
    std::fprintf(stderr, "quillpack uninstall: %s\n", result.error.c_str());
    return 2;
  }
  for (const std::string& line : result.report.done) std::printf("done: %s\n", line.c_str());
  for (const std::string& line : result.report.notes) std::printf("note: %s\n", line.c_str());
  for (const std::string& line : result.report.problems)
    std::printf("not undone: %s\n", line.c_str());
  return result.exitCode;
}

}  // namespace qm::pack
