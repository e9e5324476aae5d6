#include "ui/dialog_template.h"

namespace qm {
namespace {

// Windows-1252 code points for 0x80..0x9F; the five unassigned bytes map to themselves, as
// the system's conversion does.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Offsets inside the fixed part of a template header and of an item.
constexpr size_t kHeaderFixedBytes = 18;  // style, exStyle, count, x, y, cx, cy
constexpr size_t kHeaderCountOffset = 8;
constexpr size_t kItemFixedBytes = 18;  // style, exStyle, x, y, cx, cy, id

void put16(DialogTemplate& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v & 0xFF));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void put32(DialogTemplate& out, uint32_t v) {
  put16(out, static_cast<uint16_t>(v & 0xFFFF));
  put16(out, static_cast<uint16_t>(v >> 16));
}
void putText(DialogTemplate& out, const std::string& text) {
  for (char16_t c : ansiToUtf16(text)) put16(out, c);
  put16(out, 0);
}
void alignDword(DialogTemplate& out) {
  while (out.size() % 4 != 0) out.push_back(0);
}

uint16_t get16(const DialogTemplate& b, size_t at) { return uint16_t(b[at] | (b[at + 1] << 8)); }
uint32_t get32(const DialogTemplate& b, size_t at) {
  return uint32_t(get16(b, at)) | (uint32_t(get16(b, at + 2)) << 16);
}

// Reads a UTF-16 string back to ANSI (characters above 0xFF become '?'); false when it runs off
// the buffer.
bool getText(const DialogTemplate& b, size_t& at, std::string& out) {
  out.clear();
  for (;;) {
    if (at + 2 > b.size()) return false;
    uint16_t c = get16(b, at);
    at += 2;
    if (c == 0) return true;
    char ansi = '?';
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
      ansi = static_cast<char>(c);
    } else {
      for (int i = 0; i < 32; ++i)
        if (kCp1252High[i] == c) ansi = static_cast<char>(0x80 + i);
    }
    out.push_back(ansi);
  }
}

constexpr uint32_t kEditStyle = kWsBorder | kWsTabStop;
constexpr uint32_t kButtonStyle = kWsTabStop;

void addPromptAndButtons(std::vector<TemplateItem>& items) {
  items.push_back(templateItem(0, 8, 4, 170, 10, 301, kClassStatic));
  items.push_back(templateItem(0, 8, 12, 170, 10, 302, kClassStatic));
}
void addOkCancel(std::vector<TemplateItem>& items) {
  items.push_back(
      templateItem(kButtonStyle | kBsDefPushButton, 36, 46, 36, 12, 1, kClassButton, "OK"));
  items.push_back(
      templateItem(kButtonStyle | kBsPushButton, 108, 46, 36, 12, 2, kClassButton, "Cancel"));
}

}  // namespace

TemplateItem templateItem(uint32_t style, int x, int y, int cx, int cy, uint16_t id, uint16_t cls,
                          std::string text) {
  TemplateItem it;
  it.style = kWsChild | kWsVisible | style;
  it.x = int16_t(x);
  it.y = int16_t(y);
  it.cx = int16_t(cx);
  it.cy = int16_t(cy);
  it.id = id;
  it.classAtom = cls;
  it.text = std::move(text);
  return it;
}

std::u16string ansiToUtf16(const std::string& text) {
  std::u16string out;
  out.reserve(text.size());
  for (unsigned char c : text) out.push_back(c >= 0x80 && c < 0xA0 ? kCp1252High[c - 0x80] : c);
  return out;
}

DialogTemplate writeDialogTemplate(const TemplateHeader& header,
                                   const std::vector<TemplateItem>& items) {
  DialogTemplate out;
  out.reserve(64 + items.size() * 64);
  put32(out, header.style);
  put32(out, 0);
  put16(out, static_cast<uint16_t>(items.size()));
  put16(out, uint16_t(header.x));
  put16(out, uint16_t(header.y));
  put16(out, uint16_t(header.cx));
  put16(out, uint16_t(header.cy));
  put16(out, 0);  // no menu
  put16(out, 0);  // the predefined dialog class
  putText(out, header.title);
  if (header.style & kDsSetFont) {
    put16(out, uint16_t(header.fontSize));
    putText(out, header.fontFace);
  }
  for (const TemplateItem& it : items) {
    alignDword(out);
    put32(out, it.style);
    put32(out, 0);
    put16(out, uint16_t(it.x));
    put16(out, uint16_t(it.y));
    put16(out, uint16_t(it.cx));
    put16(out, uint16_t(it.cy));
    put16(out, it.id);
    put16(out, 0xFFFF);
    put16(out, it.classAtom);
    putText(out, it.text);
    put16(out, 0);  // no creation data
  }
  return out;
}

