#include "shell/screen_layout.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

TEST(ScreenLayout, EveryPlacementPutsTheImageAtItsPlace) {
  // A 100 x 50 image in (0,0)-(399,299): 300 and 250 pixels to spare; in (0,0)-(400,300) the
  // spare is odd and its half is truncated.
  struct Case {
    int placement, right, bottom;
    Point at;
  } cases[] = {
      {kPlacementNone, 399, 299, {150, 125}},         {kPlacementTopLeft, 399, 299, {0, 0}},
      {kPlacementTopMiddle, 399, 299, {150, 0}},      {kPlacementTopRight, 399, 299, {300, 0}},
      {kPlacementMiddleRight, 399, 299, {300, 125}},  {kPlacementBottomRight, 399, 299, {300, 250}},
      {kPlacementBottomMiddle, 399, 299, {150, 250}}, {kPlacementBottomLeft, 399, 299, {0, 250}},
      {kPlacementMiddleLeft, 399, 299, {0, 125}},     {kPlacementNone, 400, 300, {150, 125}},
      {kPlacementBottomRight, 400, 300, {301, 251}},  {kPlacementTopRight, 1023, 767, {924, 0}},
  };
  for (const Case& c : cases) {
    std::optional<BitmapLayout> layout = layoutBitmap(100, 50, c.placement, c.right, c.bottom);
    ASSERT_TRUE(layout) << c.placement;
    EXPECT_EQ(layout->cell, (Blit{c.at.x, c.at.y, 100, 50, 0, 0, 100, 50})) << c.placement;
    EXPECT_FALSE(layout->tiled);
    EXPECT_EQ(layout->columns, std::vector<int>{c.at.x});
    EXPECT_EQ(layout->rows, std::vector<int>{c.at.y});
  }
}

TEST(ScreenLayout, ALargerImageIsCutEvenlyOnBothSides) {
  struct Case {
    int width, height, placement, right, bottom;
    Blit cell;
  } cases[] = {
      // 1000 x 800 in 640 x 480 (right 639): 180 columns and 160 rows cut on each side.
      {1000, 800, kPlacementNone, 639, 479, {0, 0, 640, 480, 180, 160, 640, 480}},
      {1000, 800, kPlacementBottomRight, 639, 479, {0, 0, 640, 480, 180, 160, 640, 480}},
      // Only wider: cut across, placed down.
      {1000, 100, kPlacementBottomMiddle, 639, 479, {0, 380, 640, 100, 180, 0, 640, 100}},
      // One more than the area: the odd pixel is cut on the right.
      {641, 10, kPlacementTopLeft, 639, 479, {0, 0, 640, 10, 0, 0, 640, 10}},
      {642, 10, kPlacementTopLeft, 639, 479, {0, 0, 640, 10, 1, 0, 640, 10}},
  };
  for (const Case& c : cases) {
    std::optional<BitmapLayout> layout =
        layoutBitmap(c.width, c.height, c.placement, c.right, c.bottom);
    ASSERT_TRUE(layout);
    EXPECT_EQ(layout->cell, c.cell) << c.width << "x" << c.height << " at " << c.placement;
  }
}

TEST(ScreenLayout, TileRepeatsFromTheTopLeftUpToTheAreaEdges) {
  struct Case {
    int width, height, right, bottom;
    std::vector<int> columns, rows;
    int cut = 0;  // of a tile larger than the area, on each side
  } cases[] = {
      {300, 200, 1023, 767, {0, 300, 600, 900}, {0, 200, 400, 600}},
      // A copy would start just past the last column: there is none.
      {256, 256, 1023, 767, {0, 256, 512, 768}, {0, 256, 512}},
      // One starting on the last column and row still shows a pixel there.
      {256, 256, 1024, 768, {0, 256, 512, 768, 1024}, {0, 256, 512, 768}},
      // An area one pixel across still gets its corner copy.
      {10, 10, 0, 0, {0}, {0}, 4},
  };
  for (const Case& c : cases) {
    std::optional<BitmapLayout> layout =
        layoutBitmap(c.width, c.height, kPlacementTile, c.right, c.bottom);
    ASSERT_TRUE(layout);
    EXPECT_TRUE(layout->tiled);
    EXPECT_EQ(layout->columns, c.columns) << c.width << " in " << c.right;
    EXPECT_EQ(layout->rows, c.rows) << c.height << " in " << c.bottom;
    EXPECT_EQ(layout->cell.srcX, c.cut);
    EXPECT_EQ(layout->cell.srcY, c.cut);
  }
  // A tile larger than the area is cut like any other copy, and shown once.
  std::optional<BitmapLayout> big = layoutBitmap(2000, 1000, kPlacementTile, 1023, 767);
  ASSERT_TRUE(big);
  EXPECT_EQ(big->cell, (Blit{0, 0, 1024, 768, 488, 116, 1024, 768}));
  EXPECT_EQ(big->columns, std::vector<int>{0});
}

