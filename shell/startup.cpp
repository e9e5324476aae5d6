#include "shell/startup.h"

#include <cstdio>
#include <cstdlib>

#include "base/text.h"
#include "base/win_path.h"
#include "platform/file_handle.h"
#include "script/settings.h"
#include "ui/answers_ui.h"

namespace qm {

namespace {

// The relaunch test reads at most this many characters of a line at a time.
constexpr size_t kRelaunchLineBuffer = 999;
constexpr size_t kMaxSystemDirChars = 998;

void showWarning(Run& run, const std::string& text) {
  run.ui.messageBox(
      installerBox(text, MsgIcon::Warning, MsgButtons::Ok, run.startup.mainWindowExists));
}

std::string cutAtLastBackslash(const std::string& path) {
  size_t slash = path.rfind('\\');
  return slash == std::string::npos ? path : path.substr(0, slash);
}

// The Windows or system directory as a macro value: at most the system's buffer, and without a
// trailing backslash, so that "$WINDIR$\NAME" is a path even when Windows sits in a root.
std::string systemDirMacro(std::string dir) {
  if (dir.size() > kMaxSystemDirChars) dir.resize(kMaxSystemDirChars);
  return joinableDirectory(dir);
}

// Copies the program file in fixed blocks; failures are not reported, the relaunch goes on.
void copyProgram(System& sys, const std::string& from, const std::string& to) {
  ScopedFile in = ScopedFile::openRead(sys, from);
  if (!in) return;
  ScopedFile out = ScopedFile::create(sys, to);
  if (!out) return;
  std::string block(kCopyBlockSize, '\0');
  for (;;) {
    int32_t n = sys.files().read(in.get(), block.data(), kCopyBlockSize);
    if (n < 0) break;
    if (n > 0 && !out.writeAll(std::string_view(block.data(), size_t(n)))) break;
    if (n < int32_t(kCopyBlockSize)) break;
  }
}

// Copies a source (plain or container entry) through the reader in fixed blocks.
void copySource(Run& run, SourceFile& from, const std::string& to) {
  ScopedFile out = ScopedFile::create(run.sys, to);
  if (!out) return;
  std::string block(kCopyBlockSize, '\0');
  for (;;) {
    int32_t n = run.container.readSource(from, block.data(), kCopyBlockSize);
    if (n < 0) break;
    if (n > 0 && !out.writeAll(std::string_view(block.data(), size_t(n)))) break;
    if (n < int32_t(kCopyBlockSize)) break;
  }
}

bool hasInsertDiskLine(Run& run, SourceFile& script) {
  std::string line;
  while (run.container.readLine(script, line, kRelaunchLineBuffer))
    if (isInsertDiskLine(line)) return true;
  return false;
}

StartupResult relaunch(Run& run) {
  const Prompts defaults;
  StartupValues& s = run.startup;
  std::string temp = run.sys.files().tempDirectory();
  if (temp.size() > kMaxSystemDirChars) temp.resize(kMaxSystemDirChars);
  if (temp.empty()) temp = "c:\\";
  temp = withTrailingBackslash(temp);
  const std::string exe = temp + kTempExeName;
  const std::string pif = temp + kTempPifName;
  const std::string bat = temp + kTempBatName;

  // The program file is copied as a plain file, not looked up inside itself.
  run.container.closeContainer();
  copyProgram(run.sys, s.programPath, exe);
  run.container.setContainer(s.programPath);

  std::unique_ptr<SourceFile> pifSource = run.container.openSource(s.programDir + "install.pif");
  if (pifSource) copySource(run, *pifSource, pif);
  run.container.closeSource(pifSource);

  bool written = false;
  {  // closed before the copy starts, since the batch file deletes itself
    ScopedFile h = ScopedFile::create(run.sys, bat);
    if (!h) {
      showWarning(run, defaults.fileNotFound + bat + ". ");
      return StartupResult::Failed;
    }
    std::string lines = "@ECHO OFF\n";
    for (const std::string& path : {exe, pif, bat}) lines += "del " + path + "\n";
    written = h.writeAll(toCrLf(lines));
  }

  std::string commandLine = exe + " " + s.scriptPath;
  for (const std::string& option : s.options)
    if (!option.empty()) commandLine += " -" + option;
  commandLine += s.switches;
  run.ui.trace("relaunch: " + commandLine);
  // A copy that cannot be started would otherwise end the installation silently with success.
  if (!written || !run.sys.machine().startProcess(commandLine, kShowDefault, run.waitForCopy)) {
    showWarning(run, defaults.fileNotFound + (written ? exe : bat) + ". ");
    return StartupResult::Failed;
  }
  if (run.waitForCopy) {
    long code = run.sys.machine().lastExitCode();
    // A copy whose end could not be read reports as a failed installation, never as success.
    run.copyExitCode = code < 0 ? kCopyLost : int(code);
    run.ui.trace("relaunch: the temporary copy ended with exit code " +
                 std::to_string(run.copyExitCode));
  }
  return StartupResult::Relaunched;
}

}  // namespace

namespace {

// Takes the deployment switches out of the text, leaving blanks where they stood.
void takeSwitches(std::string& text, CommandLine& cl) {
  const struct {
    const char* name;
    std::string CommandLine::*value;
  } kSwitches[] = {{"/ANSWERS=", &CommandLine::answersFile}, {"/LOG=", &CommandLine::logFile}};
  size_t at = 0;
  for (;;) {
    at = text.find_first_not_of(" \t\n", at);
    if (at == std::string::npos) return;
    size_t end = text.find_first_of(" \t\n", at);
    for (const auto& sw : kSwitches) {
      const size_t nameLength = std::char_traits<char>::length(sw.name);
      if (!startsWithNoCase(text.substr(at, nameLength), sw.name)) continue;
      size_t value = at + nameLength;
      // A quoted value may hold blanks; a path cannot hold a quote.
      if (value < text.size() && text[value] == '"') {
        size_t close = text.find('"', value + 1);
        end = close == std::string::npos ? std::string::npos : close + 1;
        cl.*sw.value = text.substr(
            value + 1, close == std::string::npos ? std::string::npos : close - value - 1);
      } else {
        cl.*sw.value = text.substr(value, end == std::string::npos ? end : end - value);
      }
      text.replace(at, end == std::string::npos ? std::string::npos : end - at,
                   (end == std::string::npos ? text.size() : end) - at, ' ');
      break;
    }
    if (end == std::string::npos) return;
    at = end;
  }
}

std::string switchToken(const char* name, const std::string& value) {
  if (value.empty()) return "";
  bool blank = value.find_first_of(" \t") != std::string::npos;
  return std::string(" ") + name + (blank ? "\"" + value + "\"" : value);
}

}  // namespace

std::string deploymentSwitches(const CommandLine& cl) {
  return switchToken("/ANSWERS=", cl.answersFile) + switchToken("/LOG=", cl.logFile);
}

std::string traceHeader(System& sys, const std::string& dateTime) {
  const std::string program = withoutLongPathPrefix(sys.machine().modulePath());
  size_t slash = program.rfind('\\');
  CommandLine cl = parseCommandLine(sys.machine().commandLineArguments(),
                                    slash == std::string::npos ? "" : program.substr(0, slash + 1));
  const std::string script = cl.scriptPath.empty() ? defaultScriptPath(program) : cl.scriptPath;
  const uint32_t version = sys.machine().versionWord();
  const DisplayCaps display = sys.machine().displayCaps();
  char facts[160];
  std::snprintf(facts, sizeof facts,
                "Windows %.2f, DOS %.2f, processor %d, memory %llu KB, display %dx%dx%d",
                windowsVersionOf(version), dosVersionOf(version), sys.machine().processorType(),
                static_cast<unsigned long long>(sys.machine().totalPhysicalMemory() / 1024),
                display.width, display.height, display.bitsPerPixel * display.planes);
  return std::string(kTraceHeaderWord) + " " + dateTime + ": program " + program + ", script " +
         script + "; " + facts;
}

CommandLine parseCommandLine(const std::string& arguments, const std::string& programDir) {
  CommandLine cl;
  std::string text = arguments.substr(0, kMaxCommandLineChars);
  takeSwitches(text, cl);
  size_t at = 0;
  while (cl.optionCount < kMaxOptions) {
    at = text.find_first_not_of(" \t\n", at);
    if (at == std::string::npos) break;
    size_t end = text.find_first_of(" \t\n", at);
    std::string token = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
    at = end;
    if (token[0] == '-') {
      cl.options[cl.optionCount++] = token.substr(1);
    } else if ((token.size() > 1 && token[1] == ':') || token.find('\\') != std::string::npos) {
      cl.scriptPath = token;
    } else {
      cl.scriptPath = programDir + token;
    }
    if (end == std::string::npos) break;
  }
  return cl;
}

std::string withoutLongPathPrefix(const std::string& path) {
  if (startsWithNoCase(path, "\\\\?\\UNC\\")) return "\\" + path.substr(7);
  if (path.rfind("\\\\?\\", 0) == 0) return path.substr(4);
  return path;
}

std::string defaultScriptPath(const std::string& programPath) {
  size_t dot = programPath.rfind('.');
  if (dot == std::string::npos) return programPath + ".cfg";
  return programPath.substr(0, dot + 1) + "cfg";
}

bool isInsertDiskLine(const std::string& line) { return startsWithNoCase(line, "INSERTDISK:"); }

StartupResult startUp(Run& run, StartupHooks& hooks) {
  const Prompts defaults;
  StartupValues& s = run.startup;
  MacroValues& m = run.macros;

  // Program directory.
  const std::string module = withoutLongPathPrefix(run.sys.machine().modulePath());
  size_t slash = module.rfind('\\');
  if (slash == std::string::npos) {
    showWarning(run, defaults.badDir);
    return StartupResult::Failed;
  }
  std::string dir = module.substr(0, slash);
  // "A:" alone would mean the drive's current directory, not its root.
  run.sys.files().setCurrentDirectory(dir.size() == 2 && dir[1] == ':' ? dir + "\\" : dir);
  s.programDir = dir + "\\";

  const std::string arguments = run.sys.machine().commandLineArguments();
  CommandLine cl = parseCommandLine(arguments, s.programDir);
  for (int i = 0; i < kMaxOptions; ++i) s.options[i] = cl.options[i];
  s.switches = deploymentSwitches(cl);
  m.system = s.options[0];
  m.sys2 = s.options[1];
  m.sys3 = s.options[2];
  m.sourceDrive.clear();
  m.defaultDrive.clear();

  std::string name = module.substr(slash + 1);
  s.programPath = s.programDir + name;
  if (name.size() < 4 || name[name.size() - 4] != '.') s.programPath += ".exe";
  run.container.setContainer(s.programPath);

  s.scriptPath = cl.scriptPath.empty() ? defaultScriptPath(s.programPath) : cl.scriptPath;
  m.sourceDir = s.scriptPath;
  // A script that does not exist has no short form; its long form is the nearest thing.
  m.sourceDir8 = run.sys.files().shortPathName(s.scriptPath).value_or(s.scriptPath);
  if (m.sourceDir8.size() > kMaxPathChars) m.sourceDir8.resize(kMaxPathChars);
  m.sourceDrive = s.scriptPath.substr(0, 1);
  run.ui.trace("startup: program " + s.programPath + ", arguments \"" + arguments + "\", script " +
               s.scriptPath);

  const bool tempCopy = s.programPath.find(kTempCopyMark) != std::string::npos;
  if (!tempCopy) {
    std::unique_ptr<SourceFile> script = run.container.openSource(s.scriptPath);
    if (!script) {
      showWarning(run, defaults.fileNotFound + s.scriptPath + ". ");
      return StartupResult::Failed;
    }
    bool insertDisk = hasInsertDiskLine(run, *script);
    run.container.closeSource(script);
    std::string current = run.sys.files().currentDirectory();
    DriveType type = run.sys.files().driveType(
        current.size() >= 2 && current[1] == ':' ? current.substr(0, 2) + "\\" : current);
    if (insertDisk && type != DriveType::Fixed) return relaunch(run);
  }

  // Normal start.
  s.screenWidth = run.sys.machine().screenWidth();
  s.screenHeight = run.sys.machine().screenHeight();
  run.state = std::make_unique<InstallState>();
  s.bootDrive = bootDriveLetter(run.sys);
  const uint32_t version = run.sys.machine().versionWord();
  s.windowsVersion = windowsVersionOf(version);
  s.dosVersion = dosVersionOf(version);
  hooks.createWindowBrush(run);
  m.sourceDir = cutAtLastBackslash(m.sourceDir);
  m.sourceDir8 = cutAtLastBackslash(m.sourceDir8);
  run.sys.machine().disableCriticalErrorBoxes();
  hooks.createMainWindow(run);
  m.winDir = systemDirMacro(run.sys.files().windowsDirectory());
  m.winSysDir = systemDirMacro(run.sys.files().systemDirectory());
  m.winHelpDir = m.winDir + "\\help";
  hooks.setDialogColours(run);
  if (hooks.parse(run) != 0) {
    run.ui.trace("startup: the script was not accepted");
    return StartupResult::Failed;
  }
  // An answer the script has no question for would make the run differ from the file.
  if (std::string problem = inapplicableAnswer(*run.state, run.ui); !problem.empty()) {
    run.ui.trace("answers: " + problem);
    return StartupResult::Failed;
  }
  s.mainWindowExists = true;
  hooks.showMainWindow(run);
  const Settings& settings = run.state->settings;
  if (settings.runAtStartPending) {
    run.ui.trace("startup: running " + settings.runAtStart);
    runAndWait(run.sys, settings.runAtStart, kShowDefault);
  }
  if (settings.introScreenPath.empty() || !hooks.showIntro(run)) hooks.postStart(run);
  return StartupResult::Started;
}

}  // namespace qm
