// AUTOEXEC.BAT and CONFIG.SYS built from the input as real machines have them: CR LF, LF and CR
// alone mixed, ^Z and what follows it, NUL and other control bytes, a byte-order mark, lines far
// longer than DOS's 240 characters, and the lines the rules look for. The installer edits both
// files on a simulated machine, the uninstaller undoes the installation, and every byte of both
// files must be back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/engine.h"
#include "platform/sim/scratch_machine.h"
#include "sysconfig/text_edits.h"
#include "uninstall/uninstaller.h"

namespace {

class QuietUi : public qm::Ui {
 public:
  qm::MsgResult messageBox(const qm::MessageRequest& r) override {
    return r.buttons == qm::MsgButtons::YesNo ? qm::MsgResult::Yes : qm::MsgResult::Ok;
  }
};

void check(bool ok) {
  if (!ok) std::abort();
}

// One piece of a file per input byte: the low four bits choose it.
std::string piece(uint8_t b) {
  static const char* const kPieces[] = {"\r\n",      "\n",           "\r",
                                        "\x1A",      "PATH C:\\DOS", "SET PATH=C:\\X;",
                                        "FILES=10",  "BUFFERS=5",    "C:\\DOS\\SHARE.EXE /F:100",
                                        "rem share", "@ECHO OFF",    ":GAME",
                                        "WIN",       "\xEF\xBB\xBF"};
  const size_t kinds = sizeof kPieces / sizeof *kPieces;
  const size_t k = b & 0x0F;
  if (k < kinds) return kPieces[k];
  if (b >= 0xF0) return std::string(size_t(b - 0xF0) * 40 + 200, 'L');  // a long line's text
  return std::string(1, char(b >> 4 < 2 ? b >> 4 : 'A' + (b >> 4)));    // NUL, ^A, or a letter
}

std::string fileFrom(const uint8_t* data, size_t size) {
  std::string out;
  for (size_t i = 0; i < size; ++i) out += piece(data[i]);
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static qm::ScratchMachine machine;
  if (!machine.ok()) return 0;
  qm::SimSystem& sys = machine.sys();
  sys.files().setCurrentDirectory("C:\\");
  for (const char* stale : {"C:\\AUTOEXEC.BAT", "C:\\AUTOEXEC.BAK", "C:\\CONFIG.SYS",
                            "C:\\CONFIG.BAK", "C:\\APP\\install.log"}) {
    sys.files().setAttributes(stale, qm::kAttrNormal);
    sys.files().deleteFile(stale);
  }
  machine.makeDirectory("C:\\APP");

  const size_t half = size / 2;
  const std::string autoexec = fileFrom(data, half);
  const std::string config = fileFrom(data + half, size - half);
  check(qm::writeFileBytes(sys, "C:\\AUTOEXEC.BAT", autoexec));
  check(qm::writeFileBytes(sys, "C:\\CONFIG.SYS", config));

  QuietUi ui;
  qm::InstallState state;
  state.engine.logging = true;
  qm::MacroValues macros;
  macros.defaultDir = "C:\\APP";
  macros.winDir = "C:\\WINDOWS";
  macros.winSysDir = "C:\\WINDOWS\\SYSTEM";
  qm::StartupValues startup;
  qm::Container container(sys);
  qm::AutoexecRequest& a = state.config.autoexec;
  a.mode = 1;
  a.pathEntries.push_back({true, "C:\\APP"});
  a.addedLines.push_back({true, "SET APP=1"});
  a.shareWanted = true;
  a.shareFiles = 500;
  a.shareLocks = 40;
  qm::ConfigRequest& c = state.config.config;
  c.mode = 1;
  c.filesWanted = 30;
  c.buffersWanted = 20;
  c.addedLines.push_back({true, "DEVICE=C:\\APP\\APP.SYS"});
  {
    qm::Engine engine(sys, ui, state, macros, startup, container);
    engine.log.setDirectory("C:\\APP");
    engine.log.record("DEFAULTDIR: \"C:\\APP\"");
    qm::editAutoexecFile(engine);
    qm::editConfigFile(engine);
  }
  qm::Uninstaller uninstaller(sys, ui);
  check(uninstaller.run("C:\\APP\\install.log") == qm::kUninstallDone);
  check(qm::readAll(sys, "C:\\AUTOEXEC.BAT") == autoexec);
  check(qm::readAll(sys, "C:\\CONFIG.SYS") == config);
  return 0;
}
