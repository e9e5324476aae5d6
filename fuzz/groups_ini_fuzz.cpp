// Feeds arbitrary groups.ini text and DDE command texts to the simulated Program Manager: the
// text up to the first NUL is the groups file, each further NUL-separated piece one command text.
// Whatever it holds after the commands must save to text that reads back into the same groups.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/sim/program_manager.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  size_t cut = input.find('\0');
  qm::ProgramManagerGroups groups;
  std::string error;
  groups.load(input.substr(0, cut), error);  // groups before a bad line stay loaded
  qm::ShellSession session;
  while (cut != std::string_view::npos) {
    size_t next = input.find('\0', cut + 1);
    groups.execute(input.substr(cut + 1, next == std::string_view::npos ? next : next - cut - 1),
                   session);
    cut = next;
  }
  std::string saved = groups.save();
  qm::ProgramManagerGroups back;
  if (!back.load(saved, error)) std::abort();
  if (back.save() != saved) std::abort();
  return 0;
}
