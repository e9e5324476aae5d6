#include "tools/uninstall_simulation.h"

#include <fstream>
#include <memory>
#include <sstream>

#include "platform/sim/sim_system.h"
#include "ui/answers_ui.h"

namespace qm {

namespace {

class HostTrace : public TraceSink {
 public:
  explicit HostTrace(std::string path) : path_(std::move(path)) {}
  void write(const std::string& line) override {
    std::ofstream(path_, std::ios::binary | std::ios::app) << line << '\n';
  }

 private:
  std::string path_;
};

}  // namespace

UninstallSimulationResult runUninstallSimulation(const UninstallSimulation& request) {
  UninstallSimulationResult result;
  std::unique_ptr<SimSystem> sys = SimSystem::load(request.machineFile, result.error);
  if (!sys) return result;
  AnswersFile answers;
  if (!request.answersFile.empty()) {
    std::ifstream in(request.answersFile, std::ios::binary);
    if (!in) {
      result.error = request.answersFile + ": cannot be read";
      return result;
    }
    std::stringstream text;
    text << in.rdbuf();
    std::optional<AnswersFile> parsed =
        AnswersFile::parse(text.str(), request.answersFile, result.error);
    if (!parsed) return result;
    answers = std::move(*parsed);
  }
  std::unique_ptr<HostTrace> trace;
  if (!request.traceFile.empty()) trace = std::make_unique<HostTrace>(request.traceFile);
  AnswersUi ui(std::move(answers), trace.get());
  Uninstaller uninstaller(*sys, ui);
  result.exitCode = uninstaller.run(request.logPath);
  result.report = uninstaller.report();
  return result;
}

}  // namespace qm
