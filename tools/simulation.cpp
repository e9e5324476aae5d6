#include "tools/simulation.h"

#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>

#include "base/text.h"
#include "engine/engine.h"
#include "engine/install_driver.h"
#include "finish/finish.h"
#include "platform/file_handle.h"
#include "platform/sim/program_manager.h"
#include "platform/sim/regedit4.h"
#include "platform/sim/sim_system.h"
#include "script/conditions.h"
#include "script/parser.h"
#include "script/statement_context.h"
#include "shell/installation.h"
#include "shell/run.h"
#include "shell/startup.h"
#include "ui/answer_recorder.h"
#include "ui/answers_ui.h"
#include "ui/dialog_template.h"
#include "ui/trace_file.h"

namespace qm {

namespace {

// The simulated machine, watched for the process start-up uses to hand over to its temporary
// copy, so the simulation can go on in that copy as a real machine would. A start that waits (an
// unattended relaunch) runs the copy there and then, and reports its exit code.
class WatchedMachine : public SimSystem {
 public:
  explicit WatchedMachine(MachineConfig config) : SimSystem(std::move(config)) {}
  bool startProcess(const std::string& commandLine, int showState, bool wait) override {
    lastStarted = commandLine;
    if (!SimSystem::startProcess(commandLine, showState, wait)) return false;
    if (wait && runWaited && commandLine.find(kTempExeName) != std::string::npos)
      lastCode_ = runWaited(commandLine);
    return true;
  }
  long lastExitCode() const override { return lastCode_; }
  std::string lastStarted;
  std::function<long(const std::string&)> runWaited;

 private:
  long lastCode_ = -1;
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

// Keeps the trace's last lines for the report of a failed run, and passes every line on to the
// host's trace and to the one the installer's /LOG= names on the machine.
class TailTraceSink : public TraceSink {
 public:
  void write(const std::string& line) override {
    for (TraceSink* next : next_) next->write(line);
    tail.push_back(line);
    if (tail.size() > kTailLines) tail.erase(tail.begin());
  }
  void add(TraceSink* next) { next_.push_back(next); }
  static constexpr size_t kTailLines = 8;
  std::vector<std::string> tail;

 private:
  std::vector<TraceSink*> next_;
};

// The host's local time, as a trace header gives it.
std::string localDateTime() {
  std::time_t now = std::time(nullptr);
  char text[32] = "";
  if (const std::tm* local = std::localtime(&now))
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", local);
  return text;
}

// A dialog's controller, passed through; what it fills in as the dialog opens is noted for the
// picture of the dialog.
class OpeningNoted : public DialogController, private DialogControls {
 public:
  OpeningNoted(DialogController& inner, ShownScreens& screens, size_t index)
      : inner_(inner), screens_(screens), index_(index) {}
  void open(DialogControls& controls) override {
    controls_ = &controls;
    inner_.open(*this);
  }
  DialogAction command(int id, DialogControls& controls) override {
    return inner_.command(id, controls);
  }

 private:
  void setText(int id, const std::string& text) override {
    screens_.windows[index_].controlTexts.emplace_back(id, text);
    controls_->setText(id, text);
  }
  std::string text(int id, size_t maxChars) override { return controls_->text(id, maxChars); }
  void setChecked(int id, bool checked) override {
    if (checked) screens_.windows[index_].checked.push_back(id);
    controls_->setChecked(id, checked);
  }
  bool checked(int id) override { return controls_->checked(id); }

  DialogController& inner_;
  ShownScreens& screens_;
  size_t index_;
  DialogControls* controls_ = nullptr;
};

// Notes every dialog and message box on its way to the recorder and the answers.
class ScreenCollector : public AnswerRecorder {
 public:
  ScreenCollector(Ui& inner, ShownScreens* screens) : AnswerRecorder(inner), screens_(screens) {}
  MsgResult messageBox(const MessageRequest& request) override {
    note(ShownWindow::Kind::Message, request.topic.empty() ? "Message" : request.topic, {}, false,
         request.text);
    return AnswerRecorder::messageBox(request);
  }
  DialogOutcome runDialog(const DialogSpec& dialog, DialogController& controller) override {
    note(ShownWindow::Kind::Dialog, dialog.topic, dialog.templateBytes, dialog.windowColour, {});
    if (!screens_) return AnswerRecorder::runDialog(dialog, controller);
    OpeningNoted noted(controller, *screens_, screens_->windows.size() - 1);
    return AnswerRecorder::runDialog(dialog, noted);
  }
  DiskAnswer diskPrompt(const DiskRequest& request) override {
    note(ShownWindow::Kind::Message, "Disk", {}, false, request.message);
    return AnswerRecorder::diskPrompt(request);
  }
  void note(ShownWindow::Kind kind, std::string topic, DialogTemplate bytes, bool windowColour,
            std::string text) {
    if (!screens_) return;
    ShownWindow& shown = screens_->windows.emplace_back();
    shown.kind = kind;
    shown.topic = std::move(topic);
    shown.templateBytes = std::move(bytes);
    shown.windowColour = windowColour;
    shown.text = std::move(text);
  }
  using AnswerRecorder::note;

