// The seam between the installer's logic and whatever shows it: real Win32 windows, the
// unattended answers file, or a scripted fake in tests. It sits beside the machine's seam
// (system.h), below the parser and the records, which show messages through it and hold its
// plain types (FontSpec, DialogTemplate); it includes nothing of the program's own.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace qm {

enum class MsgIcon { None, Warning, Question, Information, Error };
enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MsgResult { Ok = 1, Cancel = 2, Yes = 6, No = 7 };

// The button's caption, as the trace files record an answer.
inline const char* msgResultName(MsgResult result) {
  switch (result) {
    case MsgResult::Ok:
      return "OK";
    case MsgResult::Cancel:
      return "Cancel";
    case MsgResult::Yes:
      return "Yes";
    case MsgResult::No:
      return "No";
  }
  return "?";
}

struct MessageRequest {
  std::string text;
  std::string caption;          // used as given when captionDefault is false
  bool captionDefault = false;  // the system's default caption (no caption passed)
  MsgIcon icon = MsgIcon::Warning;
  MsgButtons buttons = MsgButtons::Ok;
  bool owned = false;  // owned by the main window (false before it exists)
  // What is being asked, for an unattended answer: "Overwrite", "Autoexec", "Config", "IniFile",
  // "Reboot", "Quit", ...; empty for a box that only informs.
  std::string topic;
};

// The installer's own boxes carry a blank caption and, once the main window exists, belong to it.
inline MessageRequest installerBox(std::string text, MsgIcon icon,
                                   MsgButtons buttons = MsgButtons::Ok, bool owned = true,
                                   std::string topic = {}) {
  MessageRequest box;
  box.text = std::move(text);
  box.caption = " ";
  box.icon = icon;
  box.buttons = buttons;
  box.owned = owned;
  box.topic = std::move(topic);
  return box;
}

// The controls of an open dialog as its controller sees them. Control ids are the dialog's own
// (1 OK, 2 Cancel, 204/701 edits, 100+k group boxes ...).
class DialogControls {
 public:
  virtual ~DialogControls() = default;
  virtual void setText(int id, const std::string& text) = 0;
  // The control's text, at most maxChars characters.
  virtual std::string text(int id, size_t maxChars) = 0;
  virtual void setChecked(int id, bool checked) = 0;
  virtual bool checked(int id) = 0;
};

enum class DialogAction { Stay, EndOk, EndCancel };

// How a dialog ended. Failed: an unattended view could not answer it (the dialog would stay open
// forever); the run then ends with exit code 3 instead of counting as the user's quit.
enum class DialogOutcome { Ok, Cancel, Failed };

// The portable half of a modal dialog: fills the controls when it opens and rules on OK/Cancel.
class DialogController {
 public:
  virtual ~DialogController() = default;
  virtual void open(DialogControls& controls) = 0;
  // id 1 (OK) or 2 (Cancel, also the close box and Escape).
  virtual DialogAction command(int id, DialogControls& controls) = 0;
};

// An in-memory DLGTEMPLATE, little-endian; ui/dialog_template.h builds and reads them.
using DialogTemplate = std::vector<uint8_t>;

// Everything a view needs to show one modal dialog.
struct DialogSpec {
  DialogTemplate templateBytes;
  // What is asked, for the unattended view and the trace: "DefaultDir", "Dir2", "Dir3",
  // "Ask1".."Ask5", "Groups", "FirstScreen", "LastScreen", "ExitMessage".
  std::string topic;
  int resourceId = 0;         // 250, 300, 350, 601 for the fixed dialogs; 0 for a script screen
  bool windowColour = false;  // paint in the system window colour (ASK) instead of light grey
  bool exclusive = false;     // group dialog with radio buttons
  // Group dialogs: (control id, group number) of every box, so answers can name group numbers.
  std::vector<std::pair<int, int>> choices;
};

// The font a text block is measured in.
struct FontSpec {
  std::string face;
  int size = 0;  // points; 0 = the system's default height
  bool italic = false;
  bool underline = false;
  int charset = 0;
};

// A disk request: the user is asked to put a disk in; the controller then checks it.
struct DiskRequest {
  std::string message;
  std::string root;           // "A:\" whose label is checked (kind 2), else the source root
  std::string expectedLabel;  // empty unless kind 2
  int kind = 0;               // 0 none, 1 prompt only, 2 prompt and label check
  // The file that was not found when the disk is asked for because of it, else empty. The same
  // file asked for twice in a row means the disk said to be in did not hold it.
  std::string missingFile;
  // Shown again within one request: the disk said to be in had the wrong label, or the quit
  // question was answered No.
  bool repeated = false;
};

enum class DiskAnswer {
  Inserted,  // OK: the disk is said to be in (labels are still checked)
  Present,   // unattended merged source: take the disk as present, no label check
  Cancel,    // the user wants out (the controller then asks the quit question)
  Failed     // unattended and unanswerable: end the run with code 3
};

class Ui {
 public:
  virtual ~Ui() = default;
  virtual MsgResult messageBox(const MessageRequest& request) = 0;
  // One line of the run's trace (QUILLMOUNT_LOG); views without a trace ignore it.
  virtual void trace(const std::string& line) {}

  // Runs a modal dialog to its end. The default ends it as unanswerable: a view that shows
  // dialogs overrides this.
  virtual DialogOutcome runDialog(const DialogSpec& dialog, DialogController& controller) {
    trace("dialog " + dialog.topic + ": no view to show it");
    return DialogOutcome::Failed;
  }

  // Text metrics for sizing script screens: the text's width in pixels in the font, and the
  // horizontal dialog base unit in pixels. The defaults are fixed metrics (8 pixels a character,
  // base unit 8), used by the simulated and unattended views so that runs are repeatable.
  virtual int textExtent(const std::string& text, const FontSpec& font) {
    return static_cast<int>(text.size()) * 8;
  }
  virtual int dialogBaseUnitX() { return 8; }

  // The insert-disk message box (OK/Cancel, information icon, one-blank caption). The default
  // shows it with messageBox; the unattended view answers from Disks=.
  virtual DiskAnswer diskPrompt(const DiskRequest& request) {
    return messageBox(diskBox(request)) == MsgResult::Ok ? DiskAnswer::Inserted
                                                         : DiskAnswer::Cancel;
  }
  static MessageRequest diskBox(const DiskRequest& request) {
    MessageRequest box;
    box.text = request.message;
    box.caption = " ";
    box.icon = MsgIcon::Information;
    box.buttons = MsgButtons::OkCancel;
    box.owned = true;
    box.topic = "Disk";
    return box;
  }

  // What an unattended run's answers file says for a key; nullopt when it is silent or when a
  // person answers (then nothing is decided for them).
  virtual std::optional<std::string> answer(const std::string& key) const { return std::nullopt; }
  // True when nobody answers: questions come from an answers file (and its defaults).
  virtual bool unattended() const { return false; }
  // Where the answers file gives a key ("FILE:LINE"), "" when it does not.
  virtual std::string answerPlace(const std::string& key) const { return ""; }

  // A short system beep (the asterisk sound) before a disk is asked for.
  virtual void beep() {}

  // Draws the checking-system box on the main window and returns once it shows (window message
  // 1029); the locate condition calls it before a drive search that does not service the window.
  virtual void showCheckingSystem() {}
};

}  // namespace qm
