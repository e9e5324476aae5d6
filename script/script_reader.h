// The parser's line source, as the block readers (text blocks, registry blocks) see it: they pull
// their lines through it so that they work in both passes.
#pragma once

#include <string>

namespace qm {

// Deferral modes. Collecting makes the second pass hand out a text block's lines as they are,
// without its skip list.
constexpr int kDeferralNone = 0;
constexpr int kDeferralDeferred = 1;    // at least one IF block was deferred
constexpr int kDeferralCollecting = 2;  // a block reader is collecting its lines

class ScriptReader {
 public:
  virtual ~ScriptReader() = default;
  // Reads the next line (line feed removed) into line. Returns the line number (> 0), 0 at the end
  // of the script or block, -1 on an error, -2 for a line that is to be skipped.
  virtual int nextScriptLine(std::string& line) = 0;
  // First pass only: the script's next line straight from the file, bypassing every rule (used
  // by deferBlock). It still counts towards the line numbers. False at the end of the script, and
  // always false in the second pass.
  virtual bool readScriptLine(std::string& line) { return false; }

  int deferralMode() const { return deferralMode_; }
  void setDeferralMode(int mode) { deferralMode_ = mode; }
  // True when the line last handed out was longer than a script line may be and was cut short.
  bool lineTooLong() const { return lineTooLong_; }

 protected:
  void setLineTooLong(bool tooLong) { lineTooLong_ = tooLong; }

 private:
  int deferralMode_ = kDeferralNone;
  bool lineTooLong_ = false;
};

// A block reader holds one of these while it pulls its lines: deferral mode 2, restored after.
class CollectingLines {
 public:
  explicit CollectingLines(ScriptReader& reader) : reader_(reader), saved_(reader.deferralMode()) {
    reader_.setDeferralMode(kDeferralCollecting);
  }
  ~CollectingLines() { reader_.setDeferralMode(saved_); }
  CollectingLines(const CollectingLines&) = delete;
  CollectingLines& operator=(const CollectingLines&) = delete;

 private:
  ScriptReader& reader_;
  int saved_;
};

}  // namespace qm
