// The folders are layers: a file includes from its own folder and the ones below it, never from
// one above. Test code (tests and the fixtures only tests use) may include anything, and only the
// Win32 folders and app/ talk to Windows itself. docs/layering.md explains the order.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Lowest first.
const std::vector<std::string> kLayers = {"base",   "platform", "records",   "script",
                                          "ui",     "engine",   "sysconfig", "uninstall",
                                          "finish", "shell",    "tools",     "app"};

const std::set<std::string> kWindowsHeaders = {"windows.h",  "ddeml.h",  "commctrl.h", "commdlg.h",
                                               "shellapi.h", "shlobj.h", "winreg.h",   "objbase.h"};

int rankOf(const std::string& folder) {
  auto it = std::find(kLayers.begin(), kLayers.end(), folder);
  return it == kLayers.end() ? -1 : static_cast<int>(it - kLayers.begin());
}

std::string topFolder(const std::string& path) { return path.substr(0, path.find('/')); }

bool endsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

bool isTestCode(const std::string& path) {
  return endsWith(path, "_test.cpp") || endsWith(path, "_for_tests.h") ||
         endsWith(path, "_for_tests.cpp");
}

bool inWindowsFolder(const std::string& path) {
  return path.rfind("platform/win32/", 0) == 0 || path.rfind("ui/win32/", 0) == 0 ||
         path.rfind("shell/win32/", 0) == 0 || path.rfind("app/", 0) == 0;
}

struct Include {
  std::string file;  // relative to the source root
  int line = 0;
  std::string header;
  bool angled = false;
};

// Every #include of every source file in the layer folders, test code left out.
std::vector<Include> coreIncludes(const fs::path& root, size_t& files) {
  const std::regex includeLine(R"(^\s*#\s*include\s*([<"])([^>"]+)[>"])");
  std::vector<Include> out;
  files = 0;
  for (const std::string& layer : kLayers) {
    std::error_code ec;
    for (fs::recursive_directory_iterator it(root / layer, ec), end; !ec && it != end;
         it.increment(ec)) {
      if (!it->is_regular_file()) continue;
      const std::string ext = it->path().extension().string();
      if (ext != ".h" && ext != ".cpp") continue;
      const std::string rel = fs::relative(it->path(), root).generic_string();
      if (isTestCode(rel)) continue;
      ++files;
      std::ifstream in(it->path());
      std::string text;
      for (int n = 1; std::getline(in, text); ++n) {
        std::smatch m;
        if (std::regex_search(text, m, includeLine))
          out.push_back({rel, n, m[2].str(), m[1].str() == "<"});
      }
    }
  }
  return out;
}

std::string where(const Include& inc) { return inc.file + ":" + std::to_string(inc.line) + ": "; }

std::string oneALine(const std::vector<std::string>& faults) {
  std::string all;
  for (const auto& f : faults) all += f + "\n";
  return all;
}

class Layering : public ::testing::Test {
 protected:
  void SetUp() override {
    size_t files = 0;
    includes_ = coreIncludes(QM_SOURCE_DIR, files);
    // The walk itself must have found the tree, or every check would pass on nothing.
    ASSERT_GT(files, 100u) << "no sources found under " << QM_SOURCE_DIR;
  }
  std::vector<Include> includes_;
};

TEST_F(Layering, NoFolderIncludesFromAFolderAboveIt) {
  ASSERT_TRUE(std::any_of(includes_.begin(), includes_.end(), [](const Include& i) {
    return i.file == "script/install_state.h" && i.header == "records/engine_records.h";
  }));
  std::vector<std::string> faults;
  for (const Include& inc : includes_) {
    if (inc.angled) continue;
    const std::string from = topFolder(inc.file);
    const std::string to = topFolder(inc.header);
    const int fromRank = rankOf(from), toRank = rankOf(to);
    if (toRank < 0) continue;  // not one of the tree's folders
    if (toRank > fromRank)
      faults.push_back(where(inc) + from + "/ includes " + inc.header + " from " + to +
                       "/, which lies above it");
    if (inc.header.find("/win32/") != std::string::npos && !inWindowsFolder(inc.file))
      faults.push_back(where(inc) + "portable code includes " + inc.header);
  }
  EXPECT_TRUE(faults.empty()) << oneALine(faults);
}

TEST_F(Layering, OnlyTheWin32FoldersAndAppIncludeWindowsHeaders) {
  size_t windowsIncludes = 0;
  std::vector<std::string> faults;
  for (const Include& inc : includes_) {
    std::string name = inc.header;
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (!inc.angled || !kWindowsHeaders.count(name)) continue;
    ++windowsIncludes;
    if (!inWindowsFolder(inc.file)) faults.push_back(where(inc) + "includes <" + inc.header + ">");
  }
  // The real seam does include it: a scan that sees none has missed the tree.
  EXPECT_GT(windowsIncludes, 0u);
  EXPECT_TRUE(faults.empty()) << oneALine(faults);
}

}  // namespace
