// One distribution installed on many built-in machine profiles side by side (`quillpack simulate
// --matrix`): what each run met and left, and what differs between them, in a vendor's words.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tools/machine_profiles.h"
#include "tools/screen_pictures.h"
#include "tools/simulation.h"

namespace qm::pack {

// What one run met and changed, read from its trace, its install log and its conditions.
struct ProfileOutcome {
  std::string profile;  // the profile's name
  std::string title;
  std::string error;  // the run could not be made (bad answers file, no program ...)
  int exitCode = 1;
  bool answersGiven = false;
  std::vector<std::string> dialogs;    // dialog topics in the order met (FirstScreen, Ask1 ...)
  std::vector<std::string> questions;  // boxes that asked something (Autoexec, Overwrite, Disk ...)
  std::vector<std::string> files;      // targets written, in order
  uint64_t bytes = 0;                  // their sizes on the machine afterwards
  int startupChanges = 0;              // AUTOEXEC.BAT and CONFIG.SYS entries of the install log
  int iniEntries = 0;
  int registryKeys = 0;  // registry keys and values
  int programItems = 0;  // program groups and items
  std::vector<ConditionResult> conditions;
  std::vector<std::string> traceTail;
  double seconds = 0;
  std::string display;                  // "640x480", when pictures were drawn
  std::vector<ScreenPicture> pictures;  // when the request asked for them
  std::vector<std::string> messages;    // message boxes met, "Topic: text"
};

// Reads a finished run's trace lines and install log into the outcome (counts, topics, files).
void readRunRecords(const std::vector<std::string>& trace, const std::string& installLog,
                    ProfileOutcome& outcome);

// The run ended as the answers led it: completed (0, 3010), or quit (2) because the answers
// file chose to leave. Could not start (1) and failed (3) never count as ended well.
bool endedAsAnswered(const ProfileOutcome& outcome);

struct MatrixRequest {
  std::vector<MachineProfile> profiles;
  DistributionMedia media;
  std::string program = "SETUP.EXE";  // on the first disk
  std::vector<std::string> arguments;
  std::string answersFile;  // host path, may be empty
  unsigned jobs = 1;        // runs at once
  std::string keepFolder;   // when set, each machine stays in keepFolder/PROFILE
  bool pictures = false;    // draw the screens each run met
  // Called as each run ends (from the thread that ran it, one call at a time).
  std::function<void(size_t done, size_t total, const std::string& profile)> progress;
};

// Runs every profile (up to jobs at once) and gives the outcomes in the request's order.
std::vector<ProfileOutcome> runMatrix(const MatrixRequest& request);

// What differs between the runs, one sentence each: conditions that came out differently and
// what followed, files installed on some machines only, questions asked on some only, and the
// failures with the last trace lines.
std::vector<std::string> describeDifferences(const std::vector<ProfileOutcome>& outcomes);

enum class MatrixFormat { Text, Markdown, Json, Html };

// The table and the differences below it; Html adds each profile's pictures, as one page that
// needs no other file (the images are data: addresses).
std::string formatMatrix(const std::vector<ProfileOutcome>& outcomes, MatrixFormat format);

// The exit code's meaning in the report: "completed", "quit", "failed" ...
const char* exitCodeMeaning(int code);

}  // namespace qm::pack
