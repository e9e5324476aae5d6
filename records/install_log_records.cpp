#include "records/install_log_records.h"

#include <iterator>

namespace qm {

namespace {

constexpr std::string_view kSeparator = "\", \"";
// A line read too many ways is not read at all: no undo could tell the readings apart.
constexpr size_t kMaxReadings = 16;

// Indexed by LogKind; both INIFILE forms share their keyword.
const char* const kKeywords[] = {
    "DEFAULTDIR",
    "DIRECTORY",
    "UNINSTALLBEGINPROMPT",
    "UNINSTALLENDPROMPT",
    "UNINSTALLTITLEPROMPT",
    "RENAME",
    "FILE",
    "AUTOEXEC",
    "CONFIG",
    "INIFILE",
    "INIFILE",
    "RegServer",
    "ADDTEXT",
    "REGKEY",
    "WINITEM",
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

std::string q(const std::string& text) { return "\"" + text + "\""; }

template <LogKind K>
std::string texts(const PathRecord<K>& r) {
  return q(r.path);
}
template <LogKind K>
std::string texts(const PromptRecord<K>& r) {
  return q(r.text);
}
template <LogKind K>
std::string texts(const LineChangeRecord<K>& r) {
  return q(r.oldLine) + ", " + q(r.newLine);
}
std::string texts(const DefaultDirRecord& r) { return q(r.path) + (r.blankLineAfter ? "\n" : ""); }
std::string texts(const RenameRecord& r) { return r.newPath + ", " + r.oldPath; }
std::string texts(const IniKeyRecord& r) {
  std::string out = q(r.section) + ", " + q(r.key) + ", " + q(r.value) + ", " + q(r.file);
  return r.previous ? out + ", " + q(*r.previous) : out;
}
std::string texts(const IniSectionRecord& r) { return q(r.section) + ", " + q(r.file); }
std::string texts(const AddTextRecord& r) {
  return q(r.oldLine) + ", " + r.file + ", " + q(r.newText);
}
std::string texts(const RegKeyRecord& r) { return q(r.rootName) + ", " + q(r.keyPath); }
std::string texts(const WinItemRecord& r) { return q(r.group) + ", " + q(r.title); }

// The typed readings of a line of a kind, from its texts.
std::vector<LogRecord> typed(LogKind kind, const std::vector<std::vector<std::string>>& all) {
  std::vector<LogRecord> out;
  for (const std::vector<std::string>& t : all) {
    switch (kind) {
      case LogKind::DefaultDir:
        out.push_back(DefaultDirRecord{t[0], false});
        break;
      case LogKind::Directory:
        out.push_back(DirectoryRecord{t[0]});
        break;
      case LogKind::BeginPrompt:
        out.push_back(BeginPromptRecord{t[0]});
        break;
      case LogKind::EndPrompt:
        out.push_back(EndPromptRecord{t[0]});
        break;
      case LogKind::TitlePrompt:
        out.push_back(TitlePromptRecord{t[0]});
        break;
      case LogKind::Rename:
        out.push_back(RenameRecord{t[0], t[1]});
        break;
      case LogKind::File:
        out.push_back(FileRecord{t[0]});
        break;
      case LogKind::Autoexec:
        out.push_back(AutoexecRecord{t[0], t[1]});
        break;
      case LogKind::Config:
        out.push_back(ConfigRecord{t[0], t[1]});
        break;
      case LogKind::IniKey:
        out.push_back(IniKeyRecord{t[0], t[1], t[2], t[3],
                                   t.size() == 5 ? std::optional(t[4]) : std::nullopt});
        break;
      case LogKind::IniSection:
        out.push_back(IniSectionRecord{t[0], t[1]});
        break;
      case LogKind::RegServer:
        out.push_back(RegServerRecord{t[0]});
        break;
      case LogKind::AddText:
        out.push_back(AddTextRecord{t[0], t[1], t[2]});
        break;
      case LogKind::RegKey:
        out.push_back(RegKeyRecord{t[0], t[1]});
        break;
      case LogKind::WinItem:
        out.push_back(WinItemRecord{t[0], t[1]});
        break;
    }
  }
  return out;
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
  std::optional<LogKind> kind;
  for (size_t k = 0; k < std::size(kKeywords) && !kind; ++k)
    if (keyword == kKeywords[k]) kind = LogKind(k);
  if (!kind) return skip("unknown kind of line");

  std::vector<std::vector<std::string>> all;
  switch (*kind) {
    case LogKind::Rename:
      all = renamePaths(rest);
      break;
    case LogKind::Autoexec:
    case LogKind::Config:
    case LogKind::RegKey:
    case LogKind::WinItem:
      all = splitQuotedTexts(std::string(rest), 2);
      break;
    case LogKind::AddText:
      all = addTextFields(rest);
      break;
    case LogKind::IniKey:
      all = iniFields(rest);
      if (all.size() == 1 && all.front().size() == 2) kind = LogKind::IniSection;
      break;
    default:
      all = oneText(rest);
      break;
  }
  if (all.empty()) return skip("the line's texts cannot be read");
  if (all.size() > kMaxReadings) return skip("the line can be read too many ways");
  // Prompts may hold anything; every other single text is a path and holds no quote.
  bool prompt =
      *kind == LogKind::BeginPrompt || *kind == LogKind::EndPrompt || *kind == LogKind::TitlePrompt;
  if (all.size() == 1 && all.front().size() == 1 && !prompt &&
      (all.front()[0].empty() || all.front()[0].find('"') != std::string::npos))
    return skip("the path is empty or holds a quote");

  LogLine entry;
  entry.kind = *kind;
  entry.lineNumber = number;
  entry.offset = offset;
  entry.readings = typed(*kind, all);
  switch (entry.kind) {
    case LogKind::DefaultDir:
      destination = all.front()[0];
      break;
    case LogKind::BeginPrompt:
      log.texts.begin = all.front()[0];
      break;
    case LogKind::EndPrompt:
      log.texts.end = all.front()[0];
      break;
    case LogKind::TitlePrompt:
      log.texts.title = all.front()[0];
      break;
    default:
      break;
  }
  entry.destination = destination;
  log.lines.push_back(std::move(entry));
}

}  // namespace

std::string formatLogRecord(const LogRecord& record) {
  return std::string(kKeywords[record.index()]) + ": " +
         std::visit([](const auto& r) { return texts(r); }, record);
}

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
    if (!line.empty()) {
      readLine(line, number, start, log, destination);
    } else if (!log.lines.empty() && log.lines.back().lineNumber == number - 1 &&
               log.lines.back().kind == LogKind::DefaultDir) {
      // The empty line the unasked destination writes after itself.
      for (LogRecord& r : log.lines.back().readings)
        std::get<DefaultDirRecord>(r).blankLineAfter = true;
    }
    start = end + 1;
  }
  return log;
}

}  // namespace qm
