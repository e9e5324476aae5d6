// Feeds arbitrary bytes to the uninstaller's readers: install.log and the side file listing the
// files an installation replaced. Every line is either read or listed as skipped, each reading
// holds the texts its kind has, and every path the uninstaller would touch passes the path check
// or is refused by it; nothing reads outside the input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/replaced_files.h"
#include "finish/uninstall.h"
#include "finish/uninstall_log.h"

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

size_t textsOf(qm::LogKind kind) {
  switch (kind) {
    case qm::LogKind::Rename:
    case qm::LogKind::Autoexec:
    case qm::LogKind::Config:
    case qm::LogKind::IniSection:
    case qm::LogKind::RegKey:
    case qm::LogKind::WinItem:
      return 2;
    case qm::LogKind::AddText:
      return 3;
    case qm::LogKind::IniKey:
      return 0;  // four or five
    default:
      return 1;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  qm::InstallLogContents log = qm::readInstallLog(bytes);
  int last = 0;
  for (const qm::LogLine& line : log.lines) {
    check(line.lineNumber > last);
    last = line.lineNumber;
    check(line.offset < size);
    check(!line.readings.empty() && line.readings.size() <= 16);
    for (const auto& r : line.readings) {
      size_t want = textsOf(line.kind);
      check(want ? r.size() == want : (r.size() == 4 || r.size() == 5));
      for (const std::string& text : r) {
        check(text.size() < size);
        // The check never fails on anything, and refuses every climbing path.
        std::string reason = qm::unsafePathReason(text, "C:\\WINDOWS", "C:\\WINDOWS\\SYSTEM");
        if (reason.empty()) check(text.find("\\..\\") == std::string::npos);
      }
    }
  }
  for (const qm::SkippedLine& s : log.skipped) check(!s.reason.empty() && s.lineNumber > 0);

  size_t start = 0;
  while (start <= size) {
    size_t end = bytes.find('\n', start);
    std::string line =
        bytes.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (auto record = qm::parseBackupRecord(line)) {
      check(qm::parseBackupRecord(qm::formatBackupRecord(*record)).has_value());
      check(record->copyName.find('\\') == std::string::npos);
    }
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return 0;
}