TEST(ScreenLayout, FullScreenStretchesAndNothingIsDrawnWithoutAnImage) {
  std::optional<BitmapLayout> full = layoutBitmap(64, 48, kPlacementFullScreen, 1023, 767);
  ASSERT_TRUE(full);
  EXPECT_EQ(full->cell, (Blit{0, 0, 1024, 768, 0, 0, 64, 48}));
  EXPECT_FALSE(layoutBitmap(0, 48, kPlacementNone, 1024, 768));
  EXPECT_FALSE(layoutBitmap(64, 0, kPlacementTile, 1024, 768));
  EXPECT_FALSE(layoutBitmap(64, 48, 11, 1024, 768));
  EXPECT_FALSE(layoutBitmap(64, 48, -1, 1024, 768));
  EXPECT_FALSE(layoutBitmap(64, 48, kPlacementNone, -1, 768));
}

TEST(ScreenLayout, BackgroundBandsRunFromTheFirstColourInStepsOfEightPixels) {
  const Colour blue{0, 0, 255}, black{0, 0, 0};
  // 768 rows: 96 steps of 255 / 96 = 2 blue, so 97 bands from 255 down to 63.
  std::vector<Band> bands = backgroundBands(blue, black, 768);
  ASSERT_EQ(bands.size(), 97u);
  EXPECT_EQ(bands.front(), (Band{0, 8, blue}));
  EXPECT_EQ(bands[1], (Band{8, 16, Colour{0, 0, 253}}));
  EXPECT_EQ(bands.back(), (Band{768, 776, Colour{0, 0, 63}}));

  // Each channel has its own step and rising channels rise: 16 rows are 2 steps.
  bands = backgroundBands(Colour{200, 0, 10}, Colour{0, 255, 10}, 16);
  ASSERT_EQ(bands.size(), 3u);
  EXPECT_EQ(bands[1].colour, (Colour{100, 127, 10}));
  EXPECT_EQ(bands[2].colour, (Colour{0, 254, 10}));

  // The steps are truncated toward zero: 8 rows, one step, the second colour exactly.
  bands = backgroundBands(Colour{255, 255, 255}, Colour{1, 2, 3}, 15);
  ASSERT_EQ(bands.size(), 2u);
  EXPECT_EQ(bands[1].colour, (Colour{1, 2, 3}));
}

TEST(ScreenLayout, PlainFillForEqualColoursAndAreasBelowOneBand) {
  struct Case {
    Colour first, second;
    int height;
  } cases[] = {
      {{10, 20, 30}, {10, 20, 30}, 768},
      {{0, 0, 255}, {0, 0, 0}, 7},  // no band to divide by
      {{0, 0, 255}, {0, 0, 0}, 0},
      {{0, 0, 255}, {0, 0, 0}, -5},
  };
  for (const Case& c : cases) {
    std::vector<Band> bands = backgroundBands(c.first, c.second, c.height);
    ASSERT_EQ(bands.size(), 1u) << c.height;
    EXPECT_EQ(bands[0], (Band{0, c.height < 0 ? 0 : c.height, c.first}));
  }
}

TEST(ScreenLayout, GradientChannelsStayBetweenTheirEndsForAnyHeight) {
  const Colour ends[][2] = {{{255, 0, 128}, {0, 255, 128}},
                            {{0, 0, 0}, {255, 255, 255}},
                            {{255, 255, 255}, {0, 0, 0}},
                            {{1, 254, 3}, {254, 1, 250}}};
  for (const auto& pair : ends) {
    for (int height = 8; height < 2000; height += 37) {
      std::vector<Band> bands = backgroundBands(pair[0], pair[1], height);
      ASSERT_EQ(bands.size(), size_t(height / 8 + 1));
      for (size_t i = 0; i < bands.size(); ++i) {
        EXPECT_EQ(bands[i].top, int(i) * 8);
        auto within = [](int v, int a, int b) {
          return v >= std::min(a, b) && v <= std::max(a, b);
        };
        EXPECT_TRUE(within(bands[i].colour.red, pair[0].red, pair[1].red));
        EXPECT_TRUE(within(bands[i].colour.green, pair[0].green, pair[1].green));
        EXPECT_TRUE(within(bands[i].colour.blue, pair[0].blue, pair[1].blue));
      }
    }
  }
}

TEST(ScreenLayout, TitleShrinksInStepsOfFourUntilItFitsTheScreenLessTwenty) {
  struct Case {
    int screenWidth, pixelsPerUnit;
    TitleFontChoice chosen;
    std::vector<int> measured;
  } cases[] = {
      {1024, 10, {40, 700}, {40}},                                 // 400 fits 1004
      {1024, 50, {20, 700}, {40, 36, 32, 28, 24, 20}},             // 1000 fits 1004, 1200 did not
      {1024, 251, {4, 700}, {40, 36, 32, 28, 24, 20, 16, 12, 8}},  // never fits: 4 at the least
      {640, 1000, {4, 700}, {40, 36, 32, 28, 24, 20, 16, 12, 8}},
      {10, 1, {4, 700}, {40, 36, 32, 28, 24, 20, 16, 12, 8}},  // no width left at all
  };
  for (const Case& c : cases) {
    std::vector<int> measured;
    TitleFont font;  // size 0: fit to the screen
    TitleFontChoice chosen = chooseTitleFont(font, c.screenWidth, [&](int height) {
      measured.push_back(height);
      return height * c.pixelsPerUnit;
    });
    EXPECT_EQ(chosen, c.chosen) << c.screenWidth << " " << c.pixelsPerUnit;
    EXPECT_EQ(measured, c.measured) << c.screenWidth << " " << c.pixelsPerUnit;
  }
}

