#include "script/conditions.h"

#include <charconv>
#include <limits>

#include "base/text.h"
#include "platform/file_handle.h"
#include "script/deferred.h"

namespace qm {

namespace {

constexpr size_t kRegistryPathBytes = 999;  // the server path a class registration may hold
constexpr size_t kSearchPieceChars = 997;   // a longer text line is searched in pieces
constexpr int kMaxGroupNumbers = 100;
constexpr int kMaxSearchDepth = 128;  // deeper than any path the system can name
constexpr size_t kMaxSearchPathChars = 259;
constexpr const char* kNoVersion = "0.0.0.0";

// A value as ocxfilever and the text comparison read it: a quoted string when there is one,
// otherwise a word.
std::string quotedOrConditionWord(StatementLine& line) {
  std::string out;
  if (line.readQuotedLength(out) >= 0) return out;
  return line.readConditionWord();
}

// Compares an unsigned machine value with a written (possibly negative) number.
int compareToWritten(uint64_t machine, int64_t written) {
  if (written < 0) return 1;
  uint64_t w = uint64_t(written);
  return machine < w ? -1 : (machine > w ? 1 : 0);
}

int compareFractions(double a, double b) { return a < b ? -1 : (a > b ? 1 : 0); }

// ---- the tests, each reading its own arguments from the line -------------------------------

int testIsFile(StatementContext& ctx) {
  std::string path = quotedOrConditionWord(ctx.line);
  expandLeadingMacro(ctx.macros, path);
  if (!path.empty() && path.back() == '\\') {
    // A directory exists when it can be made the current one.
    std::string saved = ctx.sys.files().currentDirectory();
    bool exists = ctx.sys.files().setCurrentDirectory(path);
    ctx.sys.files().setCurrentDirectory(saved);
    return exists ? 1 : 0;
  }
  if (fileNamePart(path).empty()) return 0;
  return ctx.sys.files().find(path).empty() ? 0 : 1;
}

int testOcxFileVersion(StatementContext& ctx) {
  std::string classId = ctx.line.readQuoted();
  std::string bits = ctx.line.readConditionWord();
  int op = readComparison(ctx.line);
  std::string wanted = ctx.line.readQuoted();
  if (classId.empty() || (bits != "16" && bits != "32") || op < 0 || wanted.empty()) return -1;

  std::string key = "CLSID\\";
  if (classId.front() != '{') key += '{';
  key += classId;
  if (classId.back() != '}') key += '}';
  key += "\\InprocServer";
  if (bits == "32") key += "32";

  std::string found = kNoVersion;
  auto value = ctx.sys.registry().readRegistryValue(RegistryRoot::ClassesRoot, key, "");
  // A value too long for the installer's buffer is not read at all, as the system refuses it.
  if (value && value->data.size() <= kRegistryPathBytes) {
    std::string server(value->data.begin(), value->data.end());
    server = server.substr(0, server.find('\0'));
    std::string version;
    if (readFileVersion(ctx.sys, server, version)) found = version;
  }
  return comparisonHolds(op, ctx.sys.machine().localeCompareNoCase(found, wanted)) ? 1 : 0;
}

int testSearch(StatementContext& ctx) {
  StatementLine& line = ctx.line;
  if (line.atEnd()) return -1;
  std::string text = line.readQuoted();
  if (line.atEnd()) return -1;
  std::string file = quotedOrConditionWord(line);
  std::string skip = line.readQuoted();
  std::string begin, end;
  size_t before = line.position();
  if (equalsNoCase(line.readConditionWord(), "Begin") && line.takeEquals()) {
    begin = line.readQuoted();
    before = line.position();
    if (equalsNoCase(line.readConditionWord(), "End") && line.takeEquals())
      end = line.readQuoted();
    else
      line.setPosition(before);
  } else {
    line.setPosition(before);
  }
  return searchTextFile(ctx.sys, ctx.macros, text, file, skip, begin, end);
}

int testLocate(StatementContext& ctx) {
  std::string name = quotedOrConditionWord(ctx.line);
  std::string where = ctx.line.readConditionWord();
  expandLeadingMacro(ctx.macros, where);
  auto selector = parseDriveSelector(where);
  if (!selector) return -1;
  ctx.ui.showCheckingSystem();
  return findFileOnDrives(ctx.sys, ctx.macros, name, *selector);
}

// The display tests: an operator word whose first character is "<" or ">", then values.
struct DisplayValues {
  std::optional<int64_t> colours, width, height;
};

bool displayHolds(char op, const DisplayCaps& caps, const DisplayValues& v) {
  // Colour counts are worked out in 64 bits so that 32-bit displays compare as large, not as 1.
  int depth = caps.planes * caps.bitsPerPixel;
  uint64_t colours =
      depth >= 64 ? std::numeric_limits<uint64_t>::max() : (depth <= 0 ? 1 : uint64_t(1) << depth);
  uint64_t width = uint64_t(std::max(caps.width, 0));
  uint64_t height = uint64_t(std::max(caps.height, 0));
  bool greater = op == '>';
  bool ok = true;
  if (v.colours) {
    int c = compareToWritten(colours, *v.colours);
    ok = ok && (greater ? c >= 0 : c <= 0);
  }
  if (v.width) {
    int w = compareToWritten(width, *v.width);
    int h = compareToWritten(height, *v.height);
    if (greater)
      ok = ok && w >= 0 && h >= 0;
    else if (v.colours)
      ok = ok && w < 0 && h < 0;
    else
      ok = ok && w < 0 && h <= 0;
  }
  return ok;
}

int testVideoColour(StatementContext& ctx) {
  std::string opWord = ctx.line.readConditionWord();
  char op = opWord.empty() ? '\0' : opWord[0];
  if (op != '<' && op != '>') return -1;
  DisplayValues v;
  v.colours = conditionInteger(ctx.line.readConditionWord());
  return displayHolds(op, ctx.sys.machine().displayCaps(), v) ? 1 : 0;
}

int testVideoResolution(StatementContext& ctx) {
  std::string opWord = ctx.line.readConditionWord();
  char op = opWord.empty() ? '\0' : opWord[0];
  if (op != '<' && op != '>') return -1;
  DisplayValues v;
  v.width = conditionInteger(ctx.line.readConditionWord());
  v.height = conditionInteger(ctx.line.readConditionWord());
  return displayHolds(op, ctx.sys.machine().displayCaps(), v) ? 1 : 0;
}

int testVideo(StatementContext& ctx) {
  std::string opWord = ctx.line.readConditionWord();
  char op = opWord.empty() ? '\0' : opWord[0];
  if (op != '<' && op != '>') return -1;
  // The first value may share the operator's word ("<256").
  std::vector<std::string> words;
  std::string first = opWord.substr(1);
  if (first.empty()) first = ctx.line.readConditionWord();
  if (!first.empty()) {
    words.push_back(first);
    for (int i = 0; i < 2; ++i) {
      std::string w = ctx.line.readConditionWord();
      if (w.empty()) break;
      words.push_back(w);
    }
  }
  DisplayValues v;
  switch (words.size()) {
    case 1:
      v.colours = conditionInteger(words[0]);
      break;
    case 2:
      v.width = conditionInteger(words[0]);
      v.height = conditionInteger(words[1]);
      break;
    case 3:
      v.colours = conditionInteger(words[0]);
      v.width = conditionInteger(words[1]);
      v.height = conditionInteger(words[2]);
      break;
    default:
      return -1;
  }
  return displayHolds(op, ctx.sys.machine().displayCaps(), v) ? 1 : 0;
}

int testMemory(StatementContext& ctx) {
  int op = readComparison(ctx.line);
  if (op < 0) return -1;
  // In 64 bits: machines with 4 GiB and more, and sizes written above 4 GiB, compare as they are.
  int64_t wantedBytes = int64_t(ctx.line.readNumber()) * 1024;
  const uint64_t memory = ctx.sys.machine().totalPhysicalMemory();
  return comparisonHolds(op, compareToWritten(memory, wantedBytes)) ? 1 : 0;
}

int testVersion(StatementContext& ctx, double current) {
  int op = readComparison(ctx.line);
  if (op < 0) return -1;
  std::string word = ctx.line.readConditionWord();
  if (op == kOpEqual && equalsNoCase(word, "range")) {
    std::string low = ctx.line.readConditionWord();
    std::string high = ctx.line.readConditionWord();
    if (low.empty() || high.empty()) return -1;
    return conditionFraction(low) <= current && current <= conditionFraction(high) ? 1 : 0;
  }
  return comparisonHolds(op, compareFractions(current, conditionFraction(word))) ? 1 : 0;
}

int testText(StatementContext& ctx, const std::string& left) {
  int op = readComparison(ctx.line);
  if (op < 0) return -1;
  std::string right;
  if (ctx.line.readQuotedLength(right) < 0) right = ctx.line.readWord();
  return comparisonHolds(op, ctx.sys.machine().localeCompareNoCase(left, right)) ? 1 : 0;
}

// ---- second pass ----------------------------------------------------------------------------

int testGroups(StatementContext& ctx) {
  if (!ctx.line.takeEquals()) return -1;
  const GroupTables& groups = ctx.state.screens.groups;
  for (int i = 0; i < kMaxGroupNumbers; ++i) {
    std::string word = ctx.line.readWord();
    if (word.empty()) return 0;
    if (word.size() > 2 || word[0] < '0' || word[0] > '9') return -1;
    int64_t number = conditionInteger(word);
    int index = groups.indexOfNumber[size_t(number)];
    if (index >= 0 && index < kMaxGroupIndexes && groups.selected[size_t(index)]) return 1;
  }
  return 0;
}

int testAnswer(StatementContext& ctx, const std::string& name) {
  char digit = name.size() > 4 ? name[4] : '\0';
  if (digit < '1' || digit > '5') return -1;
  const std::string& answer = ctx.macros.ask[digit - '1'];
  int op = readComparison(ctx.line);
  if (op < 0) return -1;
  std::string text;
  if (ctx.line.readQuotedLength(text) < 0) {
    if (!equalsNoCase(ctx.line.readWord(), "range")) return -1;
    std::string low = ctx.line.readWord();
    std::string high = ctx.line.readWord();
    if (low.empty() || high.empty()) return -1;
    double value = conditionFraction(answer);
    return conditionFraction(low) <= value && value <= conditionFraction(high) ? 1 : 0;
  }
  expandLeftRight(ctx.macros, text);
  // Equality is exact; only the orderings ignore case.
  if (op == kOpEqual) return answer == text ? 1 : 0;
  if (op == kOpNotEqual) return answer != text ? 1 : 0;
  return comparisonHolds(op, ctx.sys.machine().localeCompareNoCase(answer, text)) ? 1 : 0;
}

// ---- text files as the search reads them ----------------------------------------------------

// Reads a file as the C runtime's text mode does: CR LF becomes LF and Ctrl-Z ends the text.
class TextLines {
 public:
  TextLines(FileSystem& fs, FileHandle h) : fs_(fs), h_(h) {}

