#include "finish/uninstall_log.h"

#include <string_view>

#include "base/text.h"

namespace qm {

namespace {

constexpr std::string_view kSeparator = "\", \"";
// A line read too many ways is not read at all: no undo could tell the readings apart.
constexpr size_t kMaxReadings = 16;

struct KindName {
  const char* keyword;
  LogKind kind;
};

const KindName kKinds[] = {
    {"DEFAULTDIR", LogKind::DefaultDir},
    {"DIRECTORY", LogKind::Directory},
    {"UNINSTALLBEGINPROMPT", LogKind::BeginPrompt},
    {"UNINSTALLENDPROMPT", LogKind::EndPrompt},
    {"UNINSTALLTITLEPROMPT", LogKind::TitlePrompt},
    {"RENAME", LogKind::Rename},
    {"FILE", LogKind::File},
    {"AUTOEXEC", LogKind::Autoexec},
    {"CONFIG", LogKind::Config},
    {"INIFILE", LogKind::IniKey},
    {"RegServer", LogKind::RegServer},
    {"ADDTEXT", LogKind::AddText},
    {"REGKEY", LogKind::RegKey},
    {"WINITEM", LogKind::WinItem},
};

bool quotedWhole(std::string_view text) {
  return text.size() >= 2 && text.front() == '"' && text.back() == '"';
}

std::vector<size_t> occurrences(std::string_view text, std::string_view what) {
  std::vector<size_t> at;
  for (size_t p = text.find(what); p != std::string_view::npos; p = text.find(what, p + 1))
    at.push_back(p);
  return at;
}

void splitAt(std::string_view inner, const std::vector<size_t>& cuts, size_t from, size_t start,
             size_t left, std::vector<std::string>& pieces,
             std::vector<std::vector<std::string>>& out) {
  if (out.size() > kMaxReadings) return;
  if (left == 0) {
    pieces.emplace_back(inner.substr(start));
    out.push_back(pieces);
    pieces.pop_back();
    return;
  }
  for (size_t i = from; i < cuts.size() && out.size() <= kMaxReadings; ++i) {
    if (cuts[i] < start) continue;
    pieces.emplace_back(inner.substr(start, cuts[i] - start));
    splitAt(inner, cuts, i + 1, cuts[i] + kSeparator.size(), left - 1, pieces, out);
    pieces.pop_back();
  }
}

// One quoted text: the whole rest between its quotes.
std::vector<std::vector<std::string>> oneText(std::string_view rest) {
  if (!quotedWhole(rest)) return {};
  return {{std::string(rest.substr(1, rest.size() - 2))}};
}

// "RENAME: new, old": two paths without quotes, joined by ", ".
std::vector<std::vector<std::string>> renamePaths(std::string_view rest) {
  std::vector<std::vector<std::string>> out;
  for (size_t p : occurrences(rest, ", ")) {
    if (out.size() > kMaxReadings) break;
    std::string_view a = rest.substr(0, p), b = rest.substr(p + 2);
    if (!a.empty() && !b.empty()) out.push_back({std::string(a), std::string(b)});
  }
  return out;
}

// "ADDTEXT: Q(old), file, Q(new)": the file is not quoted, but a file name holds no quote.
std::vector<std::vector<std::string>> addTextFields(std::string_view rest) {
  std::vector<std::vector<std::string>> out;
  if (!quotedWhole(rest) || rest.size() < 3) return out;
  for (size_t p : occurrences(rest, "\", ")) {
    if (out.size() > kMaxReadings) break;
    if (p == 0) continue;
    size_t fileStart = p + 3;
    size_t fileEnd = rest.find(", \"", fileStart);
    if (fileEnd == std::string_view::npos || fileEnd + 3 > rest.size() - 1) continue;
    std::string_view file = rest.substr(fileStart, fileEnd - fileStart);
    if (file.empty() || file.find('"') != std::string_view::npos) continue;
    out.push_back({std::string(rest.substr(1, p - 1)), std::string(file),
                   std::string(rest.substr(fileEnd + 3, rest.size() - 1 - (fileEnd + 3)))});
  }
  return out;
}

// "INIFILE: Q(section), Q(file)" or Q(section), Q(key), Q(value), Q(file) [, Q(old)]. Sections,
// keys and file names do not hold the separator; a value (or the old one) may, so every place
// the file could stand in is a reading, the five-text ones first.
std::vector<std::vector<std::string>> iniFields(std::string_view rest) {
  std::vector<std::vector<std::string>> out;
  std::vector<std::vector<std::string>> all = splitQuotedTexts(std::string(rest), 1);
  if (all.empty()) return out;
  std::string_view inner = all.front().front();
  std::vector<std::string> p;
  size_t start = 0;
  for (size_t at : occurrences(inner, kSeparator)) {
    if (at < start) continue;  // overlaps the separator just taken (", ", "): one cut only
    p.emplace_back(inner.substr(start, at - start));
    start = at + kSeparator.size();
  }
  p.emplace_back(inner.substr(start));
  const std::string sep(kSeparator);
  auto join = [&](size_t from, size_t to) {  // p[from .. to), joined again
    std::string text = p[from];
    for (size_t i = from + 1; i < to; ++i) text += sep + p[i];
    return text;
  };
  if (p.size() == 2) return {p};
  if (p.size() < 4) return out;
  for (size_t file = 3; file + 1 < p.size() && out.size() <= kMaxReadings; ++file)
    out.push_back({p[0], p[1], join(2, file), p[file], join(file + 1, p.size())});
  out.push_back({p[0], p[1], join(2, p.size() - 1), p.back()});
  return out;
}

bool hasControlCharacter(std::string_view line) {
  for (unsigned char c : line)
    if (c < 0x20 && c != '\t') return true;
  return false;
}

void readLine(std::string_view line, int number, uint64_t offset, InstallLogContents& log,
              std::string& destination) {
  auto skip = [&](const char* reason) {
    log.skipped.push_back({number, std::string(line), reason});
  };
  if (hasControlCharacter(line)) return skip("the line holds control characters");
  size_t colon = line.find(": ");
  if (colon == std::string_view::npos) return skip("not a line the installer writes");
  std::string_view keyword = line.substr(0, colon), rest = line.substr(colon + 2);
  const KindName* kind = nullptr;
  for (const KindName& k : kKinds)
    if (keyword == k.keyword) kind = &k;
  if (!kind) return skip("unknown kind of line");

  LogLine entry;
  entry.kind = kind->kind;
  entry.lineNumber = number;
  entry.offset = offset;
  switch (kind->kind) {
    case LogKind::Rename:
      entry.readings = renamePaths(rest);
      break;
    case LogKind::Autoexec:
    case LogKind::Config:
      entry.readings = splitQuotedTexts(std::string(rest), 2);
      break;
    case LogKind::AddText:
      entry.readings = addTextFields(rest);
      break;
    case LogKind::RegKey:
    case LogKind::WinItem:
      entry.readings = splitQuotedTexts(std::string(rest), 2);
      break;
    case LogKind::IniKey:
      entry.readings = iniFields(rest);
      if (entry.readings.size() == 1 && entry.fields().size() == 2)
        entry.kind = LogKind::IniSection;
      break;
    default:
      entry.readings = oneText(rest);
      break;
  }
  if (entry.readings.empty()) return skip("the line's texts cannot be read");
  if (entry.readings.size() > kMaxReadings) return skip("the line can be read too many ways");
  // Prompts may hold anything; every other single text is a path and holds no quote.
  bool prompt = entry.kind == LogKind::BeginPrompt || entry.kind == LogKind::EndPrompt ||
                entry.kind == LogKind::TitlePrompt;
  if (entry.readings.size() == 1 && entry.fields().size() == 1 && !prompt &&
      (entry.fields()[0].empty() || entry.fields()[0].find('"') != std::string::npos))
    return skip("the path is empty or holds a quote");

  switch (entry.kind) {
    case LogKind::DefaultDir:
      destination = entry.fields()[0];
      break;
    case LogKind::BeginPrompt:
      log.texts.begin = entry.fields()[0];
      break;
    case LogKind::EndPrompt:
      log.texts.end = entry.fields()[0];
      break;
    case LogKind::TitlePrompt:
      log.texts.title = entry.fields()[0];
      break;
    default:
      break;
  }
  entry.destination = destination;
  log.lines.push_back(std::move(entry));
}

}  // namespace

std::vector<std::vector<std::string>> splitQuotedTexts(const std::string& text, size_t count) {
  std::vector<std::vector<std::string>> out;
  if (count == 0 || !quotedWhole(text)) return out;
  std::string_view inner = std::string_view(text).substr(1, text.size() - 2);
  std::vector<size_t> cuts = occurrences(inner, kSeparator);
  if (cuts.size() + 1 < count) return out;
  std::vector<std::string> pieces;
  splitAt(inner, cuts, 0, 0, count - 1, pieces, out);
  return out;
}

InstallLogContents readInstallLog(const std::string& bytes) {
  InstallLogContents log;
  std::string destination;
  size_t start = 0;
  int number = 0;
  while (start < bytes.size()) {
    ++number;
    size_t end = bytes.find('\n', start);
    if (end == std::string::npos) {
      // The installer ends every line; one without its end was cut off while being written.
      log.skipped.push_back({number, bytes.substr(start), "the line is cut off"});
      break;
    }
    std::string_view line(bytes.data() + start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!line.empty()) readLine(line, number, start, log, destination);
    start = end + 1;
  }
  return log;
}

}  // namespace qm
