#include "ui/screen_templates.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

// Expected template bytes written out field by field, as worked out by hand.
struct Bytes {
  std::vector<uint8_t> b;
  Bytes& w16(uint16_t v) {
    b.push_back(v & 0xFF);
    b.push_back(v >> 8);
    return *this;
  }
  Bytes& w32(uint32_t v) { return w16(v & 0xFFFF).w16(v >> 16); }
  Bytes& str(const char* s) {
    while (*s) w16(static_cast<unsigned char>(*s++));
    return w16(0);
  }
  Bytes& pad() {
    while (b.size() % 4) b.push_back(0);
    return *this;
  }
  Bytes& item(uint32_t style, int16_t x, int16_t y, int16_t cx, int16_t cy, uint16_t id,
              uint16_t cls, const char* text) {
    pad().w32(style).w32(0).w16(x).w16(y).w16(cx).w16(cy).w16(id).w16(0xFFFF).w16(cls);
    return str(text).w16(0);
  }
};

TextBlock block(std::vector<std::string> lines, int width) {
  TextBlock b;
  b.lines = std::move(lines);
  b.width = width;
  return b;
}

TEST(ScreenTemplate, ScreenBlockGivesExactTemplate) {
  // "Hello" and "World!" measure below 40 columns: W is raised to 40, H = 3 rounds to 4.
  GroupTables groups;
  auto t =
      buildScreenTemplate(block({"Hello", "", "World!"}, 0), ScreenKind::OkCancel, {}, {}, groups);
  ASSERT_TRUE(t);
  Bytes want;
  want.w32(0x80400040).w32(0).w16(4).w16(0).w16(0).w16(160).w16(48);
  want.w16(0).w16(0).str("").w16(10).str("MS Sans Serif");
  want.item(0x50020000, 0, 0, 160, 8, 0xFFFF, 0x82, "Hello");
  want.item(0x50020000, 0, 16, 160, 8, 0xFFFF, 0x82, "World!");
  want.item(0x50010001, 28, 32, 40, 12, 1, 0x80, "OK");
  want.item(0x50010000, 92, 32, 40, 12, 2, 0x80, "Cancel");
  ASSERT_EQ(want.b.size(), 202u);  // items start at 56, 92, 132 and 164
  EXPECT_EQ(*t, want.b);
}

TEST(ScreenTemplate, GroupBlockGivesExactTemplateAndGroupTables) {
  GroupTables groups;
  groups.count = 2;  // two indexes given out by an earlier block
  ScreenFont font{"Arial", 12};
  DialogTexts texts;
  texts.ok = "Go";
  texts.cancel = "Stop";
  auto t = buildScreenTemplate(
      block({"01 [X] Program files", "02 [ ] Samples", "* Choose what to install"}, 51),
      ScreenKind::Groups, font, texts, groups);
  ASSERT_TRUE(t);
  // W 51 rounds to 52: width 208; H 3 -> 4: height 48.
  Bytes want;
  want.w32(0x80400040).w32(0).w16(5).w16(0).w16(0).w16(208).w16(48);
  want.w16(0).w16(0).str("").w16(12).str("Arial");
  want.item(0x50010003, 4, 0, 208, 8, 100, 0x80, " Program files");
  want.item(0x50010003, 4, 8, 208, 8, 101, 0x80, " Samples");
  want.item(0x50020000, 0, 16, 208, 8, 0xFFFF, 0x82, "Choose what to install");
  want.item(0x50010001, 40, 32, 40, 12, 1, 0x80, "Go");
  want.item(0x50010000, 128, 32, 40, 12, 2, 0x80, "Stop");
  EXPECT_EQ(*t, want.b);
  EXPECT_EQ(groups.count, 4);
  EXPECT_EQ(groups.indexOfNumber[1], 2);
  EXPECT_EQ(groups.indexOfNumber[2], 3);
  EXPECT_EQ(groups.numberOfIndex[3], 2);
  EXPECT_TRUE(groups.initialMark[2]);
  EXPECT_FALSE(groups.initialMark[3]);
}