 private:
  ShownScreens* screens_;
};

// The copy loop's pop-ups and progress window, noted where a real run would show them.
class CollectedWindows : public EngineWindows {
 public:
  CollectedWindows(Engine& engine, ScreenCollector& collector)
      : engine_(engine), collector_(collector) {}
  void createProgress(int) override {
    collector_.note(ShownWindow::Kind::Progress, "Progress", buildFixedDialogTemplate(100), true,
                    {});
  }
  void destroyProgress() override {
    collector_.note(ShownWindow::Kind::ProgressGone, "Progress", {}, false, {});
  }
  void showPopup(int index) override {
    const std::vector<PopupRecord>& popups = engine_.state.screens.popups;
    if (index < 0 || index >= int(popups.size())) {
      collector_.note(ShownWindow::Kind::PopupGone, "Popup", {}, false, {});
      return;
    }
    const PopupRecord& popup = popups[size_t(index)];
    collector_.note(ShownWindow::Kind::Popup, "Popup " + std::to_string(popup.number), popup.dialog,
                    false, {});
  }

 private:
  Engine& engine_;
  ScreenCollector& collector_;
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

namespace {

// One program of the run: the installer, or its temporary copy. The copy runs inside the
// relaunch's waited start when the run is unattended, and after the first program otherwise.
class Simulator {
 public:
  Simulator(WatchedMachine& sys, ScreenCollector& ui, SimulationResult& result, bool waitForCopy,
            ShownScreens* screens)
      : sys_(sys), ui_(ui), result_(result), waitForCopy_(waitForCopy), screens_(screens) {
    sys_.runWaited = [this](const std::string& commandLine) -> long {
      if (generation_ > 0) return -1;  // a copy that relaunches again is not followed
      ui_.trace("simulate: running the temporary copy: " + commandLine);
      std::string program, arguments;
      splitCommandLine(commandLine, program, arguments);
      return run(program, arguments, generation_ + 1);
    };
  }

  int run(const std::string& program, const std::string& arguments, int generation) {
    generation_ = generation;
    sys_.setModulePath(program);
    sys_.setCommandLineArguments(arguments);
    // The first program's header was written when the trace was opened.
    if (generation > 0) {
      const std::string line = traceHeader(sys_, localDateTime());
      ui_.trace(line);
    }
    Run run(sys_, ui_);
    run.waitForCopy = waitForCopy_;
    SimulatedStart hooks;
    StartupResult started = startUp(run, hooks);
    generation_ = generation;
    if (started == StartupResult::Failed) {
      applicationEnd(sys_, ui_, run.state.get(), run.macros, run.container);
      result_.conditions = std::move(hooks.conditions);
      return 1;
    }
    if (started == StartupResult::Relaunched) {
      if (run.waitForCopy) return startupExitCode(started, run);
      if (generation > 0) {
        result_.error = "the temporary copy relaunched itself again";
        return 1;
      }
      ui_.trace("simulate: following the temporary copy: " + sys_.lastStarted);
      std::string copy, copyArguments;
      splitCommandLine(sys_.lastStarted, copy, copyArguments);
      return this->run(copy, copyArguments, generation + 1);
    }
    Installation installation(run);
    CollectedWindows windows(installation.engine, ui_);
    if (screens_) {
      installation.engine.setWindows(&windows);
      noteMainWindow(run, hooks.posted);
    }
    // The finish runs as after the real message loop.
    int code = installation.finish(hooks.posted ? installation.start()
                                                : installExitCode(installation.engine, 1));
    result_.logPath = installation.engine.log.path();
    if (!result_.logPath.empty()) {
      if (std::optional<std::string> text = readAll(sys_, result_.logPath))
        result_.installLog = fromCrLf(*text);
    }
    result_.conditions = std::move(hooks.conditions);
    return code;
  }

