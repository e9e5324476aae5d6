#include "base/pe_version.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "base/text.h"

namespace qm {

namespace {

// Every offset read from the file is checked against these before it is used: the walk never
// trusts a count or an offset it has not bounded.
constexpr uint64_t kMaxResourceBytes = 16u * 1024 * 1024;
constexpr int kMaxNodeDepth = 8;
constexpr uint16_t kVersionResourceType = 16;
constexpr uint16_t kVersionResourceName = 1;

uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t le32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
size_t align4(size_t n) { return (n + 3) & ~size_t(3); }

struct Section {
  uint32_t virtualAddress = 0;
  uint32_t virtualSize = 0;
  uint32_t rawSize = 0;
  uint32_t rawOffset = 0;
};

class Image {
 public:
  Image(const ByteReader& read, uint64_t size) : read_(read), size_(size) {}

  bool get(uint64_t offset, uint8_t* out, size_t count) const {
    if (offset > size_ || count > size_ - offset) return false;
    return read_(offset, out, count);
  }
  std::optional<uint32_t> u32(uint64_t offset) const {
    uint8_t b[4];
    if (!get(offset, b, 4)) return std::nullopt;
    return le32(b);
  }
  std::optional<uint16_t> u16(uint64_t offset) const {
    uint8_t b[2];
    if (!get(offset, b, 2)) return std::nullopt;
    return le16(b);
  }

