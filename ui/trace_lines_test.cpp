// The trace is read by deployment scripts, so docs/trace.md is its contract. These tests read
// every program source and hold each place that writes a trace line against the document: a
// line kind that is written but not described fails here, and so does a described kind of the
// core contract that nothing writes any more.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace qm {
namespace {

namespace fs = std::filesystem;

const fs::path kRoot = QM_SOURCE_DIR;
// Folders whose sources end up in a program; tests and fixtures write no trace of a real run.
const char* const kProgramFolders[] = {"app",    "base",      "platform", "script", "ui",
                                       "engine", "sysconfig", "finish",   "shell",  "tools"};

std::string readText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

bool isProgramSource(const fs::path& path) {
  std::string name = path.filename().string();
  auto endsWith = [&](const std::string& tail) {
    return name.size() >= tail.size() &&
           name.compare(name.size() - tail.size(), tail.size(), tail) == 0;
  };
  if (!endsWith(".cpp") && !endsWith(".h")) return false;
  return !endsWith("_test.cpp") && !endsWith("_stormtest.cpp") && !endsWith("_for_tests.h");
}

// The source with comments blanked out, string and character literals kept.
std::string withoutComments(const std::string& text) {
  std::string out = text;
  for (size_t i = 0; i < out.size(); ++i) {
    char c = out[i];
    if (c == '"' || c == '\'') {
      for (++i; i < out.size() && out[i] != c; ++i)
        if (out[i] == '\\') ++i;
    } else if (c == '/' && i + 1 < out.size() && out[i + 1] == '/') {
      for (; i < out.size() && out[i] != '\n'; ++i) out[i] = ' ';
    } else if (c == '/' && i + 1 < out.size() && out[i + 1] == '*') {
      for (; i + 1 < out.size() && !(out[i] == '*' && out[i + 1] == '/'); ++i) out[i] = ' ';
    }
  }
  return out;
}

// The text between the parenthesis at open and its partner.
std::string argumentAt(const std::string& text, size_t open) {
  int depth = 0;
  for (size_t i = open; i < text.size(); ++i) {
    char c = text[i];
    if (c == '"' || c == '\'') {
      for (++i; i < text.size() && text[i] != c; ++i)
        if (text[i] == '\\') ++i;
    } else if (c == '(') {
      ++depth;
    } else if (c == ')' && --depth == 0) {
      return text.substr(open + 1, i - open - 1);
    }
  }
  return text.substr(open + 1);
}

// The string literals of an expression, unescaped.
std::vector<std::string> literalsIn(const std::string& expression) {
  std::vector<std::string> literals;
  for (size_t i = 0; i < expression.size(); ++i) {
    if (expression[i] == '\'') {
      for (++i; i < expression.size() && expression[i] != '\''; ++i)
        if (expression[i] == '\\') ++i;
      continue;
    }
    if (expression[i] != '"') continue;
    std::string literal;
    for (++i; i < expression.size() && expression[i] != '"'; ++i) {
      if (expression[i] == '\\' && i + 1 < expression.size()) ++i;
      literal += expression[i];
    }
    literals.push_back(literal);
  }
  return literals;
}

std::string trimmed(const std::string& s) {
  size_t b = s.find_first_not_of(" ");
  size_t e = s.find_last_not_of(" ");
  return b == std::string::npos ? "" : s.substr(b, e - b + 1);
}

struct TraceCall {
  std::string where;     // file:line
  std::string argument;  // the expression that makes the line
};

// Every call that writes a trace line: ui.trace(...), trace(...) and trace_(...) inside the
// views, and a trace file's write(...). Declarations and definitions are passed over.
std::vector<TraceCall> traceCallsIn(const fs::path& path) {
  std::string text = withoutComments(readText(path));
  std::vector<TraceCall> calls;
  auto lineOf = [&](size_t at) { return 1 + std::count(text.begin(), text.begin() + at, '\n'); };
  auto isWord = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; };
  for (size_t at = 0; at < text.size(); ++at) {
    size_t open = std::string::npos;
    for (const char* name : {"trace(", "trace_("}) {
      size_t n = std::strlen(name);
      if (text.compare(at, n, name) != 0 || (at > 0 && isWord(text[at - 1]))) continue;
      // "void trace(", "Type trace(" and "Class::trace(" declare; a call follows an operator,
      // a member access or the start of a statement.
      size_t before = at;
      while (before > 0 && text[before - 1] == ' ') --before;
      bool declaration =
          before > 0 && (isWord(text[before - 1]) || text[before - 1] == ':') && before != at;
      if (before >= 2 && text.compare(before - 2, 2, "::") == 0) declaration = true;
      std::string previous;
      for (size_t p = before; p > 0 && isWord(text[p - 1]); --p) previous.insert(0, 1, text[p - 1]);
      if (previous == "return") declaration = false;
      if (!declaration) open = at + n - 1;
    }
    if (text.compare(at, 7, "->write") == 0 || text.compare(at, 6, ".write") == 0) {
      size_t start = at;
      while (start > 0 && isWord(text[start - 1])) --start;
      std::string receiver = text.substr(start, at - start);
      size_t paren = text.find('(', at);
      if (receiver.find("race") != std::string::npos && paren != std::string::npos) open = paren;
    }
    if (open == std::string::npos) continue;
    calls.push_back({path.lexically_relative(kRoot).string() + ":" + std::to_string(lineOf(at)),
                     argumentAt(text, open)});
  }
  return calls;
}