  // The next piece of a line: up to kSearchPieceChars characters, the line feed included when it
  // fits. False at the end.
  bool next(std::string& out) {
    out.clear();
    while (out.size() < kSearchPieceChars) {
      int c = get();
      if (c < 0) break;
      if (c == '\r') {
        int d = get();
        if (d == '\n') {
          c = '\n';
        } else if (d >= 0) {
          unget_ = d;
        }
      }
      out += char(c);
      if (c == '\n') break;
    }
    return !out.empty();
  }

 private:
  int get() {
    if (unget_ >= 0) {
      int c = unget_;
      unget_ = -1;
      return c;
    }
    if (ended_) return -1;
    if (pos_ == buffer_.size()) {
      buffer_.resize(32768);
      int32_t n = fs_.read(h_, buffer_.data(), uint32_t(buffer_.size()));
      if (n <= 0) {
        ended_ = true;
        return -1;
      }
      buffer_.resize(size_t(n));
      pos_ = 0;
    }
    int c = static_cast<unsigned char>(buffer_[pos_++]);
    if (c == 0x1A) {
      ended_ = true;
      return -1;
    }
    return c;
  }

  FileSystem& fs_;
  FileHandle h_;
  std::string buffer_;
  size_t pos_ = 0;
  int unget_ = -1;
  bool ended_ = false;
};

// ---- drive search ---------------------------------------------------------------------------

bool searchDirectory(FileSystem& fs, MacroValues& macros, const std::string& dir,
                     const std::string& name, int depth) {
  std::string base = withTrailingBackslash(dir);
  if (!fs.find(base + name).empty()) {
    std::string here = fs.currentDirectory();
    macros.locateDir =
        here.size() > 3 && here.back() == '\\' ? here.substr(0, here.size() - 1) : here;
    macros.locateDrive = here.substr(0, 1);
    return true;
  }
  if (depth >= kMaxSearchDepth) return false;
  for (const FindEntry& e : fs.find(base + "*")) {
    if (!(e.attributes & kAttrDirectory) || e.name == "." || e.name == "..") continue;
    // A link or junction leads to a folder met elsewhere (or to its own parent): following it
    // can only repeat the walk, or multiply it without end.
    if (e.attributes & kAttrReparsePoint) continue;
    std::string sub = base + e.name;
    if (sub.size() > kMaxSearchPathChars || !fs.setCurrentDirectory(sub)) continue;
    if (searchDirectory(fs, macros, sub, name, depth + 1)) return true;
  }
  return false;
}

bool searchDrive(FileSystem& fs, MacroValues& macros, char letter, const std::string& name) {
  std::string root{letter, ':', '\\'};
  if (!fs.setCurrentDirectory(root)) return false;
  return searchDirectory(fs, macros, root, name, 0);
}

}  // namespace

int64_t conditionInteger(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int64_t value = 0;
  constexpr int64_t kLimit = std::numeric_limits<int64_t>::max() / 10 - 1;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
    value = value > kLimit ? kLimit * 10 : value * 10 + (text[i] - '0');
  return negative ? -value : value;
}

double conditionFraction(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  size_t start = i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  size_t digits = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
  }
  if (digits == 0) return 0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    size_t e = i + 1;
    if (e < text.size() && (text[e] == '+' || text[e] == '-')) ++e;
    if (e < text.size() && text[e] >= '0' && text[e] <= '9') {
      while (e < text.size() && text[e] >= '0' && text[e] <= '9') ++e;
      i = e;
    }
  }
  std::string number(text.substr(start, i - start));
  if (number[0] == '+') number.erase(0, 1);
  double value = 0;
  auto r = std::from_chars(number.data(), number.data() + number.size(), value);
  // Out of range saturates as the C library's conversion does.
  if (r.ec == std::errc::result_out_of_range)
    value =
        number[0] == '-' ? -std::numeric_limits<double>::max() : std::numeric_limits<double>::max();
  return value;
}