bool parseDialogTemplate(const DialogTemplate& b, ParsedTemplate& out) {
  out = {};
  if (b.size() < kHeaderFixedBytes + 4) return false;
  TemplateHeader& h = out.header;
  h.style = get32(b, 0);
  size_t count = get16(b, kHeaderCountOffset);
  h.x = int16_t(get16(b, 10));
  h.y = int16_t(get16(b, 12));
  h.cx = int16_t(get16(b, 14));
  h.cy = int16_t(get16(b, 16));
  size_t at = kHeaderFixedBytes;
  if (get16(b, at) != 0 || get16(b, at + 2) != 0) return false;  // menus and classes: not ours
  at += 4;
  if (!getText(b, at, h.title)) return false;
  if (h.style & kDsSetFont) {
    if (at + 2 > b.size()) return false;
    h.fontSize = int16_t(get16(b, at));
    at += 2;
    if (!getText(b, at, h.fontFace)) return false;
  }
  for (size_t i = 0; i < count; ++i) {
    at = (at + 3) & ~size_t(3);
    if (at + kItemFixedBytes + 4 > b.size()) return false;
    TemplateItem it;
    it.style = get32(b, at);
    it.x = int16_t(get16(b, at + 8));
    it.y = int16_t(get16(b, at + 10));
    it.cx = int16_t(get16(b, at + 12));
    it.cy = int16_t(get16(b, at + 14));
    it.id = get16(b, at + 16);
    at += kItemFixedBytes;
    if (get16(b, at) != 0xFFFF) return false;
    it.classAtom = get16(b, at + 2);
    at += 4;
    if (!getText(b, at, it.text)) return false;
    if (at + 2 > b.size()) return false;
    at += 2 + get16(b, at);
    out.items.push_back(std::move(it));
  }
  return true;
}

DialogTemplate buildFixedDialogTemplate(int resourceId) {
  TemplateHeader h;
  h.style = kWsPopup | kWsCaption | kWsSysMenu | kDsModalFrame | kDsSetFont;
  h.cx = 180;
  h.cy = 64;
  h.fontSize = 10;
  h.fontFace = "MS Sans Serif";
  std::vector<TemplateItem> items;
  constexpr uint32_t kShown = kEsReadOnly | kWsDisabled | kWsBorder;
  switch (resourceId) {
    case 100:
      h.style &= ~kDsModalFrame;
      h.x = 4;
      h.y = 12;
      h.cy = 66;
      items.push_back(templateItem(0, 8, 4, 170, 10, 101, kClassStatic));
      items.push_back(templateItem(0, 8, 14, 170, 10, 103, kClassStatic));
      items.push_back(templateItem(kSsBlackFrame, 20, 26, 140, 12, 102, kClassStatic));
      items.push_back(templateItem(kButtonStyle, 70, 50, 40, 12, 2, kClassButton, "Cancel"));
      break;
    case 250:
      addPromptAndButtons(items);
      items.push_back(templateItem(kShown | kEsUpperCase, 16, 24, 16, 12, 305, kClassEdit));
      items.push_back(templateItem(kEditStyle | kEsAutoHScroll, 32, 24, 132, 12, 204, kClassEdit));
      addOkCancel(items);
      break;
    case 300:
      addPromptAndButtons(items);
      items.push_back(templateItem(kEditStyle | kEsUpperCase, 16, 24, 10, 12, 204, kClassEdit));
      items.push_back(templateItem(kShown, 26, 24, 138, 12, 304, kClassEdit));
      addOkCancel(items);
      break;
    case 350:
      addPromptAndButtons(items);
      items.push_back(templateItem(kEditStyle | kEsAutoHScroll, 20, 24, 140, 12, 204, kClassEdit));
      addOkCancel(items);
      break;
    case 601:
      addPromptAndButtons(items);
      items.push_back(templateItem(kEditStyle | kEsAutoHScroll, 20, 24, 140, 12, 701, kClassEdit));
      addOkCancel(items);
      break;
    default:
      return {};
  }
  return writeDialogTemplate(h, items);
}

}  // namespace qm
