// Records the script fills for the dialogs and screens: ASK questions, screen templates, option
// groups, pop-up messages.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui_seam.h"

namespace qm {

constexpr int kPromptLineChars = 45;     // a prompt longer than this is split in two lines
constexpr size_t kMaxAnswerChars = 498;  // an ASK answer, typed or default
constexpr size_t kMaxPromptChars = 498;  // an ASK or destination prompt
constexpr int kMaxGroupIndexes = 100;    // option lines across all group dialogs
constexpr int kMaxNumberedGroups = 16;
constexpr int kMaxPopups = 16;

// A prompt as the fixed dialogs show it: one line in static 302, or two in 301 and 302.
struct PromptLines {
  std::string line1, line2;
  int state = 0;  // 0 no prompt given, 1 one line, 2 split into two lines
};

// One ASKn statement: default answer (then the typed one) and its prompt.
struct AskRecord {
  std::string answer;
  std::string prompt;
  PromptLines lines;  // state 1 once read; split before the dialog opens
};

// The process-wide option tables, indexed by group index (given out in the order numbered group
// lines appear, across all group blocks).
struct GroupTables {
  std::array<int, kMaxGroupIndexes> indexOfNumber;   // group number 0..99 -> index, -1 unset
  std::array<int, kMaxGroupIndexes> numberOfIndex;   // index -> group number
  std::array<bool, kMaxGroupIndexes> initialMark{};  // "[X]"
  std::array<bool, kMaxGroupIndexes> selected{};     // set by the group dialogs
  int count = 0;                                     // indexes given out so far
  bool chosen = false;                               // a group dialog ended with OK
  GroupTables() {
    indexOfNumber.fill(-1);
    numberOfIndex.fill(-1);
  }
};

// One group block: the unnumbered main group or a numbered option group.
struct GroupDialogRecord {
  std::optional<DialogTemplate> dialog;  // released after it was shown
  int groupNumber = -1;                  // -1 for the main group
  int firstIndex = 0;                    // group indexes [firstIndex, endIndex)
  int endIndex = 0;
  bool exclusive = false;
};

struct PopupRecord {
  int number = 0;
  FontSpec font;
  DialogTemplate dialog;
};

struct ScreenRecords {
  std::optional<AskRecord> ask[5];  // ASK1 .. ASK5
  std::optional<DialogTemplate> firstScreen, lastScreen;
  std::optional<GroupDialogRecord> mainGroup;
  std::vector<GroupDialogRecord> optionGroups;  // numbered, script order, at most 16
  std::vector<PopupRecord> popups;              // at most 16
  GroupTables groups;
  // The first radio button built in the run carries the group style; later ones do not.
  bool radioGroupStarted = false;
};

}  // namespace qm