int readComparison(StatementLine& line) {
  line.skipSeparators();
  char c1 = line.peek();
  if (c1 == '\0') return -1;
  line.setPosition(line.position() + 1);
  char c2 = line.peek();
  if (c2 != '=' && c2 != '>') {
    switch (c1) {
      case '=':
        return kOpEqual;
      case '>':
        return kOpGreater;
      case '<':
        return kOpLess;
      default:
        return -1;
    }
  }
  line.setPosition(line.position() + 1);
  if (c1 == '=' && c2 == '=') return kOpEqual;
  if (c1 == '>' && c2 == '=') return kOpGreaterEqual;
  if (c1 == '<' && c2 == '=') return kOpLessEqual;
  if (c1 == '<' && c2 == '>') return kOpNotEqual;
  return -1;
}

bool comparisonHolds(int op, int cmp) {
  switch (op) {
    case kOpEqual:
      return cmp == 0;
    case kOpGreater:
      return cmp > 0;
    case kOpLess:
      return cmp < 0;
    case kOpGreaterEqual:
      return cmp >= 0;
    case kOpLessEqual:
      return cmp <= 0;
    case kOpNotEqual:
      return cmp != 0;
    default:
      return false;
  }
}

int readFileVersion(Machine& machine, const std::string& path, std::string& out) {
  auto text = machine.versionText(path, "\\StringFileInfo\\040904E4\\FileVersion");
  if (!text) text = machine.versionText(path, "\\StringFileInfo\\040904B0\\FileVersion");
  if (!text || text->empty()) return 0;
  out = *text;
  return 1;
}

