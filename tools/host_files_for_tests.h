// Test helpers for quillpack's commands: a scratch host folder and fingerprints of its files, so
// a test can show that a command left every file it did not own byte for byte as it was.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>

#include "tools/quillpack_commands.h"

namespace qm::pack::testing {

namespace fs = std::filesystem;

// FNV-1a over a file's bytes; 0 for a file that cannot be read.
inline uint64_t fileHash(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  if (!in) return 0;
  uint64_t h = 0xCBF29CE484222325ull;
  for (char c; in.get(c);) h = (h ^ uint8_t(c)) * 0x100000001B3ull;
  return h;
}

inline std::string randomBytes(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  std::string s(n, '\0');
  for (char& c : s) c = char(rng());
  return s;
}

struct ScratchDir {
  fs::path path;
  ScratchDir() {
    static std::atomic<int> counter{0};
    path = fs::temp_directory_path() /
           ("qm-safety-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    fs::remove_all(path);
    fs::create_directories(path);
  }
  ~ScratchDir() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
  std::string write(const std::string& name, const std::string& data) {
    fs::path p = path / name;
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << data;
    return p.string();
  }
  std::string read(const std::string& name) const {
    std::ifstream in(path / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::string at(const std::string& name) const { return (path / name).string(); }
  // Every file below the folder with its hash: equal snapshots mean nothing was added,
  // removed or changed (temporaries included).
  std::map<std::string, uint64_t> snapshot() const {
    std::map<std::string, uint64_t> out;
    for (const auto& e : fs::recursive_directory_iterator(path)) {
      uint64_t mark = 1;
      // Huge (sparse) inputs are told apart by their size; reading them would take minutes.
      if (e.is_regular_file()) mark = e.file_size() > (64u << 20) ? e.file_size() : fileHash(e);
      out[fs::relative(e.path(), path).string()] = mark;
    }
    return out;
  }
};

struct CommandRun {
  int code = -1;
  std::string out, err;
};

inline CommandRun runCommand(int (*command)(const Args&), const Args& args) {
  CommandRun r;
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  r.code = command(args);
  r.err = ::testing::internal::GetCapturedStderr();
  r.out = ::testing::internal::GetCapturedStdout();
  return r;
}

}  // namespace qm::pack::testing