std::vector<TraceCall> allTraceCalls() {
  std::vector<TraceCall> calls;
  for (const char* folder : kProgramFolders) {
    for (const auto& entry : fs::recursive_directory_iterator(kRoot / folder)) {
      if (!entry.is_regular_file() || !isProgramSource(entry.path())) continue;
      std::vector<TraceCall> found = traceCallsIn(entry.path());
      calls.insert(calls.end(), found.begin(), found.end());
    }
  }
  return calls;
}

// The documented formats: the lines of the ```trace blocks.
std::vector<std::string> documentedFormats(const std::string& doc) {
  std::vector<std::string> formats;
  std::istringstream lines(doc);
  bool inBlock = false;
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("```", 0) == 0) {
      inBlock = !inBlock && line == "```trace";
      continue;
    }
    if (inBlock && !line.empty()) formats.push_back(line);
  }
  return formats;
}

// A forwarding call hands on a line made elsewhere; the line itself is checked where it is made.
bool isForwarding(const std::string& argument) {
  return argument == "line" || argument == "std::move(trace)";
}

TEST(TraceContract, EveryWrittenLineKindIsDocumented) {
  const std::string doc = readText(kRoot / "docs" / "trace.md");
  const std::vector<std::string> formats = documentedFormats(doc);
  ASSERT_GT(formats.size(), 20u) << "docs/trace.md lost its ```trace blocks";
  const std::vector<TraceCall> calls = allTraceCalls();
  // The scan must see the writers it is meant to guard, or it guards nothing.
  ASSERT_GT(calls.size(), 40u);

  for (const TraceCall& call : calls) {
    std::vector<std::string> literals = literalsIn(call.argument);
    if (literals.empty()) {
      EXPECT_TRUE(isForwarding(call.argument))
          << call.where
          << ": a trace line with no fixed text cannot be documented: " << call.argument;
      continue;
    }
    // A line that begins with fixed text must begin like one of the formats.
    std::string expression = trimmed(call.argument);
    if (expression.rfind("std::string(\"", 0) == 0) expression = expression.substr(12);
    if (!expression.empty() && expression[0] == '"') {
      bool begins = false;
      for (const std::string& format : formats)
        begins = begins || format.rfind(literals[0], 0) == 0;
      EXPECT_TRUE(begins) << call.where << ": no documented format begins with \"" << literals[0]
                          << "\"";
    }
    // Every piece of fixed text it writes is in the document.
    for (const std::string& literal : literals) {
      if (trimmed(literal).size() < 3) continue;  // separators such as " -> " and ": "
      EXPECT_NE(doc.find(literal), std::string::npos)
          << call.where << ": \"" << literal << "\" is not in docs/trace.md";
    }
  }
}

TEST(TraceContract, EveryDocumentedLineKindIsStillWritten) {
  const std::vector<std::string> formats = documentedFormats(readText(kRoot / "docs" / "trace.md"));
  std::vector<std::string> literals;
  for (const TraceCall& call : allTraceCalls()) {
    std::vector<std::string> found = literalsIn(call.argument);
    literals.insert(literals.end(), found.begin(), found.end());
  }
  // The kinds every reader relies on; the document must not go on promising them once nothing
  // writes them.
  const std::vector<std::string> kRelied = {"startup:", "relaunch:", "phase", "installation",
                                            "dialog",   "message",   "disk:", "popup",
                                            "wrote",    "skipped",   "exit"};
  size_t checked = 0;
  for (const std::string& format : formats) {
    std::string head = format.substr(0, format.find(' '));
    if (std::find(kRelied.begin(), kRelied.end(), head) == kRelied.end()) continue;
    ++checked;
    bool written = false;
    for (const std::string& literal : literals) written = written || literal.rfind(head, 0) == 0;
    EXPECT_TRUE(written) << "docs/trace.md describes \"" << format
                         << "\", which no program source writes";
  }
  EXPECT_GT(checked, 30u);
}

}  // namespace
}  // namespace qm
