// The progress dialog's state: the percentage the bar shows, the two text lines, and the abort
// flag its Cancel button sets. Views draw it; the copy loop updates it.
#pragma once

#include <cstdint>
#include <string>

#include "ui/dialog_texts.h"
#include "ui/ui.h"

namespace qm {

class ProgressDialog {
 public:
  // First opening of the run: percent 0, step 1, no files done. Later openings keep the state.
  void open(int fileCount);
  // Message 1024. fileDone: first parameter 1 after a completed file, 0 as a keep-alive.
  // bytesTotal/bytesDone: the copy's progress total and counter; countFiles: the script has
  // compressed files, so files are counted whatever the byte total says.
  void update(bool fileDone, int64_t bytesTotal, int64_t bytesDone, bool countFiles);
  // Message 1027: the prompt line and the file name in upper case (ASCII letters only).
  void showFile(const DialogTexts& texts, const std::string& fileName);
  // Cancel button: asks the quit question (empty caption); Yes sets the abort flag. True when
  // the dialog is to close.
  bool cancel(Ui& ui, const DialogTexts& texts);

  int percent() const { return percent_; }
  // "%3d%%" of the percentage, as the bar writes it.
  std::string percentText() const;
  // Width in pixels of the filled part of a bar barWidth pixels wide.
  int filledWidth(int barWidth) const { return barWidth * percent_ / 100; }
  bool abortRequested() const { return abort_; }
  const std::string& promptLine() const { return prompt_; }  // control 101
  const std::string& fileLine() const { return file_; }      // control 103
  int filesDone() const { return filesDone_; }

 private:
  bool opened_ = false;
  int fileCount_ = 0;
  int filesDone_ = 0;
  int64_t step_ = 1;
  int percent_ = 0;
  bool abort_ = false;
  std::string prompt_, file_;
};

// Where the progress dialog opens: centred horizontally; vertically centred, or 24 pixels below
// a placed pop-up message window (its recorded top edge and height).
struct WindowPoint {
  int x = 0, y = 0;
  friend bool operator==(const WindowPoint&, const WindowPoint&) = default;
};
WindowPoint progressPosition(int screenWidth, int screenHeight, int width, int height,
                             bool popupPlaced, int popupTop, int popupHeight);

// The two parts of the bar: the filled part [left, split) and the rest [split, right).
int progressSplit(int barLeft, int barRight, int percent);

constexpr int kIdProgressPrompt = 101;
constexpr int kIdProgressBar = 102;
constexpr int kIdProgressFile = 103;

}  // namespace qm
