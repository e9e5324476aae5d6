// Real dialogs for the Ui seam: modal dialogs from in-memory templates, driven by their portable
// controllers, and the text metrics the screen builders measure with.
#pragma once

#include <windows.h>

#include "ui/ui.h"

namespace qm {

// Plays the user in a watched unattended run: the answer is typed into the opened dialog, the
// dialog stays up and painted for the delay, then the answer's button is pressed.
class DialogPilot {
 public:
  virtual ~DialogPilot() = default;
  // After the controller filled the controls: types the answer; the button to press.
  virtual int fill(const DialogSpec& form, DialogControls& controls) = 0;
  // The dialog is on screen and painted.
  virtual void shown(const DialogSpec& form, HWND dialog) = 0;
  virtual int delayMs() const = 0;
  // Presses the button; Failed when the dialog would stay open.
  virtual DialogOutcome press(const DialogSpec& form, DialogController& controller,
                              DialogControls& controls, int button) = 0;
};

// Runs the dialog modally over owner (may be null), centred on the screen. Failed when the system
// could not create it, or when the pilot's answer was refused.
DialogOutcome runWin32Dialog(HWND owner, const DialogSpec& form, DialogController& controller,
                             DialogPilot* pilot = nullptr);

// The text's width in pixels in a font of default height with the given face and style.
int win32TextExtent(const std::string& text, const FontSpec& font);
// The horizontal dialog base unit of the system font, in pixels.
int win32DialogBaseUnitX();

// Waits ms milliseconds while this thread's windows go on painting and answering.
void holdWindows(int ms);

}  // namespace qm
