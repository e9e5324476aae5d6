// The unattended answers to dialogs: each dialog's controller runs against controls in memory,
// with what the answers file says typed in (or the dialog's own defaults), and one button press.
// A dialog that refuses its answer would stay open forever: it ends as Failed (exit code 3). So
// does a disk prompt that comes back unchanged when nothing can change between two asks.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "ui/ui.h"

namespace qm {

class DialogAnswers {
 public:
  // lookup: a key of the answers file (DefaultDir, DIR2, DIR3, Ask1..Ask5, Groups, Screens,
  // Disks), nullopt when the file does not answer it. trace: one line of the run's trace.
  // DefaultDir, DIR2 and DIR3 may be "Cancel": the dialog's Cancel button is pressed.
  using Lookup = std::function<std::optional<std::string>(const std::string& key)>;
  using Trace = std::function<void(const std::string& line)>;
  // Puts the next medium into the drive of root (the simulated machine), or waits until someone
  // has (a real machine under Disks=Wait); false when no other medium came.
  using DiskInserter = std::function<bool(const std::string& root)>;
  // Told of each disk prompt before its trace line is written, so that a changer waiting for
  // that line cannot swap the medium before the drive's old one has been noted.
  using DiskAsked = std::function<void(const std::string& root)>;

  DialogAnswers(Lookup lookup, Trace trace)
      : lookup_(std::move(lookup)), trace_(std::move(trace)) {}
  void setDiskInserter(DiskInserter inserter) { inserter_ = std::move(inserter); }
  void setDiskAsked(DiskAsked asked) { asked_ = std::move(asked); }

  DialogOutcome run(const DialogSpec& dialog, DialogController& controller);

  // The two halves of run, for a view that shows the dialog in between (a watched run): fill
  // types the file's answer into the opened dialog's controls, traces it and gives the button
  // to press; press presses it, Failed when the dialog would stay open.
  int fill(const DialogSpec& dialog, DialogControls& controls);
  DialogOutcome press(const DialogSpec& dialog, DialogController& controller,
                      DialogControls& controls, int button);

  // A request asked again unchanged (the same file still missing, the wrong label, the quit
  // question answered No) ends as Failed unless something can differ at the next ask: only a
  // Disks=Yes or Wait answer with an inserter that put another medium in. Without an inserter (a
  // real machine, where nobody is there to change disks) and with Disks=Merged or No, the first
  // repeat ends the run.
  DiskAnswer disk(const DiskRequest& request);

  // Even with media left to insert, a request repeated this many times in a row ends the run.
  static constexpr int kMaxDiskRepeats = 16;

 private:
  std::optional<std::string> answer(const std::string& key) const;
  Lookup lookup_;
  Trace trace_;
  DiskInserter inserter_;
  DiskAsked asked_;
  std::string lastDisk_;
  int diskRepeats_ = 0;
};

// The answers file key for a dialog topic ("Dir2" -> "DIR2", others unchanged).
std::string answerKey(const std::string& topic);

// The numbers of a Groups= answer ("1,3" or "1 3"); words that are not numbers are skipped.
std::vector<int> parseGroupNumbers(const std::string& text);

}  // namespace qm
