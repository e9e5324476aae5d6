// Shared files (SHARED records): each raise of a file's use count this installation made is taken
// back, and the file goes back only when nobody else counts it. Installations of this installer
// that counted the same file are listed in INSTBACK.LST in the order they counted it; whichever
// of them is uninstalled last finds the count the file had before the first of them and the
// user's original, since each one that leaves earlier hands them on.
#include <algorithm>
#include <functional>

#include "base/text.h"
#include "engine/shared_files.h"
#include "platform/file_handle.h"
#include "uninstall/undo_context.h"

namespace qm {

namespace {

constexpr RegistryRoot kRoot = RegistryRoot::LocalMachine;

// Rewrites another installation's list record by record; edit returns false to drop one. Lines
// that are no record stay as they are.
bool editList(System& sys, const std::string& list,
              const std::function<bool(BackupRecord&)>& edit) {
  std::string bytes;
  for (const std::string& text : linesOf(readAll(sys, list).value_or(""))) {
    std::optional<BackupRecord> r = parseBackupRecord(text);
    if (!r) {
      bytes += text + "\r\n";
    } else if (edit(*r)) {
      bytes += formatBackupRecord(*r) + "\r\n";
    }
  }
  return replaceFile(sys, list, bytes);
}

// The other installations that count the file, by their lists: those listed before this one and
// those after it, and how many lines are this one's own.
struct Claims {
  std::vector<std::string> before, after;
  int ours = 0;
};

Claims claimsOn(UndoContext& cx, const std::string& path) {
  Claims claims;
  const std::string ownList = cx.logDir + kBackupListName;
  const std::string index = withTrailingBackslash(cx.windowsDir) + kReplacedIndexName;
  for (const std::string& text : linesOf(readAll(cx.sys, index).value_or(""))) {
    std::optional<ReplacedIndexLine> line = parseReplacedIndexLine(text);
    if (!line || !equalsNoCase(line->original, path)) continue;
    if (equalsNoCase(line->list, ownList)) {
      ++claims.ours;
    } else if (cx.isSafe(line->list) && cx.sys.files().attributes(line->list)) {
      (claims.ours ? claims.after : claims.before).push_back(line->list);
    }
  }
  return claims;
}

// The next installation takes over what this one knew from before the file was shared: the
// count then and the original this one kept (or that there was none), so that it puts them back
// when it goes.
bool handOn(UndoContext& cx, const BackupRecord& base, const KeptCopy* kept,
            const std::string& list) {
  System& sys = cx.sys;
  const std::string folder = directoryPart(list) + kBackupFolderName + "\\";
  bool countSet = false, copySet = false, ok = true;
  bool written = editList(sys, list, [&](BackupRecord& r) {
    if (!equalsNoCase(r.original, base.original)) return true;
    if (r.kind == BackupRecord::Kind::Shared && !countSet) {
      countSet = true;
      r.count = base.count;
      r.found = base.found;
      r.keysMade = base.keysMade;
    } else if ((r.kind == BackupRecord::Kind::Saved || r.kind == BackupRecord::Kind::Kept) &&
               !copySet) {
      copySet = true;
      const std::string theirs = folder + r.copyName;
      if (!kept || kept->record.kind == BackupRecord::Kind::Kept) {
        // No file was there before (the next one's copy is of this installation's file), or it
        // was there and could not be kept: it is deleted, or left, when the last one goes.
        if (r.kind == BackupRecord::Kind::Saved) deleteFileForced(sys, theirs);
        if (!kept) return false;
        r.kind = BackupRecord::Kind::Kept;
        r.copyName.clear();
      } else if (r.kind == BackupRecord::Kind::Saved) {
        sys.files().setAttributes(theirs, kAttrNormal);
        if (sys.files().copyFile(cx.copyPath(kept->record), theirs, false)) {
          r.time = kept->record.time;
          r.attributes = kept->record.attributes;
        } else {
          ok = false;
        }
      } else {
        ok = false;  // it kept no copy to take the original into
      }
    }
    return true;
  });
  return written && ok;
}

// The earlier installation takes the file as it is now for the one it left: it still counts the
// file, and when it goes the file is its to put back.
bool handBack(UndoContext& cx, const std::string& path, const std::string& list) {
  std::optional<std::string> bytes = readAll(cx.sys, path);
  if (!bytes) return true;
  BackupRecord digest;
  digest.kind = BackupRecord::Kind::Digest;
  digest.original = path;
  digest.size = bytes->size();
  digest.digest = contentDigest(*bytes);
  ScopedFile file = ScopedFile::openAppend(cx.sys, list);
  return file && file.writeAll(formatBackupRecord(digest) + "\r\n");
}

}  // namespace

void lowerSharedCounts(UndoContext& cx) {
  System& sys = cx.sys;
  uint32_t levelsToRemove = 0;
  std::vector<std::string> done, handedOn;
  for (const KeptCopy& first : cx.backups) {
    if (first.record.kind != BackupRecord::Kind::Shared) continue;
    const BackupRecord& base = first.record;  // the oldest raise knows the count before
    const std::string& path = base.original;
    if (std::find(done.begin(), done.end(), upperAscii(path)) != done.end()) continue;
    done.push_back(upperAscii(path));
    if (!cx.isSafe(path)) {
      cx.problem(nullptr, path + ": not a safe path; its count is left alone");
      continue;
    }
    // Every raise of this log, and the oldest copy of the file it kept.
    uint32_t raises = 0;
    KeptCopy* kept = nullptr;
    for (KeptCopy& b : cx.backups) {
      if (!equalsNoCase(b.record.original, path)) continue;
      if (b.record.kind == BackupRecord::Kind::Shared) ++raises;
      if ((b.record.kind == BackupRecord::Kind::Saved ||
           b.record.kind == BackupRecord::Kind::Kept) &&
          !kept)
        kept = &b;
    }

    std::optional<RegistryValue> value =
        sys.registry().readRegistryValue(kRoot, kSharedFilesKey, path);
    std::optional<uint32_t> now = value ? sharedCountOf(*value) : std::nullopt;
    // Someone else lowered it already: it never goes below nothing.
    const uint32_t lowered = now ? *now - std::min(*now, raises) : 0;
    if (value && !now) cx.left("the count of " + path + " is no number; left alone");
    if (!value) cx.note("the count of " + path + " is gone already");

    const Claims claims = claimsOn(cx, path);
    const bool othersOfOurs = !claims.before.empty() || !claims.after.empty();
    const bool returns = !othersOfOurs && !(now && lowered > base.count);
    if (now && *now > 0) {
      const bool remove = returns && !base.found;
      if (remove ? sys.registry().deleteRegistryValue(kRoot, kSharedFilesKey, path)
                 : sys.registry().setRegistryValue(kRoot, kSharedFilesKey, path,
                                                   sharedCountValue(lowered))) {
        cx.done(remove ? "deleted the count of " + path
                       : "lowered the count of " + path + " to " + std::to_string(lowered));
        if (remove) levelsToRemove = std::max(levelsToRemove, base.keysMade);
      } else {
        cx.problem(nullptr, "the count of " + path + " could not be lowered");
      }
    }
    if (returns) {
      // Back where it was before the first of them: the FILE line puts the file back.
      for (int i = 0; i < claims.ours; ++i)
        dropReplacedIndexLine(sys, cx.windowsDir, path, cx.logDir + kBackupListName);
      continue;
    }
    cx.sharedStaying.push_back(upperAscii(path));
    if (!othersOfOurs) {
      cx.left(path + " is still used by another program (count " + std::to_string(lowered) +
              "); it stays");
      continue;  // its FILE line keeps the original's copy, as for any file left
    }
    const bool handed = claims.after.empty() ? handBack(cx, path, claims.before.back())
                                             : handOn(cx, base, kept, claims.after.front());
    const std::string& to = claims.after.empty() ? claims.before.back() : claims.after.front();
    if (!handed) {
      cx.problem(nullptr, path + " could not be handed on to " + to);
      continue;
    }
    // What this installation kept of the file is the other one's now, or the older one has it.
    for (KeptCopy& b : cx.backups) {
      if (!equalsNoCase(b.record.original, path) || b.handled ||
          (b.record.kind != BackupRecord::Kind::Saved && b.record.kind != BackupRecord::Kind::Kept))
        continue;
      b.handled = true;
      if (b.record.kind == BackupRecord::Kind::Saved) deleteFileForced(sys, cx.copyPath(b.record));
    }
    handedOn.push_back(upperAscii(path));
    for (int i = 0; i < claims.ours; ++i)
      dropReplacedIndexLine(sys, cx.windowsDir, path, cx.logDir + kBackupListName);
    cx.done(path + " stays for " + to + ", which still uses it");
  }
  if (done.empty()) return;
  // The key levels the raises made go once nothing is in them, deepest first.
  const std::string key = kSharedFilesKey;
  std::string level = key;
  for (uint32_t i = 0; i < levelsToRemove; ++i) {
    if (sys.registry().openRegistryKey(kRoot, level)) {
      if (!registryKeyIsEmpty(sys, kRoot, level)) {
        cx.note("HKEY_LOCAL_MACHINE\\" + level + " holds other values and stays");
        break;
      }
      if (!sys.registry().deleteRegistryKey(kRoot, level)) {
        cx.problem(nullptr, "HKEY_LOCAL_MACHINE\\" + level + " could not be deleted");
        break;
      }
      cx.done("deleted HKEY_LOCAL_MACHINE\\" + level);
    }
    level = level.substr(0, level.rfind('\\'));
  }
  // The counts are lowered once, and what was handed on is handed once: a second run over a kept
  // log must not do either again.
  editList(sys, cx.logDir + kBackupListName, [&](BackupRecord& r) {
    const bool copy = r.kind == BackupRecord::Kind::Saved || r.kind == BackupRecord::Kind::Kept;
    return r.kind != BackupRecord::Kind::Shared &&
           !(copy &&
             std::find(handedOn.begin(), handedOn.end(), upperAscii(r.original)) != handedOn.end());
  });
}

}  // namespace qm
