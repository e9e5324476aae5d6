// The answers file of an unattended run (QUILLMOUNT_ANSWERS): one [Setup] section of Key=Value
// lines answering the installer's questions. See docs/answers-file.md.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "platform/system.h"

namespace qm {

class AnswersFile {
 public:
  // The value of a key (compared without ASCII case), or nullopt when the file does not answer it.
  std::optional<std::string> get(const std::string& key) const;
  void set(const std::string& key, const std::string& value);
  // "FILE:LINE" of a key's line, "" for a key the file does not hold.
  std::string where(const std::string& key) const;

  // Reads the text of an answers file. Unknown sections or keys, a repeated key, a line without
  // "=" and a Yes/No or OK/Cancel key with any other value are errors: error then says
  // "FILE:LINE: what".
  static std::optional<AnswersFile> parse(const std::string& text, const std::string& fileName,
                                          std::string& error);

 private:
  std::map<std::string, std::string> values_;  // upper-cased key -> value
  std::map<std::string, int> lines_;           // upper-cased key -> its line number
  std::string name_;
};

// A ShowDelay= value: digits only, at most kMaxShowDelayMs; nullopt for anything else.
constexpr int kMaxShowDelayMs = 60000;
std::optional<int> parseMilliseconds(const std::string& text);
// A WaitForOther= value: digits only, at most a day.
constexpr int kMaxWaitSeconds = 86400;
std::optional<int> parseSeconds(const std::string& text);

// How long a real machine under Disks=Wait waits for another medium when DiskWait= is silent.
constexpr int kDefaultDiskWaitSeconds = 300;

std::optional<AnswersFile> loadAnswersFile(FileSystem& fs, const std::string& path,
                                           std::string& error);

}  // namespace qm
