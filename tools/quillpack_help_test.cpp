#include "tools/quillpack_help.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>

#include "tools/build_notes.h"
#include "tools/quillpack_commands.h"
#include "tools/simulation.h"

namespace qm::pack {
namespace {

// The lines of the first code block after the README's "## quillpack" heading.
std::vector<std::string> readmeUsageBlock() {
  std::ifstream in(std::string(QM_SOURCE_DIR) + "/README.md");
  std::vector<std::string> block;
  bool section = false, inBlock = false;
  for (std::string line; std::getline(in, line);) {
    if (line == "## quillpack") section = true;
    if (!section) continue;
    if (line.rfind("```", 0) == 0) {
      if (inBlock) break;
      inBlock = true;
      continue;
    }
    if (inBlock) block.push_back(line);
  }
  return block;
}

TEST(QuillpackHelp, ReadmeUsageBlockMatchesTheCommands) {
  std::vector<std::string> usage;
  for (const CommandHelp& h : allCommandHelp()) usage.push_back(h.usage);
  EXPECT_EQ(readmeUsageBlock(), usage);
}

TEST(QuillpackHelp, EveryCommandExplainsItselfWithAnExample) {
  int (*const runners[])(const Args&) = {runBuild,   runList,    runExtract,  runCheck, runImplode,
                                         runExplode, runPackage, runSimulate, runLayout};
  const char* names[] = {"build",   "list",    "extract",  "check", "implode",
                         "explode", "package", "simulate", "layout"};
  for (size_t k = 0; k < std::size(names); ++k) {
    const CommandHelp& h = commandHelp(names[k]);
    ASSERT_STREQ(h.name, names[k]);
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(runners[k]({"--help"}), 0) << names[k];
    std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(out.rfind(std::string("usage: ") + h.usage + "\n", 0), 0u) << out;
    EXPECT_NE(out.find("\nexample:\n  quillpack " + std::string(names[k]) + " "), std::string::npos)
        << out;
    // Every option of the usage line is explained below it.
    std::string usage = h.usage;
    for (size_t at = usage.find("--"); at != std::string::npos; at = usage.find("--", at + 2)) {
      std::string option = usage.substr(at, usage.find_first_of(" ]|", at) - at);
      if (option == "--") continue;
      EXPECT_NE(std::string(h.details).find(option), std::string::npos)
          << names[k] << " does not explain " << option;
    }
  }
}

TEST(QuillpackHelp, ManPageHoldsEveryCommandInSafeRoff) {
  struct Row {
    const char* text;
    const char* roff;
  };
  const Row rows[] = {
      {"A:\\SETUP.EXE", "A:\\eSETUP.EXE"},
      {".cfg first\n'quoted\nplain .x 'y", "\\&.cfg first\n\\&'quoted\nplain .x 'y"},
      {"", ""}};
  for (const Row& r : rows) EXPECT_EQ(roffText(r.text), r.roff) << r.text;
  const std::string page = manPage();
  for (const CommandHelp& h : allCommandHelp()) {
    EXPECT_NE(page.find(".SS " + std::string(h.name) + "\n.nf\n" + roffText(h.usage) + "\n"),
              std::string::npos)
        << h.name;
    EXPECT_NE(page.find(roffText(h.example)), std::string::npos) << h.name;
  }
  // A line starting with a dot or quote is a request to roff: only ours may.
  const std::set<std::string> requests = {".TH", ".SH", ".SS", ".nf", ".fi", ".PP", ".B", ".I"};
  std::istringstream in(page);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && (line[0] == '.' || line[0] == '\'')) {
      EXPECT_EQ(requests.count(line.substr(0, line.find(' '))), 1u) << line;
    }
  }
}

TEST(QuillpackHelp, BadArgumentsNameTheProblemAndTheUsage) {
  struct Case {
    int (*run)(const Args&);
    Args args;
    const char* expected;
  };
  const Case cases[] = {
      {runList, {}, "quillpack list: one SETUP.EXE or NAME.PAK to list\nusage: quillpack list"},
      {runBuild,
       {"-o", "X.EXE", "a"},
       "quillpack build: no --stub STUB.exe given, and no installed quillmount.exe found\n"},
      {runBuild,
       {"--stub", "s", "-o", "X.EXE", "--name", "SUB\\A.TXT", "a"},
       "quillpack build: --name SUB\\A.TXT: a packed name has no directories\n"},
      {runCheck, {"--strict"}, "quillpack check: no SCRIPT given\n"},
      {runCheck, {"--bogus", "x.cfg"}, "quillpack check: unknown option --bogus\n"},
      {runSimulate,
       {"--machine", "m.ini", "dist/SETUP.EXE"},
       "quillpack simulate: PROGRAM is the installer's path on the simulated machine, with its "
       "drive letter, such as 'A:\\SETUP.EXE' or 'C:\\DIST\\SETUP.EXE'; 'dist/SETUP.EXE' is not "
       "one\n"},
      {runSimulate, {"A:\\SETUP.EXE"}, "quillpack simulate: no --machine MACHINE.ini given\n"},
      {runPackage,
       {"-o", "X.PAK", "--volume-size", "lots", "a"},
       "quillpack package: --volume-size takes a number of bytes\n"},
      {runImplode,
       {"--dict", "999", "a", "b"},
       "quillpack implode: --dict takes 1024, 2048 or 4096\n"},
      {runHelp, {"nosuch"}, "quillpack help: no command named nosuch\n"},
  };
  for (const Case& c : cases) {
    ::testing::internal::CaptureStderr();
    // simulate's statuses are the installer's codes; its own failures are 4.
    EXPECT_EQ(c.run(c.args), c.run == runSimulate ? kSimulateCannotRun : 2);
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(err.rfind(c.expected, 0), 0u) << err;
    EXPECT_NE(err.find("--help tells more"), std::string::npos) << err;
  }
}

TEST(BuildNotes, NameEverySkippedFileAndAMissingOrMismatchedScript) {
  auto item = [](const char* name, const char* path) {
    PackItem i;
    i.name = name;
    i.hostPath = path;
    return i;
  };
  struct Case {
    std::vector<PackItem> items;
    const char* out;
    std::vector<std::string> notes;
  };
  const Case cases[] = {
      {{item("SETUP.cfg", "d/SETUP.cfg"), item("A.EXE", "d/A.EXE")}, "out/SETUP.EXE", {}},
      {{item("setup.CFG", "d/setup.CFG")}, "SETUP.EXE", {}},
      {{item("SETUP.cfg", "d/SETUP.cfg"), item("A.EXE", "d/A.EXE"), item("a.exe", "e/a.exe")},
       "SETUP.EXE",
       {"quillpack build: skipped e/a.exe: the name a.exe is already packed from d/A.EXE (the "
        "first file given wins; --name NAME FILE packs it under another name)"}},
      {{item("A.EXE", "d/A.EXE")},
       "dist/SETUP.EXE",
       {"quillpack build: warning: no script (.cfg) is packed; SETUP.EXE will look for SETUP.cfg "
        "beside itself on the disk"}},
      {{item("INSTALL.CFG", "d/INSTALL.CFG")},
       "SETUP.EXE",
       {"quillpack build: warning: SETUP.EXE reads SETUP.cfg, but the packed script is "
        "INSTALL.CFG; name the output after the script, or pack it with --name SETUP.cfg "
        "INSTALL.CFG"}},
  };
  for (const Case& c : cases) EXPECT_EQ(buildNotes(c.items, c.out), c.notes) << c.out;
}

}  // namespace
}  // namespace qm::pack
