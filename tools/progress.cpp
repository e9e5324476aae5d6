#include "tools/progress.h"

#include <unistd.h>

#include <utility>

namespace qm::pack {

namespace {

std::string megabytes(uint64_t bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", double(bytes) / 1e6);
  return text;
}

std::string minutesSeconds(uint64_t seconds) {
  char text[32];
  if (seconds >= 3600)
    std::snprintf(text, sizeof text, "%u:%02u:%02u", unsigned(seconds / 3600),
                  unsigned(seconds / 60 % 60), unsigned(seconds % 60));
  else
    std::snprintf(text, sizeof text, "%u:%02u", unsigned(seconds / 60), unsigned(seconds % 60));
  return text;
}

// A redraw costs a write to the terminal; ten a second look continuous.
constexpr auto kRedrawEvery = std::chrono::milliseconds(100);

}  // namespace

std::string progressLine(const std::string& label, const ProgressState& s, double elapsed) {
  std::string line = label + ":";
  const char* sep = " ";
  if (s.filesTotal != 0) {
    line += sep + std::to_string(s.filesDone) + "/" + std::to_string(s.filesTotal) + " files";
    sep = ", ";
  }
  // The share done is judged by bytes when they are counted, else by files.
  double share = -1;
  if (s.bytesTotal != 0) {
    line += sep + megabytes(s.bytesDone) + "/" + megabytes(s.bytesTotal) + " MB";
    share = double(s.bytesDone) / double(s.bytesTotal);
  } else if (s.filesTotal != 0) {
    share = double(s.filesDone) / double(s.filesTotal);
  }
  if (share >= 0) {
    if (share > 1) share = 1;
    line += " (" + std::to_string(int(share * 100)) + "%)";
    sep = ", ";
  }
  if (!s.item.empty()) {
    line += sep + s.item;
    sep = ", ";
  }
  if (share > 0 && share < 1 && elapsed >= 1)
    line += sep + minutesSeconds(uint64_t(elapsed * (1 - share) / share + 0.5)) + " left";
  return line;
}

Progress::Progress(std::string label, uint64_t bytesTotal, uint64_t filesTotal, bool enabled,
                   std::FILE* out)
    : label_(std::move(label)), enabled_(enabled), out_(out) {
  state_.bytesTotal = bytesTotal;
  state_.filesTotal = filesTotal;
  start_ = lastDraw_ = std::chrono::steady_clock::now();
}

bool Progress::onTerminal(bool quiet) { return !quiet && ::isatty(STDERR_FILENO) == 1; }

void Progress::setItem(const std::string& item) {
  if (item == state_.item) return;
  state_.item = item;
  draw(true);
}

void Progress::advance(uint64_t bytes, uint64_t files) {
  state_.bytesDone += bytes;
  state_.filesDone += files;
  draw(false);
}

void Progress::setTotals(uint64_t bytesTotal, uint64_t filesTotal) {
  state_.bytesTotal = bytesTotal;
  state_.filesTotal = filesTotal;
  draw(false);
}

void Progress::draw(bool force) {
  if (!enabled_) return;
  const auto now = std::chrono::steady_clock::now();
  if (!force && drawn_ && now - lastDraw_ < kRedrawEvery) return;
  lastDraw_ = now;
  drawn_ = true;
  const double elapsed = std::chrono::duration<double>(now - start_).count();
  // Back to the line's start, the line, then erase what a longer earlier line left.
  std::fprintf(out_, "\r%s\x1b[K", progressLine(label_, state_, elapsed).c_str());
  std::fflush(out_);
}

void Progress::finish() {
  if (enabled_ && drawn_) {
    std::fputs("\r\x1b[K", out_);
    std::fflush(out_);
  }
  enabled_ = false;
}

}  // namespace qm::pack
