// The install log: "install.log" in the destination directory, one line per change, read later
// by the uninstaller. The file is opened, appended to and closed for every record, so the log on
// disk is complete up to the last change even if the program dies.
#pragma once

#include <optional>
#include <string>

#include "platform/system.h"
#include "records/install_log_records.h"

namespace qm {

struct EngineRecords;

constexpr size_t kMaxLogPathChars = 1000;
// Lines recorded before the log can be opened wait here; more than this is dropped whole.
constexpr size_t kPendingLogChars = 1000;

class InstallLog {
 public:
  // The switch (UNINSTALL YES/NO) is read from records each time, since the script sets it.
  InstallLog(FileSystem& fs, const EngineRecords& records) : fs_(fs), records_(records) {}

  // Writes text (one or more lines without the final line end) and a line end, in Windows
  // text mode. 1 when written to the file; 0 when logging is off or the text had to wait; -1
  // when the file took it only in part or not at all: the change it records must then be undone,
  // since the uninstaller could never find it.
  int record(const std::string& text);
  int record(const LogRecord& record) { return this->record(formatLogRecord(record)); }
  // A record could not be written: the installation cannot be undone in full and must stop.
  bool failed() const { return failed_; }

  // The destination directory; the log becomes DIRECTORY\install.log. What the log and the
  // kept-copies list beside it held before this run is remembered then.
  void setDirectory(const std::string& directory);

  // Records are written even without UNINSTALL YES, so that a run that fails can still be
  // undone; the finish removes them again when the script did not ask for logging.
  void keepForRollback() { keptForRollback_ = true; }
  bool logging() const;

  // A file of the log's folder as it was before this run first wrote to it.
  struct Prior {
    std::string path;
    std::optional<std::string> bytes;  // nullopt: there was no such file
    FatTime time;
    uint32_t attributes = 0;
  };
  const Prior& priorLog() const { return priorLog_; }
  const Prior& priorBackupList() const { return priorBackupList_; }
  const std::string& path() const { return path_; }
  const std::string& pending() const { return pending_; }
  // Records that did not fit in the pending text and were dropped.
  int dropped() const { return dropped_; }

 private:
  FileSystem& fs_;
  const EngineRecords& records_;
  std::string path_;
  std::string pending_;
  int dropped_ = 0;
  bool keptForRollback_ = false;
  Prior priorLog_, priorBackupList_;
  bool failed_ = false;
};

}  // namespace qm