TEST(ScreenTemplate, ExclusiveGroupUsesRadioButtonsAndGroupsOnlyTheFirstOfTheRun) {
  GroupTables groups;
  bool started = false;
  auto first = buildExclusiveGroupTemplate(block({"01 [ ] One", "Pick one", "02 [X] Two"}, 0), {},
                                           {}, groups, started);
  ASSERT_TRUE(first);
  Bytes want;
  want.w32(0x80400040).w32(0).w16(5).w16(0).w16(0).w16(160).w16(59);
  want.w16(0).w16(0).str("").w16(10).str("MS Sans Serif");
  want.item(0x50030009, 4, 0, 160, 10, 100, 0x80, " One");
  want.item(0x50000000, 0, 10, 160, 10, 0xFFFF, 0x82, "ck one");
  want.item(0x50010009, 4, 20, 160, 10, 101, 0x80, " Two");
  want.item(0x50010001, 20, 40, 36, 12, 1, 0x80, "OK");
  want.item(0x50010000, 100, 40, 36, 12, 2, 0x80, "Cancel");
  EXPECT_EQ(*first, want.b);
  EXPECT_TRUE(started);

  auto second = buildExclusiveGroupTemplate(block({"03 [ ] Three"}, 0), {}, {}, groups, started);
  ParsedTemplate parsed;
  ASSERT_TRUE(second && parseDialogTemplate(*second, parsed));
  EXPECT_EQ(parsed.items[0].style, 0x50010009u);  // no group style the second time
  EXPECT_EQ(groups.indexOfNumber[3], 2);
}

TEST(ScreenTemplate, PopupHasNoButtonsAndNoMinimumWidth) {
  FontSpec font;
  font.face = "Courier";
  font.size = 9;
  auto t = buildPopupTemplate(block({"Copying...", "", "Please wait"}, 5), font);
  ASSERT_TRUE(t);
  Bytes want;
  want.w32(0x90400040).w32(0).w16(2).w16(0).w16(0).w16(24).w16(24);
  want.w16(0).w16(0).str("").w16(9).str("Courier");
  want.item(0x50000000, 0, 0, 24, 8, 0xFFFF, 0x82, "Copying...");
  want.item(0x50000000, 0, 16, 24, 8, 0xFFFF, 0x82, "Please wait");
  EXPECT_EQ(*t, want.b);
}

TEST(ScreenTemplate, LayoutRulesByKind) {
  struct Case {
    ScreenKind kind;
    int width, lines;
    int cx, cy, okX, items;
  };
  const Case cases[] = {
      {ScreenKind::OkOnly, 0, 1, 160, 32, 60, 2},      // OK centred: 2W - 20
      {ScreenKind::OkOnly, 61, 5, 248, 64, 104, 6},    // W 61 -> 62, H 5 -> 6
      {ScreenKind::OkCancel, 39, 2, 160, 32, 28, 4},   // W raised to 40
      {ScreenKind::OkCancel, 100, 7, 400, 80, 88, 9},  // W even stays
  };
  for (const Case& c : cases) {
    TextBlock b;
    b.width = c.width;
    for (int i = 0; i < c.lines; ++i) b.lines.push_back("line");
    GroupTables groups;
    auto t = buildScreenTemplate(b, c.kind, {}, {}, groups);
    ParsedTemplate p;
    ASSERT_TRUE(t && parseDialogTemplate(*t, p));
    EXPECT_EQ(p.header.cx, c.cx) << c.width;
    EXPECT_EQ(p.header.cy, c.cy) << c.width;
    ASSERT_EQ(static_cast<int>(p.items.size()), c.items);
    const TemplateItem& ok = p.items[c.lines];
    EXPECT_EQ(ok.id, 1);
    EXPECT_EQ(ok.x, c.okX) << c.width;
    EXPECT_EQ(ok.y, c.cy - 16);
  }
}

