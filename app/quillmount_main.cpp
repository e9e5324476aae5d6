// quillmount.exe: builds the run's objects once, wires them, runs start-up and then the message
// loop, in which the start message runs the installation; the exit handler and the application
// end follow the loop. The view is the answers file's when QUILLMOUNT_ANSWERS names one, else
// real windows; QUILLMOUNT_LOG names the trace.
#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "base/text.h"
#include "finish/finish.h"
#include "platform/win32/win32_system.h"
#include "script/parser.h"
#include "shell/installation.h"
#include "shell/startup.h"
#include "shell/win32/engine_windows.h"
#include "shell/win32/win32_shell.h"
#include "ui/answer_recorder.h"
#include "ui/answers_file.h"
#include "ui/answers_ui.h"
#include "ui/disk_prompt.h"
#include "ui/trace_file.h"
#include "ui/win32/watched_ui.h"
#include "ui/win32/win32_ui.h"

namespace {

std::string nonEmpty(qm::System& sys, const char* name) {
  return sys.machine().environment(name).value_or("");
}

// The local time as a trace header gives it.
std::string localDateTime() {
  SYSTEMTIME t;
  GetLocalTime(&t);
  char text[32];
  wsprintfA(text, "%04u-%02u-%02u %02u:%02u:%02u", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
            t.wSecond);
  return text;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  qm::Win32System sys;
  // /ANSWERS= and /LOG= on the command line stand for the two environment variables.
  const qm::CommandLine switches = qm::parseCommandLine(sys.machine().commandLineArguments(), "");
  const std::string logPath =
      !switches.logFile.empty() ? switches.logFile : nonEmpty(sys, "QUILLMOUNT_LOG");
  const std::string answersPath =
      !switches.answersFile.empty() ? switches.answersFile : nonEmpty(sys, "QUILLMOUNT_ANSWERS");
  std::unique_ptr<qm::FileTraceSink> traceFile;
  if (!logPath.empty()) {
    traceFile = std::make_unique<qm::FileTraceSink>(sys, logPath);
    // A deployment that asked for a trace and cannot have one stops before anything changes.
    const std::string line = qm::traceHeader(sys, localDateTime());
    if (!traceFile->writeLine(line)) {
      OutputDebugStringA(("quillmount: the trace " + logPath + " cannot be written\n").c_str());
      return 1;
    }
  }

  std::unique_ptr<qm::MediumWatch> mediumWatch;  // outlives the view that calls it
  std::unique_ptr<qm::Ui> ui;
  // Unattended runs show no windows unless the answers file asks to watch them (Show=Yes).
  bool showWindows = true;
  int watchDelay = 0;
  bool watched = false;
  // Gives the view the main window: to draw the checking-system box on once it exists, and to
  // own message boxes and dialogs once it is shown.
  std::function<void(HWND)> drawOnMainWindow, attachToMainWindow;
  if (!answersPath.empty()) {
    std::string error;
    std::optional<qm::AnswersFile> file = qm::loadAnswersFile(sys, answersPath, error);
    if (!file) {
      // Nobody is there to read a message box in an unattended run.
      if (traceFile) traceFile->write("answers: " + error);
      OutputDebugStringA(("quillmount: " + error + "\n").c_str());
      return 1;
    }
    qm::WatchSettings watch = qm::watchSettings(*file);
    watchDelay = watch.delayMs;
    watched = watch.show;
    const bool waitForDisks = qm::equalsNoCase(file->get("Disks").value_or(""), "Wait");
    const int diskWaitSeconds = qm::parseSeconds(file->get("DiskWait").value_or(""))
                                    .value_or(qm::kDefaultDiskWaitSeconds);
    qm::AnswersUi* answering = nullptr;
    if (watch.show) {
      auto view = std::make_unique<qm::WithCheckingBox<qm::WatchedUi>>(
          std::move(*file), traceFile.get(), watch.delayMs);
      drawOnMainWindow = [v = view.get()](HWND main) { v->setMainWindow(main); };
      attachToMainWindow = [v = view.get()](HWND main) { v->attach(main); };
      answering = view.get();
      ui = std::move(view);
    } else {
      auto view = std::make_unique<qm::AnswersUi>(std::move(*file), traceFile.get());
      answering = view.get();
      ui = std::move(view);
    }
    if (waitForDisks) {
      // Disks=Wait: whoever swaps the disks does so when the prompt is traced; the program looks
      // at the drive five times a second, for DiskWait= seconds at most.
      mediumWatch = std::make_unique<qm::MediumWatch>(
          sys, [] { Sleep(200); }, 5 * diskWaitSeconds);
      answering->setDiskAsked([w = mediumWatch.get()](const std::string& root) { w->asked(root); });
      answering->setDiskInserter(
          [w = mediumWatch.get()](const std::string& root) { return w->waitForOther(root); });
    }
    showWindows = watch.show;
  } else {
    auto view = std::make_unique<qm::WithCheckingBox<qm::Win32Ui>>(traceFile.get());
    drawOnMainWindow = [v = view.get()](HWND main) { v->setMainWindow(main); };
    attachToMainWindow = [v = view.get()](HWND main) { v->attach(main); };
    ui = std::move(view);
  }

  // QUILLMOUNT_RECORD: every answer this run gets is written there as an answers file when it
  // ends, to replay the same installation elsewhere.
  qm::AnswerRecorder recorder(*ui);
  std::string recordPath = nonEmpty(sys, "QUILLMOUNT_RECORD");
  qm::Ui& view = recordPath.empty() ? *ui : recorder;
  // A start that handed over to its temporary copy leaves the recording to the copy.
  auto finish = [&](int code, bool handedOver = false) {
    if (!recordPath.empty() && !handedOver && !recorder.writeAnswers(sys, recordPath))
      view.trace("could not write " + recordPath);
    view.trace("exit " + std::to_string(code));
    return code;
  };

  qm::Run run(sys, view);
  run.waitForCopy = !answersPath.empty();
  // A plain unattended run has no main window: its start message goes straight to the loop.
  // A watched run with no delay is still unattended: its intro screen must not wait for a key.
  qm::Win32Shell shell(instance, run, !showWindows ? 0 : watched ? watchDelay : -1, showWindows);
  shell.setCreatedHook(drawOnMainWindow);
  shell.setOwnerHook(attachToMainWindow);
  qm::StartupResult result = qm::startUp(run, shell);
  if (result != qm::StartupResult::Started) {
    // A temporary copy that cannot start still removes itself.
    if (result == qm::StartupResult::Failed)
      qm::applicationEnd(sys, view, run.state.get(), run.macros, run.container);
    return finish(qm::startupExitCode(result, run), result == qm::StartupResult::Relaunched);
  }

  qm::Installation installation(run);
  qm::Engine& engine = installation.engine;
  // A watched run names every copy window it shows, however short the delay; others do not.
  qm::Win32EngineWindows windows(engine, watched ? watchDelay : -1);
  windows.setOwner(shell.mainWindow().handle());
  if (showWindows) engine.setWindows(&windows);
  shell.mainWindow().setEngine(&engine);

  // The start message's handler: the installation, whose end code the loop returns.
  shell.mainWindow().setStartHandler([&] { return installation.start(); });
  return finish(installation.finish(shell.runMessageLoop()));
}
