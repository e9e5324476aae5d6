#include "platform/sim/sim_fixture_for_tests.h"

#include <fstream>
#include <sstream>

#include "platform/sim/fat_clock.h"

namespace qm {

namespace fs = std::filesystem;

fs::path SimFixture::host(const std::string& winPath) {
  return sys().hostPath(winPath).value_or(fs::path());
}

void SimFixture::writeFile(const std::string& winPath, std::string_view contents,
                           std::optional<FatTime> time, std::optional<uint32_t> attributes) {
  auto p = sys().resolve(winPath);
  if (!p || p->isRoot()) return;
  SimSystem::WinPath parent = *p;
  parent.parts.pop_back();
  makeDirectory(parent.text());
  fs::path h = host(winPath);
  if (h.empty()) return;
  {
    std::ofstream out(h, std::ios::binary | std::ios::trunc);
    out.write(contents.data(), std::streamsize(contents.size()));
  }
  if (time) setHostFileTime(h, *time);
  if (attributes) sys().setAttributes(winPath, *attributes);
}

std::optional<std::string> SimFixture::readFile(const std::string& winPath) {
  fs::path h = host(winPath);
  std::error_code ec;
  if (h.empty() || !fs::is_regular_file(h, ec)) return std::nullopt;
  std::ifstream in(h, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool SimFixture::exists(const std::string& winPath) {
  return sys().attributes(winPath).has_value();
}

std::vector<std::string> SimFixture::tree(char drive) {
  std::vector<std::string> out;
  auto rootHost = sys().hostPath(std::string{drive, ':', '\\'});
  if (!rootHost) return out;
  struct Walk {
    static void run(const fs::path& dir, const std::string& prefix, std::vector<std::string>& out) {
      for (const auto& name : sortedHostEntries(dir)) {
        std::error_code ec;
        if (fs::is_directory(dir / name, ec)) {
          out.push_back(prefix + name + "\\");
          run(dir / name, prefix + name + "\\", out);
        } else {
          out.push_back(prefix + name);
        }
      }
    }
  };
  Walk::run(*rootHost, "", out);
  return out;
}

std::string SimFixture::processesLog() const {
  std::ifstream in(root() / "processes.log", std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace qm
