// quillmount.exe: builds the run's objects once, wires them and runs start-up. The view is the
// answers file's when QUILLMOUNT_ANSWERS names one, else real windows; QUILLMOUNT_LOG names the
// trace.
#include <windows.h>

#include <memory>
#include <string>

#include "engine/engine.h"
#include "engine/install_driver.h"
#include "engine/package.h"
#include "finish/finish.h"
#include "sysconfig/system_configuration.h"
#include "platform/win32/win32_system.h"
#include "script/parser.h"
#include "shell/startup.h"
#include "ui/answers_file.h"
#include "ui/answers_ui.h"
#include "ui/trace_file.h"
#include "ui/win32/win32_ui.h"

namespace {

// The start-up steps that belong to the parser and the windows. Until the main window exists,
// the start message is remembered here and run by WinMain itself.
class AppHooks : public qm::StartupHooks {
 public:
  int parse(qm::Run& run) override {
    return qm::parseScript(run.startup.scriptPath, run.sys, run.ui, run.container, run.macros,
                           run.startup, *run.state);
  }
  void postStart(qm::Run&) override { startPosted = true; }
  bool startPosted = false;
};

std::string nonEmpty(qm::System& sys, const char* name) {
  return sys.environment(name).value_or("");
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  qm::Win32System sys;
  std::unique_ptr<qm::FileTraceSink> traceFile;
  if (std::string log = nonEmpty(sys, "QUILLMOUNT_LOG"); !log.empty())
    traceFile = std::make_unique<qm::FileTraceSink>(sys, log);

  std::unique_ptr<qm::Ui> ui;
  if (std::string answers = nonEmpty(sys, "QUILLMOUNT_ANSWERS"); !answers.empty()) {
    std::string error;
    std::optional<qm::AnswersFile> file = qm::loadAnswersFile(sys, answers, error);
    if (!file) {
      // Nobody is there to read a message box in an unattended run.
      if (traceFile) traceFile->write("answers: " + error);
      OutputDebugStringA(("quillmount: " + error + "\n").c_str());
      return 1;
    }
    ui = std::make_unique<qm::AnswersUi>(std::move(*file), traceFile.get());
  } else {
    ui = std::make_unique<qm::Win32Ui>(traceFile.get());
  }

  qm::Run run(sys, *ui);
  AppHooks hooks;
  qm::StartupResult result = qm::startUp(run, hooks);
  if (result != qm::StartupResult::Started) {
    // A temporary copy that cannot start still removes itself.
    if (result == qm::StartupResult::Failed)
      qm::applicationEnd(sys, *ui, run.state.get(), run.macros, run.container);
    int code = qm::startupExitCode(result);
    ui->trace("exit " + std::to_string(code));
    return code;
  }

  int code = 0;
  if (hooks.startPosted) {
    qm::Engine engine(run.sys, run.ui, *run.state, run.macros, run.startup, run.container);
    qm::PackageExtractor packages(engine);  // lives as long as the engine
    engine.packages = &packages;
    qm::SystemConfiguration configuration;
    engine.config = &configuration;
    int installed = qm::startMessage(engine);
    qm::RestartOutcome restart = qm::exitHandler(sys, *ui, run.state.get(), run.macros);
    code = qm::finishExitCode(qm::installExitCode(engine, installed), restart);
  }
  qm::applicationEnd(sys, *ui, run.state.get(), run.macros, run.container);
  ui->trace("exit " + std::to_string(code));
  return code;
}
