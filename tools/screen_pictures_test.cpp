#include "tools/screen_pictures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

#include "ui/screen_templates.h"

namespace qm::pack {
namespace {

// The stream's inflation is checked by independent decoders: the report check of the CI decodes
// every picture with Python's zlib and has a browser show them.
TEST(PngWriter, ChecksumsAndFileLayoutAreThoseOfTheFormat) {
  const std::string digits = "123456789", wiki = "Wikipedia";
  EXPECT_EQ(crc32Of(reinterpret_cast<const uint8_t*>(digits.data()), digits.size()), 0xCBF43926u);
  EXPECT_EQ(adler32Of(reinterpret_cast<const uint8_t*>(wiki.data()), wiki.size()), 0x11E60398u);

  RgbImage image{3, 2, std::vector<uint8_t>(18, 0x80)};
  std::string png = encodePng(image);
  ASSERT_GT(png.size(), 8u + 25 + 12 + 12);
  EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
  EXPECT_EQ(png.substr(12, 4), "IHDR");
  EXPECT_EQ(png.substr(16, 8), std::string("\0\0\0\3\0\0\0\2", 8));
  EXPECT_EQ(png.substr(png.size() - 8, 4), "IEND");
  // A chunk's CRC covers its type and data.
  const auto* ihdr = reinterpret_cast<const uint8_t*>(png.data() + 12);
  const uint32_t crc = crc32Of(ihdr, 4 + 13);
  EXPECT_EQ(png.substr(29, 4),
            std::string({char(crc >> 24), char(crc >> 16), char(crc >> 8), char(crc)}));
  // A flat screen shrinks to a small part of its pixels.
  RgbImage screen{640, 480, std::vector<uint8_t>(640 * 480 * 3, 0x40)};
  EXPECT_LT(encodePng(screen).size(), 640u * 480 * 3 / 100);
  image.rgb.pop_back();
  EXPECT_EQ(encodePng(image), "");
}

DialogTemplate screenOf(int lines, int width) {
  TextBlock block;
  block.lines.assign(size_t(lines), "A line of the licence");
  block.width = width;
  GroupTables groups;
  return *buildScreenTemplate(block, ScreenKind::OkCancel, {}, DialogTexts{}, groups);
}

ScreenBitmap tiledGraphic() {
  std::ifstream in(QM_SOURCE_DIR "/tests/data/bitmaps/bits24.bmp", std::ios::binary);
  const std::string bytes(std::istreambuf_iterator<char>(in), {});
  ScreenBitmap bitmap;
  bitmap.load(
      [&](uint64_t offset, uint8_t* buffer, size_t n) {
        if (offset > bytes.size() || n > bytes.size() - offset) return false;
        std::memcpy(buffer, bytes.data() + offset, n);
        return true;
      },
      bytes.size());
  bitmap.placement = kPlacementTile;
  return bitmap;
}

TEST(ScreenPictures, WindowsStandWhereTheViewPutsThemAndWhatDoesNotFitIsNamed) {
  ShownScreens s;
  s.screenWidth = 640;
  s.screenHeight = 480;
  s.mainWindow = true;
  s.settings.title = "Quill Notes 1.0 Setup";
  s.graphic = tiledGraphic();
  ASSERT_TRUE(s.graphic.loaded());
  TextBlock popupBlock;
  popupBlock.lines = {"Copying the notes"};
  popupBlock.width = 30;
  using Kind = ShownWindow::Kind;
  auto shown = [&s](Kind kind, const char* topic, DialogTemplate bytes) {
    ShownWindow& w = s.windows.emplace_back();
    w.kind = kind;
    w.topic = topic;
    w.templateBytes = std::move(bytes);
  };
  shown(Kind::Dialog, "FirstScreen", screenOf(70, 40));
  shown(Kind::Dialog, "LastScreen", screenOf(3, 200));
  shown(Kind::Dialog, "Ask1", buildFixedDialogTemplate(601));
  s.windows.back().controlTexts = {{301, "Your name:"}, {701, "Pat"}};
  shown(Kind::Message, "Overwrite", {});
  shown(Kind::Popup, "Popup 1", *buildPopupTemplate(popupBlock, {"MS Sans Serif", 10}));
  shown(Kind::Progress, "Progress", buildFixedDialogTemplate(100));
  const DisplayMetrics m;
  std::vector<ScreenPicture> pictures = drawScreens(s, m);
  ASSERT_EQ(pictures.size(), 6u);  // the main window, and every window but the message box
  for (const ScreenPicture& p : pictures) EXPECT_EQ(p.png.substr(1, 3), "PNG") << p.title;
  // A display no picture is drawn at is left out, whatever the machine file says.
  ShownScreens huge = s;
  huge.screenWidth = kMaxPictureSide + 1;
  EXPECT_TRUE(drawScreens(huge, m).empty());

  EXPECT_EQ(pictures[0].title, "Main window");
  EXPECT_EQ(pictures[0].notes, std::vector<std::string>{"the screen graphic covers the title"});

  // Cut to the screen's height, centred, with the lines in one scrolling text.
  const ScreenPicture& tall = pictures[1];
  ASSERT_EQ(tall.notes.size(), 1u);
  EXPECT_EQ(tall.notes[0].rfind("taller than the 480-pixel screen by ", 0), 0u) << tall.notes[0];
  EXPECT_GE(tall.window.top, 0);
  EXPECT_LE(tall.window.bottom, 480);

  const ScreenPicture& wide = pictures[2];
  const int wideWidth = 4 * 200 * m.baseUnitX(10) / 4 + 2 * m.dialogFrame;
  EXPECT_EQ(wide.notes, std::vector<std::string>{"wider than the 640-pixel screen by " +
                                                 std::to_string(wideWidth - 640) +
                                                 " pixels: its sides are cut off"});
  EXPECT_EQ(wide.window.left, (640 - wideWidth) / 2);

  // A fixed dialog: centred, its caption above the client area.
  const ScreenPicture& ask = pictures[3];
  const int askWidth = 180 * m.baseUnitX(10) / 4 + 2 * m.dialogFrame;
  const int askHeight = 64 * m.baseUnitY(10) / 8 + 2 * m.dialogFrame + m.captionHeight;
  EXPECT_EQ(askWidth, 366);  // as Wine shows it
  EXPECT_EQ(askHeight, 145);
  EXPECT_EQ(ask.window, (Rect{(640 - askWidth) / 2, (480 - askHeight) / 2,
                              (640 - askWidth) / 2 + askWidth, (480 - askHeight) / 2 + askHeight}));
  EXPECT_TRUE(ask.notes.empty());
  // The texts its controller filled in are those listed beside it.
  for (const char* text : {"Your name:", "Pat"})
    EXPECT_NE(std::find(ask.texts.begin(), ask.texts.end(), text), ask.texts.end()) << text;

  // The progress window opens below the pop-up: 24 pixels under the moved top plus the bottom
  // edge the pop-up had before the move (its client area was made at the main window's client
  // origin).
  const ScreenPicture& popup = pictures[4];
  const ScreenPicture& progress = pictures[5];
  EXPECT_EQ(popup.texts, std::vector<std::string>{"Copying the notes"});
  const int popupHeight = popup.window.bottom - popup.window.top;
  EXPECT_EQ(progress.window.top,
            popup.window.top + m.mainCaption - m.dialogFrame + popupHeight + 24);
  EXPECT_EQ(popup.window.left, (640 - (popup.window.right - popup.window.left)) / 2);
}

}  // namespace
}  // namespace qm::pack
