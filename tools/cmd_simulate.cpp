// quillpack simulate: a whole installation on a simulated Windows machine.
#include <cctype>
#include <cstdio>
#include <cstring>

#include "tools/quillpack_commands.h"
#include "tools/quillpack_help.h"
#include "tools/safe_output.h"
#include "tools/simulation.h"

namespace qm::pack {

namespace {

// A path on the simulated machine: a drive letter, a colon and a backslash.
bool isMachinePath(const std::string& path) {
  return path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' &&
         path[2] == '\\';
}

// The tool's own failures (bad arguments, a machine it cannot read) are not the installer's.
int cannotRun(int) { return kSimulateCannotRun; }

const char* exitMeaning(int code) {
  switch (code) {
    case 0:
      return "installation completed";
    case 1:
      return "the installer could not start";
    case 2:
      return "the user quit";
    case 3:
      return "the installation failed";
    case 5:
      return "another installation was running; nothing was changed";
    case 3010:
      return "completed; a restart was requested";
  }
  return "unexpected exit code";
}

}  // namespace

int runSimulate(const Args& args) {
  if (wantsProfiles(args)) return runProfileSimulate(args);
  const CommandHelp& help = commandHelp("simulate");
  SimulationRequest request;
  bool printLog = true;
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
    } else if (a == "--record") {
      if (!value(request.recordFile)) break;
    } else if (a == "--log" || a == "--quiet") {
      printLog = a == "--log";
    } else if (a == "--help" || a == "-h") {
      return printHelp(help);
    } else if (a == "--") {
      ++i;
      break;
    } else if (a.rfind("--", 0) == 0) {
      return cannotRun(usageError(help, "unknown option " + a));
    } else {
      break;
    }
  }
  if (request.machineFile.empty())
    return cannotRun(usageError(help, "no --machine MACHINE.ini given"));
  if (i >= args.size()) return cannotRun(usageError(help, "no PROGRAM given"));
  request.program = args[i];
  if (!isMachinePath(request.program))
    return cannotRun(
        usageError(help,
                   "PROGRAM is the installer's path on the simulated machine, with its drive "
                   "letter, such as 'A:\\SETUP.EXE' or 'C:\\DIST\\SETUP.EXE'; '" +
                       request.program + "' is not one"));
  request.arguments.assign(args.begin() + static_cast<long>(i) + 1, args.end());

  std::vector<std::string> inputs{request.machineFile};
  if (!request.answersFile.empty()) inputs.push_back(request.answersFile);
  for (const std::string& input : inputs)
    if (std::string problem = inputProblem(input, false); !problem.empty()) {
      // An answers file the installer could not use stops it with exit code 1.
      int code = inputError(problem);
      return input == request.machineFile ? cannotRun(code) : 1;
    }
  if (!request.answersFile.empty())
    if (std::string problem = answersFileProblem(request.answersFile); !problem.empty()) {
      std::fprintf(stderr, "quillpack simulate: %s; the installer ends with exit code 1\n",
                   problem.c_str());
      return 1;
    }
  // The trace goes to a temporary beside its name and is put in place when the run is over,
  // whatever the installer's exit code: it is the record of a failed run too.
  SafeOutputs trace(inputs);
  std::string error;
  if (!request.traceFile.empty()) {
    if (!trace.claim({request.traceFile}, error)) return cannotRun(inputError(error));
    request.traceFile = trace.reserve(0, error);
    if (request.traceFile.empty()) return cannotRun(fail(error));
  }

  SimulationResult result = runSimulation(request);
  if (!result.error.empty()) {
    std::fprintf(stderr, "quillpack simulate: %s\n", result.error.c_str());
    return kSimulateCannotRun;
  }
  if (!trace.commit(error)) return cannotRun(fail(error));
  if (printLog) {
    std::fwrite(result.installLog.data(), 1, result.installLog.size(), stdout);
    if (result.logPath.empty())
      std::fprintf(stderr, "quillpack simulate: no install log was written\n");
    else
      std::fprintf(stderr, "quillpack simulate: the install log %s is printed on stdout\n",
                   result.logPath.c_str());
  }
  const int status = simulateExitStatus(result.exitCode);
  const std::string shown =
      status == result.exitCode ? "" : " (exit status " + std::to_string(status) + ")";
  if (result.exitCode != 0 && result.exitCode != 3010) {
    std::fprintf(stderr, "quillpack simulate: exit code %d: %s%s; the trace ends:\n",
                 result.exitCode, exitMeaning(result.exitCode), shown.c_str());
    for (const std::string& line : result.traceTail) std::fprintf(stderr, "  %s\n", line.c_str());
  } else {
    std::fprintf(stderr, "quillpack simulate: exit code %d: %s%s\n", result.exitCode,
                 exitMeaning(result.exitCode), shown.c_str());
  }
  return status;
}

}  // namespace qm::pack
