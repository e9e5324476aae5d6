#include "ui/disk_prompt.h"

#include "base/text.h"
#include "ui/dialogs.h"

namespace qm {

std::string diskMessage(const DialogTexts& texts, const DiskEntry* entry,
                        const std::string* fileName) {
  bool usable = entry != nullptr && entry->kind != 0;
  std::string message;
  if (fileName != nullptr && !(usable && entry->kind == 2))
    message = texts.fileNotFound + *fileName + ". ";
  message += texts.insertDisk + (usable ? entry->description : texts.diskName);
  return message;
}

std::string mediumIdentity(FileSystem& fs, const std::string& root) {
  std::string identity = fs.volumeLabel(root).value_or("") + '\n';
  for (const FindEntry& e : fs.find(root + "*.*"))
    identity += e.name + ' ' + std::to_string(e.size) + ' ' + std::to_string(e.time.date) + ' ' +
                std::to_string(e.time.time) + '\n';
  return identity;
}

bool MediumWatch::waitForOther(const std::string& root) {
  auto noted = noted_.find(root);
  const std::string before = noted != noted_.end() ? noted->second : mediumIdentity(fs_, root);
  for (int i = 0; i < polls_; ++i) {
    pause_();
    if (mediumIdentity(fs_, root) != before) {
      pause_();
      noted_[root] = mediumIdentity(fs_, root);
      return true;
    }
  }
  return false;
}

int promptForDisk(Ui& ui, FileSystem& fs, const DialogTexts& texts, const DiskEntry* entry,
                  const std::string* fileName, const std::string& sourceDir) {
  bool usable = entry != nullptr && entry->kind != 0;
  int result = usable ? kDiskReady : kDiskNone;
  DiskRequest request;
  request.message = diskMessage(texts, entry, fileName);
  request.kind = usable ? entry->kind : 0;
  request.root = std::string(1, sourceDir.empty() ? 'A' : sourceDir[0]) + ":\\";
  if (request.kind == 2) request.expectedLabel = entry->label;
  if (fileName != nullptr) request.missingFile = *fileName;
  ui.beep();
  for (;; request.repeated = true) {
    switch (ui.diskPrompt(request)) {
      case DiskAnswer::Failed:
        return kDiskFailed;
      case DiskAnswer::Present:
        return result;
      case DiskAnswer::Cancel:
        if (askQuit(ui, texts, false)) return kDiskQuit;
        break;
      case DiskAnswer::Inserted:
        if (request.kind != 2) return result;
        if (auto label = fs.volumeLabel(request.root); label && equalsNoCase(*label, entry->label))
          return result;
        break;
    }
  }
}

}  // namespace qm
