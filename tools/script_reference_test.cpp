// The vendor's script reference (docs/script-reference.md) against the parser: every example
// marked ```cfg passes the same check as `quillpack check --strict`, every statement keyword of the
// parser's statement table (and every prompt keyword) has a heading of its own and appears in an
// example. A statement added to the parser without documentation, or an example the parser no
// longer accepts, fails here with the line of the manual to look at.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "base/text.h"
#include "platform/sim/sim_fixture_for_tests.h"
#include "script/parser.h"
#include "script/settings.h"
#include "script/statement_line.h"
#include "tools/script_check.h"

namespace qm::pack {
namespace {

std::string upper(std::string text) {
  for (char& c : text) c = toUpperAscii(c);
  return text;
}

std::string readSourceFile(const std::string& relative) {
  std::ifstream in(std::string(QM_SOURCE_DIR) + "/" + relative, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  std::istringstream in(text);
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

struct Example {
  int line = 0;  // line of the manual where the example's first script line stands
  std::string text;
};

size_t indentOf(const std::string& line) {
  size_t n = 0;
  while (n < line.size() && line[n] == ' ') ++n;
  return n;
}

bool isFence(const std::string& line) { return line.compare(indentOf(line), 3, "```") == 0; }

// Every fenced block opened with ```cfg (also inside an indented list item), with the manual line
// of its first script line; the fence's indentation is taken off its lines. Fails the test when a
// cfg block is never closed.
std::vector<Example> cfgExamples(const std::vector<std::string>& lines) {
  std::vector<Example> examples;
  for (size_t i = 0; i < lines.size(); ++i) {
    const size_t indent = indentOf(lines[i]);
    if (lines[i].substr(indent) != "```cfg") continue;
    Example example;
    example.line = static_cast<int>(i) + 2;
    size_t j = i + 1;
    for (; j < lines.size() && !isFence(lines[j]); ++j)
      example.text += lines[j].substr(std::min(indent, indentOf(lines[j]))) + "\n";
    EXPECT_LT(j, lines.size()) << "docs/script-reference.md:" << i + 1
                               << ": the cfg example opened here is never closed";
    examples.push_back(example);
    i = j;
  }
  return examples;
}

// The keywords inside the array that starts with arrayName in the given source file: written as
// {"KEYWORD", ...} entries, or with plainStrings as bare "KEYWORD" strings.
std::vector<std::string> tableKeywords(const std::string& relative, const std::string& arrayName,
                                       bool plainStrings = false) {
  std::string source = readSourceFile(relative);
  size_t start = source.find(arrayName);
  if (start == std::string::npos) return {};
  size_t end = source.find("\n};", start);
  std::string table = source.substr(start, end - start);
  std::vector<std::string> keywords;
  std::regex entry(plainStrings ? "\"([A-Za-z][A-Za-z0-9]*)\"" : "\\{\"([A-Za-z][A-Za-z0-9]*)\"");
  for (std::sregex_iterator it(table.begin(), table.end(), entry), last; it != last; ++it)
    keywords.push_back((*it)[1]);
  return keywords;
}

// The statement keyword of each line, as the parser reads it, upper-cased.
std::set<std::string> keywordsUsed(const std::vector<Example>& examples) {
  std::set<std::string> used;
  for (const Example& example : examples)
    for (const std::string& line : splitLines(example.text)) {
      StatementLine statement;
      statement.load(line);
      std::string keyword = statement.readKeyword();
      if (!keyword.empty()) used.insert(upper(keyword));
    }
  return used;
}

// Words of the headings (lines starting with #), upper-cased.
std::set<std::string> headingWords(const std::vector<std::string>& lines) {
  std::set<std::string> words;
  bool inFence = false;
  std::regex word("[A-Za-z][A-Za-z0-9]*");
  for (const std::string& line : lines) {
    if (isFence(line)) inFence = !inFence;
    if (inFence || line.empty() || line[0] != '#') continue;
    for (std::sregex_iterator it(line.begin(), line.end(), word), last; it != last; ++it)
      words.insert(upper((*it)[0]));
  }
  return words;
}

class ScriptReference : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string manual = readSourceFile("docs/script-reference.md");
    ASSERT_FALSE(manual.empty()) << "docs/script-reference.md is missing or empty";
    lines_ = splitLines(manual);
    examples_ = cfgExamples(lines_);
    statements_ = tableKeywords("script/parser.cpp", "kStatements[]");
    prompts_ = tableKeywords("script/settings.cpp", "kPromptKeywords[]");
    checkerKeywords_ = statementKeywords();
    ignored_ = tableKeywords("script/settings.cpp", "kIgnoredKeywords[]", true);
  }
  std::vector<std::string> lines_;
  std::vector<Example> examples_;
  std::vector<std::string> statements_;
  std::vector<std::string> prompts_;
  std::vector<std::string> checkerKeywords_;  // what the parser exports: statements, prompts, REM
  std::vector<std::string> ignored_;          // accepted and passed over whole
};

TEST_F(ScriptReference, TheStatementTablesAreFoundInTheParserSources) {
  // Guards the two tests below against reading nothing: what is taken from the sources must be
  // what the parser and the checker answer to.
  ASSERT_GE(statements_.size(), 40u);
  ASSERT_GE(prompts_.size(), 10u);
  ASSERT_GE(checkerKeywords_.size(), statements_.size());
  ASSERT_GE(ignored_.size(), 10u);
  for (const std::string& keyword : ignored_) EXPECT_TRUE(isIgnoredKeyword(keyword)) << keyword;
  for (const std::string& keyword : statements_)
    EXPECT_TRUE(isStatementKeyword(keyword)) << keyword;
  for (const std::string& keyword : prompts_)
    EXPECT_NE(findPromptKeyword(keyword), nullptr) << keyword;
  EXPECT_FALSE(isStatementKeyword("NOSUCHSTATEMENT"));
}

TEST_F(ScriptReference, EveryExamplePassesTheCheck) {
  ASSERT_GE(examples_.size(), statements_.size() / 2) << "too few ```cfg examples found";
  SimFixture machine;
  ASSERT_TRUE(machine.ok()) << machine.error();
  for (const Example& example : examples_) {
    EXPECT_FALSE(example.text.empty())
        << "docs/script-reference.md:" << example.line << ": an empty cfg example";
    // As `quillpack check --strict`: an example draws neither an error nor a warning.
    for (const Finding& f : checkScript(example.text, machine.sys())) {
      if (f.severity == Severity::Note) continue;
      ADD_FAILURE() << "docs/script-reference.md:" << example.line + f.line - 1
                    << ": the example does not pass quillpack check --strict: " << f.message
                    << "\n    " << f.text;
    }
  }
}

TEST_F(ScriptReference, EveryStatementHasAHeadingAndAnExample) {
  std::set<std::string> headings = headingWords(lines_);
  std::set<std::string> used = keywordsUsed(examples_);
  std::vector<std::string> all = statements_;
  all.insert(all.end(), prompts_.begin(), prompts_.end());
  all.insert(all.end(), checkerKeywords_.begin(), checkerKeywords_.end());
  for (const std::string& keyword : all) {
    std::string name = upper(keyword);
    EXPECT_TRUE(headings.count(name))
        << keyword << " is a statement the parser knows and has no heading in "
        << "docs/script-reference.md";
    EXPECT_TRUE(used.count(name)) << keyword << " appears in no ```cfg example of "
                                  << "docs/script-reference.md";
  }
}

TEST_F(ScriptReference, TheIgnoredKeywordsAreListed) {
  std::string manual;
  for (const std::string& line : lines_) manual += line + "\n";
  std::regex word("[A-Za-z][A-Za-z0-9]*");
  std::set<std::string> words;
  for (std::sregex_iterator it(manual.begin(), manual.end(), word), last; it != last; ++it)
    words.insert(upper((*it)[0]));
  for (const std::string& keyword : ignored_)
    EXPECT_TRUE(words.count(upper(keyword)))
        << keyword << " is accepted and ignored by the parser and not listed in the manual";
}

TEST_F(ScriptReference, TheCheckRejectsWhatTheParserRejects) {
  // The harness itself must be able to fail: a faulty example is reported as an error, a
  // doubtful one as a warning.
  SimFixture machine;
  ASSERT_TRUE(machine.ok()) << machine.error();
  bool error = false, warning = false;
  for (const Finding& f : checkScript("OVERWRITEFILE MAYBE\n", machine.sys()))
    error = error || f.severity == Severity::Error;
  for (const Finding& f : checkScript("FILE A.TXT\nINSERTDISK \"Disk 2\"\n", machine.sys()))
    warning = warning || f.severity == Severity::Warning;
  EXPECT_TRUE(error);
  EXPECT_TRUE(warning);
  std::vector<Example> found =
      cfgExamples({"text", "```cfg", "REM one", "```", "   ```cfg", "   FILE A.TXT", "     REM two",
                   "   ```", "```", "REM not an example", "```"});
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0].line, 3);
  EXPECT_EQ(found[1].text, "FILE A.TXT\n  REM two\n");
  EXPECT_EQ(keywordsUsed(found), (std::set<std::string>{"REM", "FILE"}));
}

}  // namespace
}  // namespace qm::pack
