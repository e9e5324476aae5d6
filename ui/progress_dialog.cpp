#include "ui/progress_dialog.h"

#include <cstdio>

#include "base/text.h"
#include "ui/dialogs.h"

namespace qm {

namespace {
constexpr int64_t kKeepAliveLimit = 0x3FFFFFFF;
}

void ProgressDialog::open(int fileCount) {
  fileCount_ = fileCount;
  if (opened_) return;
  opened_ = true;
  percent_ = 0;
  step_ = 1;
  filesDone_ = 0;
}

void ProgressDialog::update(bool fileDone, int64_t bytesTotal, int64_t bytesDone, bool countFiles) {
  int64_t percent = percent_;
  if (bytesTotal > 0 && !countFiles) {
    if (bytesDone >= bytesTotal) {
      percent = 100;
    } else if (bytesTotal >= 100) {
      percent = bytesDone / (bytesTotal / 100);
    } else {
      percent = bytesDone * 100 / bytesTotal;  // a total below 100 would divide by zero above
    }
  } else if (fileDone) {
    ++filesDone_;
    step_ = 1;
    percent = fileCount_ > 0 ? int64_t(100) * filesDone_ / fileCount_ : 100;
  } else if (fileCount_ > 0 && fileCount_ * step_ < kKeepAliveLimit) {
    step_ *= 2;
    percent += 100 / (fileCount_ * step_);
  }
  if (percent > 100) percent = 100;
  if (percent < 0) percent = 0;
  percent_ = static_cast<int>(percent);
}

void ProgressDialog::showFile(const DialogTexts& texts, const std::string& fileName) {
  prompt_ = texts.copyFile;
  file_ = upperAscii(fileName);
}

bool ProgressDialog::cancel(Ui& ui, const DialogTexts& texts) {
  if (!askQuit(ui, texts, false)) return false;
  abort_ = true;
  return true;
}

std::string ProgressDialog::percentText() const {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%3d%%", percent_);
  return buffer;
}

WindowPoint progressPosition(int screenWidth, int screenHeight, int width, int height,
                             bool popupPlaced, int popupTop, int popupHeight) {
  WindowPoint p;
  p.x = (screenWidth - width) / 2;
  p.y = popupPlaced ? popupTop + popupHeight + 24 : (screenHeight - height) / 2;
  return p;
}

int progressSplit(int barLeft, int barRight, int percent) {
  if (percent < 0) percent = 0;
  if (percent > 100) percent = 100;
  return barLeft + (barRight - barLeft) * percent / 100;
}

}  // namespace qm
