#include "tools/simulation_matrix.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>

#include "base/text.h"
#include "platform/file_handle.h"
#include "platform/sim/machine_file.h"
#include "platform/sim/sim_system.h"

namespace qm::pack {

namespace fs = std::filesystem;

namespace {

bool startsWith(const std::string& s, std::string_view prefix) {
  return s.compare(0, prefix.size(), prefix) == 0;
}

std::vector<std::string> readLines(const std::string& path) {
  std::vector<std::string> lines;
  std::ifstream in(path, std::ios::binary);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The sizes of the written files, read back from the machine the run left.
uint64_t writtenBytes(const std::string& machineFile, const std::vector<std::string>& files) {
  std::string error;
  std::optional<MachineConfig> config = readMachineFile(machineFile, error);
  if (!config) return 0;
  SimSystem sys(std::move(*config));
  uint64_t total = 0;
  for (const std::string& f : files) {
    ScopedFile h = ScopedFile::openRead(sys, f);
    if (!h) continue;
    int64_t size = sys.files().fileSize(h.get());
    if (size > 0) total += uint64_t(size);
  }
  return total;
}

ProfileOutcome runOne(const MatrixRequest& request, const MachineProfile& profile) {
  ProfileOutcome out;
  out.profile = profile.name;
  out.title = profile.title;
  out.answersGiven = !request.answersFile.empty();
  auto started = std::chrono::steady_clock::now();
  std::string error, folder;
  if (request.keepFolder.empty()) {
    folder = makeScratchFolder("qm-matrix-" + profile.name + "-", error);
  } else {
    folder = (fs::path(request.keepFolder) / profile.name).string();
  }
  std::string machine =
      folder.empty() ? "" : layOutProfileMachine(profile, request.media, folder, error);
  if (machine.empty()) {
    out.error = error;
  } else {
    SimulationRequest run;
    run.machineFile = machine;
    run.answersFile = request.answersFile;
    run.traceFile = (fs::path(folder) / "trace.txt").string();
    run.program = distributionProgram(request.media, request.program);
    run.arguments = request.arguments;
    ShownScreens shown;
    if (request.pictures) run.screens = &shown;
    SimulationResult result = runSimulation(run);
    if (request.pictures) {
      out.display = std::to_string(shown.screenWidth) + "x" + std::to_string(shown.screenHeight);
      out.pictures = drawScreens(shown);
      for (const ShownWindow& w : shown.windows)
        if (w.kind == ShownWindow::Kind::Message) out.messages.push_back(w.topic + ": " + w.text);
    }
    out.error = result.error;
    out.exitCode = result.exitCode;
    out.conditions = result.conditions;
    out.traceTail = result.traceTail;
    readRunRecords(readLines(run.traceFile), result.installLog, out);
    out.bytes = writtenBytes(machine, out.files);
  }
  std::error_code ec;
  if (request.keepFolder.empty() && !folder.empty()) fs::remove_all(folder, ec);
  out.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  return out;
}

// "a, b and c"
std::string listed(const std::vector<std::string>& names) {
  std::string s;
  for (size_t i = 0; i < names.size(); ++i)
    s += (i == 0 ? "" : i + 1 == names.size() ? " and " : ", ") + names[i];
  return s;
}

// The profiles of a set among those compared, named the short way: "on win31 and nt351", or "on
// every profile but win95-small" when that is shorter.
std::string onProfiles(const std::vector<std::string>& compared, const std::set<std::string>& in) {
  std::vector<std::string> yes, no;
  for (const std::string& name : compared) (in.count(name) ? yes : no).push_back(name);
  if (no.size() < yes.size() && !no.empty()) return "on every profile but " + listed(no);
  return "on " + listed(yes) + " only";
}

std::string conditionText(const ConditionResult& c) {
  std::string t = c.text;
  size_t b = t.find_first_not_of(" \t");
  return b == std::string::npos ? t : t.substr(b);
}

const char* resultWord(int result) {
  switch (result) {
    case 1:
      return "true";
    case 0:
      return "false";
    case 100:
      return "waits for the answers";
  }
  return "malformed";
}

}  // namespace

const char* exitCodeMeaning(int code) {
  switch (code) {
    case 0:
      return "completed";
    case 1:
      return "could not start";
    case 2:
      return "the user quit";
    case 3:
      return "failed";
    case 5:
      return "another installation running";
    case 3010:
      return "completed, restart wanted";
  }
  return "unexpected exit code";
}

void readRunRecords(const std::vector<std::string>& trace, const std::string& installLog,
                    ProfileOutcome& outcome) {
  for (const std::string& line : trace) {
    if (startsWith(line, "dialog ")) {
      size_t end = line.find_first_of(": ", 7);
      outcome.dialogs.push_back(line.substr(7, end == std::string::npos ? end : end - 7));
    } else if (startsWith(line, "message [")) {
      size_t end = line.find(']');
      if (end != std::string::npos) outcome.questions.push_back(line.substr(9, end - 9));
    } else if (startsWith(line, "disk: ")) {
      outcome.questions.push_back("Disk");
    } else if (startsWith(line, "wrote ")) {
      outcome.files.push_back(line.substr(6));
    }
  }
  std::istringstream log(installLog);
  for (std::string line; std::getline(log, line);) {
    std::string kind = line.substr(0, line.find(':'));
    if (kind == "AUTOEXEC" || kind == "CONFIG")
      ++outcome.startupChanges;
    else if (kind == "INIFILE")
      ++outcome.iniEntries;
    else if (startsWith(kind, "REG"))
      ++outcome.registryKeys;
    else if (kind == "WINITEM" || kind == "WINGROUP" || kind == "GROUP")
      ++outcome.programItems;
  }
}

bool endedAsAnswered(const ProfileOutcome& o) {
  if (!o.error.empty()) return false;
  return o.exitCode == 0 || o.exitCode == 3010 || (o.exitCode == 2 && o.answersGiven);
}

std::vector<ProfileOutcome> runMatrix(const MatrixRequest& request) {
  std::vector<ProfileOutcome> outcomes(request.profiles.size());
  std::atomic<size_t> next{0};
  size_t done = 0;
  std::mutex progressLock;
  auto worker = [&] {
    for (size_t i; (i = next++) < request.profiles.size();) {
      outcomes[i] = runOne(request, request.profiles[i]);
      std::lock_guard<std::mutex> hold(progressLock);
      ++done;
      if (request.progress) request.progress(done, outcomes.size(), outcomes[i].profile);
    }
  };
  unsigned jobs = std::max(1u, std::min<unsigned>(request.jobs, unsigned(outcomes.size())));
  std::vector<std::thread> threads;
  for (unsigned j = 1; j < jobs; ++j) threads.emplace_back(worker);
  worker();
  for (std::thread& t : threads) t.join();
  return outcomes;
}

std::vector<std::string> describeDifferences(const std::vector<ProfileOutcome>& outcomes) {
  std::vector<std::string> out;
  // Files and questions are compared among the runs that ended as answered; a failed run is
  // reported on its own below, with why it stopped.
  std::vector<std::string> all, ended;
  for (const ProfileOutcome& o : outcomes) {
    all.push_back(o.profile);
    if (endedAsAnswered(o)) ended.push_back(o.profile);
  }
  std::map<std::string, std::set<std::string>> writers, askers;
  std::vector<std::string> fileOrder, askOrder;
  for (const ProfileOutcome& o : outcomes) {
    if (!endedAsAnswered(o)) continue;
    for (const std::string& f : o.files) {
      std::string key = upperAscii(f);
      if (!writers.count(key)) fileOrder.push_back(f);
      writers[key].insert(o.profile);
    }
    std::vector<std::string> met = o.dialogs;
    met.insert(met.end(), o.questions.begin(), o.questions.end());
    for (const std::string& q : met) {
      if (!askers.count(q)) askOrder.push_back(q);
      askers[q].insert(o.profile);
    }
  }
  std::set<std::string> explained;
  // Conditions by line: the ones whose result is not the same everywhere.
  std::map<int, std::map<int, std::set<std::string>>> byLine;
  std::map<int, std::string> lineText;
  for (const ProfileOutcome& o : outcomes)
    for (const ConditionResult& c : o.conditions) {
      byLine[c.line][c.result].insert(o.profile);
      lineText[c.line] = conditionText(c);
    }
  for (auto& [line, results] : byLine) {
    if (results.size() < 2) continue;
    std::string s = "line " + std::to_string(line) + ": " + lineText[line] + " is";
    bool first = true;
    for (int result : {1, 0, 100, -1}) {
      if (!results.count(result)) continue;
      s += std::string(first ? " " : "; ") + resultWord(result) + " " +
           onProfiles(all, results[result]);
      first = false;
    }
    // The files that follow the condition: written exactly where it was true (or false), among
    // the runs that got that far.
    auto among = [&](const std::set<std::string>& profiles) {
      std::set<std::string> in;
      for (const std::string& p : ended)
        if (profiles.count(p)) in.insert(p);
      return in;
    };
    std::set<std::string> whereTrue = among(results[1]), whereFalse = among(results[0]);
    std::vector<std::string> withIt, withoutIt;
    for (const std::string& f : fileOrder) {
      const std::set<std::string>& w = writers[upperAscii(f)];
      if (!whereTrue.empty() && w == whereTrue) withIt.push_back(f);
      if (!whereFalse.empty() && w == whereFalse) withoutIt.push_back(f);
    }
    if (!withIt.empty()) s += "; where true, it installs " + listed(withIt);
    if (!withoutIt.empty())
      s += std::string(withIt.empty() ? "; where false, it installs " : "; where false, ") +
           listed(withoutIt) + (withIt.empty() ? "" : " instead");
    for (const std::string& f : withIt) explained.insert(upperAscii(f));
    for (const std::string& f : withoutIt) explained.insert(upperAscii(f));
    out.push_back(s);
  }
  for (const std::string& f : fileOrder) {
    const std::set<std::string>& w = writers[upperAscii(f)];
    if (w.size() == ended.size() || explained.count(upperAscii(f))) continue;
    out.push_back(f + " is written " + onProfiles(ended, w));
  }
  for (const std::string& q : askOrder) {
    const std::set<std::string>& w = askers[q];
    if (w.size() == ended.size()) continue;
    out.push_back(q + " is asked " + onProfiles(ended, w));
  }
  for (const ProfileOutcome& o : outcomes) {
    if (endedAsAnswered(o)) continue;
    std::string s = o.profile + ": ";
    if (!o.error.empty()) {
      s += "the simulation could not run: " + o.error;
    } else {
      s += "exit " + std::to_string(o.exitCode) + " (" + exitCodeMeaning(o.exitCode) + ")";
      size_t from = o.traceTail.size() > 3 ? o.traceTail.size() - 3 : 0;
      if (from < o.traceTail.size()) s += "; the trace ends:";
      for (size_t i = from; i < o.traceTail.size(); ++i) s += "\n    " + o.traceTail[i];
    }
    out.push_back(s);
  }
  return out;
}

namespace {

struct Row {
  std::vector<std::string> cells;
};

std::string met(const ProfileOutcome& o) {
  std::string s;
  for (const std::string& d : o.dialogs) s += (s.empty() ? "" : " ") + d;
  if (!o.questions.empty()) s += s.empty() ? "asked:" : "; asked:";
  for (const std::string& q : o.questions) s += " " + q;
  return s.empty() ? "-" : s;
}

std::string bytesText(uint64_t n) {
  char b[32];
  if (n >= 10 * 1024)
    std::snprintf(b, sizeof b, "%llu KB", static_cast<unsigned long long>((n + 512) / 1024));
  else
    std::snprintf(b, sizeof b, "%llu B", static_cast<unsigned long long>(n));
  return b;
}

std::vector<Row> tableRows(const std::vector<ProfileOutcome>& outcomes) {
  std::vector<Row> rows;
  rows.push_back({{"profile", "exit", "dialogs and questions", "files", "start-up", "INI",
                   "registry", "items", "time"}});
  for (const ProfileOutcome& o : outcomes) {
    char time[32];
    std::snprintf(time, sizeof time, "%.2f s", o.seconds);
    std::string exit = o.error.empty()
                           ? std::to_string(o.exitCode) + " " + exitCodeMeaning(o.exitCode)
                           : "- not run";
    rows.push_back(
        {{o.profile, exit, met(o), std::to_string(o.files.size()) + " (" + bytesText(o.bytes) + ")",
          std::to_string(o.startupChanges), std::to_string(o.iniEntries),
          std::to_string(o.registryKeys), std::to_string(o.programItems), time}});
  }
  return rows;
}

std::string jsonText(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += char(c);
    } else if (c < 0x20 || c >= 0x80) {
      // Texts are the installer's ANSI bytes: each byte above 127 stands for its Latin-1 letter.
      char b[8];
      std::snprintf(b, sizeof b, "\\u%04x", c);
      out += b;
    } else {
      out += char(c);
    }
  }
  return out + "\"";
}

std::string jsonList(const std::vector<std::string>& items) {
  std::string s = "[";
  for (size_t i = 0; i < items.size(); ++i) s += (i ? ", " : "") + jsonText(items[i]);
  return s + "]";
}

std::string formatJson(const std::vector<ProfileOutcome>& outcomes,
                       const std::vector<std::string>& differences) {
  std::string s = "{\n  \"passed\": ";
  bool passed = std::all_of(outcomes.begin(), outcomes.end(), endedAsAnswered);
  s += passed ? "true" : "false";
  s += ",\n  \"profiles\": [\n";
  for (size_t i = 0; i < outcomes.size(); ++i) {
    const ProfileOutcome& o = outcomes[i];
    char time[32];
    std::snprintf(time, sizeof time, "%.3f", o.seconds);
    s += "    {\"profile\": " + jsonText(o.profile) + ", \"title\": " + jsonText(o.title) +
         ", \"exit\": " + std::to_string(o.exitCode) +
         ", \"meaning\": " + jsonText(o.error.empty() ? exitCodeMeaning(o.exitCode) : "not run") +
         ", \"ended_as_answered\": " + (endedAsAnswered(o) ? "true" : "false") +
         ", \"error\": " + jsonText(o.error) + ",\n     \"dialogs\": " + jsonList(o.dialogs) +
         ", \"questions\": " + jsonList(o.questions) + ",\n     \"files\": " + jsonList(o.files) +
         ", \"bytes\": " + std::to_string(o.bytes) +
         ",\n     \"startup_changes\": " + std::to_string(o.startupChanges) +
         ", \"ini_entries\": " + std::to_string(o.iniEntries) +
         ", \"registry\": " + std::to_string(o.registryKeys) +
         ", \"program_items\": " + std::to_string(o.programItems) + ", \"seconds\": " + time +
         ",\n     \"conditions\": [";
    for (size_t c = 0; c < o.conditions.size(); ++c)
      s += std::string(c ? ", " : "") + "{\"line\": " + std::to_string(o.conditions[c].line) +
           ", \"text\": " + jsonText(conditionText(o.conditions[c])) +
           ", \"result\": " + std::to_string(o.conditions[c].result) + "}";
    s += "],\n     \"trace_tail\": " + jsonList(o.traceTail) + "}";
    s += i + 1 < outcomes.size() ? ",\n" : "\n";
  }
  s += "  ],\n  \"differences\": " + jsonList(differences) + "\n}\n";
  return s;
}

// Texts are the installer's ANSI bytes; a byte above 127 is written as its Latin-1 character.
std::string htmlText(const std::string& s) {
  std::string out;
  for (unsigned char c : s) {
    if (c == '&')
      out += "&amp;";
    else if (c == '<')
      out += "&lt;";
    else if (c == '>')
      out += "&gt;";
    else if (c == '"')
      out += "&quot;";
    else if (c >= 0x80 || (c < 0x20 && c != '\n'))
      out += "&#" + std::to_string(c < 0x20 ? 0xFFFD : c) + ";";
    else
      out += char(c);
  }
  return out;
}

std::string base64(const std::string& bytes) {
  static const char* kDigits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (size_t i = 0; i < bytes.size(); i += 3) {
    uint32_t v = uint32_t(uint8_t(bytes[i])) << 16;
    if (i + 1 < bytes.size()) v |= uint32_t(uint8_t(bytes[i + 1])) << 8;
    if (i + 2 < bytes.size()) v |= uint8_t(bytes[i + 2]);
    out += kDigits[v >> 18 & 63];
    out += kDigits[v >> 12 & 63];
    out += i + 1 < bytes.size() ? kDigits[v >> 6 & 63] : '=';
    out += i + 2 < bytes.size() ? kDigits[v & 63] : '=';
  }
  return out;
}

// The page checks its own images when it has loaded: the body's data-images says how many of
// them decoded ("N of M"), for a browser run without a person to look.
constexpr const char* kHtmlHead = R"(<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>quillpack simulate: every machine</title>
<style>
body { font-family: sans-serif; margin: 1em 2em; }
table { border-collapse: collapse; }
td, th { border: 1px solid #999; padding: 2px 6px; text-align: left; vertical-align: top; }
figure { display: inline-block; margin: 0 1em 1em 0; vertical-align: top; }
.screen { position: relative; width: 480px; aspect-ratio: 4 / 3; border: 1px solid #666;
          background-size: 100% 100%; }
.screen img { position: absolute; image-rendering: pixelated; }
figcaption { max-width: 480px; font-size: small; }
.note { color: #b00; font-weight: bold; }
li pre { white-space: pre-wrap; margin: 0; }
</style>
<script>
addEventListener('load', () => {
  const images = Array.from(document.images);
  const decoded = images.filter(i => i.complete && i.naturalWidth > 0).length;
  document.body.dataset.images = decoded + ' of ' + images.length;
});
</script>
</head><body>
)";

std::string formatHtml(const std::vector<ProfileOutcome>& outcomes,
                       const std::vector<std::string>& differences) {
  std::string s = kHtmlHead;
  s += "<h1>The installation on every machine</h1>\n<table>\n";
  std::vector<Row> rows = tableRows(outcomes);
  for (size_t r = 0; r < rows.size(); ++r) {
    s += "<tr>";
    for (const std::string& c : rows[r].cells)
      s += (r == 0 ? "<th>" : "<td>") + htmlText(c) + (r == 0 ? "</th>" : "</td>");
    s += "</tr>\n";
  }
  s += "</table>\n";
  s += differences.empty() ? "<p>Every profile ran the same way.</p>\n"
                           : "<h2>What differs</h2>\n<ul>\n";
  for (const std::string& d : differences) s += "<li><pre>" + htmlText(d) + "</pre></li>\n";
  if (!differences.empty()) s += "</ul>\n";
  s += "<p>The pictures are drawn from the installer's own dialog templates and window layout "
       "at each profile's display size. Texts are drawn as grey bars as long as fixed metrics "
       "measure them; the words are listed under each picture. Message boxes are listed, not "
       "drawn.</p>\n";
  for (const ProfileOutcome& o : outcomes) {
    s += "<h2 id=\"" + htmlText(o.profile) + "\">" + htmlText(o.profile) + ": " +
         htmlText(o.title) + " (" + htmlText(o.display) + ")</h2>\n";
    if (o.pictures.empty())
      s += "<p>No pictures: no window was shown, or the display is larger than " +
           std::to_string(kMaxPictureSide) + " pixels a side.</p>\n";
    // The windows in front are small images laid over the main window's picture, which the
    // page holds once more as a style: the main window is stored twice, the rest once.
    const std::string backdrop = "backdrop-" + htmlText(o.profile);
    const ScreenPicture* main = nullptr;
    if (!o.pictures.empty() && o.pictures.front().title == "Main window")
      main = &o.pictures.front();
    const double width = main ? main->shown.right : 1, height = main ? main->shown.bottom : 1;
    if (main)
      s += "<style>." + backdrop + " { background-image: url(data:image/png;base64," +
           base64(main->png) + "); aspect-ratio: " + std::to_string(main->shown.right) + " / " +
           std::to_string(main->shown.bottom) + "; }</style>\n";
    for (const ScreenPicture& p : o.pictures) {
      auto rect = [](const Rect& r) {
        return std::to_string(r.left) + " " + std::to_string(r.top) + " " +
               std::to_string(r.right - r.left) + " " + std::to_string(r.bottom - r.top);
      };
      char place[160];
      std::snprintf(place, sizeof place, "left: %.4f%%; top: %.4f%%; width: %.4f%%",
                    100 * p.shown.left / width, 100 * p.shown.top / height,
                    100 * (p.shown.right - p.shown.left) / width);
      s += "<figure><div class=\"screen" + std::string(main ? " " + backdrop : "") +
           "\"><img alt=\"" + htmlText(p.title) + "\" data-window=\"" + rect(p.window) +
           "\" data-shown=\"" + rect(p.shown) + "\" style=\"" + place +
           "\" src=\"data:image/png;base64," + base64(p.png) + "\"></div>\n<figcaption><b>" +
           htmlText(p.title) + "</b>";
      for (const std::string& n : p.notes)
        s += "<br><span class=\"note\">" + htmlText(n) + "</span>";
      for (const std::string& t : p.texts) s += "<br>" + htmlText(t);
      s += "</figcaption></figure>\n";
    }
    if (!o.messages.empty()) {
      s += "<p>Message boxes:</p>\n<ul>\n";
      for (const std::string& m : o.messages) s += "<li>" + htmlText(m) + "</li>\n";
      s += "</ul>\n";
    }
  }
  return s + "</body></html>\n";
}

}  // namespace

std::string formatMatrix(const std::vector<ProfileOutcome>& outcomes, MatrixFormat format) {
  std::vector<std::string> differences = describeDifferences(outcomes);
  if (format == MatrixFormat::Json) return formatJson(outcomes, differences);
  if (format == MatrixFormat::Html) return formatHtml(outcomes, differences);
  std::vector<Row> rows = tableRows(outcomes);
  std::string s;
  if (format == MatrixFormat::Markdown) {
    for (size_t r = 0; r < rows.size(); ++r) {
      s += "|";
      for (const std::string& c : rows[r].cells) s += " " + c + " |";
      s += "\n";
      if (r == 0) {
        s += "|";
        for (size_t c = 0; c < rows[r].cells.size(); ++c) s += "---|";
        s += "\n";
      }
    }
    s += differences.empty() ? "\nEvery profile ran the same way.\n" : "\nWhat differs:\n\n";
    for (const std::string& d : differences) s += "- " + d + "\n";
    return s;
  }
  std::vector<size_t> width(rows[0].cells.size(), 0);
  for (const Row& r : rows)
    for (size_t c = 0; c < r.cells.size(); ++c) width[c] = std::max(width[c], r.cells[c].size());
  for (const Row& r : rows) {
    std::string line;
    for (size_t c = 0; c < r.cells.size(); ++c)
      line += r.cells[c] +
              std::string(c + 1 < r.cells.size() ? width[c] - r.cells[c].size() + 2 : 0, ' ');
    s += line + "\n";
  }
  s += differences.empty() ? "\nEvery profile ran the same way.\n" : "\nWhat differs:\n";
  for (const std::string& d : differences) s += "  - " + d + "\n";
  return s;
}

}  // namespace qm::pack
