// Feeds arbitrary bytes to the uninstaller's readers: install.log and the side file listing the
// files an installation replaced. Every line is either read or listed as skipped, each reading
// formats back to the very line it was read from, and every path the uninstaller would touch passes
// the path check or is refused by it; nothing reads outside the input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "records/install_log_records.h"
#include "records/instback_records.h"
#include "uninstall/uninstaller.h"

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

// The line as the file holds it, without its line end.
std::string lineAt(const std::string& bytes, uint64_t offset) {
  std::string line = bytes.substr(offset, bytes.find('\n', offset) - offset);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
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
    const std::string text = lineAt(bytes, line.offset);
    for (qm::LogRecord r : line.readings) {
      check(qm::kindOf(r) == line.kind);
      // Every reading is a record that the installer would have written as exactly this line.
      if (auto* d = std::get_if<qm::DefaultDirRecord>(&r)) d->blankLineAfter = false;
      check(qm::formatLogRecord(r) == text);
      if (const auto* f = std::get_if<qm::FileRecord>(&r)) {
        // The check never fails on anything, and refuses every climbing path.
        std::string reason = qm::unsafePathReason(f->path, "C:\\WINDOWS", "C:\\WINDOWS\\SYSTEM");
        if (reason.empty()) check(f->path.find("\\..\\") == std::string::npos);
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
