// Runs IF conditions and version reads on the real Win32 seam, and cross-checks the version texts
// against the system's own version functions and against the portable resource reader.
//
//   conditions_probe version FILE...      each file: seam, system and portable texts must agree
//   conditions_probe eval SOURCEDIR LINE  evaluates "IF ..." and prints the result and macros
//   conditions_probe facts                prints what the seam reports about the machine
//
// Exit code: 0 when every check agreed (eval: always 0 once the line ran), 1 on a mismatch,
// 2 on bad arguments.
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "base/pe_version.h"
#include "platform/win32/win32_system.h"
#include "script/conditions.h"
#include "script/script_reader.h"

namespace {

using namespace qm;

const char* const kQueries[] = {
    "\\StringFileInfo\\040904E4\\FileVersion", "\\StringFileInfo\\040904B0\\FileVersion",
    "\\StringFileInfo\\040904B0\\CompanyName", "\\StringFileInfo\\040904E4\\CompanyName"};

// The system's answer, straight from the version functions.
std::string systemText(const std::string& path, const char* query, bool& found) {
  found = false;
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
  if (!size) return {};
  std::vector<char> block(size + 1);
  if (!GetFileVersionInfoA(path.c_str(), 0, size, block.data())) return {};
  void* p = nullptr;
  UINT len = 0;
  if (!VerQueryValueA(block.data(), query, &p, &len) || !p) return {};
  found = true;
  return std::string(static_cast<const char*>(p));
}

std::string systemFixed(const std::string& path) {
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
  if (!size) return "none";
  std::vector<char> block(size + 1);
  if (!GetFileVersionInfoA(path.c_str(), 0, size, block.data())) return "none";
  void* p = nullptr;
  UINT len = 0;
  if (!VerQueryValueA(block.data(), "\\", &p, &len) || len < sizeof(VS_FIXEDFILEINFO))
    return "none";
  auto* f = static_cast<VS_FIXEDFILEINFO*>(p);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%u.%u.%u.%u", unsigned(HIWORD(f->dwFileVersionMS)),
                unsigned(LOWORD(f->dwFileVersionMS)), unsigned(HIWORD(f->dwFileVersionLS)),
                unsigned(LOWORD(f->dwFileVersionLS)));
  return buf;
}

int versionCommand(int argc, char** argv) {
  Win32System sys;
  int mismatches = 0;
  for (int i = 2; i < argc; ++i) {
    std::string path = argv[i];
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    auto resource = findVersionResource(bytes);
    auto info = resource ? VersionInfo::parse(*resource) : std::nullopt;

    for (const char* q : kQueries) {
      bool found = false;
      std::string api = systemText(path, q, found);
      auto seam = sys.versionText(path, q);
      auto portable = info ? info->queryText(q) : std::nullopt;
      bool agree = found == seam.has_value() && found == portable.has_value() &&
                   (!found || (api == *seam && api == *portable));
      if (!agree) {
        ++mismatches;
        std::printf("MISMATCH %s %s api=%s[%s] seam=%s[%s] portable=%s[%s]\n", path.c_str(), q,
                    found ? "yes" : "no", api.c_str(), seam ? "yes" : "no",
                    seam ? seam->c_str() : "", portable ? "yes" : "no",
                    portable ? portable->c_str() : "");
      }
    }
    std::string fixedPortable = "none";
    if (info && info->fixed()) {
      const FixedFileInfo& f = *info->fixed();
      char buf[64];
      std::snprintf(buf, sizeof buf, "%u.%u.%u.%u", f.fileVersionMS >> 16, f.fileVersionMS & 0xFFFF,
                    f.fileVersionLS >> 16, f.fileVersionLS & 0xFFFF);
      fixedPortable = buf;
    }
    std::string fixedApi = systemFixed(path);
    if (fixedApi != fixedPortable) {
      ++mismatches;
      std::printf("MISMATCH %s fixed api=%s portable=%s\n", path.c_str(), fixedApi.c_str(),
                  fixedPortable.c_str());
    }
    std::string text;
    int r = readFileVersion(sys, path, text);
    std::printf("version %s result=%d text=%s fixed=%s\n", path.c_str(), r, text.c_str(),
                fixedApi.c_str());
  }
  return mismatches ? 1 : 0;
}

class ConsoleUi : public Ui {
 public:
  MsgResult messageBox(const MessageRequest& r) override {
    std::printf("box %s\n", r.text.c_str());
    return MsgResult::Ok;
  }
  void showCheckingSystem() override { ++boxes; }
  int boxes = 0;
};

class NoLines : public ScriptReader {
 public:
  int nextScriptLine(std::string&) override { return 0; }
};

double versionNumber(unsigned major, unsigned minor) {
  return conditionFraction(std::to_string(major) + "." + std::to_string(minor));
}

int evalCommand(const std::string& sourceDir, const std::string& text) {
  Win32System sys;
  InstallState state;
  MacroValues macros;
  StartupValues startup;
  ConsoleUi ui;
  NoLines reader;
  macros.sourceDir = sourceDir;
  macros.winDir = sys.windowsDirectory();
  uint32_t v = sys.versionWord();
  startup.windowsVersion = versionNumber(v & 0xFF, (v >> 8) & 0xFF);
  startup.dosVersion = versionNumber(v >> 24, (v >> 16) & 0xFF);
  StatementLine line(&macros);
  line.load(text);
  line.readKeyword();
  StatementContext ctx{state, line, macros, startup, sys, ui, reader};
  int result = evaluateCondition(ctx);
  std::printf("result=%d\nlocatedir=%s\nlocatedrive=%s\nleft=%s\nright=%s\nsearch=%s\nboxes=%d\n",
              result, macros.locateDir.c_str(), macros.locateDrive.c_str(), macros.left.c_str(),
              macros.right.c_str(), macros.search.c_str(), ui.boxes);
  return 0;
}

int factsCommand() {
  Win32System sys;
  DisplayCaps caps = sys.displayCaps();
  uint32_t v = sys.versionWord();
  std::printf("memory=%llu\n", static_cast<unsigned long long>(sys.totalPhysicalMemory()));
  std::printf("display=%dx%dx%d planes=%d\n", caps.width, caps.height, caps.bitsPerPixel,
              caps.planes);
  std::printf("winver=%u.%u\ndosver=%u.%u\n", v & 0xFF, (v >> 8) & 0xFF, v >> 24, (v >> 16) & 0xFF);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string command = argc > 1 ? argv[1] : "";
  if (command == "version" && argc > 2) return versionCommand(argc, argv);
  if (command == "eval" && argc == 4) return evalCommand(argv[2], argv[3]);
  if (command == "facts" && argc == 2) return factsCommand();
  std::fprintf(stderr,
               "usage: conditions_probe version FILE... | eval SOURCEDIR \"IF ...\" | facts\n");
  return 2;
}
