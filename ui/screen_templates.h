// Building the script's screens as in-memory dialog templates from their text blocks.
#pragma once

#include <optional>
#include <string>

#include "records/screen_records.h"
#include "ui/dialog_template.h"
#include "ui/dialog_texts.h"
#include "ui/text_block.h"

namespace qm {

enum class ScreenKind {
  OkCancel = 0,  // first and last screen
  Groups = 1,    // option group with check boxes
  OkOnly = 2     // exit message
};

// The font a screen block names, or the defaults (size 10, the FONTNAME face).
struct ScreenFont {
  std::string face;  // empty: the FONTNAME text
  int size = 0;      // 0: 10
};

// Builds a screen. For ScreenKind::Groups the numbered lines take the next group indexes of
// groups (and their "[X]" marks); a numbered line without "[ ]" or "[X]", or more group lines
// than the tables hold, gives nullopt (a syntax error of the block statement).
std::optional<DialogTemplate> buildScreenTemplate(const TextBlock& block, ScreenKind kind,
                                                  const ScreenFont& font, const DialogTexts& texts,
                                                  GroupTables& groups);

// The exclusive group screen: radio buttons, items 10 units high. radioGroupStarted: the
// state's flag; the first radio button of the run carries the group style and sets it.
std::optional<DialogTemplate> buildExclusiveGroupTemplate(const TextBlock& block,
                                                          const ScreenFont& font,
                                                          const DialogTexts& texts,
                                                          GroupTables& groups,
                                                          bool& radioGroupStarted);

// A pop-up message: visible, static lines only, no buttons.
std::optional<DialogTemplate> buildPopupTemplate(const TextBlock& block, const FontSpec& font);

// Screens beyond these sizes would overflow the template's 16-bit coordinates; they are refused
// (nullopt) and the block statement reports a syntax error.
constexpr int kMaxScreenLines = 2000;
constexpr int kMaxScreenWidth = 4000;

// A screen dialog taller than the screen keeps its buttons in view: the window is cut to the
// screen's height and its lines scroll in one text above the buttons. Pixels; the client area's
// top is 0. needed is false when the window fits as it is.
struct TallScreenLayout {
  bool needed = false;
  int windowHeight = 0;
  int textHeight = 0;  // the scrolling text, from the client's top
  int buttonTop = 0;
};
TallScreenLayout fitTallScreen(int screenHeight, int windowHeight, int clientHeight,
                               int buttonHeight, int margin);

// The scrolling text of a tall screen from its line controls (their top edge and text, in any
// order, rowHeight apart): one line each, empty lines where a row has no control, CR LF between.
std::string scrollingText(std::vector<std::pair<int, std::string>> rows, int rowHeight);

}  // namespace qm
