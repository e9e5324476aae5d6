// The seam between the installer's logic and whatever shows it: real Win32 windows, the
// unattended answers file, or a scripted fake in tests.
#pragma once

#include <string>

namespace qm {

enum class MsgIcon { None, Warning, Question, Information, Error };
enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MsgResult { Ok = 1, Cancel = 2, Yes = 6, No = 7 };

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

class Ui {
 public:
  virtual ~Ui() = default;
  virtual MsgResult messageBox(const MessageRequest& request) = 0;
  // One line of the run's trace (QUILLMOUNT_LOG); views without a trace ignore it.
  virtual void trace(const std::string& line) {}
};

}  // namespace qm
