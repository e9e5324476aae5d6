#include "tools/screen_pictures.h"

#include <algorithm>
#include <optional>

#include "ui/progress_dialog.h"
#include "ui/screen_templates.h"

namespace qm::pack {

namespace {

constexpr Colour kGrey{192, 192, 192};
constexpr Colour kWhite{255, 255, 255};
constexpr Colour kShadow{128, 128, 128};
constexpr Colour kBlack{0, 0, 0};
constexpr Colour kCaption{0, 0, 128};
constexpr Colour kTextGrey{96, 96, 96};
constexpr int kCheckBoxSide = 13;
// Marks a check box or radio button as checked in the pictures' copy of a template (a bit the
// button styles the templates use leave free).
constexpr uint32_t kCheckedMark = 0x00008000;

class Canvas {
 public:
  Canvas(int width, int height) {
    image_.width = width;
    image_.height = height;
    image_.rgb.assign(size_t(width) * size_t(height) * 3, 0);
  }
  void fill(const Rect& r, Colour c) {
    const int left = std::max(r.left, 0), right = std::min(r.right, image_.width);
    const int top = std::max(r.top, 0), bottom = std::min(r.bottom, image_.height);
    for (int y = top; y < bottom; ++y)
      for (int x = left; x < right; ++x) put(x, y, c);
  }
  void frame(const Rect& r, Colour topLeft, Colour bottomRight) {
    fill({r.left, r.top, r.right, r.top + 1}, topLeft);
    fill({r.left, r.top, r.left + 1, r.bottom}, topLeft);
    fill({r.left, r.bottom - 1, r.right, r.bottom}, bottomRight);
    fill({r.right - 1, r.top, r.right, r.bottom}, bottomRight);
  }
  // A line of text as a bar half the line high, as long as the text is wide (cut to the box).
  void textBar(const Rect& box, int width, Colour c, bool centred = false) {
    width = std::min(width, box.right - box.left);
    if (width <= 0) return;
    const int h = box.bottom - box.top;
    const int left = centred ? box.left + (box.right - box.left - width) / 2 : box.left;
    fill({left, box.top + h / 4, left + width, box.top + h / 4 + std::max(1, h / 2)}, c);
  }
  void put(int x, int y, Colour c) {
    if (x < 0 || y < 0 || x >= image_.width || y >= image_.height) return;
    uint8_t* p = &image_.rgb[(size_t(y) * size_t(image_.width) + size_t(x)) * 3];
    p[0] = c.red;
    p[1] = c.green;
    p[2] = c.blue;
  }
  const RgbImage& image() const { return image_; }
  // The part r of the image (r lies within it).
  RgbImage crop(const Rect& r) const {
    RgbImage part{r.right - r.left, r.bottom - r.top, {}};
    part.rgb.reserve(size_t(part.width) * size_t(part.height) * 3);
    for (int y = r.top; y < r.bottom; ++y) {
      auto row = image_.rgb.begin() +
                 std::ptrdiff_t((size_t(y) * size_t(image_.width) + size_t(r.left)) * 3);
      part.rgb.insert(part.rgb.end(), row, row + std::ptrdiff_t(part.width) * 3);
    }
    return part;
  }