TEST(ScreenLayout, AGivenTitleSizeIsUsedAsItIsWithItsWeight) {
  int measured = 0;
  auto measure = [&](int) { return ++measured, 100000; };
  TitleFont font;
  font.size = 18;
  EXPECT_EQ(chooseTitleFont(font, 640, measure), (TitleFontChoice{18, 400}));
  font.bold = true;
  EXPECT_EQ(chooseTitleFont(font, 640, measure), (TitleFontChoice{18, 700}));
  EXPECT_EQ(measured, 0);
}

TEST(ScreenLayout, CheckingSystemBoxSitsInTheMiddleFifth) {
  struct Case {
    int width, height, screenWidth;
    Rect frame, box;
    Point corner, end;
    int fontHeight;
    Point text;
  } cases[] = {
      // Quarters 256 and 768, fifths 307 and 460 (2 x 768 / 5 = 307.2, 3 x 768 / 5 = 460.8).
      {1024,
       768,
       1024,
       {242, 303, 782, 464},
       {248, 307, 776, 460},
       {776, 460},
       {776, 307},
       30,
       {512, 384}},
      {640,
       480,
       640,
       {146, 188, 494, 292},
       {152, 192, 488, 288},
       {488, 288},
       {488, 192},
       19,
       {320, 240}},
      // A client area smaller than the screen, as under a taskbar.
      {800,
       570,
       800,
       {186, 224, 614, 346},
       {192, 228, 608, 342},
       {608, 342},
       {608, 228},
       24,
       {400, 285}},
  };
  for (const Case& c : cases) {
    CheckingBoxLayout box = checkingBoxLayout(c.width, c.height, c.screenWidth);
    EXPECT_EQ(box.frame, c.frame) << c.width;
    EXPECT_EQ(box.box, c.box) << c.width;
    EXPECT_EQ(box.line[0], (Point{c.width / 4, c.box.bottom})) << c.width;
    EXPECT_EQ(box.line[1], c.corner) << c.width;
    EXPECT_EQ(box.line[2], c.end) << c.width;
    EXPECT_EQ(box.fontHeight, c.fontHeight) << c.width;
    EXPECT_EQ(box.textAt, c.text) << c.width;
  }
}

TEST(ScreenLayout, PopupGoesBelowTheMiddleAndTheProgressDialogUnderIt) {
  struct Case {
    int screenWidth, screenHeight;
    Rect window;
    PopupPlacement placed;
    int progressTop;
  } cases[] = {
      // From the top of a 1024 x 768 screen: (768 - 100 - 244) / 2 + 60 = 272.
      {1024, 768, {0, 0, 300, 100}, {362, 272, 272, 100}, 396},
      // Already moved: its top counts and its old bottom is recorded.
      {1024, 768, {10, 50, 210, 150}, {412, 272, 272, 150}, 446},
      // An odd sum is truncated.
      {800, 600, {0, 0, 201, 101}, {299, 187, 187, 101}, 312},
      // Taller than the screen: it may go above the top, never crashes.
      {640, 480, {0, 0, 700, 900}, {-30, -272, -272, 900}, 652},
  };
  for (const Case& c : cases) {
    PopupPlacement p = placePopup(c.screenWidth, c.screenHeight, c.window);
    EXPECT_EQ(p.x, c.placed.x) << c.window.bottom;
    EXPECT_EQ(p.y, c.placed.y) << c.window.bottom;
    EXPECT_EQ(p.recordedTop, c.placed.recordedTop) << c.window.bottom;
    EXPECT_EQ(p.recordedBottom, c.placed.recordedBottom) << c.window.bottom;
    EXPECT_EQ(p.progressTop(), c.progressTop) << c.window.bottom;
  }
}

TEST(ScreenLayout, IntroTimerWaitsForAPersonButNeverForAnUnattendedRun) {
  struct Case {
    int seconds, unattendedMs;
    unsigned timer;
  } cases[] = {
      {5, -1, 5000},       {0, -1, 0},                  // a person ends it
      {-3, -1, 0},         {5, 0, 1},       {0, 0, 1},  // unattended: at once
      {1, 1500, 1000},     {5, 1500, 1500},             // watched: never longer than the delay
      {86400, 1500, 1500}, {0, 1500, 1500}, {2000000000, -1, 86400000},  // no overflow
  };
  for (const Case& c : cases)
    EXPECT_EQ(introTimerMs(c.seconds, c.unattendedMs), c.timer)
        << c.seconds << " " << c.unattendedMs;
}

}  // namespace
}  // namespace qm
