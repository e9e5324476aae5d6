// The run's trace (QUILLMOUNT_LOG): one plain-text line per phase, dialog, message box and file.
#pragma once

#include <string>

#include "platform/system.h"

namespace qm {

class TraceSink {
 public:
  virtual ~TraceSink() = default;
  virtual void write(const std::string& line) = 0;
};

// Appends each line to a file, opening and closing it every time: the trace survives a crash,
// and a relaunched copy of the program writes on into the same file.
class FileTraceSink : public TraceSink {
 public:
  FileTraceSink(FileSystem& fs, std::string path) : fs_(fs), path_(std::move(path)) {}
  void write(const std::string& line) override { writeLine(line); }
  // false when the line could not be written whole (the file cannot be made or is full).
  bool writeLine(const std::string& line);

 private:
  FileSystem& fs_;
  std::string path_;
};

// A message text on one trace line: line ends become blanks.
std::string oneTraceLine(const std::string& text);

}  // namespace qm
