#include "engine/engine.h"

#include "engine/package.h"
#include "ui/dialogs.h"
#include "ui/disk_prompt.h"

namespace qm {

namespace {

// The file list as the insert-disk request walks it.
class FileListView : public DiskListView {
 public:
  FileListView(Engine& engine) : engine_(engine) {
    const auto& files = engine.state.engine.files;
    disks_.resize(files.size());
    for (size_t i = 0; i < files.size(); ++i) {
      if (!files[i].isDisk()) continue;
      disks_[i].description = files[i].diskName;
      disks_[i].label = files[i].volumeLabel;
      disks_[i].kind = files[i].diskMarker;
    }
  }
  int size() const override { return static_cast<int>(disks_.size()); }
  const DiskEntry* diskAt(int position) const override {
    if (position < 0 || position >= size()) return nullptr;
    return engine_.state.engine.files[position].isDisk() ? &disks_[position] : nullptr;
  }
  int position() const override { return engine_.state.engine.position; }
  void setPosition(int position) override { engine_.state.engine.position = position; }
  int currentDisk() const override { return engine_.currentDiskEntry; }
  void setCurrentDisk(int position) override { engine_.currentDiskEntry = position; }

 private:
  Engine& engine_;
  std::vector<DiskEntry> disks_;
};

}  // namespace

Engine::Engine(System& sys, Ui& ui, InstallState& state, MacroValues& macros,
               const StartupValues& startup, Container& container)
    : sys(sys),
      ui(ui),
      state(state),
      macros(macros),
      startup(startup),
      container(container),
      log(sys, state.engine),
      texts(dialogTexts(state.settings)),
      extractor_(std::make_unique<PackageExtractor>(*this)) {
  packages = extractor_.get();
}

void Engine::addProgress(int64_t bytes) {
  if (!byteProgress()) return;
  int64_t sum = int64_t(progressCounter) + bytes;
  progressCounter = static_cast<int32_t>(std::min<int64_t>(sum, 0x7FFFFFFF));
  if (int64_t(progressCounter) - lastRefresh > 50000) {
    lastRefresh = progressCounter;
    progressMessage(0);
  }
}

void Engine::progressMessage(int completed) {
  if (!progressShown) return;
  progress_.update(completed != 0, progressTotal, progressCounter, state.engine.anyCompressed);
  windows_->showPercent(progress_.percent());
}

int Engine::insertDiskRequest(bool advance, const std::string* missingFile) {
  FileListView list(*this);
  int before = list.position();
  if (advance) {
    list.setPosition(before + 1);
    list.setCurrentDisk(list.position());
  }
  int result = kDiskQuit;  // no further entry asks for a disk
  for (int i = std::max(currentDiskEntry, 0); i < list.size(); ++i) {
    const DiskEntry* entry = list.diskAt(i);
    if (entry == nullptr || entry->kind == 0) continue;
    list.setPosition(i);
    list.setCurrentDisk(i);
    result = askForDisk(entry, missingFile);
    break;
  }
  if (missingFile) list.setPosition(before);
  if (result == kDiskFailed) unanswerable = true;
  return result > 0 ? result : 0;
}

int Engine::askForDisk(const DiskEntry* entry, const std::string* missingFile) {
  container.disableContainer();
  int result = promptForDisk(ui, sys, texts, entry, missingFile, macros.sourceDir);
  if (progressShown) windows_->bringProgressToFront();
  return result;
}

void Engine::copyFileMessage(const std::string& name) {
  progress_.showFile(texts, name);
  if (progressShown) windows_->setProgressTexts(progress_.promptLine(), progress_.fileLine());
}

bool Engine::pumpMessages() {
  windows_->pumpMessages();
  if (progress_.abortRequested()) cancel = true;
  return cancel;
}

MsgResult Engine::warn(const std::string& text, bool owned, const std::string& caption) {
  MessageRequest box;
  box.text = text;
  box.caption = caption;
  box.icon = MsgIcon::Warning;
  box.owned = owned;
  return ui.messageBox(box);
}

}  // namespace qm
