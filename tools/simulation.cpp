#include "tools/simulation.h"

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "base/text.h"
#include "engine/engine.h"
#include "engine/install_driver.h"
#include "engine/package.h"
#include "finish/finish.h"
#include "finish/rollback.h"
#include "platform/file_handle.h"
#include "platform/sim/program_manager.h"
#include "platform/sim/regedit4.h"
#include "platform/sim/sim_system.h"
#include "script/conditions.h"
#include "script/parser.h"
#include "script/statement_context.h"
#include "shell/run.h"
#include "shell/startup.h"
#include "sysconfig/system_configuration.h"
#include "ui/answer_recorder.h"
#include "ui/answers_ui.h"

namespace qm {

namespace {

// The simulated machine, watched for the process start-up uses to hand over to its temporary
// copy, so the simulation can go on in that copy as a real machine would.
class WatchedMachine : public SimSystem {
 public:
  explicit WatchedMachine(MachineConfig config) : SimSystem(std::move(config)) {}
  bool startProcess(const std::string& commandLine, int showState, bool wait) override {
    lastStarted = commandLine;
    return SimSystem::startProcess(commandLine, showState, wait);
  }
  std::string lastStarted;
};

class HostTraceSink : public TraceSink {
 public:
  explicit HostTraceSink(std::string path) : path_(std::move(path)) {}
  void write(const std::string& line) override {
    std::ofstream out(path_, std::ios::binary | std::ios::app);
    out << line << '\n';
  }

 private:
  std::string path_;
};

// Keeps the trace's last lines for the report of a failed run, and passes every line on.
class TailTraceSink : public TraceSink {
 public:
  explicit TailTraceSink(TraceSink* next) : next_(next) {}
  void write(const std::string& line) override {
    if (next_) next_->write(line);
    tail.push_back(line);
    if (tail.size() > kTailLines) tail.erase(tail.begin());
  }
  static constexpr size_t kTailLines = 8;
  std::vector<std::string> tail;

