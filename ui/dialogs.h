// The fixed question dialogs: destination (DEFAULTDIR, DIR2, DIR3) and ASK1..ASK5, with the quit
// question that their Cancel buttons ask. Portable controllers; views only show them.
#pragma once

#include <functional>
#include <string>

#include "records/screen_records.h"
#include "script/macros.h"
#include "script/settings.h"
#include "ui/dialog_texts.h"
#include "ui/ui.h"

namespace qm {

// The dialog texts the script's prompt settings give.
DialogTexts dialogTexts(const Settings& settings);

// Splits a one-line prompt longer than 45 characters into two lines (state 2); shorter prompts
// and states other than 1 are left alone.
void splitPrompt(const std::string& prompt, PromptLines& lines);

// Asks the quit question (Yes/No, exclamation); true when the user answered Yes. blankCaption:
// one blank as caption (the ASK dialog) instead of an empty one.
bool askQuit(Ui& ui, const DialogTexts& texts, bool blankCaption);

// One destination request ready for its dialog.
struct DestinationRequest {
  std::string prompt;
  PromptLines lines;
  int mode = 3;      // 0 no dialog, 1 directory, 2 drive, 3 drive and directory
  std::string path;  // proposed directory; after OK the chosen one
};

// The request for a record: its prompt or the mode's default prompt, split; the path as given
// (the driver expands its macros and completes its drive).
DestinationRequest prepareDestination(const DestinationRecord& record, const DialogTexts& texts);

// Creates a directory level by level (recording each new level in the install log); false when
// a level cannot be made.
using DirectoryMaker = std::function<bool(const std::string& path)>;

// Template number of a mode: 200 + 50 × mode.
inline int destinationResourceId(int mode) { return 200 + 50 * mode; }

// Shows the destination dialog of request.mode (mode 0: none, Ok at once). On Ok the chosen
// directory exists and is in request.path. topic: "DefaultDir", "Dir2" or "Dir3".
DialogOutcome runDestinationDialog(Ui& ui, const DialogTexts& texts, DestinationRequest& request,
                                   const DirectoryMaker& makeDirectories, const std::string& topic);

// The ASK dialog's clean-up of a typed answer: leading blanks, tabs, line breaks, commas and
// parentheses go; the rest stays.
std::string cleanAnswer(const std::string& typed);

// Shows ASK1..ASK5 (those defined, in order); each answer goes to its record and to $ASKn$.
// Cancel (quit confirmed) or Failed on one of them ends the questions at once.
DialogOutcome runAskDialogs(Ui& ui, const DialogTexts& texts, ScreenRecords& screens,
                            MacroValues& macros);

// The destination dialog controller, for views and tests that drive it directly.
class DestinationDialog : public DialogController {
 public:
  DestinationDialog(Ui& ui, const DialogTexts& texts, DestinationRequest& request,
                    const DirectoryMaker& makeDirectories)
      : ui_(ui), texts_(texts), request_(request), makeDirectories_(makeDirectories) {}
  void open(DialogControls& controls) override;
  DialogAction command(int id, DialogControls& controls) override;

 private:
  Ui& ui_;
  const DialogTexts& texts_;
  DestinationRequest& request_;
  const DirectoryMaker& makeDirectories_;
};

class AskDialog : public DialogController {
 public:
  AskDialog(Ui& ui, const DialogTexts& texts, AskRecord& record)
      : ui_(ui), texts_(texts), record_(record) {}
  void open(DialogControls& controls) override;
  DialogAction command(int id, DialogControls& controls) override;

 private:
  Ui& ui_;
  const DialogTexts& texts_;
  AskRecord& record_;
};

// Control ids of the fixed dialogs.
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
constexpr int kIdPromptLine1 = 301;
constexpr int kIdPromptLine2 = 302;
constexpr int kIdDestinationEdit = 204;
constexpr int kIdDriveShown = 305;  // mode 1: the read-only drive
constexpr int kIdRestShown = 304;   // mode 2: the read-only rest of the path
constexpr int kIdAskEdit = 701;

}  // namespace qm
