// quillpack check: every syntax error of a script, with its line number.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>

#include "platform/sim/sim_fixture.h"
#include "platform/sim/sim_system.h"
#include "script/conditions.h"
#include "script/deferred.h"
#include "script/parser.h"
#include "shell/startup.h"
#include "tools/quillpack_commands.h"
#include "tools/script_check.h"

namespace qm::pack {

namespace {

constexpr const char* kUsage = "usage: quillpack check [--machine MACHINE.ini] SCRIPT";

constexpr const char* kHelp =
    "usage: quillpack check [--machine MACHINE.ini] SCRIPT\n"
    "\n"
    "Reads SCRIPT as the installer reads it at start-up and prints every syntax error as\n"
    "SCRIPT:LINE: text of the line. Exit status 0 when the script is clean, 1 otherwise.\n"
    "\n"
    "The installer stops at the first error: the first line printed is the one its\n"
    "\"Syntax error, line:\" box shows. Later lines are what the checker found by reading on;\n"
    "an error can hide or cause others, so fix from the top.\n"
    "\n"
    "IF conditions are tested on the simulated machine of MACHINE.ini (default: Windows 3.95,\n"
    "16 MB, 640x480x8, drives A: and C:), so lines in a branch that is false there are not\n"
    "read, as on such a machine. IF blocks that wait for the user's answers are read at the\n"
    "end both ways, answer true and answer false; their errors are printed after the others,\n"
    "as the installer would show them only during the installation.\n";

// Answers every box with OK and shows nothing: a check has no one to ask.
class SilentUi : public Ui {
 public:
  MsgResult messageBox(const MessageRequest&) override { return MsgResult::Ok; }
};

std::string withoutTrailingBackslash(std::string dir) {
  if (dir.size() > 3 && dir.back() == '\\') dir.pop_back();
  if (dir.size() == 3 && dir[1] == ':' && dir[2] == '\\') dir.pop_back();
  return dir;
}

// What start-up would have worked out before the parse, for a script on the first disk.
void prepareRun(System& sys, MacroValues& macros, StartupValues& startup) {
  macros.sourceDir = "A:";
  macros.sourceDir8 = "A:";
  macros.sourceDrive = "A";
  macros.winDir = withoutTrailingBackslash(sys.windowsDirectory());
  macros.winSysDir = withoutTrailingBackslash(sys.systemDirectory());
  macros.winHelpDir = macros.winDir + "\\help";
  startup.scriptPath = "A:\\SETUP.CFG";
  startup.bootDrive = sys.driveType("A:\\") == DriveType::Fixed ? 'A' : 'C';
  startup.screenWidth = sys.screenWidth();
  startup.screenHeight = sys.screenHeight();
  const uint32_t version = sys.versionWord();
  startup.windowsVersion = windowsVersionOf(version);
  startup.dosVersion = dosVersionOf(version);
}

}  // namespace

std::vector<ScriptError> checkScriptText(const std::string& text, System& sys) {
  std::vector<ScriptError> errors;
  SilentUi ui;
  MacroValues macros;
  StartupValues startup;
  prepareRun(sys, macros, startup);
  auto state = std::make_unique<InstallState>();

  ParseOptions options;
  options.continueAfterErrors = true;
  options.onError = [&errors](int line, const std::string& lineText) {
    errors.push_back({line, lineText});
  };
  parseScriptText(text, sys, ui, macros, startup, *state, options);

  // Each deferred block once with its own IF taken and once with it false; its other IFs are
  // tested as the second pass tests them.
  std::set<std::pair<int, std::string>> later;
  ParseOptions second;
  second.continueAfterErrors = true;
  second.onError = [&later](int line, const std::string& lineText) {
    later.insert({line, lineText});
  };
  std::vector<DeferredBlock> blocks = state->deferred.blocks;
  for (const DeferredBlock& block : blocks) {
    for (int forced : {1, 0}) {
      second.condition = [&block, forced](StatementContext& ctx) {
        int result = evaluateCondition(ctx);
        if (ctx.lineNumber != block.firstLineNumber || result == -1) return result;
        return forced;
      };
      // The block sees what the first pass left (groups, pop-up messages ...), as it would.
      InstallState scratch = *state;
      scratch.deferred.blocks = {block};
      scratch.deferred.count = 1;
      MacroValues blockMacros = macros;
      reparseDeferredBlocks(sys, ui, blockMacros, startup, scratch, second);
    }
  }
  for (const auto& [line, lineText] : later) errors.push_back({line, lineText});
  return errors;
}

int runCheck(const Args& args) {
  std::string machineFile, script;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--help" || args[i] == "-h") {
      std::fputs(kHelp, stdout);
      return 0;
    }
    if (args[i] == "--machine") {
      if (i + 1 >= args.size()) return usage(kUsage);
      machineFile = args[++i];
    } else if (script.empty() && (args[i].empty() || args[i][0] != '-')) {
      script = args[i];
    } else {
      return usage(kUsage);
    }
  }
  if (script.empty()) return usage(kUsage);

  std::ifstream in(script, std::ios::binary);
  if (!in) return fail("cannot read " + script);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());

  std::unique_ptr<SimFixture> defaultMachine;
  std::unique_ptr<SimSystem> machine;
  System* sys = nullptr;
  if (!machineFile.empty()) {
    std::string error;
    machine = SimSystem::load(machineFile, error);
    if (!machine) return fail(error);
    sys = machine.get();
  } else {
    defaultMachine = std::make_unique<SimFixture>();
    if (!defaultMachine->ok()) return fail(defaultMachine->error());
    sys = &defaultMachine->sys();
  }

  std::vector<ScriptError> errors = checkScriptText(text, *sys);
  for (const ScriptError& e : errors)
    std::printf("%s:%d: %s\n", script.c_str(), e.line, e.text.c_str());
  return errors.empty() ? 0 : 1;
}

}  // namespace qm::pack
