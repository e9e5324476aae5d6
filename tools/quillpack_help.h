// quillpack's help: one entry per sub-command with its usage line, what it does, every option and
// an example. `quillpack help`, `quillpack CMD --help` and the usage on bad arguments all print
// from here, and the README's usage block is held to the same lines by a test.
#pragma once

#include <string>
#include <vector>

namespace qm::pack {

struct CommandHelp {
  const char* name;
  const char* usage;    // "quillpack NAME ARGS..." on one line
  const char* summary;  // one line
  const char* details;  // the options and what is printed, one per line; may be empty
  const char* example;
};

const std::vector<CommandHelp>& allCommandHelp();
// The entry of a sub-command; the caller names one that exists.
const CommandHelp& commandHelp(const std::string& name);

// The full help of one command on stdout; returns 0.
int printHelp(const CommandHelp& help);
// "quillpack NAME: problem", the usage line and where the help is, on stderr; returns 2.
int usageError(const CommandHelp& help, const std::string& problem);
// The overview of every command (quillpack help, quillpack without arguments).
void printOverview(bool toStderr);
// The whole help as a manual page in roff (quillpack help --man), for man(1).
std::string manPage();
// text with what roff would take as its own escaped: backslashes, and a dot or quote that
// starts a line.
std::string roffText(const std::string& text);

}  // namespace qm::pack
