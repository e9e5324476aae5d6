// FILE, DIRECTORY and RENAME lines, and the copies instback.log lists: a file the installation
// replaced or deleted comes back from its copy, one it created goes.
#include <algorithm>

#include "base/text.h"
#include "platform/file_handle.h"
#include "uninstall/undo_context.h"

namespace qm {

namespace {

std::string indexPath(const std::string& windowsDir) {
  return withTrailingBackslash(windowsDir) + kReplacedIndexName;
}

std::string indexPath(const UndoContext& cx) { return indexPath(cx.windowsDir); }

// The installations listed after this one as having replaced original again, oldest first.
std::vector<std::string> laterReplacers(UndoContext& cx, const std::string& original) {
  std::vector<std::string> later;
  bool ours = false;
  for (const std::string& text : linesOf(readAll(cx.sys, indexPath(cx)).value_or(""))) {
    std::optional<ReplacedIndexLine> line = parseReplacedIndexLine(text);
    if (!line || !equalsNoCase(line->original, original)) continue;
    if (equalsNoCase(line->list, cx.logDir + kBackupListName)) {
      ours = true;
    } else if (ours) {
      later.push_back(line->list);
    }
  }
  return later;
}

// This installation's line for the file leaves the machine's list.
void dropIndexLine(UndoContext& cx, const std::string& original) {
  if (!dropReplacedIndexLine(cx.sys, cx.windowsDir, original, cx.logDir + kBackupListName))
    cx.problem(nullptr, indexPath(cx) + " could not be updated");
}

// The file was replaced again by a later installation: the original this one kept becomes that
// installation's copy, so whichever of them is uninstalled last puts the user's file back.
bool handOn(UndoContext& cx, const KeptCopy& b) {
  System& sys = cx.sys;
  for (const std::string& list : laterReplacers(cx, b.record.original)) {
    if (!cx.isSafe(list)) continue;
    std::vector<std::string> lines = linesOf(readAll(sys, list).value_or(""));
    for (std::string& text : lines) {
      std::optional<BackupRecord> theirs = parseBackupRecord(text);
      if (!theirs || theirs->kind != BackupRecord::Kind::Saved ||
          !equalsNoCase(theirs->original, b.record.original))
        continue;
      const std::string copy = directoryPart(list) + kBackupFolderName + "\\" + theirs->copyName;
      if (!sys.files().attributes(copy)) continue;
      sys.files().setAttributes(copy, kAttrNormal);
      if (!sys.files().copyFile(cx.copyPath(b.record), copy, false)) return false;
      theirs->time = b.record.time;
      theirs->attributes = b.record.attributes;
      text = formatBackupRecord(*theirs);
      std::string bytes;
      for (const std::string& l : lines) bytes += l + "\r\n";
      if (!replaceFile(sys, list, bytes)) return false;
      deleteFileForced(sys, cx.copyPath(b.record));
      dropIndexLine(cx, b.record.original);
      cx.done("handed the original of " + b.record.original + " on to " + list);
      return true;
    }
  }
  return false;
}

// Puts a replaced file back from its copy: bytes, time and attributes.
void restore(UndoContext& cx, const LogLine* line, KeptCopy& b) {
  System& sys = cx.sys;
  const std::string copy = cx.copyPath(b.record);
  const std::string& target = b.record.original;
  if (!sys.files().attributes(copy)) {
    cx.backupFolderLeft.push_back(copy);
    return cx.problem(line, "the saved copy " + copy + " of " + target + " is missing");
  }
  if (sys.files().attributes(target)) sys.files().setAttributes(target, kAttrNormal);
  if (!sys.files().copyFile(copy, target, false)) {
    cx.backupFolderLeft.push_back(copy);
    return cx.problem(line, target + " could not be put back from " + copy);
  }
  if (ScopedFile h = ScopedFile::openReadWrite(sys, target))
    sys.files().setFileTime(h.get(), b.record.time);
  sys.files().setAttributes(target, b.record.attributes ? b.record.attributes : kAttrNormal);
  deleteFileForced(sys, copy);
  dropIndexLine(cx, target);
  cx.done("put back " + target);
}

bool isFileCopy(const BackupRecord& r) {
  return r.kind == BackupRecord::Kind::Saved || r.kind == BackupRecord::Kind::Kept ||
         r.kind == BackupRecord::Kind::Deleted;
}

// A copy whose original is not a safe path stays where it is, reported.
bool refuseUnsafe(UndoContext& cx, const KeptCopy& b) {
  if (cx.isSafe(b.record.original)) return false;
  const std::string copy = cx.copyPath(b.record);
  cx.backupFolderLeft.push_back(copy);
  cx.problem(nullptr, b.record.original + ": not a safe path; its copy " + copy + " stays");
  return true;
}

}  // namespace

void undoFile(UndoContext& cx, const LogLine& line) {
  System& sys = cx.sys;
  // A text file made by a text addition is logged as the statement named it, relative to the
  // destination.
  auto path = cx.safe(line, cx.inDestination(line, line.record<FileRecord>().path));
  if (!path) return;
  if (isDirectory(sys, *path)) return cx.problem(&line, *path + " is a folder now; left alone");
  // An edited file put back whole, or one the installation made and has taken away again.
  if (cx.wasRestoredWhole(*path) && !sys.files().attributes(*path)) return;
  // A shared file someone else still counts stays; a copy not handed on stays with it.
  if (std::find(cx.sharedStaying.begin(), cx.sharedStaying.end(), upperAscii(*path)) !=
      cx.sharedStaying.end()) {
    for (KeptCopy& b : cx.backups) {
      if (b.fileLine != line.lineNumber || b.handled) continue;
      b.handled = true;
      if (b.record.kind == BackupRecord::Kind::Saved)
        cx.backupFolderLeft.push_back(cx.copyPath(b.record));
    }
    return;
  }
  const bool changed = cx.unchangedSinceInstall(*path) == false && sys.files().attributes(*path);
  for (KeptCopy& b : cx.backups) {
    if (b.fileLine != line.lineNumber || b.handled) continue;
    b.handled = true;
    if (b.record.kind == BackupRecord::Kind::Kept)
      return cx.note(*path + " was there before the installation and is left in place");
    // Another installation or the user wrote over the file since: it is not this installation's
    // to replace, and the original waits in its copy.
    if (changed) {
      if (handOn(cx, b)) return;
      cx.backupFolderLeft.push_back(cx.copyPath(b.record));
      return cx.left(*path + " was changed after the installation; its original stays in " +
                     cx.copyPath(b.record));
    }
    return restore(cx, &line, b);
  }
  if (!sys.files().attributes(*path)) return cx.note(*path + " is already gone");
  if (changed) return cx.left(*path + " was changed after the installation; left in place");
  if (!deleteFileForced(sys, *path)) return cx.problem(&line, *path + " could not be deleted");
  cx.done("deleted " + *path);
}

void undoDirectory(UndoContext& cx, const LogLine& line) {
  auto path = cx.safe(line, line.record<DirectoryRecord>().path);
  if (!path) return;
  if (!isDirectory(cx.sys, *path)) return cx.note(*path + " is already gone");
  cx.directories.push_back(*path);  // removed at the end, once the log itself is gone
}

void removeDirectories(UndoContext& cx) {
  for (const std::string& dir : cx.directories) {
    if (!isDirectory(cx.sys, dir)) continue;
    if (!directoryIsEmpty(cx.sys, dir)) {
      cx.note(dir + " is not empty and stays");
    } else if (cx.sys.files().removeDirectory(dir)) {
      cx.done("removed " + dir);
    } else {
      cx.problem(nullptr, dir + " could not be removed");
    }
  }
}

void undoRename(UndoContext& cx, const LogLine& line) {
  System& sys = cx.sys;
  std::vector<const RenameRecord*> movable, undone;
  for (const RenameRecord* r : line.all<RenameRecord>()) {
    if (!cx.isSafe(r->newPath) || !cx.isSafe(r->oldPath)) continue;
    bool newThere = sys.files().attributes(r->newPath).has_value();
    bool oldThere = sys.files().attributes(r->oldPath).has_value();
    if (newThere && !oldThere) movable.push_back(r);
    if (!newThere && oldThere) undone.push_back(r);
  }
  if (movable.size() == 1) {
    const RenameRecord& r = *movable.front();
    if (isDirectory(sys, r.newPath))
      return cx.problem(&line, r.newPath + " is a folder now; left alone");
    if (!sys.files().moveFile(r.newPath, r.oldPath, false))
      return cx.problem(&line, r.newPath + " could not be moved back to " + r.oldPath);
    return cx.done("moved " + r.newPath + " back to " + r.oldPath);
  }
  if (movable.empty() && undone.size() == 1)
    return cx.note(undone.front()->oldPath + " is back already");
  if (movable.empty() && line.readings.size() == 1) {
    const RenameRecord& r = line.record<RenameRecord>();
    std::string reason = unsafePathReason(r.newPath, cx.windowsDir, cx.systemDir);
    if (reason.empty()) reason = unsafePathReason(r.oldPath, cx.windowsDir, cx.systemDir);
    if (!reason.empty())
      return cx.problem(&line, r.newPath + ", " + r.oldPath + ": " + reason + "; left alone");
    if (sys.files().attributes(r.oldPath))
      return cx.problem(&line, r.oldPath + " exists again; " + r.newPath + " is not moved over it");
    return cx.problem(&line, r.newPath + " is missing; nothing to move back");
  }
  cx.problem(&line, "the two paths cannot be told apart; nothing moved");
}

void readBackups(UndoContext& cx, const InstallLogContents& log) {
  std::optional<std::string> bytes = readAll(cx.sys, cx.logDir + kBackupListName);
  if (!bytes) return;
  size_t start = 0;
  for (int number = 1; start < bytes->size(); ++number) {
    size_t nl = bytes->find('\n', start);
    std::string line = bytes->substr(start, nl == std::string::npos ? nl : nl - start);
    start = nl == std::string::npos ? bytes->size() : nl + 1;
    if (nl != std::string::npos && !line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    std::optional<BackupRecord> record = parseBackupRecord(line);
    // A last line without its end was cut off while being written.
    if (!record || nl == std::string::npos) {
      cx.problem(nullptr, std::string(kBackupListName) + " line " + std::to_string(number) +
                              " cannot be read; skipped");
      continue;
    }
    // A relative path in a damaged or crafted list is taken from the log's folder, as the
    // guard checks it, not from the folder this program happens to run in.
    record->original = UndoContext::absolute(record->original, cx.logDir);
    cx.backups.push_back({*record});
  }
  // Whether each file is still as the installation left it: its last digest against its bytes
  // now, before anything here changes them.
  std::vector<std::pair<std::string, const BackupRecord*>> digests;  // the last one per path
  for (const KeptCopy& b : cx.backups) {
    if (b.record.kind != BackupRecord::Kind::Digest) continue;
    const std::string path = upperAscii(b.record.original);
    auto known = std::find_if(digests.begin(), digests.end(),
                              [&](const auto& d) { return d.first == path; });
    if (known != digests.end()) {
      known->second = &b.record;
    } else {
      digests.push_back({path, &b.record});
    }
  }
  for (const auto& [path, digest] : digests) {
    // A file that is gone tells nothing: the installation may have deleted it itself.
    std::optional<std::string> bytes = readAll(cx.sys, digest->original);
    if (bytes)
      cx.unchanged.push_back(
          {path, bytes->size() == digest->size && contentDigest(*bytes) == digest->digest});
  }
  // Each copy belongs to the first FILE line for its path written after it was made.
  for (KeptCopy& b : cx.backups) {
    if (b.record.kind != BackupRecord::Kind::Saved && b.record.kind != BackupRecord::Kind::Kept)
      continue;
    for (const LogLine& line : log.lines) {
      if (line.kind != LogKind::File || line.offset < b.record.logOffset ||
          !equalsNoCase(cx.inDestination(line, line.record<FileRecord>().path), b.record.original))
        continue;
      bool taken = std::any_of(cx.backups.begin(), cx.backups.end(), [&](const KeptCopy& o) {
        return &o != &b && o.fileLine == line.lineNumber;
      });
      if (taken) continue;
      b.fileLine = line.lineNumber;
      break;
    }
  }
}

// Files a DELETE statement removed come back at their place in time: after every change logged
// later is undone, before the earlier ones (so a file the installation itself wrote and then
// deleted is put back only to be deleted again by its own FILE line).
void restoreDeleted(UndoContext& cx, std::optional<uint64_t> after) {
  for (KeptCopy& b : cx.backups) {
    if (b.handled || b.record.kind != BackupRecord::Kind::Deleted) continue;
    if (after && b.record.logOffset <= *after) continue;
    b.handled = true;
    if (refuseUnsafe(cx, b)) continue;
    if (cx.sys.files().attributes(b.record.original)) {
      cx.backupFolderLeft.push_back(cx.copyPath(b.record));
      cx.note(b.record.original + " exists again; the deleted file's copy " +
              cx.copyPath(b.record) + " stays");
    } else {
      restore(cx, nullptr, b);
    }
  }
}

// Copies no FILE line claimed: the file was kept but never written over. Put back only what is
// missing; an existing file is not touched.
void settleUnclaimedBackups(UndoContext& cx) {
  for (KeptCopy& b : cx.backups) {
    if (b.handled || !isFileCopy(b.record)) continue;
    b.handled = true;
    if (b.record.kind == BackupRecord::Kind::Kept || refuseUnsafe(cx, b)) continue;
    if (!cx.sys.files().attributes(b.record.original)) {
      restore(cx, nullptr, b);
    } else {
      cx.backupFolderLeft.push_back(cx.copyPath(b.record));
      cx.note(b.record.original + " was not replaced after all; its copy " + cx.copyPath(b.record) +
              " stays");
    }
  }
}

bool dropReplacedIndexLine(FileSystem& fs, const std::string& windowsDir,
                           const std::string& original, const std::string& list) {
  const std::string index = indexPath(windowsDir);
  std::optional<std::string> bytes = readAll(fs, index);
  if (!bytes) return true;
  std::string kept;
  bool dropped = false;
  for (const std::string& text : linesOf(*bytes)) {
    std::optional<ReplacedIndexLine> line = parseReplacedIndexLine(text);
    if (!dropped && line && equalsNoCase(line->original, original) &&
        equalsNoCase(line->list, list)) {
      dropped = true;
    } else if (!text.empty()) {
      kept += text + "\r\n";
    }
  }
  if (!dropped) return true;
  return kept.empty() ? deleteFileForced(fs, index) : replaceFile(fs, index, kept);
}

void removeBackupFolder(UndoContext& cx) {
  const std::string folder = cx.logDir + kBackupFolderName;
  const std::string list = cx.logDir + kBackupListName;
  if (cx.backupFolderLeft.empty() && cx.report.problems.empty()) {
    if (cx.sys.files().attributes(list) && deleteFileForced(cx.sys, list))
      cx.done("deleted " + list);
  }
  if (isDirectory(cx.sys, folder) && directoryIsEmpty(cx.sys, folder) &&
      cx.sys.files().removeDirectory(folder))
    cx.done("removed " + folder);
}

}  // namespace qm

namespace qm {

void restoreUnchangedFiles(UndoContext& cx) {
  System& sys = cx.sys;
  for (KeptCopy& b : cx.backups) {
    const BackupRecord& r = b.record;
    if (r.kind != BackupRecord::Kind::Prior && r.kind != BackupRecord::Kind::Absent) continue;
    if (b.handled || cx.wasRestoredWhole(r.original)) continue;
    b.handled = true;
    if (refuseUnsafe(cx, b)) continue;
    const std::string copy = r.kind == BackupRecord::Kind::Prior ? cx.copyPath(r) : "";
    std::optional<bool> unchanged = cx.unchangedSinceInstall(r.original);
    auto leaveCopy = [&](const std::string& why) {
      cx.backupFolderLeft.push_back(copy);
      cx.problem(nullptr, why);
    };
    if (unchanged == false) {
      cx.note(r.original +
              " was changed after the installation; its changes are undone one by one");
    } else if (!unchanged) {
      // Never written after all: there is nothing to put back.
    } else if (r.kind == BackupRecord::Kind::Absent) {
      if (sys.files().attributes(r.original) && !deleteFileForced(sys, r.original)) {
        cx.problem(nullptr, r.original + " could not be deleted");
        continue;
      }
      cx.done("deleted " + r.original + ", which the installation made");
      cx.restoredWhole.push_back(upperAscii(r.original));
    } else {
      // The copy goes back whole: bytes, time and attributes as they were.
      if (!sys.files().attributes(copy)) {
        cx.problem(nullptr, "the saved copy " + copy + " of " + r.original + " is missing");
        continue;
      }
      if (sys.files().attributes(r.original)) sys.files().setAttributes(r.original, kAttrNormal);
      if (!sys.files().copyFile(copy, r.original, false)) {
        leaveCopy(r.original + " could not be put back from " + copy);
        continue;
      }
      setFileTime(sys, r.original, r.time);
      sys.files().setAttributes(r.original, r.attributes ? r.attributes : kAttrNormal);
      cx.done("put back " + r.original + " as it was");
      cx.restoredWhole.push_back(upperAscii(r.original));
    }
    if (!copy.empty()) deleteFileForced(sys, copy);
  }
}

}  // namespace qm
