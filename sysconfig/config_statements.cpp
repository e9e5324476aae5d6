// Readers of AUTOEXEC, CONFIG, WINITEM, INIFILE and ADDTEXT. Each fills its record from the
// statement line; a non-zero result makes the parser report the line and drop the record.
#include <algorithm>
#include <climits>

#include "base/text.h"
#include "script/statement_handlers.h"
#include "sysconfig/config_values.h"

namespace qm {

namespace {

constexpr int kAccepted = 0;
constexpr int kRejected = 1;

int clampToInt(long value) { return static_cast<int>(std::clamp<long>(value, INT_MIN, INT_MAX)); }

// The last comma outside double-quoted text, or npos. A comma inside a quoted title must not be
// taken for the option comma.
size_t lastOptionComma(const std::string& text) {
  size_t found = std::string::npos;
  bool quoted = false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '"') {
      quoted = !quoted;
    } else if (text[i] == ',' && !quoted) {
      found = i;
    }
  }
  return found;
}

enum class OptionStep { Next, Stop, Reject };

// AUTOEXEC and CONFIG take a list of option words in which ASK and ADD="line" mean the same;
// `other` reads any other word and says whether to go on, end quietly or drop the record.
template <typename Request, typename OtherOption>
int readSystemFileOptions(StatementLine& line, Request& request, OtherOption other) {
  if (request.mode == 0) request.mode = 1;
  line.skipSeparators();
  while (!line.atEnd()) {
    const std::string word = line.readWord();
    if (equalsNoCase(word, "ASK")) {
      request.mode = 2;
    } else if (equalsNoCase(word, "ADD")) {
      std::string text;
      if (!line.takeEquals() || !readQuotedArgument(line, text)) return kRejected;
      request.addedLines.push_back(LineEntry{true, std::move(text)});
    } else {
      const OptionStep step = other(word);
      if (step == OptionStep::Reject) return kRejected;
      if (step == OptionStep::Stop) return kAccepted;
    }
  }
  return kAccepted;
}

}  // namespace

int readAutoexecStatement(StatementContext& ctx) {
  AutoexecRequest& request = ctx.state.config.autoexec;
  StatementLine& line = ctx.line;
  return readSystemFileOptions(line, request, [&](const std::string& word) {
    if (equalsNoCase(word, "ADDPATH")) {
      if (!line.takeEquals()) {
        request.addDestination = true;
        return OptionStep::Next;
      }
      std::string dir;
      if (!readQuotedArgument(line, dir)) return OptionStep::Reject;
      request.pathEntries.push_back(LineEntry{true, std::move(dir)});
    } else if (equalsNoCase(word, "SHARE")) {
      request.shareWanted = true;
      if (!line.takeEquals()) return OptionStep::Next;
      std::string options;
      if (!readQuotedArgument(line, options)) return OptionStep::Reject;
      const ShareValues values = readShareValues(options);
      request.shareFiles = values.files;
      request.shareLocks = values.locks;
    } else {
      // An empty word means a stray "=": it is an unknown option too.
      return OptionStep::Reject;
    }
    return OptionStep::Next;
  });
}

int readConfigStatement(StatementContext& ctx) {
  ConfigRequest& request = ctx.state.config.config;
  StatementLine& line = ctx.line;
  return readSystemFileOptions(line, request, [&](const std::string& word) {
    if (!equalsNoCase(word, "BUFFERMIN") && !equalsNoCase(word, "FILEMIN"))
      return OptionStep::Reject;
    // A minimum without "=" ends the statement quietly; the rest of the line is ignored.
    if (!line.takeEquals()) return OptionStep::Stop;
    const int value = clampToInt(parseLeadingInt(line.readWord()));
    (equalsNoCase(word, "FILEMIN") ? request.filesWanted : request.buffersWanted) = value;
    return OptionStep::Next;
  });
}

int readWinItemStatement(StatementContext& ctx) {
  StatementLine& line = ctx.line;
  ProgramItem item;
  const size_t comma = lastOptionComma(line.text());
  if (comma != std::string::npos) {
    std::string_view after = std::string_view(line.text()).substr(comma + 1);
    while (!after.empty() && (after.front() == ' ' || after.front() == '\t'))
      after.remove_prefix(1);
    if (startsWithNoCase(after, "replace")) {
      item.mode = 1;
    } else if (startsWithNoCase(after, "remove")) {
      item.mode = 2;
    }
    if (item.mode != 0) {
      const size_t position = line.position();
      const std::string cut = line.text().substr(0, comma);
      line.load(cut);
      line.setPosition(position);
    }
  }
  if (!line.atEnd()) item.group = line.readQuoted();
  if (!line.atEnd()) item.command = line.readQuoted();
  if (!line.atEnd()) item.title = line.readQuoted();
  if (!line.atEnd()) {
    std::string fourth = line.readQuoted();
    if (!fourth.empty() && fourth.back() == '\\') {
      item.workingDir = std::move(fourth);
      if (!line.atEnd()) item.iconFile = line.readQuoted();
    } else {
      item.iconFile = std::move(fourth);
    }
  }
  if (!line.atEnd()) item.iconIndex = line.readWord();
  if (item.group.size() > kNameFieldChars || item.command.size() > kValueFieldChars ||
      item.title.size() > kNameFieldChars || item.workingDir.size() > kNameFieldChars ||
      item.iconFile.size() > kNameFieldChars || item.iconIndex.size() > kIconIndexChars) {
    return kRejected;
  }
  ctx.state.config.programItems.push_back(std::move(item));
  return kAccepted;
}

int readIniFileStatement(StatementContext& ctx) {
  StatementLine& line = ctx.line;
  IniEntry entry;
  bool ended = false;
  for (std::string* field : {&entry.section, &entry.key, &entry.value}) {
    if (line.atEnd()) {
      ended = true;
      break;
    }
    *field = line.readQuoted();
  }
  if (!ended && !line.atEnd()) {
    std::string file;
    if (line.readQuotedLength(file) < 0) file = line.readWord();
    if (!file.empty()) entry.file = std::move(file);
    while (!line.atEnd()) {
      const std::string word = line.readWord();
      if (equalsNoCase(word, "ASK")) {
        entry.mode = 2;
      } else if (equalsNoCase(word, "ADD")) {
        entry.add = true;
      } else if (!equalsNoCase(word, "OVERWRITE")) {
        return kRejected;
      }
    }
  }
  if (entry.section.size() > kNameFieldChars || entry.key.size() > kNameFieldChars ||
      entry.value.size() > kValueFieldChars || entry.file.size() > kNameFieldChars) {
    return kRejected;
  }
  ctx.state.config.iniEntries.push_back(std::move(entry));
  return kAccepted;
}

int readAddTextStatement(StatementContext& ctx) {
  StatementLine& line = ctx.line;
  TextAddition addition;
  addition.text = line.readQuoted();
  expandLeftRight(ctx.macros, addition.text);
  if (line.atEnd()) return kRejected;  // no file named
  if (line.readQuotedLength(addition.file) < 0) addition.file = line.readWord();
  if (!line.atEnd()) {
    addition.position = line.readQuoted();
    replaceAllNoCase(addition.position, "$SEARCH$", ctx.macros.search);
  }
  if (!line.atEnd() && equalsNoCase(line.readWord(), "REPLACE")) addition.replace = true;
  if (addition.text.size() > kValueFieldChars || addition.file.size() > kNameFieldChars ||
      addition.position.size() > kPositionFieldChars) {
    return kRejected;
  }
  ctx.state.config.textAdditions.push_back(std::move(addition));
  return kAccepted;
}

}  // namespace qm