 private:
  RgbImage image_;
};

// a * b / c rounded to the nearest, as the system turns dialog units into pixels.
int mulDiv(int a, int b, int c) { return (2 * a * b + c) / (2 * c); }

bool intersects(const Rect& a, const Rect& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

// The bitmap's pixel at (x, y) in top-down rows; nullopt for a compressed bitmap, which is shown
// as its outline only.
std::optional<Colour> bitmapPixel(const ScreenBitmap& bitmap, int x, int y) {
  const std::vector<uint8_t>& image = bitmap.image();
  auto at32 = [&](size_t offset) {
    return uint32_t(image[offset]) | uint32_t(image[offset + 1]) << 8 |
           uint32_t(image[offset + 2]) << 16 | uint32_t(image[offset + 3]) << 24;
  };
  if (at32(kBitmapCompressionOffset) != kBitmapRgb) return std::nullopt;
  const bool bottomUp = int32_t(at32(kBitmapHeightOffset)) > 0;
  const int bits = bitmap.bitCount();
  const size_t stride = ((size_t(bitmap.width()) * size_t(bits) + 31) / 32) * 4;
  const size_t row = size_t(bottomUp ? bitmap.height() - 1 - y : y);
  const size_t start = bitmap.bitsOffset() + row * stride;
  const size_t bit = size_t(x) * size_t(bits);
  if (start + (bit + size_t(bits) + 7) / 8 > image.size()) return kBlack;
  const uint8_t* p = &image[start + bit / 8];
  if (bits >= 24) return Colour{p[2], p[1], p[0]};
  if (bits == 16) {
    const unsigned v = unsigned(p[0]) | unsigned(p[1]) << 8;
    return Colour{uint8_t((v >> 10 & 31) * 255 / 31), uint8_t((v >> 5 & 31) * 255 / 31),
                  uint8_t((v & 31) * 255 / 31)};
  }
  const unsigned index = (p[0] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
  const std::vector<PaletteColour> palette = bitmap.colours();
  if (index >= palette.size()) return kBlack;
  return Colour{palette[index].red, palette[index].green, palette[index].blue};
}

// The screen graphic where the main window's view puts it; its covered area is returned.
std::optional<Rect> drawGraphic(Canvas& canvas, const ScreenBitmap& bitmap, const Rect& client,
                                std::vector<std::string>& notes) {
  std::optional<BitmapLayout> layout =
      layoutBitmap(bitmap.width(), bitmap.height(), bitmap.placement,
                   client.right - client.left - 1, client.bottom - client.top - 1);
  if (!layout) return std::nullopt;
  const Blit& cell = layout->cell;
  const bool plain = bitmapPixel(bitmap, 0, 0).has_value();
  if (!plain) notes.push_back("the graphic is run-length encoded: only its place is drawn");
  Rect covered{client.right, client.bottom, client.left, client.top};
  for (int top : layout->rows)
    for (int left : layout->columns) {
      const Rect to{client.left + left, client.top + top, client.left + left + cell.width,
                    client.top + top + cell.height};
      covered = {std::min(covered.left, to.left), std::min(covered.top, to.top),
                 std::max(covered.right, to.right), std::max(covered.bottom, to.bottom)};
      if (!plain) {
        canvas.fill(to, kShadow);
        canvas.frame(to, kBlack, kBlack);
        continue;
      }
      for (int y = 0; y < cell.height; ++y)
        for (int x = 0; x < cell.width; ++x) {
          if (to.left + x >= client.right || to.top + y >= client.bottom) continue;
          const int sx = cell.srcX + x * cell.srcWidth / std::max(cell.width, 1);
          const int sy = cell.srcY + y * cell.srcHeight / std::max(cell.height, 1);
          canvas.put(to.left + x, to.top + y, *bitmapPixel(bitmap, sx, sy));
        }
    }
  return covered;
}

// The main window, maximised: its caption bar and the client area the script paints.
std::vector<std::string> drawMainWindow(Canvas& canvas, const ShownScreens& s,
                                        const DisplayMetrics& m) {
  std::vector<std::string> notes;
  const int w = s.screenWidth, h = s.screenHeight;
  canvas.fill({0, 0, w, m.mainCaption}, kCaption);
  const Rect client{0, m.mainCaption, w, h};
  const int clientHeight = client.bottom - client.top;
  const bool covered = s.graphic.loaded() && s.graphic.covers(w - 1, clientHeight - 1);
  if (!covered)
    for (const Band& band :
         backgroundBands(s.settings.screenColour1, s.settings.screenColour2, clientHeight))
      canvas.fill({0, client.top + band.top, w, client.top + band.bottom}, band.colour);
  std::optional<Rect> graphic;
  if (s.graphic.loaded()) graphic = drawGraphic(canvas, s.graphic, client, notes);
  if (s.settings.title.empty()) return notes;
  // A bold title letter is taken as six tenths of the font's height wide.
  const auto width = [&](int height) { return int(s.settings.title.size()) * height * 6 / 10; };
  const TitleFontChoice font = chooseTitleFont(s.settings.titleFont, w, width);
  const int titleWidth = width(font.height);
  const Rect shadow{kTitleShadowAt.x, client.top + kTitleShadowAt.y, kTitleShadowAt.x + titleWidth,
                    client.top + kTitleShadowAt.y + font.height};
  const Rect title{kTitleAt.x, client.top + kTitleAt.y, kTitleAt.x + titleWidth,
                   client.top + kTitleAt.y + font.height};
  canvas.textBar(shadow, titleWidth, kBlack);
  canvas.textBar(title, titleWidth, s.settings.titleColour);
  if (title.right > w)
    notes.push_back("the title runs " + std::to_string(title.right - w) +
                    " pixels past the screen's right edge");
  if (graphic && intersects(*graphic, title))
    notes.push_back("the screen graphic covers the title");
  return notes;
}

bool isButton(const TemplateItem& item) { return item.classAtom == kClassButton; }

Rect itemRect(const TemplateItem& item, Point origin, int bx, int by) {
  const int left = origin.x + mulDiv(item.x, bx, 4), top = origin.y + mulDiv(item.y, by, 8);
  return {left, top, left + mulDiv(item.cx, bx, 4), top + mulDiv(item.cy, by, 8)};
}

void drawItem(Canvas& canvas, const TemplateItem& item, const Rect& r, int charWidth) {
  const int textWidth = int(item.text.size()) * charWidth;
  if (isButton(item)) {
    const uint32_t kind = item.style & 0xF;
    if (kind == kBsPushButton || kind == kBsDefPushButton) {
      canvas.fill(r, kGrey);
      canvas.frame(r, kWhite, kBlack);
      canvas.textBar(r, textWidth, kTextGrey, true);
      return;
    }
    const int top = r.top + (r.bottom - r.top - kCheckBoxSide) / 2;
    const Rect box{r.left, top, r.left + kCheckBoxSide, top + kCheckBoxSide};
    canvas.fill(box, kWhite);
    canvas.frame(box, kShadow, kGrey);
    if (item.style & kCheckedMark)
      canvas.fill({box.left + 3, box.top + 3, box.right - 3, box.bottom - 3}, kBlack);
    canvas.textBar({box.right + 4, r.top, r.right, r.bottom}, textWidth, kTextGrey);
    return;
  }
  if (item.classAtom == kClassEdit) {
    canvas.fill(r, (item.style & kWsDisabled) ? kGrey : kWhite);
    canvas.frame(r, kShadow, kWhite);
    canvas.textBar({r.left + 2, r.top, r.right - 2, r.bottom}, textWidth, kTextGrey);
    return;
  }
  if ((item.style & 0x1F) == kSsBlackFrame) {
    canvas.frame(r, kBlack, kBlack);
    return;
  }
  canvas.textBar(r, textWidth, kTextGrey);
}

struct DialogPlace {
  Rect window;
  std::vector<std::string> notes;
};

// Draws a template's window with its top left corner at (x, y) (the view's own placement).
// A screen of lines taller than the screen is cut to it with one scrolling text, as the view
// does.
DialogPlace drawDialog(Canvas& canvas, const ParsedTemplate& t, int x, int y, bool windowColour,
                       const ShownScreens& s, const DisplayMetrics& m) {
  DialogPlace place;
  Rect window = templateWindow(t, x, y, m);
  const int frame = m.dialogFrame;
  const int caption = (t.header.style & kWsCaption) == kWsCaption ? m.captionHeight : 0;
  const int bx = m.baseUnitX(t.header.fontSize), by = m.baseUnitY(t.header.fontSize);
  Point origin{window.left + frame, window.top + frame + caption};
  std::vector<TemplateItem> items = t.items;
  std::optional<Rect> scroller;
  std::optional<int> buttonTop;
  bool linesOnly = !items.empty();
  const TemplateItem* button = nullptr;
  for (const TemplateItem& item : items) {
    if (item.id == 1 || item.id == 2)
      button = &item;
    else if (item.classAtom != kClassStatic)
      linesOnly = false;
  }
  const int height = window.bottom - window.top;
  if (linesOnly && button && height > s.screenHeight) {
    const Rect b = itemRect(*button, origin, bx, by);
    const int clientHeight = window.bottom - frame - origin.y;
    TallScreenLayout tall =
        fitTallScreen(s.screenHeight, height, clientHeight, b.bottom - b.top, 4 * by / 8);
    if (tall.needed) {
      // The view centres the cut window again.
      window.top = (s.screenHeight - tall.windowHeight) / 2;
      window.bottom = window.top + tall.windowHeight;
      origin.y = window.top + frame + caption;
      scroller = Rect{origin.x, origin.y, window.right - frame, origin.y + tall.textHeight};
      place.notes.push_back("taller than the " + std::to_string(s.screenHeight) +
                            "-pixel screen by " + std::to_string(height - s.screenHeight) +
                            " pixels: its lines scroll in one text above the buttons");
      std::erase_if(items, [](const TemplateItem& i) { return i.id != 1 && i.id != 2; });
      buttonTop = tall.buttonTop;
    }
  }
  const int width = window.right - window.left;
  if (width > s.screenWidth)
    place.notes.push_back("wider than the " + std::to_string(s.screenWidth) + "-pixel screen by " +
                          std::to_string(width - s.screenWidth) + " pixels: its sides are cut off");
  canvas.fill(window, kGrey);
  canvas.frame(window, kWhite, kBlack);
  if (caption)
    canvas.fill({window.left + frame, window.top + frame, window.right - frame,
                 window.top + frame + caption},
                kCaption);
  canvas.fill({origin.x, origin.y, window.right - frame, window.bottom - frame},
              windowColour ? kWhite : kGrey);
  if (scroller) {
    canvas.fill(*scroller, kWhite);
    canvas.frame(*scroller, kShadow, kWhite);
    for (int row = scroller->top + 2; row + by <= scroller->bottom; row += by)
      canvas.textBar({scroller->left + 2, row, scroller->right - 20, row + by},
                     scroller->right - scroller->left, kTextGrey);
  }
  for (const TemplateItem& item : items) {
    Rect r = itemRect(item, origin, bx, by);
    if (buttonTop)
      r = {r.left, origin.y + *buttonTop, r.right, origin.y + *buttonTop + r.bottom - r.top};
    drawItem(canvas, item, r, bx);
  }
  place.window = window;
  return place;
}

struct ScreenState {
  std::optional<ParsedTemplate> popup;
  Rect popupWindow;
  bool popupPlaced = false;
  int popupTop = 0, popupBottom = 0;
  bool progress = false;
};

}  // namespace

// Measured at 10 points (8 by 15); other sizes are scaled from it.
int DisplayMetrics::baseUnitX(int points) const { return std::max(1, (points * 4 + 2) / 5); }
int DisplayMetrics::baseUnitY(int points) const { return std::max(1, (points * 3 + 1) / 2); }

Rect templateWindow(const ParsedTemplate& t, int x, int y, const DisplayMetrics& m) {
  const int bx = m.baseUnitX(t.header.fontSize), by = m.baseUnitY(t.header.fontSize);
  const int caption = (t.header.style & kWsCaption) == kWsCaption ? m.captionHeight : 0;
  const int w = mulDiv(t.header.cx, bx, 4) + 2 * m.dialogFrame;
  const int h = mulDiv(t.header.cy, by, 8) + 2 * m.dialogFrame + caption;
  return {x, y, x + w, y + h};
}

std::vector<ScreenPicture> drawScreens(const ShownScreens& s, const DisplayMetrics& m) {
  std::vector<ScreenPicture> pictures;
  if (s.screenWidth <= 0 || s.screenHeight <= 0 || s.screenWidth > kMaxPictureSide ||
      s.screenHeight > kMaxPictureSide)
    return pictures;
  Canvas backdrop(s.screenWidth, s.screenHeight);
  std::vector<std::string> mainNotes;
  if (s.mainWindow) {
    mainNotes = drawMainWindow(backdrop, s, m);
    // The window the picture is about is the main window's client area, which the script paints.
    ScreenPicture main{"Main window",
                       {0, m.mainCaption, s.screenWidth, s.screenHeight},
                       {},
                       mainNotes,
                       {0, 0, s.screenWidth, s.screenHeight},
                       {}};
    if (!s.settings.title.empty()) main.texts.push_back(s.settings.title);
    main.png = encodePng(backdrop.image());
    pictures.push_back(std::move(main));
  }
  ScreenState state;
  ParsedTemplate progress;
  parseDialogTemplate(buildFixedDialogTemplate(100), progress);
  auto centred = [&](const ParsedTemplate& t) {
    Rect r = templateWindow(t, 0, 0, m);
    return Point{(s.screenWidth - r.right) / 2, (s.screenHeight - r.bottom) / 2};
  };
  for (const ShownWindow& shown : s.windows) {
    ParsedTemplate t;
    const bool parsed = parseDialogTemplate(shown.templateBytes, t);
    switch (shown.kind) {
      case ShownWindow::Kind::PopupGone:
        state.popup.reset();
        continue;
      case ShownWindow::Kind::ProgressGone:
        state.progress = false;
        continue;
      case ShownWindow::Kind::Message:
        continue;
      case ShownWindow::Kind::Popup:
        if (!parsed) continue;
        state.popup = t;
        break;
      case ShownWindow::Kind::Progress:
        state.progress = true;
        break;
      case ShownWindow::Kind::Dialog:
        if (!parsed) continue;
        // The texts and marks the dialog's controller filled in as it opened.
        for (TemplateItem& item : t.items) {
          for (const auto& [id, text] : shown.controlTexts)
            if (id == item.id) item.text = text;
          if (std::find(shown.checked.begin(), shown.checked.end(), item.id) != shown.checked.end())
            item.style |= kCheckedMark;
        }
        break;
    }
    Canvas canvas = backdrop;
    ScreenPicture picture{shown.topic, {}, {}, {}, {}, {}};
    Rect front{s.screenWidth, s.screenHeight, 0, 0};
    auto inFront = [&front](const Rect& r) {
      front = {std::min(front.left, r.left), std::min(front.top, r.top),
               std::max(front.right, r.right), std::max(front.bottom, r.bottom)};
    };
    auto texts = [&picture](const ParsedTemplate& from) {
      for (const TemplateItem& item : from.items)
        if (!item.text.empty()) picture.texts.push_back(item.text);
    };
    // The pop-up and the progress window stay up together; a modal dialog opens over both.
    if (state.popup) {
      // The view creates the pop-up with its client area at its template's place in the main
      // window's client area, and then moves it.
      const ParsedTemplate& pop = *state.popup;
      const int frame = m.dialogFrame;
      Rect before = templateWindow(
          pop, mulDiv(pop.header.x, m.baseUnitX(pop.header.fontSize), 4) - frame,
          m.mainCaption + mulDiv(pop.header.y, m.baseUnitY(pop.header.fontSize), 8) - frame, m);
      PopupPlacement p = placePopup(s.screenWidth, s.screenHeight, before);
      DialogPlace placed = drawDialog(canvas, *state.popup, p.x, p.y, false, s, m);
      inFront(placed.window);
      state.popupPlaced = true;
      state.popupTop = p.recordedTop;
      state.popupBottom = p.recordedBottom;
      if (shown.kind == ShownWindow::Kind::Popup) {
        picture.window = placed.window;
        picture.notes = placed.notes;
        texts(*state.popup);
      }
    }
    if (state.progress) {
      Rect size = templateWindow(progress, 0, 0, m);
      WindowPoint at = progressPosition(s.screenWidth, s.screenHeight, size.right, size.bottom,
                                        state.popupPlaced, state.popupTop, state.popupBottom);
      DialogPlace placed = drawDialog(canvas, progress, at.x, at.y, true, s, m);
      inFront(placed.window);
      if (shown.kind == ShownWindow::Kind::Progress) {
        picture.window = placed.window;
        picture.notes = placed.notes;
      }
    }
    if (shown.kind == ShownWindow::Kind::Dialog) {
      const Point at = centred(t);
      DialogPlace placed = drawDialog(canvas, t, at.x, at.y, shown.windowColour, s, m);
      inFront(placed.window);
      picture.window = placed.window;
      picture.notes = placed.notes;
      texts(t);
    }
    // At least one pixel, even of a window wholly off the screen.
    front = {
        std::clamp(front.left, 0, s.screenWidth - 1), std::clamp(front.top, 0, s.screenHeight - 1),
        std::clamp(front.right, 1, s.screenWidth), std::clamp(front.bottom, 1, s.screenHeight)};
    front.right = std::max(front.right, front.left + 1);
    front.bottom = std::max(front.bottom, front.top + 1);
    picture.shown = front;
    picture.png = encodePng(canvas.crop(front));
    pictures.push_back(std::move(picture));
  }
  return pictures;
}

}  // namespace qm::pack
