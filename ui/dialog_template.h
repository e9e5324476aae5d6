// In-memory dialog templates (the classic DLGTEMPLATE layout, little-endian, texts in UTF-16):
// the script's screens and the installer's fixed dialogs are both built here, so a view only
// hands the bytes to the system.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ui/ui.h"

namespace qm {

// Window and control styles the templates use, as Windows numbers them.
constexpr uint32_t kWsPopup = 0x80000000;
constexpr uint32_t kWsChild = 0x40000000;
constexpr uint32_t kWsVisible = 0x10000000;
constexpr uint32_t kWsDisabled = 0x08000000;
constexpr uint32_t kWsCaption = 0x00C00000;
constexpr uint32_t kWsBorder = 0x00800000;
constexpr uint32_t kWsDlgFrame = 0x00400000;
constexpr uint32_t kWsSysMenu = 0x00080000;
constexpr uint32_t kWsGroup = 0x00020000;
constexpr uint32_t kWsTabStop = 0x00010000;
constexpr uint32_t kWsHScroll = 0x00100000;
constexpr uint32_t kDsModalFrame = 0x80;
constexpr uint32_t kDsSetFont = 0x40;
constexpr uint32_t kBsPushButton = 0x0;
constexpr uint32_t kBsDefPushButton = 0x1;
constexpr uint32_t kBsAutoCheckBox = 0x3;
constexpr uint32_t kBsAutoRadioButton = 0x9;
constexpr uint32_t kEsUpperCase = 0x0008;
constexpr uint32_t kEsReadOnly = 0x0800;
constexpr uint32_t kEsAutoHScroll = 0x0080;
constexpr uint32_t kSsBlackFrame = 0x0007;

// Predefined control classes (atoms).
constexpr uint16_t kClassButton = 0x0080;
constexpr uint16_t kClassEdit = 0x0081;
constexpr uint16_t kClassStatic = 0x0082;

struct TemplateHeader {
  uint32_t style = 0;
  int16_t x = 0, y = 0, cx = 0, cy = 0;
  std::string title;     // ANSI
  int16_t fontSize = 0;  // written only with kDsSetFont
  std::string fontFace;  // ANSI
};

struct TemplateItem {
  uint32_t style = 0;
  int16_t x = 0, y = 0, cx = 0, cy = 0;
  uint16_t id = 0;  // 0xFFFF for "-1"
  uint16_t classAtom = kClassStatic;
  std::string text;  // ANSI
};

// A visible child control; style adds to WS_CHILD | WS_VISIBLE. Position and size in dialog units.
TemplateItem templateItem(uint32_t style, int x, int y, int cx, int cy, uint16_t id, uint16_t cls,
                          std::string text = {});

// Serialises a header and its items: header, menu 0, class 0, title, [font], then each item
// DWORD-aligned with class atom, title and an empty creation-data word.
DialogTemplate writeDialogTemplate(const TemplateHeader& header,
                                   const std::vector<TemplateItem>& items);

// ANSI (Windows-1252) text to UTF-16 code units.
std::u16string ansiToUtf16(const std::string& text);

// The installer's fixed dialogs: 100 progress, 250/300/350 destination modes 1-3, 601 ASK.
// Empty for any other number.
DialogTemplate buildFixedDialogTemplate(int resourceId);

// Reads back a template (for views that need the item list and for tests). False on a short or
// malformed buffer.
struct ParsedTemplate {
  TemplateHeader header;
  std::vector<TemplateItem> items;
};
bool parseDialogTemplate(const DialogTemplate& bytes, ParsedTemplate& out);

}  // namespace qm