std::optional<DriveSelector> parseDriveSelector(std::string_view where) {
  DriveSelector s;
  if (where.empty()) return s;
  if (where.size() == 1) {
    s.kind = DriveSelector::Kind::OneDrive;
    s.letter = toUpperAscii(where[0]);
    return s;
  }
  if (equalsNoCase(where, "local")) {
    s.kind = DriveSelector::Kind::Fixed;
    return s;
  }
  if (equalsNoCase(where, "network")) {
    s.kind = DriveSelector::Kind::Network;
    return s;
  }
  return std::nullopt;
}

int findFileOnDrives(FileSystem& fs, MacroValues& macros, const std::string& name,
                     const DriveSelector& where) {
  bool found = false;
  std::string saved = fs.currentDirectory();
  if (where.kind == DriveSelector::Kind::OneDrive) {
    found = searchDrive(fs, macros, where.letter, name);
  } else {
    char source = macros.sourceDir.empty() ? '\0' : toUpperAscii(macros.sourceDir[0]);
    uint32_t present = fs.logicalDrives();
    for (char letter = 'A'; letter <= 'Z' && !found; ++letter) {
      if (letter == source || !(present & (1u << (letter - 'A')))) continue;
      DriveType type = fs.driveType(std::string{letter, ':', '\\'});
      bool wanted = (type == DriveType::Fixed && where.kind != DriveSelector::Kind::Network) ||
                    (type == DriveType::Remote && where.kind != DriveSelector::Kind::Fixed);
      if (wanted) found = searchDrive(fs, macros, letter, name);
    }
  }
  fs.setCurrentDirectory(saved);
  return found ? 1 : 0;
}

