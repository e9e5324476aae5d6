#include "uninstall/uninstaller.h"

#include "engine/install_lock.h"
#include "platform/file_handle.h"
#include "ui/ui.h"
#include "uninstall/undo_context.h"

namespace qm {

namespace {

void undo(UndoContext& cx, const LogLine& line) {
  switch (line.kind) {
    case LogKind::File:
      return undoFile(cx, line);
    case LogKind::Directory:
      return undoDirectory(cx, line);
    case LogKind::Rename:
      return undoRename(cx, line);
    case LogKind::Autoexec:
      return undoStartupLine(cx, line, "AUTOEXEC.BAT");
    case LogKind::Config:
      return undoStartupLine(cx, line, "CONFIG.SYS");
    case LogKind::AddText:
      return undoAddText(cx, line);
    case LogKind::IniKey:
      return undoIniKey(cx, line);
    case LogKind::IniSection:
      return noteNewSection(cx, line);
    case LogKind::RegServer:
      return undoRegServer(cx, line);
    case LogKind::RegKey:
      return undoRegKey(cx, line);
    case LogKind::WinItem:
      return undoWinItem(cx, line);
    case LogKind::DefaultDir:
    case LogKind::BeginPrompt:
    case LogKind::EndPrompt:
    case LogKind::TitlePrompt:
      return;
  }
}

}  // namespace

int Uninstaller::run(const std::string& logPath) {
  report_ = {};
  std::optional<std::string> bytes = readAll(sys_, logPath);
  UninstallTexts defaults;
  if (!bytes) {
    MessageRequest box;
    box.text = "The install log " + logPath + " cannot be read.";
    box.caption = defaults.title;
    box.icon = MsgIcon::Warning;
    ui_.messageBox(box);
    ui_.trace("exit " + std::to_string(kUninstallCannotStart));
    return kUninstallCannotStart;
  }
  InstallLogContents log = readInstallLog(*bytes);

  MessageRequest ask;
  ask.text = log.texts.begin;
  ask.caption = log.texts.title;
  ask.icon = MsgIcon::Question;
  ask.buttons = MsgButtons::YesNo;
  ask.topic = "Uninstall";
  if (askAndTell && ui_.messageBox(ask) != MsgResult::Yes) {
    ui_.trace("exit " + std::to_string(kUninstallDeclined));
    return kUninstallDeclined;
  }
  // The installer's own undo already holds the lock; an uninstall waits for any other program.
  if (askAndTell) {
    LockOutcome lock = waitForOtherInstallations(sys_, ui_);
    if (lock != LockOutcome::Held) {
      int code = lock == LockOutcome::Cancelled ? kUninstallDeclined : kOtherInstallationExitCode;
      ui_.trace("exit " + std::to_string(code));
      return code;
    }
  }

  UndoContext cx(sys_, ui_, report_, logPath);
  for (const SkippedLine& s : log.skipped)
    cx.problem(nullptr, "line " + std::to_string(s.lineNumber) + ": " + s.reason + "; skipped");
  readBackups(cx, log);
  lowerSharedCounts(cx);
  // What can be put back exactly goes first: whole edited files still as the installation left
  // them, and registry values with the keys they lived in.
  restoreUnchangedFiles(cx);
  undoRegistryRecords(cx);

  // Newest first. Keys were logged deepest first, so a run of REGKEY lines keeps its order.
  for (size_t i = log.lines.size(); i-- > 0;) {
    restoreDeleted(cx, log.lines[i].offset);
    if (log.lines[i].kind == LogKind::RegKey) {
      size_t first = i;
      while (first > 0 && log.lines[first - 1].kind == LogKind::RegKey) --first;
      for (size_t k = first; k <= i; ++k) undo(cx, log.lines[k]);
      i = first;
      continue;
    }
    undo(cx, log.lines[i]);
  }
  restoreDeleted(cx, std::nullopt);
  removeEmptySections(cx, "", "");
  settleUnclaimedBackups(cx);
  removeBackupFolder(cx);
  // The log goes last, and only when everything in it was dealt with, so a second run can try
  // again what this one could not do.
  if (report_.problems.empty()) {
    if (deleteFileForced(sys_, logPath)) {
      cx.done("deleted " + logPath);
    } else {
      cx.problem(nullptr, logPath + " could not be deleted");
    }
  } else {
    cx.note(logPath + " is kept: some changes were not undone");
  }
  removeDirectories(cx);

  MessageRequest end;
  end.caption = log.texts.title;
  const bool complete = report_.problems.empty() && report_.left.empty();
  if (complete) {
    end.text = log.texts.end;
    end.icon = MsgIcon::Information;
  } else {
    end.text = "These changes were not undone:";
    size_t shown = 0;
    for (const auto* list : {&report_.problems, &report_.left}) {
      for (const std::string& p : *list) {
        if (++shown == 16) end.text += "\n...";
        if (shown < 16) end.text += "\n" + p;
      }
    }
    end.icon = MsgIcon::Warning;
  }
  if (askAndTell) ui_.messageBox(end);
  int code = complete ? kUninstallDone : kUninstallIncomplete;
  if (askAndTell) ui_.trace("exit " + std::to_string(code));
  return code;
}

}  // namespace qm