 private:
  TraceSink* next_;
};

class SimulatedStart : public StartupHooks {
 public:
  int parse(Run& run) override {
    // The conditions are tested as the installer tests them, and noted for the report that
    // sets machines side by side.
    ParseOptions options;
    options.condition = [this](StatementContext& ctx) {
      std::string text = ctx.line.text();
      int result = evaluateCondition(ctx);
      conditions.push_back({ctx.lineNumber, text, result});
      return result;
    };
    return parseScript(run.startup.scriptPath, run.sys, run.ui, run.container, run.macros,
                       run.startup, *run.state, options);
  }
  void postStart(Run&) override { posted = true; }
  bool posted = false;
  std::vector<ConditionResult> conditions;
};

std::optional<std::string> readHostFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Splits "PROGRAM ARGS" the way the relaunch writes it: the program is the first blank-ended word.
void splitCommandLine(const std::string& line, std::string& program, std::string& arguments) {
  size_t blank = line.find(' ');
  program = line.substr(0, blank);
  arguments = blank == std::string::npos ? "" : line.substr(blank + 1);
}

std::string directoryOf(const std::string& path) {
  size_t slash = path.rfind('\\');
  if (slash == std::string::npos) return "";
  return slash == 2 && path[1] == ':' ? path.substr(0, 3) : path.substr(0, slash);
}

// A file of the machine that is there but cannot be read as one (a folder, a file without
// permission): the machine cannot start, and the message names the file.
std::optional<std::string> unreadableMachineFile(const std::filesystem::path& file) {
  std::error_code ec;
  const auto status = std::filesystem::status(file, ec);
  if (ec || !std::filesystem::exists(status)) return std::nullopt;
  if (std::filesystem::is_directory(status)) return file.string() + " is a folder, not a file";
  std::ifstream in(file, std::ios::binary);
  if (!in) return file.string() + " cannot be read";
  return std::nullopt;
}

}  // namespace

SimulationResult runSimulation(const SimulationRequest& request) {
  SimulationResult result;
  std::string error;
  const std::filesystem::path machine(request.machineFile);
  for (const std::filesystem::path& file : {machine, machine.parent_path() / kRegistryFileName,
                                            machine.parent_path() / kGroupsFileName}) {
    if (std::optional<std::string> problem = unreadableMachineFile(file)) {
      result.exitCode = 1;
      result.traceTail = {"the simulated machine could not start: " + *problem};
      return result;
    }
  }
  std::optional<MachineConfig> config = readMachineFile(request.machineFile, error);
  if (!config) {
    result.error = error;
    return result;
  }
  WatchedMachine sys(std::move(*config));
  // Nothing but this run writes the machine's folders until it ends.
  sys.enableHostCache();

  AnswersFile answers;
  if (!request.answersFile.empty()) {
    std::optional<std::string> text = readHostFile(request.answersFile);
    if (!text) {
      result.error = request.answersFile + ": cannot be read";
      return result;
    }
    std::optional<AnswersFile> parsed = AnswersFile::parse(*text, request.answersFile, error);
    if (!parsed) {
      result.error = error;
      return result;
    }
    answers = std::move(*parsed);
  }
  std::unique_ptr<HostTraceSink> sink;
  if (!request.traceFile.empty()) {
    std::ofstream(request.traceFile, std::ios::binary | std::ios::trunc);
    sink = std::make_unique<HostTraceSink>(request.traceFile);
  }
  TailTraceSink tail(sink.get());
  AnswersUi answersUi(std::move(answers), &tail);
  answersUi.setDiskInserter([&sys](const std::string& root) {
    return !root.empty() && sys.insertNextMedium(toUpperAscii(root[0]));
  });
  // Every answer the run gets passes the recorder, which writes them out when the run ends.
  AnswerRecorder ui(answersUi);
  struct WriteRecord {
    const AnswerRecorder& recorder;
    const std::string& path;
    ~WriteRecord() {
      if (!path.empty())
        std::ofstream(path, std::ios::binary | std::ios::trunc) << recorder.answersText();
    }
  } writeRecord{ui, request.recordFile};

  std::string program = request.program;
  std::string arguments;
  for (const std::string& a : request.arguments) arguments += (arguments.empty() ? "" : " ") + a;
  if (!sys.attributes(program)) {
    result.error = "there is no " + program + " on the simulated machine of " + request.machineFile;
    return result;
  }
  // Started from its own folder, as a user starts it from the disk.
  sys.setCurrentDirectory(directoryOf(program));

  // The original and at most one temporary copy.
  for (int generation = 0; generation < 2; ++generation) {
    sys.setModulePath(program);
    sys.setCommandLineArguments(arguments);
    Run run(sys, ui);
    SimulatedStart hooks;
    StartupResult started = startUp(run, hooks);
    if (started == StartupResult::Failed) {
      applicationEnd(sys, ui, run.state.get(), run.macros, run.container);
      result.exitCode = 1;
      result.traceTail = tail.tail;
      result.conditions = std::move(hooks.conditions);
      return result;
    }
    if (started == StartupResult::Relaunched) {
      ui.trace("simulate: following the temporary copy: " + sys.lastStarted);
      splitCommandLine(sys.lastStarted, program, arguments);
      continue;
    }
    Engine engine(sys, ui, *run.state, run.macros, run.startup, run.container);
    PackageExtractor packages(engine);  // lives as long as the engine
    engine.packages = &packages;
    SystemConfiguration configuration;
    engine.config = &configuration;
    int installed = hooks.posted ? installWithRollback(engine) : 1;
    // The finish runs as after the real message loop; a start that never posted the start
    // message ran no installation and starts nothing.
    RestartOutcome restarted =
        exitHandler(sys, ui, hooks.posted ? run.state.get() : nullptr, run.macros);
    applicationEnd(sys, ui, run.state.get(), run.macros, run.container);
    result.exitCode = finishExitCode(installExitCode(engine, installed), restarted);
    result.logPath = engine.log.path();
    if (!result.logPath.empty()) {
      if (std::optional<std::string> text = readAll(sys, result.logPath))
        result.installLog = fromCrLf(*text);
    }
    result.traceTail = tail.tail;
    result.conditions = std::move(hooks.conditions);
    return result;
  }
  result.error = "the temporary copy relaunched itself again";
  return result;
}

}  // namespace qm
