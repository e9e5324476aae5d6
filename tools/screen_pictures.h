// Pictures of what a simulated run showed: the main window at the machine's display size with
// its background bands, graphic and title, and each window in front of it at its place, drawn
// from the same templates and layout functions the Win32 view hands to the system. Texts are not
// rendered as letters: each is a grey bar as long as the fixed metrics measure it, and the
// words themselves go beside the picture.
#pragma once

#include <string>
#include <vector>

#include "shell/screen_layout.h"
#include "tools/png_writer.h"
#include "tools/simulation.h"
#include "ui/dialog_template.h"

namespace qm::pack {

// The system's sizes the pictures assume, in pixels; the defaults are Wine's at 96 dots an inch
// with the dialogs' "MS Sans Serif" (the Wine test of the pictures keeps them true).
struct DisplayMetrics {
  int dialogFrame = 3;     // the frame of WS_DLGFRAME and DS_MODALFRAME windows
  int captionHeight = 19;  // a dialog's caption bar, below its frame
  int mainCaption = 19;    // the maximised main window's caption: its client area starts there
  // Dialog base units of a template font of that many points.
  int baseUnitX(int points) const;
  int baseUnitY(int points) const;
};

// A template's window on the screen before anything moves it: the client area from its dialog
// units, the frame and caption round it, at (x, y).
Rect templateWindow(const ParsedTemplate& dialog, int x, int y, const DisplayMetrics& metrics);

struct ScreenPicture {
  std::string title;  // "Main window", "FirstScreen", "Popup 1" ...
  Rect window;  // the window shown in front, on the screen (of the main window: its client area)
  std::vector<std::string> texts;  // its texts, in template order
  std::vector<std::string> notes;  // what a vendor must look at ("wider than the screen ...")
  // The part of the screen the image holds: the whole screen for the main window, else the
  // windows in front of it (on the screen's part), to be shown over the main window's picture.
  Rect shown;
  std::string png;
};

// One picture of the main window, then one for each dialog, pop-up and progress window the run
// put up (message boxes are listed with their texts, not drawn). Nothing when the screen has no
// size or a side longer than kMaxPictureSide (a machine file may describe any display).
constexpr int kMaxPictureSide = 4096;
std::vector<ScreenPicture> drawScreens(const ShownScreens& screens,
                                       const DisplayMetrics& metrics = {});

}  // namespace qm::pack
