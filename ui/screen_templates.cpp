#include "ui/screen_templates.h"

#include <algorithm>

#include "base/text.h"

namespace qm {
namespace {

constexpr uint16_t kNoId = 0xFFFF;  // -1: a control nobody addresses
constexpr int kMinScreenColumns = 40;

int roundUpEven(int v) { return v + (v & 1); }

bool fits(const TextBlock& block) {
  return block.totalLines() <= kMaxScreenLines && block.width <= kMaxScreenWidth;
}

TemplateHeader screenHeader(uint32_t style, int cx, int cy, int16_t size, std::string face) {
  TemplateHeader h;
  h.style = style;
  h.cx = int16_t(cx);
  h.cy = int16_t(cy);
  h.fontSize = size;
  h.fontFace = std::move(face);
  return h;
}

std::string fromThirdCharacter(const std::string& line) {
  return line.size() > 2 ? line.substr(2) : std::string();
}

// A numbered line of a group block: finds its marker, gives out the next group index.
// Returns false for a line without a marker or when the tables are full.
bool takeGroupLine(const std::string& line, GroupTables& groups, size_t& markerPos,
                   std::string& text) {
  markerPos = line.find("[ ]");
  bool marked = false;
  if (markerPos == std::string::npos) {
    markerPos = line.find("[X]");
    if (markerPos == std::string::npos) return false;
    marked = true;
  }
  if (groups.count >= kMaxGroupIndexes) return false;
  int number = static_cast<int>(parseLeadingInt(line.substr(0, 2)));
  int index = groups.count++;
  groups.indexOfNumber[number] = index;
  groups.numberOfIndex[index] = number;
  groups.initialMark[index] = marked;
  text = line.substr(markerPos + 3);
  return true;
}

int markerX(size_t markerPos) {
  int x = 4 * (static_cast<int>(markerPos) - 2);
  return x < 0 ? 0 : x;  // a marker right after the digit would put the box off the dialog
}

int16_t fontSizeOr10(const ScreenFont& font) { return int16_t(font.size > 0 ? font.size : 10); }
std::string faceOrDefault(const ScreenFont& font, const DialogTexts& texts) {
  return font.face.empty() ? texts.fontName : font.face;
}

}  // namespace

std::optional<DialogTemplate> buildScreenTemplate(const TextBlock& block, ScreenKind kind,
                                                  const ScreenFont& font, const DialogTexts& texts,
                                                  GroupTables& groups) {
  if (!fits(block)) return std::nullopt;
  int w = roundUpEven(block.width);
  if (w < kMinScreenColumns) w = kMinScreenColumns;
  int h = roundUpEven(block.totalLines());
  TemplateHeader header = screenHeader(kWsPopup | kWsDlgFrame | kDsSetFont, 4 * w, 8 * h + 16,
                                       fontSizeOr10(font), faceOrDefault(font, texts));
  std::vector<TemplateItem> items;
  int boxes = 0;
  for (int n = 0; n < block.totalLines(); ++n) {
    const std::string& line = block.lines[n];
    if (line.empty()) continue;
    if (kind == ScreenKind::Groups && line[0] >= '0' && line[0] <= '9') {
      size_t marker;
      std::string text;
      if (!takeGroupLine(line, groups, marker, text)) return std::nullopt;
      items.push_back(templateItem(kWsTabStop | kBsAutoCheckBox, markerX(marker), 8 * n, 4 * w, 8,
                                   uint16_t(100 + boxes++), kClassButton, text));
    } else {
      std::string text = kind == ScreenKind::Groups ? fromThirdCharacter(line) : line;
      items.push_back(templateItem(kWsGroup, 0, 8 * n, 4 * w, 8, kNoId, kClassStatic, text));
    }
  }
  int okX = kind == ScreenKind::OkOnly ? 2 * w - 20 : w - 12;
  items.push_back(
      templateItem(kWsTabStop | kBsDefPushButton, okX, 8 * h, 40, 12, 1, kClassButton, texts.ok));
  if (kind != ScreenKind::OkOnly)
    items.push_back(templateItem(kWsTabStop | kBsPushButton, 3 * w - 28, 8 * h, 40, 12, 2,
                                 kClassButton, texts.cancel));
  return writeDialogTemplate(header, items);
}

std::optional<DialogTemplate> buildExclusiveGroupTemplate(const TextBlock& block,
                                                          const ScreenFont& font,
                                                          const DialogTexts& texts,
                                                          GroupTables& groups,
                                                          bool& radioGroupStarted) {
  if (!fits(block)) return std::nullopt;
  int w = roundUpEven(block.width);
  if (w < kMinScreenColumns) w = kMinScreenColumns;
  int h = roundUpEven(block.totalLines());
  TemplateHeader header = screenHeader(kWsPopup | kWsDlgFrame | kDsSetFont, 4 * w, 10 * h + 19,
                                       fontSizeOr10(font), faceOrDefault(font, texts));
  std::vector<TemplateItem> items;
  int buttons = 0;
  for (int n = 0; n < block.totalLines(); ++n) {
    const std::string& line = block.lines[n];
    if (line.empty()) continue;
    if (line[0] >= '0' && line[0] <= '9') {
      size_t marker;
      std::string text;
      if (!takeGroupLine(line, groups, marker, text)) return std::nullopt;
      uint32_t style = kWsTabStop | kBsAutoRadioButton;
      if (!radioGroupStarted) {
        style |= kWsGroup;
        radioGroupStarted = true;
      }
      items.push_back(templateItem(style, markerX(marker), 10 * n, 4 * w, 10,
                                   uint16_t(100 + buttons++), kClassButton, text));
    } else {
      items.push_back(
          templateItem(0, 0, 10 * n, 4 * w, 10, kNoId, kClassStatic, fromThirdCharacter(line)));
    }
  }
  items.push_back(templateItem(kWsTabStop | kBsDefPushButton, 4 * ((w - 30) / 2), 10 * h, 36, 12, 1,
                               kClassButton, texts.ok));
  items.push_back(templateItem(kWsTabStop | kBsPushButton, 4 * (w / 2) + 20, 10 * h, 36, 12, 2,
                               kClassButton, texts.cancel));
  return writeDialogTemplate(header, items);
}

std::optional<DialogTemplate> buildPopupTemplate(const TextBlock& block, const FontSpec& font) {
  if (!fits(block)) return std::nullopt;
  int w = roundUpEven(block.width);
  TemplateHeader header = screenHeader(kWsPopup | kWsVisible | kWsDlgFrame | kDsSetFont, 4 * w,
                                       8 * block.totalLines(), int16_t(font.size), font.face);
  std::vector<TemplateItem> items;
  for (int n = 0; n < block.totalLines(); ++n) {
    const std::string& line = block.lines[n];
    if (line.empty()) continue;
    items.push_back(templateItem(0, 0, 8 * n, 4 * w, 8, kNoId, kClassStatic, line));
  }
  return writeDialogTemplate(header, items);
}

TallScreenLayout fitTallScreen(int screenHeight, int windowHeight, int clientHeight,
                               int buttonHeight, int margin) {
  TallScreenLayout layout;
  if (windowHeight <= screenHeight) return layout;
  const int frame = windowHeight - clientHeight;  // caption and borders
  const int client = std::max(screenHeight - frame, buttonHeight + 2 * margin + 1);
  layout.needed = true;
  layout.windowHeight = client + frame;
  layout.buttonTop = client - margin - buttonHeight;
  layout.textHeight = layout.buttonTop - margin;
  return layout;
}

std::string scrollingText(std::vector<std::pair<int, std::string>> rows, int rowHeight) {
  std::sort(rows.begin(), rows.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  std::string text;
  int row = 0;
  for (const auto& [top, line] : rows) {
    const int at = rowHeight > 0 ? top / rowHeight : row;
    for (; row < at; ++row) text += "\r\n";  // the empty lines before it
    text += line + "\r\n";
    row = at + 1;
  }
  if (text.size() >= 2) text.resize(text.size() - 2);
  return text;
}

}  // namespace qm
