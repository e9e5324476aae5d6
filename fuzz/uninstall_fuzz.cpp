// Feeds arbitrary install.log and instback.log bytes to the uninstaller on a simulated machine
// that also holds a user's file, a program's registry key and a user's program group. Whatever
// the logs say, nothing they do not name changes, the Windows and system folders stay, and a key
// that holds something is never deleted.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/text.h"
#include "platform/file_handle.h"
#include "platform/sim/scratch_machine.h"
#include "ui/ui.h"
#include "uninstall/uninstaller.h"

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

class YesUi : public qm::Ui {
 public:
  qm::MsgResult messageBox(const qm::MessageRequest&) override { return qm::MsgResult::Yes; }
};

const char kKept[] = "C:\\USER\\KEEP.TXT";
const std::string kValue(32, '\x5A');

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static qm::ScratchMachine machine;
  qm::SimSystem& sys = machine.sys();
  const std::string input(reinterpret_cast<const char*>(data), size);
  // The two files are split at the first form feed: install.log before it, instback.log after.
  const size_t cut = input.find('\f');
  machine.makeDirectory("C:\\APP");
  machine.makeDirectory("C:\\USER");
  for (const auto& [path, text] :
       {std::pair<std::string, std::string>{"C:\\APP\\install.log", input.substr(0, cut)},
        {"C:\\APP\\instback.log", cut == std::string::npos ? "" : input.substr(cut + 1)},
        {kKept, "the user's"}}) {
    qm::ScopedFile f = qm::ScopedFile::create(sys, path);
    f.writeAll(text);
  }
  sys.registry().createRegistryKey(qm::RegistryRoot::LocalMachine, "SOFTWARE");
  sys.registry().createRegistryKey(qm::RegistryRoot::LocalMachine, "SOFTWARE\\Other");
  sys.registry().createRegistryKey(qm::RegistryRoot::LocalMachine, "SOFTWARE\\Other\\Sub");
  sys.registry().setRegistryValue(
      qm::RegistryRoot::LocalMachine, "SOFTWARE\\Other", "Keep",
      {qm::kRegBinary, std::vector<uint8_t>(kValue.begin(), kValue.end())});

  YesUi ui;
  qm::Uninstaller uninstaller(sys, ui);
  int code = uninstaller.run("C:\\APP\\install.log");
  check(code == qm::kUninstallDone || code == qm::kUninstallIncomplete);

  const std::string named = qm::upperAscii(input);
  check(sys.files().attributes("C:\\WINDOWS") && sys.files().attributes("C:\\WINDOWS\\SYSTEM"));
  if (named.find("KEEP.TXT") == std::string::npos)
    check(qm::readAll(sys, kKept) == std::optional<std::string>("the user's"));
  // Never a tree: the key holds a subkey, so no line can take it.
  check(sys.registry().openRegistryKey(qm::RegistryRoot::LocalMachine, "SOFTWARE\\Other\\Sub"));
  if (named.find("OTHER") == std::string::npos) {
    auto value =
        sys.registry().readRegistryValue(qm::RegistryRoot::LocalMachine, "SOFTWARE\\Other", "Keep");
    check(value && std::string(value->data.begin(), value->data.end()) == kValue);
  }
  return 0;
}
