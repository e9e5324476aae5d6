// Version resources read straight from a Win32 executable's bytes: the PE resource section is
// walked by hand so that the simulated machine reports the same version texts and numbers that
// the system's version functions report for the same file.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

// The fixed part of a version resource (the value of its root node).
struct FixedFileInfo {
  uint32_t structVersion = 0;
  uint32_t fileVersionMS = 0, fileVersionLS = 0;
  uint32_t productVersionMS = 0, productVersionLS = 0;
  uint32_t fileFlagsMask = 0, fileFlags = 0;
  uint32_t fileOS = 0, fileType = 0, fileSubtype = 0;
  uint32_t fileDateMS = 0, fileDateLS = 0;
  friend bool operator==(const FixedFileInfo&, const FixedFileInfo&) = default;
};

constexpr uint32_t kFixedFileInfoSignature = 0xFEEF04BD;

// Reads count bytes at offset into out; false when the range is not all there.
using ByteReader = std::function<bool(uint64_t offset, uint8_t* out, size_t count)>;

// The raw bytes of an image's version resource (type 16, name 1; in a 32-bit PE image the
// language-neutral or US English entry when there are several, else the first; 16-bit NE images
// too), or nullopt when there is none or the image is malformed. size is the whole file's size;
// nothing outside it is read.
std::optional<std::vector<uint8_t>> findVersionResource(const ByteReader& read, uint64_t size);
std::optional<std::vector<uint8_t>> findVersionResource(std::span<const uint8_t> image);

// A parsed version resource: the 32-bit UTF-16 layout or the 16-bit ANSI one.
class VersionInfo {
 public:
  // nullopt when the bytes do not start with a well-formed "VS_VERSION_INFO" node.
  static std::optional<VersionInfo> parse(std::span<const uint8_t> resource);

  const std::optional<FixedFileInfo>& fixed() const { return fixed_; }
  // The text at a query path such as "\StringFileInfo\040904E4\FileVersion" (keys compared
  // without regard to case, empty components skipped), converted to the ANSI code page 1252 with
  // '?' for what it cannot show; nullopt when a component is missing or the node holds no text.
  std::optional<std::string> queryText(std::string_view path) const;
  // The language and code-page pairs of "\VarFileInfo\Translation" (language in the low word).
  std::vector<uint32_t> translations() const;

 private:
  struct Node {
    std::string key;  // ANSI form of the key
    bool text = false;
    std::vector<uint8_t> value;
    std::vector<Node> children;
  };
  static std::optional<Node> parseNode(std::span<const uint8_t> bytes, size_t offset, size_t end,
                                       int depth, size_t& next);
  static std::optional<Node> parseNode16(std::span<const uint8_t> bytes, size_t offset, size_t end,
                                         int depth, size_t& next);
  const Node* find(std::string_view path) const;

  Node root_;
  bool ansi_ = false;  // the 16-bit layout: keys and texts are ANSI already
  std::optional<FixedFileInfo> fixed_;
};

// UTF-16LE code units to code page 1252, stopping at the first NUL.
std::string utf16ToAnsi(std::span<const uint8_t> bytes);

}  // namespace qm