int searchTextFile(FileSystem& fs, MacroValues& macros, const std::string& text,
                   const std::string& file, const std::string& skipPrefix, const std::string& begin,
                   const std::string& end) {
  std::string path = file;
  expandLeadingMacro(macros, path);
  ScopedFile opened = ScopedFile::openRead(fs, path);
  if (!opened) return 0;
  std::string wanted = text;
  expandMacros(macros, wanted);
  wanted = upperAscii(wanted);

  TextLines lines(fs, opened.get());
  std::string line;
  int counter = 0;
  bool beginSeen = begin.empty();
  int result = 0;
  while (lines.next(line)) {
    ++counter;
    if (!skipPrefix.empty() && startsWithNoCase(line, skipPrefix)) continue;
    if (!beginSeen) {
      if (line.find(begin) != std::string::npos) beginSeen = true;
      continue;
    }
    if (!end.empty() && line.find(end) != std::string::npos) break;
    if (!line.empty() && line.back() == '\n') line.pop_back();
    size_t at = upperAscii(line).find(wanted);
    if (at != std::string::npos) {
      macros.search = std::to_string(counter);
      macros.left = line.substr(0, at);
      macros.right = line.substr(at + wanted.size());
      result = 1;
      break;
    }
  }
  return result;
}

int evaluateAnswerCondition(StatementContext& ctx) {
  ctx.line.skipConditionSeparators();
  std::string name = ctx.line.readConditionWord();
  if (equalsNoCase(name, "group")) return testGroups(ctx);
  if (startsWithNoCase(name, "$ask")) return testAnswer(ctx, name);
  ctx.state.syntaxError = true;
  return -1;
}

namespace {

struct ConditionTest {
  const char* name;
  int (*test)(StatementContext& ctx);
};

// The condition words in the order they are tried; any other word is compared as text.
const ConditionTest kConditionTests[] = {
    {"isfile", testIsFile},
    {"ocxfilever", testOcxFileVersion},
    {"search", testSearch},
    {"locate", testLocate},
    {"videocolor", testVideoColour},
    {"videoresolution", testVideoResolution},
    {"video", testVideo},
    {"memory", testMemory},
    {"winver", [](StatementContext& c) { return testVersion(c, c.startup.windowsVersion); }},
    {"dosver", [](StatementContext& c) { return testVersion(c, c.startup.dosVersion); }},
    {"group", deferIfBlock},
};

}  // namespace

std::vector<std::string> conditionWords() {
  std::vector<std::string> words;
  for (const ConditionTest& c : kConditionTests) words.emplace_back(c.name);
  return words;
}

bool isConditionWord(std::string_view word) {
  if (startsWithNoCase(word, "$ask")) return true;
  for (const ConditionTest& c : kConditionTests)
    if (equalsNoCase(word, c.name)) return true;
  return false;
}

int evaluateCondition(StatementContext& ctx) {
  if (ctx.secondPass) return evaluateAnswerCondition(ctx);
  ctx.line.skipConditionSeparators();
  std::string name = ctx.line.readConditionWord();
  for (const ConditionTest& c : kConditionTests)
    if (equalsNoCase(name, c.name)) return c.test(ctx);
  if (startsWithNoCase(name, "$ask")) return deferIfBlock(ctx);
  return testText(ctx, name);
}

}  // namespace qm
