// Where the main window draws what it draws: the screen bitmap's copies, the background bands,
// the title's font size and offsets, the checking-system box and the pop-up messages' place on
// the screen. Worked out here so that the Win32 view only draws.
#pragma once

#include <functional>
#include <optional>
#include <vector>

#include "script/settings.h"
#include "script/statement_line.h"

namespace qm {

struct Point {
  int x = 0, y = 0;
  friend bool operator==(const Point&, const Point&) = default;
};
struct Rect {
  int left = 0, top = 0, right = 0, bottom = 0;
  friend bool operator==(const Rect&, const Rect&) = default;
};

// One copy of (part of) the image: the source rectangle in the image's top-down rows to the
// destination rectangle; the sizes differ only when the image is stretched.
struct Blit {
  int x = 0, y = 0, width = 0, height = 0;
  int srcX = 0, srcY = 0, srcWidth = 0, srcHeight = 0;
  friend bool operator==(const Blit&, const Blit&) = default;
};

// Where an image of imageWidth x imageHeight goes in the area from (0, 0) to (right, bottom), both
// corners included (a client area of width W has right W - 1), by its placement: one copy, or
// for TILE the same cell repeated from the top left corner at every multiple of its size up to
// right and bottom. None for an empty image or area, or a placement that has no drawing.
struct BitmapLayout {
  Blit cell;
  bool tiled = false;
  // The left (top) edges of the tiled copies across (down) the area; {cell.x} ({cell.y}) when
  // not tiled.
  std::vector<int> columns, rows;
};
std::optional<BitmapLayout> layoutBitmap(int imageWidth, int imageHeight, int placement, int right,
                                         int bottom);

// The whole area from (0, 0) to (right, bottom), the image stretched over it (the intro screen
// and FULLSCREEN).
Blit stretchedBitmap(int imageWidth, int imageHeight, int right, int bottom);

// One horizontal band of the background, spanning the full width.
struct Band {
  int top = 0, bottom = 0;
  Colour colour;
  friend bool operator==(const Band&, const Band&) = default;
};
constexpr int kGradientBandHeight = 8;

// The background of a client area height pixels high: one band of colour 1 when the two colours
// are equal or the area is too low for a band of its own, else the 8-pixel gradient bands from
// colour 1 towards colour 2.
std::vector<Band> backgroundBands(Colour first, Colour second, int height);

// The title's font height and weight. titleWidthAt measures the title in the title face at a
// height, bold; it is asked only when the title has to be fitted to the screen width.
struct TitleFontChoice {
  int height = 0;
  int weight = 0;
  friend bool operator==(const TitleFontChoice&, const TitleFontChoice&) = default;
};
constexpr int kTitleFitStart = 40;
constexpr int kTitleFitStep = 4;
constexpr int kTitleMargin = 20;
constexpr int kFontWeightNormal = 400;
constexpr int kFontWeightBold = 700;
TitleFontChoice chooseTitleFont(const TitleFont& font, int screenWidth,
                                const std::function<int(int height)>& titleWidthAt);
// The shadow is written first, in the default text colour, then the title over it.
constexpr Point kTitleShadowAt{23, 23};
constexpr Point kTitleAt{20, 20};

// The checking-system box on a client area of width x height: a dark grey frame, a white box
// with a black line along its lower and right edges, and the text centred on textAt (its base
// line).
struct CheckingBoxLayout {
  Rect frame;
  Rect box;
  Point line[3];
  int fontHeight = 0;
  Point textAt;
};
constexpr int kCheckingFontWeight = 600;
constexpr const char* kCheckingFontFace = "MS Sans Serif";
constexpr Colour kCheckingFrameColour{0x3F, 0x3F, 0x3F};
CheckingBoxLayout checkingBoxLayout(int width, int height, int screenWidth);

// A pop-up message window moved from rect (as its template placed it) to (x, y): centred across
// the screen and a little below the middle. The progress dialog then opens below it, at the
// moved top plus the window's bottom edge before the move plus a gap.
struct PopupPlacement {
  int x = 0, y = 0;
  int recordedTop = 0;     // the moved top edge
  int recordedBottom = 0;  // the bottom edge before the move
  int progressTop() const { return recordedTop + recordedBottom + kProgressGap; }
  static constexpr int kProgressGap = 24;
};
PopupPlacement placePopup(int screenWidth, int screenHeight, const Rect& window);

// The intro screen's timer in milliseconds, 0 for none (it waits for a key or a click).
// unattendedMs: -1 when a person runs the installation; 0 in an unattended run, which has nobody
// to wait for; above 0 in a watched run, how long a screen stays up at most.
unsigned introTimerMs(int seconds, int unattendedMs);

}  // namespace qm
