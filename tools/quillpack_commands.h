// quillpack's sub-commands. Each takes the arguments after its name and returns the exit code;
// usage errors print a one-line usage to stderr and return 2.
#pragma once

#include <string>
#include <vector>

namespace qm::pack {

using Args = std::vector<std::string>;

int runBuild(const Args& args);     // build --stub STUB.exe -o SETUP.EXE FILE...
int runList(const Args& args);      // list SETUP.EXE
int runExtract(const Args& args);   // extract SETUP.EXE NAME -o OUT
int runCheck(const Args& args);     // check SCRIPT
int runImplode(const Args& args);   // implode [--ascii] [--dict N] IN OUT
int runExplode(const Args& args);   // explode IN OUT
int runPackage(const Args& args);   // package -o NAME.PAK [--volume-size BYTES] [--base DIR] FILE...
int runSimulate(const Args& args);  // simulate --machine M.ini [--answers A.ini] [--trace F] [--] PROGRAM [ARGS...]

}  // namespace qm::pack
