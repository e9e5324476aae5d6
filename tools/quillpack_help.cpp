#include "tools/quillpack_help.h"

#include <cstdio>

#include "tools/quillpack_commands.h"

namespace qm::pack {

namespace {

const std::vector<CommandHelp> kHelp = {
    {"build",
     "quillpack build [--stub STUB.exe] -o SETUP.EXE [--quiet] [--name NAME FILE]... FILE...",
     "copies the installer stub and appends an archive container holding the files",
     "  --stub STUB.exe   the installer program (quillmount.exe) to copy; by default the one\n"
     "                    installed with quillpack (../share/quillmount/quillmount.exe)\n"
     "  --quiet           no progress line (it is shown only when stderr is a terminal)\n"
     "  -o SETUP.EXE      the installer to write; it reads the script named like itself\n"
     "                    (SETUP.EXE reads SETUP.cfg)\n"
     "  --name NAME FILE  pack FILE under the name NAME (a file name without directories)\n"
     "  FILE...           files packed under their own names, without directories; when two\n"
     "                    have the same name the first is packed and the other is named as\n"
     "                    skipped\n"
     "Warns when no script (.cfg) is packed or when none matches the output's name.",
     "quillpack build --stub quillmount.exe -o SETUP.EXE SETUP.cfg README.TXT APP.EXE"},
    {"list", "quillpack list SETUP.EXE|NAME.PAK",
     "lists the entries of a built installer's container, or of a package",
     "  SETUP.EXE  prints name, size, date, time and attributes (RHSDA) in chain order\n"
     "  NAME.PAK   prints each entry's volume, name, packed and unpacked sizes and date",
     "quillpack list SETUP.EXE"},
    {"extract", "quillpack extract SETUP.EXE NAME -o OUT", "copies one container entry out",
     "  NAME    the entry's name (case does not matter)\n"
     "  -o OUT  the file to write",
     "quillpack extract SETUP.EXE SETUP.cfg -o SETUP.cfg"},
    {"check",
     "quillpack check [--strict] [--machine MACHINE.ini] [--dist FOLDER|SETUP.EXE]... "
     "SCRIPT|SETUP.EXE",
     "reads a script as the installer does and explains every error; warns about lines it "
     "accepts but ignores",
     "  SCRIPT|SETUP.EXE  a script, or a built installer whose container holds the script\n"
     "  --strict          exit status 1 when there are warnings too\n"
     "  --machine FILE    test IF conditions on this simulated machine (default: Windows\n"
     "                    3.95, 16 MB, 640x480x8, drives A: and C:)\n"
     "  --dist FOLDER     a disk of the distribution, in disk order (repeat for each disk);\n"
     "                    a built SETUP.EXE names the folder it lies in, with its container.\n"
     "                    A SETUP.EXE given as SCRIPT without --dist finds its disks itself:\n"
     "                    its folder (DISK1) and the folders beside it numbered on (DISK2 ...)\n"
     "With a distribution, each disk's note lists what the installer reads from it, in order,\n"
     "and an error names every file it will not find where and when it looks: FILE sources\n"
     "(wildcards matched on the disk), package volumes on the disk their package asks for,\n"
     "the screen graphic, intro screen and readme, and install.pif for a floppy's relaunch.\n"
     "Prints SCRIPT:LINE: error: REASON (or warning:, note:) and the line itself below it.\n"
     "The first error is the one the installer's \"Syntax error, line:\" box shows; the\n"
     "installer stops there, the checker reads on. Errors of IF blocks that wait for the\n"
     "user's answers come after the others. Exit status 0 when there is no error.",
     "quillpack check --dist disk1/SETUP.EXE --dist disk2 SETUP.cfg"},
    {"layout",
     "quillpack layout --disk-size 1.44M|720K|1.2M|CD -o OUT [--stub STUB.exe] SCRIPT FILE...",
     "puts a distribution on disks as its script reads them, then checks the result",
     "  --disk-size SIZE  the disks: 1.44M, 720K or 1.2M floppies, or a 650 MB CD\n"
     "  -o OUT            writes OUT/DISK1 (SETUP.EXE with SETUP.cfg and what is installed\n"
     "                    before the first INSERTDISK in its container), OUT/DISK2 ... (the\n"
     "                    files each INSERTDISK asks for, loose, in the folders the FILE\n"
     "                    statements name), and OUT/DISKn.label, the label the script asks for\n"
     "                    (for mformat -v)\n"
     "  --stub STUB.exe   the installer program (default: quillmount.exe built beside quillpack)\n"
     "  SCRIPT FILE...    the script and every file it reads, found by name; package volumes go\n"
     "                    on the disks the INSERTDISK statements after their FILE ask for\n"
     "When a disk overflows, nothing is written and the message names the INSERTDISK to add and\n"
     "the line to add it before. Otherwise the result is checked as quillpack check does; exit\n"
     "status 1 when the check finds an error.",
     "quillpack layout --disk-size 720K -o out SETUP.cfg README.TXT APP.EXE APP.PAK APP.PA1"},
    {"implode", "quillpack implode [--ascii] [--best] [--dict 1024|2048|4096] [--quiet] IN OUT",
     "compresses one file into one PKWARE DCL implode stream",
     "  --ascii      code literals for text (smaller for text files)\n"
     "  --best       search harder for a smaller stream (slower)\n"
     "  --dict SIZE  dictionary size in bytes (default 4096)\n"
     "  --quiet      no progress line (it is shown only when stderr is a terminal)",
     "quillpack implode --ascii README.TXT README.IMP"},
    {"explode", "quillpack explode [--quiet] IN OUT", "expands one PKWARE DCL implode stream",
     "  --quiet      no progress line (it is shown only when stderr is a terminal)",
     "quillpack explode README.IMP README.TXT"},
    {"package",
     "quillpack package -o NAME.PAK [--volume-size BYTES] [--base DIR] [--ascii] [--best] "
     "[--dict 1024|2048|4096] [--quiet] FILE...",
     "writes a multi-volume package of imploded files; a plain FILE statement naming its first "
     "volume expands it",
     "  -o NAME.PAK           the first volume; later ones are NAME.PA1 .. NAME.PA9,\n"
     "                        NAME.P10 .. NAME.P99, NAME.100 .. NAME.999\n"
     "  --volume-size BYTES   the largest volume (default: one volume)\n"
     "  --base DIR            store paths below DIR (SUB\\FILE.TXT) instead of bare names\n"
     "  --ascii, --best, --dict SIZE, --quiet\n"
     "                        as for implode\n"
     "Prints how many files went into how many volumes.",
     "quillpack package -o disk1/APP.PAK --volume-size 1400000 APP.EXE APP.HLP"},
    {"simulate",
     "quillpack simulate --machine MACHINE.ini [--answers ANSWERS.ini] [--trace FILE] "
     "[--record FILE] [--log|--quiet] [--] PROGRAM [ARGS...]",
     "runs a whole installation on a simulated Windows machine, unattended",
     "  --machine FILE  the machine file (docs/machine-file.md); its drives are host folders\n"
     "  --answers FILE  the answers file (docs/answers-file.md); default: every question gets\n"
     "                  its default answer\n"
     "  --trace FILE    write the trace: every phase, dialog, answer and message box\n"
     "  --record FILE   write the answers the run got as an answers file, to replay it\n"
     "  --log           print the install log on stdout (the default)\n"
     "  --quiet         print no install log\n"
     "  PROGRAM         the installer's path on the simulated machine, with its drive letter\n"
     "                  (A:\\SETUP.EXE), not a host path\n"
     "The machine's folders are changed as a real run would change them. Exit status: the\n"
     "installer's (0 done, 1 could not start, 2 quit, 3 failed, 5 another installation\n"
     "kept running), 10 for its 3010 (restart wanted), 4 when the simulation itself could not\n"
     "run. stderr names the installer's code\n"
     "and, when it is not 0, the trace's last lines say why. A run that fails or is cancelled\n"
     "after changing something is undone unless the answers say Rollback=No; the trace's\n"
     "\"uninstall:\" and \"rollback:\" lines say what was undone.\n"
     "\n"
     "On a built-in machine (quillpack help profiles lists them), with no machine file:\n"
     "  quillpack simulate --profile NAME|--matrix all|NAME,NAME... --dist FOLDER...\n"
     "                     [--cd FOLDER] [--program SETUP.EXE] [--answers FILE] [--keep DIR]\n"
     "                     [--format text|markdown|json|html] [-o REPORT] [--jobs N] [-- ARGS...]\n"
     "  --profile NAME  install on that profile; prints the install log as above\n"
     "  --matrix LIST   install on each profile named (all: every one), several at once, and\n"
     "                  print one table with what differs below it; exit status 0 when every\n"
     "                  run ended as the answers lead it (completed, or quit by an answer)\n"
     "  --dist FOLDER   a disk of the distribution, disk 1 first, in drive A:\n"
     "  --cd FOLDER     the whole distribution on a CD in drive D: instead\n"
     "  --program NAME  the installer on the first disk (default SETUP.EXE)\n"
     "  --keep DIR      keep the machine (each profile's in DIR/NAME, with trace.txt) to look\n"
     "                  at, or to run again with --machine DIR/machine.ini\n"
     "  --format, -o    the matrix as text, markdown or json, on stdout or into REPORT; html\n"
     "                  adds pictures of every screen each profile met, in one page\n"
     "  --jobs N        runs at once (default: the number of processors)",
     "quillpack simulate --machine machine.ini --answers answers.ini 'A:\\SETUP.EXE'"},
    {"uninstall",
     "quillpack uninstall --machine MACHINE.ini [--answers ANSWERS.ini] [--trace FILE] [--] LOG",
     "undoes an installation on a simulated Windows machine, as unstall.exe does, unattended",
     "  --machine FILE  the machine file an installation was simulated on\n"
     "  --answers FILE  the answers file; Uninstall=Yes|No answers the opening question\n"
     "                  (default Yes)\n"
     "  --trace FILE    write the trace\n"
     "  LOG             the install log's Windows path on that machine (C:\\APP\\install.log)\n"
     "Prints each change undone, what was left on purpose and what could not be undone. Exit\n"
     "status: 0 done, 1 the log (or the answers file) cannot be read, 2 answered No, 3 something\n"
     "was not undone, 4 the command itself could not run.",
     "quillpack uninstall --machine machine.ini 'C:\\APP\\install.log'"},
    {"help", "quillpack help [--man|COMMAND]", "prints the help of every command, or of one",
     "  --man  the whole help as a manual page (roff), as installed in share/man/man1",
     "quillpack help check"},
};

}  // namespace

const std::vector<CommandHelp>& allCommandHelp() { return kHelp; }

const CommandHelp& commandHelp(const std::string& name) {
  for (const CommandHelp& h : kHelp)
    if (name == h.name) return h;
  return kHelp.back();
}

int printHelp(const CommandHelp& help) {
  std::printf("usage: %s\n\n%s.\n", help.usage, help.summary);
  if (*help.details) std::printf("\n%s\n", help.details);
  std::printf("\nexample:\n  %s\n", help.example);
  return 0;
}

int usageError(const CommandHelp& help, const std::string& problem) {
  std::fprintf(stderr, "quillpack %s: %s\nusage: %s\n(quillpack %s --help tells more)\n", help.name,
               problem.c_str(), help.usage, help.name);
  return 2;
}

void printOverview(bool toStderr) {
  FILE* out = toStderr ? stderr : stdout;
  std::fprintf(out, "usage: quillpack COMMAND [ARGS...]\n\n");
  for (const CommandHelp& h : kHelp) std::fprintf(out, "  %-10s %s\n", h.name, h.summary);
  std::fprintf(out, "\nusage of each command:\n");
  for (const CommandHelp& h : kHelp) std::fprintf(out, "  %s\n", h.usage);
  std::fprintf(out, "\n'quillpack help COMMAND' or 'quillpack COMMAND --help' tells more.\n");
}

std::string roffText(const std::string& text) {
  std::string out;
  bool lineStart = true;
  for (char c : text) {
    if (lineStart && (c == '.' || c == '\'')) out += "\\&";
    if (c == '\\')
      out += "\\e";
    else
      out += c;
    lineStart = c == '\n';
  }
  return out;
}

std::string manPage() {
  std::string page =
      ".TH QUILLPACK 1 \"\" \"quillmount\" \"User Commands\"\n"
      ".SH NAME\nquillpack \\- builds, checks and simulates Quillmount installations\n"
      ".SH SYNOPSIS\n.B quillpack\n.I COMMAND\n[ARGS...]\n"
      ".SH DESCRIPTION\nThe vendor's tool: one program, one command per job.\n"
      "Each command is described below as \\fBquillpack help\\fR \\fICOMMAND\\fR prints it.\n"
      ".SH COMMANDS\n";
  for (const CommandHelp& h : kHelp) {
    page += ".SS " + std::string(h.name) + "\n.nf\n" + roffText(h.usage) + "\n.fi\n";
    page += roffText(std::string(h.summary)) + ".\n";
    if (*h.details) page += ".PP\n.nf\n" + roffText(h.details) + "\n.fi\n";
    page += ".PP\nExample:\n.nf\n  " + roffText(h.example) + "\n.fi\n";
  }
  return page;
}

int runHelp(const Args& args) {
  if (args.empty()) {
    printOverview(false);
    return 0;
  }
  if (args.size() == 1 && args[0] == "--man") {
    const std::string page = manPage();
    std::fwrite(page.data(), 1, page.size(), stdout);
    return 0;
  }
  for (const CommandHelp& h : kHelp)
    if (args.size() == 1 && args[0] == h.name) return printHelp(h);
  if (args.size() == 1 && args[0] == "profiles") return listProfiles();
  return usageError(commandHelp("help"), "no command named " + args[0]);
}

}  // namespace qm::pack
