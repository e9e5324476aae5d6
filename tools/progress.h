// Progress of one long quillpack job on a terminal: files and bytes done, what is being worked on
// (a volume, a file, a profile) and the time left, redrawn in place on one line of stderr.
// Nothing at all is printed when stderr is not a terminal or the user asked for quiet, so scripts
// and CI logs stay clean.
//
//   Progress progress("packing", totalBytes, totalFiles, Progress::onTerminal(quiet));
//   progress.setItem("APP.PA1");
//   progress.advance(bytes, 1);   // cheap: redraws at most ten times a second
//   progress.finish();            // clears the line (also done by the destructor)
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

namespace qm::pack {

struct ProgressState {
  uint64_t bytesDone = 0, bytesTotal = 0;  // a total of 0: bytes are not counted
  uint64_t filesDone = 0, filesTotal = 0;  // a total of 0: files are not counted
  std::string item;                        // what is being worked on; may be empty
};

// The line shown for a job called label after elapsedSeconds, without the terminal controls:
// "packing: 3/81 files, 12.0/100.0 MB (12%), APP.PA1, 0:07 left". The time left is given once a
// second has passed and some work is done.
std::string progressLine(const std::string& label, const ProgressState& state,
                         double elapsedSeconds);

class Progress {
 public:
  // Shows nothing unless enabled; pass onTerminal(quiet). out is stderr but for tests.
  Progress(std::string label, uint64_t bytesTotal, uint64_t filesTotal, bool enabled,
           std::FILE* out = stderr);
  ~Progress() { finish(); }
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  // True when stderr is a terminal and quiet was not asked for.
  static bool onTerminal(bool quiet);

  void setItem(const std::string& item);
  void advance(uint64_t bytes, uint64_t files = 0);
  // Grows the totals when they were not known at the start (a matrix finding more runs).
  void setTotals(uint64_t bytesTotal, uint64_t filesTotal);
  // Clears the line; later calls print nothing.
  void finish();
  bool enabled() const { return enabled_; }
  const ProgressState& state() const { return state_; }

 private:
  void draw(bool force);

  std::string label_;
  ProgressState state_;
  bool enabled_;
  std::FILE* out_;
  std::chrono::steady_clock::time_point start_, lastDraw_;
  bool drawn_ = false;
};

}  // namespace qm::pack
