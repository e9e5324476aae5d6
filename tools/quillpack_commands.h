// quillpack's sub-commands. Each takes the arguments after its name and returns the exit code;
// usage errors print a one-line usage to stderr and return 2.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace qm::pack {

using Args = std::vector<std::string>;

// Prints a usage line to stderr; the exit code for bad arguments.
inline int usage(const char* text) {
  std::fprintf(stderr, "%s\n", text);
  return 2;
}

// Prints "quillpack: message" to stderr; the exit code for a failed command.
inline int fail(const std::string& message) {
  std::fprintf(stderr, "quillpack: %s\n", message.c_str());
  return 1;
}

int runBuild(const Args& args);  // build [--stub STUB.exe] -o SETUP.EXE FILE...

// The installer stub installed with the quillpack at programPath: quillmount.exe in
// ../share/quillmount/ from the program's folder (an installed tree), or beside the program (the
// Windows binaries' own folder). Empty when neither is a file.
std::string installedStub(const std::string& programPath);
// The path of the running program, or empty where the system does not tell.
std::string runningProgram();
int runList(const Args& args);     // list SETUP.EXE
int runExtract(const Args& args);  // extract SETUP.EXE NAME -o OUT
int runCheck(const Args& args);    // check SCRIPT
int runLayout(const Args& args);   // layout --disk-size SIZE -o OUT SCRIPT FILE...
int runImplode(const Args& args);  // implode [--ascii] [--dict N] IN OUT
int runExplode(const Args& args);  // explode IN OUT
int runPackage(const Args& args);  // package -o NAME.PAK [--volume-size BYTES] [--base DIR] FILE...
int runHelp(const Args& args);     // help [COMMAND]
int runSimulate(const Args& args);  // simulate --machine M.ini [--answers A.ini] [--trace F] [--]
                                    // PROGRAM [ARGS...]
// simulate --profile NAME / --matrix all|NAME,... (tools/cmd_simulate_profiles.cpp)
bool wantsProfiles(const Args& args);
int runProfileSimulate(const Args& args);
int listProfiles();                  // help profiles
int runUninstall(const Args& args);  // uninstall --machine M.ini [--answers A.ini] [--trace F]
                                     // [--] LOG

}  // namespace qm::pack
