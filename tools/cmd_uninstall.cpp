// quillpack uninstall: the uninstaller's core on a simulated Windows machine.
#include <cstdio>

#include "tools/quillpack_commands.h"
#include "tools/safe_output.h"
#include "tools/simulation.h"
#include "tools/uninstall_simulation.h"

namespace qm::pack {

namespace {
// The tool's own failures, apart from the uninstaller's codes 0 to 3.
constexpr int kCannotRun = 4;
int cannotRun(int) { return kCannotRun; }

constexpr const char* kUsage =
    "usage: quillpack uninstall --machine MACHINE.ini [--answers ANSWERS.ini] [--trace FILE] "
    "[--] 'C:\\APP\\install.log'";
}  // namespace

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
      if (!value(request.machineFile)) return cannotRun(usage(kUsage));
    } else if (a == "--answers") {
      if (!value(request.answersFile)) return cannotRun(usage(kUsage));
    } else if (a == "--trace") {
      if (!value(request.traceFile)) return cannotRun(usage(kUsage));
    } else if (a == "--help" || a == "-h") {
      std::printf("%s\n", kUsage);
      return 0;
    } else if (a == "--") {
      ++i;
      break;
    } else if (a.rfind("--", 0) == 0) {
      std::fprintf(stderr, "quillpack uninstall: unknown option '%s'\n", a.c_str());
      return cannotRun(usage(kUsage));
    } else {
      break;
    }
  }
  if (request.machineFile.empty() || i + 1 != args.size()) return cannotRun(usage(kUsage));
  request.logPath = args[i];
  for (const std::string& input : {request.machineFile, request.answersFile})
    if (!input.empty())
      if (std::string problem = inputProblem(input, false); !problem.empty())
        // unstall.exe ends with 1 on an answers file it cannot use.
        return input == request.answersFile ? (inputError(problem), 1)
                                            : cannotRun(inputError(problem));

  if (!request.answersFile.empty())
    if (std::string problem = answersFileProblem(request.answersFile); !problem.empty()) {
      std::fprintf(stderr, "quillpack uninstall: %s; the uninstaller ends with exit code 1\n",
                   problem.c_str());
      return 1;
    }
  UninstallSimulationResult result = runUninstallSimulation(request);
  if (!result.error.empty()) {
    std::fprintf(stderr, "quillpack uninstall: %s\n", result.error.c_str());
    return kCannotRun;
  }
  for (const std::string& line : result.report.done) std::printf("done: %s\n", line.c_str());
  for (const std::string& line : result.report.notes) std::printf("note: %s\n", line.c_str());
  for (const std::string& line : result.report.problems)
    std::printf("not undone: %s\n", line.c_str());
  return result.exitCode;
}

}  // namespace qm::pack
