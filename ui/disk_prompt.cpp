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
