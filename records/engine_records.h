// Records the script fills for the installation engine: file list, disk entries, deletions,
// renames, servers, processor and disk-space requirements, the log switch.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qm {

constexpr int kMaxEntryGroups = 12;
constexpr uint32_t kNoGroup = 65535;  // an empty group slot; in slot 0: the FILE has no GROUP
constexpr int kGroupNumbers = 100;    // option-group numbers 0 .. 99
constexpr uint32_t kAttributesNotGiven = 128;

enum class Overwrite : int { No = 0, Yes = 1, Ask = 2, New = 3 };
enum class Compression : int { None = 0, Compressed = 1, SelfExtract = 2 };

// One FILE or INSERTDISK statement; one list in script order holds both kinds.
struct FileEntry {
  int diskMarker = 0;  // 0 FILE; 1 INSERTDISK; 2 INSERTDISK with a volume label

  // FILE
  std::string name;  // as written; path macros are expanded in place before the copy
  Compression compression = Compression::None;
  Overwrite overwrite = Overwrite::Ask;
  std::array<uint32_t, kMaxEntryGroups> groups = filledGroups();  // option-group indexes
  std::string sourceDir;  // SOURCE without its trailing backslash
  bool hasSource = false;
  int sourceKind = 0;  // 2 drive or macro, 1 rooted, 0 relative to the installation's source
  uint32_t attributes = kAttributesNotGiven;

  // INSERTDISK
  std::string diskName;
  std::string volumeLabel;

  int popId = -1;

  bool isDisk() const { return diskMarker != 0; }
  bool hasGroups() const { return groups[0] != kNoGroup; }

  static std::array<uint32_t, kMaxEntryGroups> filledGroups() {
    std::array<uint32_t, kMaxEntryGroups> g;
    g.fill(kNoGroup);
    return g;
  }
};

struct RenameEntry {
  std::string oldName;
  std::string newName;
};

struct EngineRecords {
  // File list: FILE and INSERTDISK entries, and the entry being worked on.
  std::vector<FileEntry> files;
  int position = 0;
  int fileStatements = 0;  // FILE statements read (INSERTDISK not counted)

  std::vector<RenameEntry> renames;
  std::vector<std::string> deletes;
  std::vector<std::string> servers;

  int requiredProcessor = 0;  // 0, or 386 / 486 / 586 ...
  // Sizes are kept in 64 bits so that a large requirement or a large disk never wraps.
  uint64_t baseSpace = 1;
  std::array<std::optional<uint64_t>, kGroupNumbers> spaceByGroupNumber{};
  uint64_t freeSpace = 0;  // of the destination drive, measured by the destination phase
  int64_t progressSize = 0;

  Overwrite overwriteDefault = Overwrite::Ask;
  bool logging = false;        // UNINSTALL YES
  int compressionKind = 0;     // COMPRESSION: 0 PKWARE, 1 LHA
  bool anyCompressed = false;  // a FILE carries COMPRESSED or SELF-EXTRACT
  // Targets whose copy broke off (read or write error): on the disk, but not whole.
  std::vector<std::string> brokenFiles;
};

}  // namespace qm
