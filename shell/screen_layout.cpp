#include "shell/screen_layout.h"

#include <algorithm>

namespace qm {

namespace {

// The offset of the part of a side of size image shown in area pixels: cut evenly on both sides
// when the image is larger.
int cutStart(int image, int area) { return image > area ? (image - area) / 2 : 0; }

uint8_t lowered(uint8_t value, int step) { return uint8_t(std::clamp(int(value) - step, 0, 255)); }

}  // namespace

std::optional<BitmapLayout> layoutBitmap(int imageWidth, int imageHeight, int placement, int right,
                                         int bottom) {
  if (imageWidth <= 0 || imageHeight <= 0 || right < 0 || bottom < 0) return std::nullopt;
  BitmapLayout out;
  if (placement == kPlacementFullScreen) {
    out.cell = stretchedBitmap(imageWidth, imageHeight, right, bottom);
    out.columns = {0};
    out.rows = {0};
    return out;
  }
  if (placement < kPlacementNone || placement > kPlacementTile) return std::nullopt;

  // right and bottom are the last pixel's coordinates: the area is one pixel larger.
  const int areaWidth = right + 1, areaHeight = bottom + 1;
  const int w = std::min(areaWidth, imageWidth), h = std::min(areaHeight, imageHeight);
  const int fx = areaWidth - w, fy = areaHeight - h;
  Blit& cell = out.cell;
  cell = Blit{0, 0, w, h, cutStart(imageWidth, areaWidth), cutStart(imageHeight, areaHeight), w, h};

  if (placement == kPlacementTile) {
    out.tiled = true;
    // A copy that starts on the last column or row still shows its first pixels there.
    for (int x = 0; x <= right; x += w) out.columns.push_back(x);
    for (int y = 0; y <= bottom; y += h) out.rows.push_back(y);
    return out;
  }

  // x and y as fractions of the free space: 0 none, 1 half, 2 all of it.
  static constexpr int kPlace[9][2] = {
      {1, 1},  // centre
      {0, 0},  // TOPLEFT
      {1, 0},  // TOPMIDDLE
      {2, 0},  // TOPRIGHT
      {2, 1},  // MIDDLERIGHT
      {2, 2},  // BOTTOMRIGHT
      {1, 2},  // BOTTOMMIDDLE
      {0, 2},  // BOTTOMLEFT
      {0, 1},  // MIDDLELEFT
  };
  auto share = [](int free, int part) { return part == 0 ? 0 : part == 1 ? free / 2 : free; };
  cell.x = share(fx, kPlace[placement][0]);
  cell.y = share(fy, kPlace[placement][1]);
  out.columns = {cell.x};
  out.rows = {cell.y};
  return out;
}

Blit stretchedBitmap(int imageWidth, int imageHeight, int right, int bottom) {
  return Blit{0, 0, right + 1, bottom + 1, 0, 0, imageWidth, imageHeight};
}

std::vector<Band> backgroundBands(Colour first, Colour second, int height) {
  if (height < 0) height = 0;
  const int n = height / kGradientBandHeight;
  // With fewer than 8 rows there is no step to divide by: the area is filled plainly.
  if (first == second || n == 0) return {Band{0, height, first}};
  const int red = (int(first.red) - int(second.red)) / n;
  const int green = (int(first.green) - int(second.green)) / n;
  const int blue = (int(first.blue) - int(second.blue)) / n;
  std::vector<Band> bands;
  bands.reserve(size_t(n) + 1);
  Colour c = first;
  for (int i = 0; i <= n; ++i) {
    bands.push_back(Band{i * kGradientBandHeight, (i + 1) * kGradientBandHeight, c});
    c = Colour{lowered(c.red, red), lowered(c.green, green), lowered(c.blue, blue)};
  }
  return bands;
}

TitleFontChoice chooseTitleFont(const TitleFont& font, int screenWidth,
                                const std::function<int(int height)>& titleWidthAt) {
  if (font.size != 0)
    return TitleFontChoice{font.size, font.bold ? kFontWeightBold : kFontWeightNormal};
  int height = kTitleFitStart;
  while (height >= kTitleFitStep + 1 && titleWidthAt(height) > screenWidth - kTitleMargin)
    height -= kTitleFitStep;
  return TitleFontChoice{height, kFontWeightBold};
}

CheckingBoxLayout checkingBoxLayout(int width, int height, int screenWidth) {
  constexpr int kMargin = 8;
  constexpr int kFrame = 4;
  const int left = width / 4, right = 3 * width / 4;
  const int top = 2 * height / 5, bottom = 3 * height / 5;
  CheckingBoxLayout box;
  box.frame = Rect{left - 6 - kMargin, top - kFrame, right + 6 + kMargin, bottom + kFrame};
  box.box = Rect{left - kMargin, top, right + kMargin, bottom};
  box.line[0] = Point{left, bottom};
  box.line[1] = Point{right + kMargin, bottom};
  box.line[2] = Point{right + kMargin, top};
  box.fontHeight = screenWidth * 24 / 800;
  box.textAt = Point{width / 2, height / 2};
  return box;
}

PopupPlacement placePopup(int screenWidth, int screenHeight, const Rect& window) {
  PopupPlacement p;
  p.x = (screenWidth - (window.right - window.left)) / 2;
  p.y = (window.top + screenHeight - window.bottom - 244) / 2 + 60;
  p.recordedTop = p.y;
  p.recordedBottom = window.bottom;
  return p;
}

unsigned introTimerMs(int seconds, int unattendedMs) {
  // Far beyond any real display time, and within what the system's timers accept.
  constexpr int kMaxSeconds = 24 * 60 * 60;
  seconds = std::clamp(seconds, 0, kMaxSeconds);
  if (unattendedMs == 0) return 1;
  // A watched run shows each screen for its delay at most: a script's day-long intro screen
  // must not hold it.
  if (unattendedMs > 0)
    return seconds > 0 ? std::min(unsigned(seconds) * 1000, unsigned(unattendedMs))
                       : unsigned(unattendedMs);
  return unsigned(seconds) * 1000;
}

}  // namespace qm
