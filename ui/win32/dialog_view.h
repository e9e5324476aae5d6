// Real dialogs for the Ui seam: modal dialogs from in-memory templates, driven by their portable
// controllers, and the text metrics the screen builders measure with.
#pragma once

#include <windows.h>

#include "ui/ui.h"

namespace qm {

// Runs the dialog modally over owner (may be null). Failed when the system could not create it.
DialogOutcome runWin32Dialog(HWND owner, const DialogSpec& form, DialogController& controller);

// The text's width in pixels in a font of default height with the given face and style.
int win32TextExtent(const std::string& text, const FontSpec& font);
// The horizontal dialog base unit of the system font, in pixels.
int win32DialogBaseUnitX();

}  // namespace qm