TEST(ScreenTemplate, RefusesWhatCannotBecomeAGroupDialog) {
  struct Case {
    std::vector<std::string> lines;
    int usedBefore;
  };
  const Case cases[] = {
      {{"01 Program files"}, 0},        // no marker
      {{"01 [x] lower-case mark"}, 0},  // the marker is "[X]"
      {{"01 [ ] fits", "02 [ ] one too many"}, kMaxGroupIndexes - 1},
  };
  for (const Case& c : cases) {
    GroupTables groups;
    groups.count = c.usedBefore;
    bool started = false;
    EXPECT_FALSE(buildScreenTemplate(block(c.lines, 0), ScreenKind::Groups, {}, {}, groups))
        << c.lines[0];
    groups.count = c.usedBefore;
    EXPECT_FALSE(buildExclusiveGroupTemplate(block(c.lines, 0), {}, {}, groups, started))
        << c.lines[0];
  }
  // A numbered line is only special in group blocks.
  GroupTables groups;
  EXPECT_TRUE(
      buildScreenTemplate(block({"01 Program files"}, 0), ScreenKind::OkCancel, {}, {}, groups));
  // Oversized blocks would overflow 16-bit coordinates.
  TextBlock huge = block(std::vector<std::string>(kMaxScreenLines + 1, "x"), 0);
  EXPECT_FALSE(buildScreenTemplate(huge, ScreenKind::OkCancel, {}, {}, groups));
  EXPECT_FALSE(buildPopupTemplate(huge, {}));
}

TEST(DialogTemplate, TextsAreWindows1252) {
  EXPECT_EQ(ansiToUtf16("A\x80\xE9\x9F"), std::u16string(u"A\u20AC\u00E9\u0178"));
  ParsedTemplate p;
  TemplateHeader h;
  h.title = "Caf\xE9 \x80";
  ASSERT_TRUE(parseDialogTemplate(writeDialogTemplate(h, {}), p));
  EXPECT_EQ(p.header.title, h.title);
  DialogTemplate shortBuffer = writeDialogTemplate(h, {TemplateItem{}});
  shortBuffer.resize(shortBuffer.size() - 3);
  EXPECT_FALSE(parseDialogTemplate(shortBuffer, p));
}

TEST(TallScreens, KeepTheirButtonsOnTheScreenAndEveryLine) {
  struct Case {
    int screen, window, client, button, margin;
    TallScreenLayout want;
  };
  const Case cases[] = {
      {768, 768, 740, 20, 8, {false, 0, 0, 0}},  // fits exactly: left as it is
      {768, 1900, 1872, 20, 8, {true, 768, 704, 712}},
      {600, 1900, 1880, 24, 6, {true, 600, 544, 550}},
      // A screen smaller than frame and buttons still leaves room for them.
      {20, 400, 380, 20, 8, {true, 57, 1, 9}},
  };
  for (const Case& c : cases) {
    TallScreenLayout got = fitTallScreen(c.screen, c.window, c.client, c.button, c.margin);
    EXPECT_EQ(got.needed, c.want.needed) << c.window;
    EXPECT_EQ(got.windowHeight, c.want.windowHeight) << c.window;
    EXPECT_EQ(got.textHeight, c.want.textHeight) << c.window;
    EXPECT_EQ(got.buttonTop, c.want.buttonTop) << c.window;
    if (got.needed) EXPECT_LE(got.buttonTop + c.button, got.windowHeight - (c.window - c.client));
  }
  // Rows come in any order; empty rows between and before lines stay as empty lines.
  EXPECT_EQ(scrollingText({{32, "third"}, {16, "first"}, {64, "last"}}, 16),
            "\r\nfirst\r\nthird\r\n\r\nlast");
  EXPECT_EQ(scrollingText({{0, "only"}}, 16), "only");
}

}  // namespace
}  // namespace qm
