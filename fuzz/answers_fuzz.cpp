// Feeds arbitrary bytes to the answers-file reader. A file it accepts must hold only values its
// keys allow, must read back the same when written out again, and must drive the unattended
// message boxes and the group-number reader without faults; a file it refuses must say where.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/text.h"
#include "ui/answers_file.h"
#include "ui/answers_ui.h"
#include "ui/dialog_answers.h"

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

const char* const kKeys[] = {"DefaultDir", "Dir2",    "Dir3",   "Ask1",    "Ask2",      "Ask3",
                             "Ask4",       "Ask5",    "Groups", "Screens", "Overwrite", "Autoexec",
                             "Config",     "IniFile", "Reboot", "Disks",   "Quit"};

bool isOneOf(const std::string& v, std::initializer_list<const char*> words) {
  for (const char* w : words)
    if (qm::equalsNoCase(v, w)) return true;
  return false;
}

void checkAccepted(const qm::AnswersFile& file) {
  std::string rewritten = "[Setup]\r\n";
  for (const char* key : kKeys) {
    std::optional<std::string> v = file.get(key);
    if (!v) continue;
    // Values are trimmed and single-line: nothing the reader hands on may carry a line end.
    check(v->find('\n') == std::string::npos);
    check(v->empty() || (v->front() != ' ' && v->back() != ' '));
    std::string k = key;
    if (k == "Overwrite" || k == "Autoexec" || k == "Config" || k == "IniFile" || k == "Reboot" ||
        k == "Quit")
      check(isOneOf(*v, {"Yes", "No"}));
    if (k == "Disks") check(isOneOf(*v, {"Yes", "No", "Merged"}));
    if (k == "Screens") check(isOneOf(*v, {"OK", "Cancel"}));
    if (k == "Groups") {
      for (int n : qm::parseGroupNumbers(*v)) check(n >= 0 && n <= 99999);
    }
    rewritten += k + "=" + *v + "\r\n";
  }
  // A value may hold " ;" only when the comment rule removed what followed; written back, the
  // same text must come out again.
  std::string error;
  std::optional<qm::AnswersFile> again = qm::AnswersFile::parse(rewritten, "b.ini", error);
  check(again.has_value());
  for (const char* key : kKeys) check(again->get(key) == file.get(key));

  qm::AnswersUi ui(*again, nullptr);
  const qm::MsgButtons kButtons[] = {qm::MsgButtons::Ok, qm::MsgButtons::OkCancel,
                                     qm::MsgButtons::YesNo, qm::MsgButtons::YesNoCancel};
  for (const char* topic : {"Overwrite", "Autoexec", "Config", "IniFile", "Reboot", "Quit", ""}) {
    for (qm::MsgButtons b : kButtons) {
      qm::MessageRequest request;
      request.text = "question";
      request.buttons = b;
      request.topic = topic;
      qm::MsgResult r = ui.messageBox(request);
      // The answer is always one of the buttons the box has.
      switch (b) {
        case qm::MsgButtons::Ok:
          check(r == qm::MsgResult::Ok);
          break;
        case qm::MsgButtons::OkCancel:
          check(r == qm::MsgResult::Ok || r == qm::MsgResult::Cancel);
          break;
        case qm::MsgButtons::YesNo:
          check(r == qm::MsgResult::Yes || r == qm::MsgResult::No);
          break;
        case qm::MsgButtons::YesNoCancel:
          check(r == qm::MsgResult::Yes || r == qm::MsgResult::No || r == qm::MsgResult::Cancel);
          break;
      }
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  std::string error;
  std::optional<qm::AnswersFile> file = qm::AnswersFile::parse(text, "a.ini", error);
  if (!file) {
    check(error.rfind("a.ini:", 0) == 0);
    return 0;
  }
  checkAccepted(*file);
  // The group reader takes any text, not only what the file accepted.
  for (int n : qm::parseGroupNumbers(text)) check(n >= 0);
  return 0;
}
