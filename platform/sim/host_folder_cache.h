// What a simulated machine has read of the host folders behind its disks: each folder's entries,
// matched without regard to case, and each folder's attribute lines. It holds only while the
// machine is the folders' only writer (a whole `quillpack simulate` run): the machine tells it of
// every change it makes, and nothing else changes the folders meanwhile.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

namespace qm {

// One line of a folder's attribute sidecar: the host name of an entry and its stored bits.
struct SidecarLine {
  std::string name;
  uint32_t bits;
};

class HostFolderCache {
 public:
  struct Entry {
    std::string name;  // as on the host
    bool isDirectory = false;
    bool isLink = false;  // the kind of a link's target is asked of the host each time
  };

  // The entry of dir named name, exactly or else without regard to ASCII case (the smallest such
  // name), as matchHostEntry finds it; nullopt when there is none or dir cannot be read.
  std::optional<Entry> match(const std::filesystem::path& dir, const std::string& name);
  // dir's entry names in listing order (sortedHostEntries).
  const std::vector<std::string>& names(const std::filesystem::path& dir);

  // The machine made or removed one entry of dir; a folder not read yet is left to be read.
  void added(const std::filesystem::path& dir, const std::string& name, bool isDirectory);
  void removed(const std::filesystem::path& dir, const std::string& name);
  // Reads dir again on its next use.
  void forget(const std::filesystem::path& dir);
  // Reads every folder again on its next use (sidecars are the caller's to write first).
  void forgetListings();

  // A drive folder's real path, once found during the run.
  const std::filesystem::path* realRoot(const std::filesystem::path& root) const;
  void keepRealRoot(const std::filesystem::path& root, std::filesystem::path real);

  // Attribute lines of dir, when they were read or changed during the run.
  std::vector<SidecarLine>* sidecar(const std::filesystem::path& dir);
  // Keeps dir's lines; dirty ones are to be written by the caller's flush.
  void keepSidecar(const std::filesystem::path& dir, std::vector<SidecarLine> lines, bool dirty);
  void markSidecarDirty(const std::filesystem::path& dir);
  // Drops dir's lines without writing them (the folder is gone).
  void dropSidecar(const std::filesystem::path& dir);
  // Hands over every changed sidecar (folder and lines) and forgets them all.
  std::vector<std::pair<std::filesystem::path, std::vector<SidecarLine>>> takeDirtySidecars();

 private:
  struct Listing {
    std::map<std::string, Entry> entries;                          // by host name
    std::unordered_map<std::string, std::set<std::string>> upper;  // upper-case name -> names
    std::vector<std::string> ordered;
    bool orderedValid = false;
  };
  struct Sidecar {
    std::vector<SidecarLine> lines;
    bool dirty = false;
  };

  Listing* read(const std::filesystem::path& dir);
  static void insert(Listing& l, Entry e);

  std::unordered_map<std::string, Listing> listings_;  // by host folder path
  std::map<std::string, Sidecar> sidecars_;
  std::unordered_map<std::string, std::filesystem::path> realRoots_;
};

}  // namespace qm