 private:
  const ByteReader& read_;
  uint64_t size_;
};

// File offset of an RVA that lies in a section's raw data, with the bytes available from there.
std::optional<std::pair<uint64_t, uint64_t>> rvaToOffset(const std::vector<Section>& sections,
                                                         uint32_t rva) {
  for (const Section& s : sections) {
    uint32_t span = s.virtualSize ? s.virtualSize : s.rawSize;
    if (rva < s.virtualAddress || rva - s.virtualAddress >= span) continue;
    uint32_t delta = rva - s.virtualAddress;
    if (delta >= s.rawSize) return std::nullopt;  // in the zero-filled tail: no file bytes
    return std::make_pair(uint64_t(s.rawOffset) + delta, uint64_t(s.rawSize - delta));
  }
  return std::nullopt;
}

struct DirEntry {
  uint32_t name;
  uint32_t target;
};

// Entries of one resource directory at the given offset inside the resource section.
std::optional<std::vector<DirEntry>> readDirectory(const Image& img, uint64_t sectionStart,
                                                   uint64_t sectionSize, uint32_t dirOffset) {
  if (dirOffset > sectionSize || sectionSize - dirOffset < 16) return std::nullopt;
  auto named = img.u16(sectionStart + dirOffset + 12);
  auto ids = img.u16(sectionStart + dirOffset + 14);
  if (!named || !ids) return std::nullopt;
  uint64_t count = uint64_t(*named) + *ids;
  if ((sectionSize - dirOffset - 16) / 8 < count) return std::nullopt;
  std::vector<DirEntry> entries;
  entries.reserve(count);
  for (uint64_t i = 0; i < count; ++i) {
    uint64_t at = sectionStart + dirOffset + 16 + i * 8;
    auto name = img.u32(at);
    auto target = img.u32(at + 4);
    if (!name || !target) return std::nullopt;
    entries.push_back({*name, *target});
  }
  return entries;
}

const DirEntry* findId(const std::vector<DirEntry>& entries, uint32_t id) {
  for (const DirEntry& e : entries)
    if (!(e.name & 0x80000000u) && e.name == id) return &e;
  return nullptr;
}

}  // namespace

namespace {

// A 16-bit (NE) image: the resource table lists types, each with its named entries; offsets and
// lengths are in units of the table's alignment shift.
std::optional<std::vector<uint8_t>> findNeVersionResource(const Image& img, uint64_t ne) {
  auto tableOffset = img.u16(ne + 0x24);
  auto residentNames = img.u16(ne + 0x26);
  if (!tableOffset || !residentNames || *tableOffset == *residentNames) return std::nullopt;
  uint64_t at = ne + *tableOffset;
  auto shift = img.u16(at);
  if (!shift || *shift > 24) return std::nullopt;
  at += 2;
  // The table ends with a zero type; bound the walk by the resident-name table after it.
  uint64_t end = ne + *residentNames;
  while (at + 8 <= end) {
    auto type = img.u16(at);
    auto count = img.u16(at + 2);
    if (!type || !count || *type == 0) return std::nullopt;
    uint64_t names = at + 8;
    if (*type == (0x8000 | kVersionResourceType)) {
      for (uint16_t i = 0; i < *count && names + 12 * (i + 1) <= end; ++i) {
        uint64_t entry = names + 12 * uint64_t(i);
        auto offset = img.u16(entry);
        auto length = img.u16(entry + 2);
        auto id = img.u16(entry + 6);
        if (!offset || !length || !id || *id != (0x8000 | kVersionResourceName)) continue;
        uint64_t bytes = uint64_t(*length) << *shift;
        if (bytes == 0 || bytes > kMaxResourceBytes) return std::nullopt;
        std::vector<uint8_t> out(bytes);
        if (!img.get(uint64_t(*offset) << *shift, out.data(), out.size())) return std::nullopt;
        return out;
      }
      return std::nullopt;
    }
    at = names + 12 * uint64_t(*count);
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::vector<uint8_t>> findVersionResource(const ByteReader& read, uint64_t size) {
  Image img(read, size);
  uint8_t mz[2];
  if (!img.get(0, mz, 2) || mz[0] != 'M' || mz[1] != 'Z') return std::nullopt;
  auto peOffset = img.u32(0x3C);
  if (!peOffset) return std::nullopt;
  uint8_t sig[4];
  if (img.get(*peOffset, sig, 2) && sig[0] == 'N' && sig[1] == 'E')
    return findNeVersionResource(img, *peOffset);
  if (!img.get(*peOffset, sig, 4) || std::memcmp(sig, "PE\0\0", 4) != 0) return std::nullopt;
  uint64_t coff = uint64_t(*peOffset) + 4;
  auto sectionCount = img.u16(coff + 2);
  auto optionalSize = img.u16(coff + 16);
  if (!sectionCount || !optionalSize) return std::nullopt;
  uint64_t opt = coff + 20;
  auto magic = img.u16(opt);
  if (!magic) return std::nullopt;
  // PE32 and PE32+ differ only in where the data directories start.
  uint64_t dirCountAt, dirsAt;
  if (*magic == 0x10B) {
    dirCountAt = opt + 92;
    dirsAt = opt + 96;
  } else if (*magic == 0x20B) {
    dirCountAt = opt + 108;
    dirsAt = opt + 112;
  } else {
    return std::nullopt;
  }
  auto dirCount = img.u32(dirCountAt);
  if (!dirCount || *dirCount < 3 || dirsAt + 3 * 8 > opt + *optionalSize) return std::nullopt;
  auto resourceRva = img.u32(dirsAt + 2 * 8);
  auto resourceSize = img.u32(dirsAt + 2 * 8 + 4);
  if (!resourceRva || !resourceSize || *resourceRva == 0) return std::nullopt;

  std::vector<Section> sections;
  uint64_t table = opt + *optionalSize;
  for (uint16_t i = 0; i < *sectionCount; ++i) {
    uint8_t raw[40];
    if (!img.get(table + uint64_t(i) * 40, raw, 40)) return std::nullopt;
    sections.push_back({le32(raw + 12), le32(raw + 8), le32(raw + 16), le32(raw + 20)});
  }
  auto where = rvaToOffset(sections, *resourceRva);
  if (!where) return std::nullopt;
  uint64_t base = where->first;
  // Offsets inside the resource tree are relative to its start; bound them by the section bytes.
  uint64_t limit = where->second;

  auto types = readDirectory(img, base, limit, 0);
  if (!types) return std::nullopt;
  const DirEntry* type = findId(*types, kVersionResourceType);
  if (!type || !(type->target & 0x80000000u)) return std::nullopt;
  auto names = readDirectory(img, base, limit, type->target & 0x7FFFFFFFu);
  if (!names) return std::nullopt;
  const DirEntry* name = findId(*names, kVersionResourceName);
  if (!name || !(name->target & 0x80000000u)) return std::nullopt;
  auto languages = readDirectory(img, base, limit, name->target & 0x7FFFFFFFu);
  if (!languages || languages->empty()) return std::nullopt;
  const DirEntry* language = findId(*languages, 0);
  if (!language) language = findId(*languages, 0x409);
  if (!language) language = &languages->front();
  if (language->target & 0x80000000u) return std::nullopt;  // a data entry, not a directory

  uint32_t dataEntry = language->target;
  if (dataEntry > limit || limit - dataEntry < 16) return std::nullopt;
  auto dataRva = img.u32(base + dataEntry);
  auto dataSize = img.u32(base + dataEntry + 4);
  if (!dataRva || !dataSize || *dataSize == 0 || *dataSize > kMaxResourceBytes) return std::nullopt;
  auto data = rvaToOffset(sections, *dataRva);
  if (!data || data->second < *dataSize) return std::nullopt;
  std::vector<uint8_t> out(*dataSize);
  if (!img.get(data->first, out.data(), out.size())) return std::nullopt;
  return out;
}

std::optional<std::vector<uint8_t>> findVersionResource(std::span<const uint8_t> image) {
  ByteReader read = [image](uint64_t offset, uint8_t* out, size_t count) {
    if (offset > image.size() || count > image.size() - offset) return false;
    std::memcpy(out, image.data() + offset, count);
    return true;
  };
  return findVersionResource(read, image.size());
}

std::string utf16ToAnsi(std::span<const uint8_t> bytes) {
  // Code page 1252 differs from Latin-1 only in 0x80..0x9F.
  static constexpr std::array<uint16_t, 32> kHigh = {
      0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
  std::string out;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    uint16_t c = le16(bytes.data() + i);
    if (c == 0) break;
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
      out += static_cast<char>(c);
      continue;
    }
    auto hit = std::find(kHigh.begin(), kHigh.end(), c);
    out += hit != kHigh.end() ? static_cast<char>(0x80 + (hit - kHigh.begin())) : '?';
  }
  return out;
}

std::optional<VersionInfo::Node> VersionInfo::parseNode(std::span<const uint8_t> bytes,
                                                        size_t offset, size_t end, int depth,
                                                        size_t& next) {
  if (depth > kMaxNodeDepth || offset > end || end - offset < 6) return std::nullopt;
  const uint8_t* p = bytes.data() + offset;
  size_t length = le16(p);
  size_t valueLength = le16(p + 2);
  uint16_t type = le16(p + 4);
  if (length < 6 || length > end - offset) return std::nullopt;
  size_t nodeEnd = offset + length;
  next = align4(nodeEnd);

  Node node;
  node.text = type == 1;
  size_t keyStart = offset + 6;
  size_t keyEnd = keyStart;
  while (keyEnd + 1 < nodeEnd && le16(bytes.data() + keyEnd) != 0) keyEnd += 2;
  if (keyEnd + 1 >= nodeEnd) {
    // A key without its NUL fills the node: there is no value and there are no children.
    node.key = utf16ToAnsi(bytes.subspan(keyStart, nodeEnd - keyStart));
    return node;
  }
  node.key = utf16ToAnsi(bytes.subspan(keyStart, keyEnd - keyStart));
  size_t valueStart = std::min(align4(keyEnd + 2), nodeEnd);
  // Text values count UTF-16 units, binary ones bytes; some tools got this wrong, so the value
  // is cut at the node's end rather than trusted.
  size_t valueBytes = node.text ? valueLength * 2 : valueLength;
  size_t valueEnd = std::min(valueStart + valueBytes, nodeEnd);
  node.value.assign(bytes.begin() + valueStart, bytes.begin() + valueEnd);

  size_t child = align4(valueStart + valueBytes);
  while (child < nodeEnd && nodeEnd - child >= 6) {
    size_t after = 0;
    auto parsed = parseNode(bytes, child, nodeEnd, depth + 1, after);
    if (!parsed) break;  // a damaged child ends the list; what was read stays usable
    node.children.push_back(std::move(*parsed));
    child = after;
  }
  return node;
}

std::optional<VersionInfo::Node> VersionInfo::parseNode16(std::span<const uint8_t> bytes,
                                                          size_t offset, size_t end, int depth,
                                                          size_t& next) {
  if (depth > kMaxNodeDepth || offset > end || end - offset < 4) return std::nullopt;
  const uint8_t* p = bytes.data() + offset;
  size_t length = le16(p);
  size_t valueLength = le16(p + 2);
  if (length < 4 || length > end - offset) return std::nullopt;
  size_t nodeEnd = offset + length;
  next = align4(nodeEnd);

  Node node;
  node.text = true;
  size_t keyStart = offset + 4;
  size_t keyEnd = keyStart;
  while (keyEnd < nodeEnd && bytes[keyEnd] != 0) ++keyEnd;
  node.key.assign(bytes.begin() + keyStart, bytes.begin() + keyEnd);
  if (keyEnd >= nodeEnd) return node;
  size_t valueStart = std::min(align4(keyEnd + 1), nodeEnd);
  size_t valueEnd = std::min(valueStart + valueLength, nodeEnd);
  node.value.assign(bytes.begin() + valueStart, bytes.begin() + valueEnd);
  size_t child = align4(valueStart + valueLength);
  while (child < nodeEnd && nodeEnd - child >= 4) {
    size_t after = 0;
    auto parsed = parseNode16(bytes, child, nodeEnd, depth + 1, after);
    if (!parsed) break;
    node.children.push_back(std::move(*parsed));
    child = after;
  }
  return node;
}

std::optional<VersionInfo> VersionInfo::parse(std::span<const uint8_t> resource) {
  size_t next = 0;
  // The 16-bit layout has an ANSI key right after two words; the 32-bit one a type word first.
  static constexpr char kRootKey[] = "VS_VERSION_INFO";
  bool sixteen = resource.size() >= 4 + sizeof kRootKey &&
                 std::memcmp(resource.data() + 4, kRootKey, sizeof kRootKey) == 0;
  auto root = sixteen ? parseNode16(resource, 0, resource.size(), 0, next)
                      : parseNode(resource, 0, resource.size(), 0, next);
  if (!root || !equalsNoCase(root->key, "VS_VERSION_INFO")) return std::nullopt;
  VersionInfo info;
  info.root_ = std::move(*root);
  info.ansi_ = sixteen;
  const auto& v = info.root_.value;
  if (v.size() >= 52 && le32(v.data()) == kFixedFileInfoSignature) {
    FixedFileInfo f;
    f.structVersion = le32(&v[4]);
    f.fileVersionMS = le32(&v[8]);
    f.fileVersionLS = le32(&v[12]);
    f.productVersionMS = le32(&v[16]);
    f.productVersionLS = le32(&v[20]);
    f.fileFlagsMask = le32(&v[24]);
    f.fileFlags = le32(&v[28]);
    f.fileOS = le32(&v[32]);
    f.fileType = le32(&v[36]);
    f.fileSubtype = le32(&v[40]);
    f.fileDateMS = le32(&v[44]);
    f.fileDateLS = le32(&v[48]);
    info.fixed_ = f;
  }
  return info;
}

const VersionInfo::Node* VersionInfo::find(std::string_view path) const {
  const Node* node = &root_;
  size_t i = 0;
  while (i < path.size()) {
    if (path[i] == '\\') {
      ++i;
      continue;
    }
    size_t slash = path.find('\\', i);
    std::string_view component =
        path.substr(i, slash == std::string_view::npos ? slash : slash - i);
    const Node* found = nullptr;
    for (const Node& c : node->children)
      if (equalsNoCase(c.key, component)) {
        found = &c;
        break;
      }
    if (!found) return nullptr;
    node = found;
    i += component.size();
  }
  return node;
}

std::optional<std::string> VersionInfo::queryText(std::string_view path) const {
  const Node* node = find(path);
  if (!node || node == &root_) return std::nullopt;
  if (ansi_) {
    std::string text(node->value.begin(), node->value.end());
    return text.substr(0, text.find('\0'));
  }
  return utf16ToAnsi(node->value);
}

std::vector<uint32_t> VersionInfo::translations() const {
  std::vector<uint32_t> out;
  const Node* node = find("\\VarFileInfo\\Translation");
  if (!node) return out;
  for (size_t i = 0; i + 4 <= node->value.size(); i += 4) out.push_back(le32(&node->value[i]));
  return out;
}

}  // namespace qm
