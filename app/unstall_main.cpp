// unstall.exe: undoes an installation recorded in an install log. The log is the command line's
// argument (a vendor's program item points at it), or install.log beside this program. The view
// is the answers file's when QUILLMOUNT_ANSWERS names one (Uninstall=Yes|No), else real message
// boxes; QUILLMOUNT_LOG names the trace. "/QUIET" before the log answers every question with its
// default, as an empty answers file does (Add/Remove Programs' quiet uninstall).
#include <windows.h>

#include <memory>
#include <string>

#include "base/text.h"
#include "platform/win32/win32_system.h"
#include "ui/answers_file.h"
#include "ui/answers_ui.h"
#include "ui/trace_file.h"
#include "ui/win32/win32_ui.h"
#include "uninstall/uninstaller.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  qm::Win32System sys;
  std::unique_ptr<qm::FileTraceSink> traceFile;
  if (std::string log = sys.machine().environment("QUILLMOUNT_LOG").value_or(""); !log.empty())
    traceFile = std::make_unique<qm::FileTraceSink>(sys, log);

  std::string arguments = sys.machine().commandLineArguments();
  const bool quiet = arguments.size() >= 6 && qm::equalsNoCase(arguments.substr(0, 6), "/QUIET") &&
                     (arguments.size() == 6 || arguments[6] == ' ');
  if (quiet) arguments.erase(0, arguments.find_first_not_of(' ', 6));

  std::unique_ptr<qm::Ui> ui;
  if (std::string answers = sys.machine().environment("QUILLMOUNT_ANSWERS").value_or("");
      !answers.empty()) {
    std::string error;
    std::optional<qm::AnswersFile> file = qm::loadAnswersFile(sys, answers, error);
    if (!file) {
      if (traceFile) traceFile->write("answers: " + error);
      OutputDebugStringA(("unstall: " + error + "\n").c_str());
      return qm::kUninstallCannotStart;
    }
    ui = std::make_unique<qm::AnswersUi>(std::move(*file), traceFile.get());
  } else if (quiet) {
    ui = std::make_unique<qm::AnswersUi>(qm::AnswersFile{}, traceFile.get());
  } else {
    ui = std::make_unique<qm::Win32Ui>(traceFile.get());
  }
  const std::string logPath = qm::uninstallLogPath(arguments, sys.machine().modulePath());
  ui->trace("uninstall " + logPath);
  qm::Uninstaller uninstaller(sys, *ui);
  return uninstaller.run(logPath);
}
