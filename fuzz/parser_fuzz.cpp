// The whole first pass, and the second pass over whatever blocks it deferred, on arbitrary script
// bytes: no crash, no hang, nothing read or written outside a buffer.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/sim/scratch_machine.h"
#include "script/deferred.h"
#include "script/parser.h"

namespace {

class QuietUi : public qm::Ui {
 public:
  qm::MsgResult messageBox(const qm::MessageRequest&) override { return qm::MsgResult::Ok; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // One simulated machine for the whole run: building it per input would swamp the parser.
  static qm::ScratchMachine machine;
  if (!machine.ok()) return 0;
  qm::SimSystem& sys = machine.sys();
  sys.files().setCurrentDirectory("C:\\");

  std::string script(reinterpret_cast<const char*>(data), size);
  QuietUi ui;
  qm::MacroValues macros;
  macros.sourceDir = "A:";
  macros.sourceDrive = "A";
  macros.winDir = "C:\\WINDOWS";
  macros.winSysDir = "C:\\WINDOWS\\SYSTEM";
  macros.winHelpDir = "C:\\WINDOWS\\help";
  qm::StartupValues startup;
  qm::InstallState state;
  qm::ParseOptions options;
  options.continueAfterErrors = (size % 2) == 1;  // both the installer's and the checker's way
  if (qm::parseScriptText(script, sys, ui, macros, startup, state, options) == 0)
    qm::reparseDeferredBlocks(sys, ui, macros, startup, state);
  return 0;
}
