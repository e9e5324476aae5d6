#include "finish/rollback.h"

#include <algorithm>

#include "base/text.h"
#include "engine/engine.h"
#include "platform/file_handle.h"
#include "records/install_log_records.h"
#include "records/instback_records.h"
#include "uninstall/undo_context.h"
#include "uninstall/uninstaller.h"

namespace qm {

namespace {

// What this run added to one of the two files: the part after the bytes it held before. nullopt
// when the earlier part was changed under the run, so this run's lines cannot be told apart.
std::optional<std::string> addedPart(System& sys, const InstallLog::Prior& prior) {
  std::optional<std::string> now = readAll(sys, prior.path);
  if (!now) return std::string();
  if (!prior.bytes) return now;
  if (now->compare(0, prior.bytes->size(), *prior.bytes) != 0) return std::nullopt;
  return now->substr(prior.bytes->size());
}

// Puts a file back as it was before the run: its bytes, time and attributes, or nothing.
bool putBack(System& sys, const InstallLog::Prior& prior) {
  if (!prior.bytes) return !sys.files().attributes(prior.path) || deleteFileForced(sys, prior.path);
  if (!replaceFile(sys, prior.path, *prior.bytes)) return false;
  setFileTime(sys, prior.path, prior.time);
  return sys.files().setAttributes(prior.path, prior.attributes ? prior.attributes : kAttrNormal);
}

std::vector<BackupRecord> backupRecords(const std::string& list) {
  std::vector<BackupRecord> records;
  for (const std::string& line : linesOf(list))
    if (std::optional<BackupRecord> r = parseBackupRecord(line)) records.push_back(*r);
  return records;
}

bool changedSomething(const std::string& logPart, const std::string& backupPart) {
  if (!backupRecords(backupPart).empty()) return true;
  for (const LogLine& line : readInstallLog(logPart).lines) {
    switch (line.kind) {
      case LogKind::DefaultDir:
      case LogKind::BeginPrompt:
      case LogKind::EndPrompt:
      case LogKind::TitlePrompt:
        continue;
      default:
        return true;
    }
  }
  return false;
}

// Everything this run kept only for an undo goes: the copies it made, then the log and the
// list as they were before it.
void discardKept(Engine& engine, const std::string& backupPart) {
  System& sys = engine.sys;
  const std::string folder = directoryPart(engine.log.path()) + kBackupFolderName;
  const std::string list = directoryPart(engine.log.path()) + kBackupListName;
  for (const BackupRecord& r : backupRecords(backupPart)) {
    if (!r.copyName.empty()) deleteFileForced(sys, folder + "\\" + r.copyName);
    // A replaced file is also listed machine-wide, for the installations that replace it later.
    if (r.kind == BackupRecord::Kind::Saved &&
        !dropReplacedIndexLine(sys, sys.files().windowsDirectory(), r.original, list))
      engine.ui.trace("rollback: " + r.original + " stays in the list of replaced files");
  }
  putBack(sys, engine.log.priorLog());
  putBack(sys, engine.log.priorBackupList());
  if (!engine.log.priorBackupList().bytes && isDirectory(sys, folder) &&
      directoryIsEmpty(sys, folder))
    sys.files().removeDirectory(folder);
}

void tellNotUndone(Engine& engine, const UninstallReport& report) {
  std::string text = "Setup could not undo these changes:";
  size_t shown = 0;
  for (const std::string& p : report.problems) {
    if (++shown == 16) text += "\n...";
    if (shown < 16) text += "\n" + p;
  }
  text += "\n\nThe install log " + engine.log.path() +
          " is kept, so that the uninstaller can try again.";
  engine.ui.messageBox(installerBox(text, MsgIcon::Warning));
}

// The list as it was before the rollback, less this run's raises of a use count that the core
// took out of its own list once it had lowered them.
std::string withoutLoweredCounts(const std::string& before, const std::string& thisRun,
                                 const std::string& coreList) {
  if (before.size() < thisRun.size() ||
      before.compare(before.size() - thisRun.size(), thisRun.size(), thisRun) != 0)
    return before;
  std::vector<std::string> stillRaised;
  for (const BackupRecord& r : backupRecords(coreList))
    if (r.kind == BackupRecord::Kind::Shared) stillRaised.push_back(upperAscii(r.original));
  std::string out = before.substr(0, before.size() - thisRun.size());
  for (const std::string& line : linesOf(thisRun)) {
    std::optional<BackupRecord> r = parseBackupRecord(line);
    if (r && r->kind == BackupRecord::Kind::Shared &&
        std::find(stillRaised.begin(), stillRaised.end(), upperAscii(r->original)) ==
            stillRaised.end())
      continue;
    out += line + "\r\n";
  }
  return out;
}

void rollBack(Engine& engine, const std::string& logPart, const std::string& backupPart) {
  System& sys = engine.sys;
  const InstallLog::Prior& log = engine.log.priorLog();
  const InstallLog::Prior& list = engine.log.priorBackupList();
  const std::string logBefore = readAll(sys, log.path).value_or("");
  const std::optional<std::string> listBefore = readAll(sys, list.path);
  // The core reads one installation's log: this run's part alone, with the kept copies'
  // offsets pointing into it.
  uint64_t priorSize = log.bytes ? log.bytes->size() : 0;
  bool ready =
      replaceFile(sys, log.path, logPart) &&
      (backupPart.empty() ? (list.bytes ? replaceFile(sys, list.path, "") : true)
                          : replaceFile(sys, list.path, shiftBackupOffsets(backupPart, priorSize)));
  if (!ready) {
    replaceFile(sys, log.path, logBefore);
    if (listBefore) replaceFile(sys, list.path, *listBefore);
    engine.ui.trace("rollback: " + log.path + " could not be prepared; nothing undone");
    return;
  }
  // The destination is the current folder; it could not be removed while it is.
  sys.files().setCurrentDirectory(sys.files().windowsDirectory());
  Uninstaller core(sys, engine.ui);
  core.askAndTell = false;
  core.run(log.path);
  const UninstallReport& report = core.report();
  engine.ui.trace("rollback: changes undone: " + std::to_string(report.done.size()) +
                  ", not undone: " + std::to_string(report.problems.size()));
  if (report.problems.empty()) {
    putBack(sys, log);
    putBack(sys, list);
    return;
  }
  // What is left stays logged for the uninstaller, behind the earlier installation's lines; a
  // use count the core lowered already is not listed again, or the uninstaller would lower it
  // a second time.
  const std::string coreList = readAll(sys, list.path).value_or("");
  replaceFile(sys, log.path, logBefore);
  if (listBefore)
    replaceFile(sys, list.path, withoutLoweredCounts(*listBefore, backupPart, coreList));
  tellNotUndone(engine, report);
}

}  // namespace

void settleRollback(Engine& engine, int result) {
  if (engine.log.path().empty()) return;
  const bool asked = engine.state.engine.logging;  // the script wants the log kept
  if (result == 0) {
    if (!asked) {
      std::optional<std::string> backupPart = addedPart(engine.sys, engine.log.priorBackupList());
      discardKept(engine, backupPart.value_or(""));
    }
    return;
  }
  std::optional<std::string> logPart = addedPart(engine.sys, engine.log.priorLog());
  std::optional<std::string> backupPart = addedPart(engine.sys, engine.log.priorBackupList());
  if (!logPart || !backupPart) {
    engine.ui.trace("rollback: " + engine.log.path() +
                    " was changed during the installation; nothing undone");
    return;
  }
  if (!changedSomething(*logPart, *backupPart)) {
    discardKept(engine, *backupPart);
    return;
  }
  const MessageRequest ask =
      installerBox(kRollbackQuestion, MsgIcon::Question, MsgButtons::YesNo, true, "Rollback");
  if (engine.ui.messageBox(ask) == MsgResult::Yes) return rollBack(engine, *logPart, *backupPart);
  engine.ui.trace("rollback: declined; the changes stay");
  if (!asked) discardKept(engine, *backupPart);
}

std::string shiftBackupOffsets(const std::string& list, uint64_t by) {
  std::string out;
  for (const std::string& line : linesOf(list)) {
    std::optional<BackupRecord> r = parseBackupRecord(line);
    if (r) r->logOffset = r->logOffset > by ? r->logOffset - by : 0;
    out += (r ? formatBackupRecord(*r) : line) + "\r\n";
  }
  return out;
}

int installWithRollback(Engine& engine) {
  engine.log.keepForRollback();
  int result = startMessage(engine);
  settleRollback(engine, result);
  return result;
}

}  // namespace qm
