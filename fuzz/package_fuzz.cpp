// Expands arbitrary bytes as a package on an in-memory machine: header and entry parsing, the
// name checks, skipping and decoding. Nothing may be written outside the target directory.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/engine.h"
#include "engine/package.h"
#include "script/memory_system_for_tests.h"

namespace {

class QuietUi : public qm::Ui {
 public:
  qm::MsgResult messageBox(const qm::MessageRequest& request) override {
    return request.buttons == qm::MsgButtons::YesNo ? qm::MsgResult::Yes : qm::MsgResult::Cancel;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qm::testing::MemorySystem sys;
  sys.put("C:\\SETUP\\P.PAK", std::string(reinterpret_cast<const char*>(data), size));
  sys.put("C:\\APP\\KEEP.TXT", "keep");
  QuietUi ui;
  qm::InstallState state;
  qm::MacroValues macros;
  macros.sourceDir = "C:\\SETUP";
  macros.defaultDir = "C:\\APP";
  qm::StartupValues startup;
  qm::Container container(sys);
  qm::Engine engine(sys, ui, state, macros, startup, container);
  qm::PackageExtractor extractor(engine);
  const int r = extractor.extract("C:\\APP\\P.PAK", "C:\\SETUP\\P.PAK", qm::Overwrite::Ask, 0);
  if (r != 0 && r != -1 && r != -2) std::abort();
  for (const auto& [path, file] : sys.stored)
    if (path.rfind("C:\\APP\\", 0) != 0 && path != "C:\\SETUP\\P.PAK") std::abort();
  extractor.continuesOnAnotherVolume("C:\\SETUP\\P.PAK");
  return 0;
}
