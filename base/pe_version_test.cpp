#include "base/pe_version.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace qm {
namespace {

std::vector<uint8_t> loadDll(const std::string& name) {
  std::ifstream in(std::string(QM_SOURCE_DIR) + "/tests/data/pe/" + name, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::optional<VersionInfo> infoOf(const std::string& name) {
  auto image = loadDll(name);
  EXPECT_FALSE(image.empty()) << name;
  auto resource = findVersionResource(image);
  if (!resource) return std::nullopt;
  return VersionInfo::parse(*resource);
}

TEST(PeVersion, StringTableQueriesGiveTheTextsTheResourceScriptWrote) {
  struct Case {
    const char* dll;
    const char* query;
    std::optional<std::string> expected;
  } cases[] = {
      {"ver_e4.dll", "\\StringFileInfo\\040904E4\\FileVersion", "4.71.1712.5"},
      // Keys compare without regard to case, and empty components are skipped.
      {"ver_e4.dll", "\\stringfileinfo\\040904e4\\fileversion", "4.71.1712.5"},
      {"ver_e4.dll", "\\\\StringFileInfo\\040904E4\\\\FileVersion", "4.71.1712.5"},
      {"ver_e4.dll", "\\StringFileInfo\\040904B0\\FileVersion", "9.9.9.9"},
      // The copyright sign survives the trip through UTF-16 as its code page 1252 byte.
      {"ver_e4.dll", "\\StringFileInfo\\040904E4\\CompanyName", "Quillmount test \xA9 1998"},
      {"ver_e4.dll", "\\StringFileInfo\\040904E4\\Comments", ""},
      {"ver_e4.dll", "\\StringFileInfo\\040904E4\\ProductVersion", std::nullopt},
      {"ver_e4.dll", "\\StringFileInfo\\040704E4\\FileVersion", std::nullopt},
      {"ver_e4.dll", "\\StringFileInfo\\040904E4\\FileVersionX", std::nullopt},
      {"ver_e4.dll", "\\StringFileInfo\\040904E\\FileVersion", std::nullopt},
      {"ver_b0.dll", "\\StringFileInfo\\040904B0\\FileVersion", "10.0.0.1 (beta)"},
      {"ver_b0.dll", "\\StringFileInfo\\040904E4\\FileVersion", std::nullopt},
  };
  for (const Case& c : cases) {
    auto info = infoOf(c.dll);
    ASSERT_TRUE(info.has_value()) << c.dll;
    EXPECT_EQ(info->queryText(c.query), c.expected) << c.dll << " " << c.query;
  }
}

TEST(PeVersion, FixedInfoAndTranslationsAreRead) {
  auto e4 = infoOf("ver_e4.dll");
  ASSERT_TRUE(e4 && e4->fixed());
  EXPECT_EQ(e4->fixed()->fileVersionMS, (4u << 16) | 71u);
  EXPECT_EQ(e4->fixed()->fileVersionLS, (1712u << 16) | 5u);
  EXPECT_EQ(e4->fixed()->productVersionMS, 4u << 16);
  EXPECT_EQ(e4->fixed()->fileFlagsMask, 0x3Fu);
  EXPECT_EQ(e4->fixed()->fileType, 2u);  // a DLL
  EXPECT_EQ(e4->translations(), (std::vector<uint32_t>{0x04E40409, 0x04B00409}));

  auto b0 = infoOf("ver_b0.dll");
  ASSERT_TRUE(b0 && b0->fixed());
  EXPECT_EQ(b0->fixed()->fileVersionMS, 10u << 16);
  EXPECT_EQ(b0->fixed()->fileVersionLS, 1u);
}

TEST(PeVersion, FilesWithoutAVersionResourceGiveNone) {
  EXPECT_FALSE(findVersionResource(loadDll("ver_none.dll")).has_value());
  std::vector<uint8_t> text = {'M', 'Z', 'n', 'o', 't', ' ', 'a', ' ', 'P', 'E'};
  EXPECT_FALSE(findVersionResource(text).has_value());
  EXPECT_FALSE(findVersionResource(std::span<const uint8_t>()).has_value());
}

// A truncated or corrupted file must give "no version" without reading outside the bytes; under
// the sanitizers any stray read fails the run.
TEST(PeVersion, TruncatedAndCorruptedImagesAreRefusedSafely) {
  auto image = loadDll("ver_e4.dll");
  ASSERT_TRUE(findVersionResource(image).has_value());
  size_t wholeResourceFrom = image.size();
  for (size_t n = 0; n < image.size(); n += 7) {
    std::span<const uint8_t> prefix(image.data(), n);
    auto r = findVersionResource(prefix);
    if (r) {
      wholeResourceFrom = std::min(wholeResourceFrom, n);
      // Whatever is found must parse to the same text as the whole file gives.
      auto info = VersionInfo::parse(*r);
      ASSERT_TRUE(info.has_value());
      EXPECT_EQ(info->queryText("\\StringFileInfo\\040904E4\\FileVersion"), "4.71.1712.5");
    }
  }
  EXPECT_GT(wholeResourceFrom, 512u);  // never found from the headers alone

  // Flip every byte of the headers in turn: no crash, and any result still parses safely.
  for (size_t i = 0; i < 1024 && i < image.size(); ++i) {
    auto copy = image;
    copy[i] ^= 0xFF;
    auto r = findVersionResource(copy);
    if (r) VersionInfo::parse(*r);
  }
}

TEST(PeVersion, DamagedVersionNodesAreBoundedByTheirParents) {
  auto image = loadDll("ver_e4.dll");
  auto resource = findVersionResource(image);
  ASSERT_TRUE(resource.has_value());
  // Every truncation of the resource parses without reading past it; a root node that claims
  // more bytes than there are is refused.
  size_t rootLength = (*resource)[0] | ((*resource)[1] << 8);
  ASSERT_LE(rootLength, resource->size());
  for (size_t n = 0; n < rootLength; ++n) {
    std::span<const uint8_t> part(resource->data(), n);
    EXPECT_FALSE(VersionInfo::parse(part).has_value()) << n;
  }
  // Child lengths blown up: the walk stops at the parent's end.
  auto damaged = *resource;
  for (size_t i = 92; i + 1 < damaged.size(); i += 2) {
    auto copy = damaged;
    copy[i] = 0xFF;
    copy[i + 1] = 0xFF;
    auto info = VersionInfo::parse(copy);
    if (info) info->queryText("\\StringFileInfo\\040904E4\\FileVersion");
  }
  std::vector<uint8_t> notVersion = {8, 0, 0, 0, 0, 0, 'X', 0};
  EXPECT_FALSE(VersionInfo::parse(notVersion).has_value());
}

TEST(PeVersion, Utf16ConvertsToCodePage1252) {
  struct Case {
    std::vector<uint8_t> in;
    std::string out;
  } cases[] = {
      {{'A', 0, 'b', 0}, "Ab"},
      {{'A', 0, 0, 0, 'B', 0}, "A"},           // stops at the NUL
      {{0xAC, 0x20, 0xE9, 0x00}, "\x80\xE9"},  // euro sign, e acute
      {{0x3A, 0x04, 'x', 0}, "?x"},            // Cyrillic has no 1252 byte
      {{'A', 0, 'B'}, "A"},                    // odd trailing byte ignored
  };
  for (const Case& c : cases) EXPECT_EQ(utf16ToAnsi(c.in), c.out);
}

}  // namespace
}  // namespace qm

namespace qm {
namespace {

// A 16-bit version node: length, value length, ANSI key, value and children, each 4-aligned.
std::vector<uint8_t> node16(const std::string& key, const std::vector<uint8_t>& value,
                            const std::vector<std::vector<uint8_t>>& children) {
  std::vector<uint8_t> out(4);
  for (char c : key) out.push_back(static_cast<uint8_t>(c));
  out.push_back(0);
  while (out.size() % 4) out.push_back(0);
  out.insert(out.end(), value.begin(), value.end());
  for (const auto& child : children) {
    while (out.size() % 4) out.push_back(0);
    out.insert(out.end(), child.begin(), child.end());
  }
  out[0] = uint8_t(out.size());
  out[1] = uint8_t(out.size() >> 8);
  out[2] = uint8_t(value.size());
  out[3] = uint8_t(value.size() >> 8);
  return out;
}

std::vector<uint8_t> text16(const std::string& s) {
  std::vector<uint8_t> v(s.begin(), s.end());
  v.push_back(0);
  return v;
}

// A minimal 16-bit executable: DOS header, NE header whose resource table names one version
// resource (shift 4, so offsets count 16-byte units).
std::vector<uint8_t> neImage(const std::vector<uint8_t>& resource, uint16_t nameId = 0x8001) {
  std::vector<uint8_t> img(0x100, 0);
  img[0] = 'M';
  img[1] = 'Z';
  img[0x3C] = 0x40;
  img[0x40] = 'N';
  img[0x41] = 'E';
  img[0x40 + 0x24] = 0x40;  // resource table at NE + 0x40
  img[0x40 + 0x26] = 0x60;  // resident names after it
  size_t t = 0x80;
  img[t] = 4;  // alignment shift
  img[t + 2] = 0x10;
  img[t + 3] = 0x80;  // type 0x8010
  img[t + 4] = 1;     // one entry
  size_t e = t + 10;
  img[e] = 0x10;  // offset 0x10 << 4 = 0x100
  img[e + 2] = uint8_t((resource.size() + 15) / 16);
  img[e + 6] = uint8_t(nameId);
  img[e + 7] = uint8_t(nameId >> 8);
  img.insert(img.end(), resource.begin(), resource.end());
  img.resize(0x100 + ((resource.size() + 15) / 16) * 16, 0);
  return img;
}

TEST(PeVersion, SixteenBitImagesGiveTheirAnsiTexts) {
  std::vector<uint8_t> fixed(52, 0);
  fixed[0] = 0xBD, fixed[1] = 0x04, fixed[2] = 0xEF, fixed[3] = 0xFE;
  fixed[10] = 3;  // file version 3.10.0.0
  fixed[8] = 10;
  auto table = node16(
      "040904E4", {},
      {node16("FileVersion", text16("3.10"), {}), node16("CompanyName", text16("Quill \xA9"), {})});
  auto resource = node16("VS_VERSION_INFO", fixed,
                         {node16("StringFileInfo", {}, {table}), node16("VarFileInfo", {}, {})});
  auto found = findVersionResource(neImage(resource));
  ASSERT_TRUE(found.has_value());
  auto info = VersionInfo::parse(*found);
  ASSERT_TRUE(info && info->fixed());
  EXPECT_EQ(info->fixed()->fileVersionMS, (3u << 16) | 10u);
  EXPECT_EQ(info->queryText("\\StringFileInfo\\040904e4\\FileVersion"), "3.10");
  EXPECT_EQ(info->queryText("\\StringFileInfo\\040904E4\\CompanyName"), "Quill \xA9");
  EXPECT_EQ(info->queryText("\\StringFileInfo\\040904B0\\FileVersion"), std::nullopt);
  // Another resource name is not the version resource; truncations are refused safely.
  EXPECT_FALSE(findVersionResource(neImage(resource, 0x8002)).has_value());
  auto image = neImage(resource);
  for (size_t n = 0; n < image.size(); ++n) {
    auto r = findVersionResource(std::span<const uint8_t>(image.data(), n));
    if (r) VersionInfo::parse(*r);
  }
}

}  // namespace
}  // namespace qm