 private:
  // The main window as the script set it up; the temporary copy's, when the run hands over.
  void noteMainWindow(Run& run, bool shown) {
    screens_->screenWidth = sys_.machine().screenWidth();
    screens_->screenHeight = sys_.machine().screenHeight();
    screens_->mainWindow = shown;
    screens_->settings = run.state->settings;
    const Settings& s = run.state->settings;
    if (!s.screenGraphicPath.empty())
      screens_->graphic =
          loadScreenBitmap(run.container, s.screenGraphicPath, s.screenGraphicPlacement);
  }

  WatchedMachine& sys_;
  ScreenCollector& ui_;
  SimulationResult& result_;
  bool waitForCopy_;
  ShownScreens* screens_;
  int generation_ = 0;
};

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

  std::string program = request.program;
  std::string arguments;
  for (const std::string& a : request.arguments) arguments += (arguments.empty() ? "" : " ") + a;
  if (!sys.files().attributes(program)) {
    result.error = "there is no " + program + " on the simulated machine of " + request.machineFile;
    return result;
  }
  // Started from its own folder, as a user starts it from the disk.
  sys.files().setCurrentDirectory(directoryOf(program));

  TailTraceSink tail;
  std::unique_ptr<HostTraceSink> sink;
  if (!request.traceFile.empty()) {
    std::ofstream(request.traceFile, std::ios::binary | std::ios::trunc);
    sink = std::make_unique<HostTraceSink>(request.traceFile);
    tail.add(sink.get());
  }
  // The installer's own switches name files on the machine, as they would on a real one.
  const CommandLine switches = parseCommandLine(arguments, "");
  std::unique_ptr<FileTraceSink> machineLog;
  auto ends = [&](int code) {
    result.exitCode = code;
    result.traceTail = tail.tail;
    return result;
  };
  sys.setModulePath(program);
  sys.setCommandLineArguments(arguments);
  const std::string line = traceHeader(sys, localDateTime());
  if (sink) sink->write(line);
  if (!switches.logFile.empty()) {
    machineLog = std::make_unique<FileTraceSink>(sys, switches.logFile);
    // Checked before anything changes, as the installer does.
    if (!machineLog->writeLine(line)) {
      tail.write("trace: " + switches.logFile + " cannot be written; nothing was changed");
      return ends(1);
    }
    tail.add(machineLog.get());
  }

  AnswersFile answers;
  std::optional<std::string> text;
  if (!request.answersFile.empty()) {
    text = readHostFile(request.answersFile);
    if (!text) {
      tail.write("answers: " + request.answersFile + ": cannot open the answers file");
      return ends(1);
    }
  }
  std::optional<AnswersFile> parsed;
  if (text) {
    parsed = AnswersFile::parse(*text, request.answersFile, error);
  } else if (!switches.answersFile.empty()) {
    parsed = loadAnswersFile(sys, switches.answersFile, error);
  }
  if (text || !switches.answersFile.empty()) {
    // An answers file that cannot be used stops the installer before it starts: exit code 1.
    if (!parsed) {
      tail.write("answers: " + error);
      return ends(1);
    }
    answers = std::move(*parsed);
  }
  AnswersUi answersUi(std::move(answers), &tail);
  answersUi.setDiskInserter([&sys](const std::string& root) {
    return !root.empty() && sys.insertNextMedium(toUpperAscii(root[0]));
  });
  // Every answer the run gets passes the recorder, which writes them out when the run ends.
  ScreenCollector ui(answersUi, request.screens);
  struct WriteRecord {
    const AnswerRecorder& recorder;
    const std::string& path;
    ~WriteRecord() {
      if (!path.empty())
        std::ofstream(path, std::ios::binary | std::ios::trunc) << recorder.answersText();
    }
  } writeRecord{ui, request.recordFile};

  // A simulated run is unattended whether or not an answers file is given (every question gets
  // its default), so it waits for its temporary copy as an unattended installer does.
  Simulator simulator(sys, ui, result, true, request.screens);
  int code = simulator.run(program, arguments, 0);
  if (!result.error.empty()) return result;
  return ends(code);
}

std::string answersFileProblem(const std::string& hostPath) {
  std::optional<std::string> text = readHostFile(hostPath);
  if (!text) return hostPath + ": cannot open the answers file";
  std::string error;
  return AnswersFile::parse(*text, hostPath, error) ? "" : error;
}

int simulateExitStatus(int installerCode) {
  if ((installerCode >= 0 && installerCode <= 3) || installerCode == 5) return installerCode;
  return installerCode == 3010 ? kRestartPendingStatus : 11;
}

}  // namespace qm
