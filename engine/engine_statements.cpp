// Readers of the statements whose records the installation engine executes.
#include "engine/engine_statements.h"

#include <cmath>
#include <cstdlib>
#include <utility>

#include "base/text.h"
#include "script/conditions.h"
#include "script/statement_handlers.h"

namespace qm {

namespace {

// A name argument: a quoted string, or else a word.
std::string readName(StatementLine& line) {
  line.skipSeparators();
  if (line.peek() == '"') return line.readQuoted();
  return line.readWord();
}

bool allDigits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

std::optional<Overwrite> overwriteWord(std::string_view word) {
  if (equalsNoCase(word, "YES")) return Overwrite::Yes;
  if (equalsNoCase(word, "NO")) return Overwrite::No;
  if (equalsNoCase(word, "NEW")) return Overwrite::New;
  if (equalsNoCase(word, "ASK")) return Overwrite::Ask;
  return std::nullopt;
}

int readGroupList(StatementContext& ctx, FileEntry& entry) {
  int used = 0;
  // The numbers run on until the next word that is not a number (the next option).
  while (!ctx.line.atEnd() && ctx.line.peek() >= '0' && ctx.line.peek() <= '9') {
    std::string word = ctx.line.readWord();
    if (!allDigits(word) || word.size() > 2)
      return ctx.refuse(RefusalKind::BadValue, "GROUP", word);
    int index = optionGroupIndex(ctx.state, std::atoi(word.c_str()));
    if (index < 0) return ctx.refuse(RefusalKind::UndeclaredGroup, "GROUP", word);
    if (used == kMaxEntryGroups) return ctx.refuse(RefusalKind::TooMany, "GROUP");
    entry.groups[used++] = static_cast<uint32_t>(index);
  }
  return used == 0 ? ctx.refuse(RefusalKind::MissingArgument, "GROUP") : 0;
}

// The first letter that is not R, H, S or A, or 0 when all are; attributes gets the bits.
char readAttributeLetters(std::string_view letters, uint32_t& attributes) {
  attributes = 0;
  for (char c : letters) {
    switch (toUpperAscii(c)) {
      case 'R':
        attributes |= kAttrReadOnly;
        break;
      case 'H':
        attributes |= kAttrHidden;
        break;
      case 'S':
        attributes |= kAttrSystem;
        break;
      case 'A':
        attributes |= kAttrArchive;
        break;
      default:
        return c == 0 ? '?' : c;
    }
  }
  // An empty ATTRIBUTE="" leaves nothing set, which Windows spells as normal.
  if (attributes == 0) attributes = kAttrNormal;
  return 0;
}

void setSource(FileEntry& entry, std::string source) {
  while (source.size() > 1 && source.back() == '\\') source.pop_back();
  entry.hasSource = true;
  if ((source.size() >= 2 && source[1] == ':') || (!source.empty() && source[0] == '$')) {
    entry.sourceKind = 2;
  } else if (!source.empty() && source[0] == '\\') {
    entry.sourceKind = 1;
  } else {
    entry.sourceKind = 0;
    source.insert(source.begin(), '\\');
  }
  entry.sourceDir = std::move(source);
}

}  // namespace

int optionGroupIndex(const InstallState& state, int number) {
  if (number < 0 || number >= kGroupNumbers) return -1;
  return state.screens.groups.indexOfNumber[number];
}

bool optionGroupSelected(const InstallState& state, uint32_t index) {
  return index < state.screens.groups.selected.size() && state.screens.groups.selected[index];
}

std::optional<uint64_t> parseSize(std::string_view word) {
  // A decimal number only, the same in every build: a C library's strtod would also take
  // "0x10" as 16 or "inf" as infinity in one build and as 0 in another.
  double value = conditionFraction(word);
  for (char c : word) {
    if (c == 'K' || c == 'k') {
      value *= 1000.0;
      break;
    }
    if (c == 'M' || c == 'm') {
      value *= 1000000.0;
      break;
    }
  }
  // A negative or absurd size would wrap into a huge requirement; it asks for nothing instead.
  if (!(value > 0)) return 0;
  if (value >= 18446744073709551615.0) return std::nullopt;
  return static_cast<uint64_t>(value);
}

int readUninstallStatement(StatementContext& ctx) {
  std::string word = ctx.line.readWord();
  if (equalsNoCase(word, "YES")) {
    ctx.state.engine.logging = true;
  } else if (equalsNoCase(word, "NO")) {
    ctx.state.engine.logging = false;
  } else {
    return 1;
  }
  return 0;
}

int readRegServerStatement(StatementContext& ctx) {
  std::string path = readName(ctx.line);
  if (path.empty()) return 1;
  ctx.state.engine.servers.push_back(std::move(path));
  return 0;
}

int readDeleteStatement(StatementContext& ctx) {
  std::string path = readName(ctx.line);
  if (path.empty()) return 1;
  ctx.state.engine.deletes.push_back(std::move(path));
  return 0;
}

int readRenameStatement(StatementContext& ctx) {
  RenameEntry entry;
  entry.oldName = readName(ctx.line);
  entry.newName = readName(ctx.line);
  if (entry.oldName.empty() || entry.newName.empty()) return 1;
  ctx.state.engine.renames.push_back(std::move(entry));
  return 0;
}

int readMinCpuTypeStatement(StatementContext& ctx) {
  std::string word = ctx.line.readWord();
  if (word.size() < 2 || word[0] != '8' || word[1] != '0') return 1;
  ctx.state.engine.requiredProcessor = static_cast<int>(parseLeadingInt(word.substr(2)));
  return 0;
}

int readMinDiskSpaceStatement(StatementContext& ctx) {
  std::string word = ctx.line.readWord();
  if (word.empty()) return 1;
  std::optional<uint64_t> size = parseSize(word);
  if (!size) return 1;
  if (ctx.line.atEnd()) {
    ctx.state.engine.baseSpace = *size;
    return 0;
  }
  std::string group = ctx.line.readWord();
  if (!allDigits(group) || group.size() > 2) return 1;
  ctx.state.engine.spaceByGroupNumber[std::atoi(group.c_str())] = *size;
  return 0;
}

int readProgressBarStatement(StatementContext& ctx) {
  std::string word = ctx.line.readWord();
  if (word.empty()) return 1;
  std::optional<uint64_t> size = parseSize(word);
  if (!size) return 1;
  // The progress counters are 32-bit signed; a larger size could never be reached anyway.
  ctx.state.engine.progressSize = static_cast<int64_t>(std::min<uint64_t>(*size, 0x7FFFFFFF));
  return 0;
}

int readOverwriteFileStatement(StatementContext& ctx) {
  std::optional<Overwrite> mode = overwriteWord(ctx.line.readWord());
  if (!mode) return 1;
  ctx.state.engine.overwriteDefault = *mode;
  return 0;
}

int readFileStatement(StatementContext& ctx) {
  EngineRecords& records = ctx.state.engine;
  StatementLine& line = ctx.line;
  FileEntry entry;
  entry.overwrite = records.overwriteDefault;
  line.skipSeparators();
  const bool quoted = line.peek() == '"';
  entry.name = readName(line);
  if (entry.name.empty())
    return ctx.refuse(quoted ? RefusalKind::EmptyQuote : RefusalKind::MissingArgument, "name");
  if (entry.name.size() > kMaxPathChars) return ctx.refuse(RefusalKind::TooLong, "name");

  bool firstOption = true;
  while (!line.atEnd()) {
    std::string option = line.readWord();
    // A stray "=" or quote where an option belongs.
    if (option.empty())
      return ctx.refuse(RefusalKind::UnknownWord, "", std::string(1, line.peek()));
    const bool afterName = std::exchange(firstOption, false);
    if (equalsNoCase(option, "COMPRESSED")) {
      entry.compression = Compression::Compressed;
      continue;
    }
    if (equalsNoCase(option, "SELF-EXTRACT")) {
      entry.compression = Compression::SelfExtract;
      continue;
    }
    const bool known = equalsNoCase(option, "OVERWRITE") || equalsNoCase(option, "SOURCE") ||
                       equalsNoCase(option, "POPID") || equalsNoCase(option, "GROUP") ||
                       equalsNoCase(option, "ATTRIBUTE");
    // The parser only tells the two apart in its reason: an unknown word right after an
    // unquoted name is most likely the rest of a name with a blank in it.
    if (!known && afterName && !quoted)
      return ctx.refuse(RefusalKind::UnquotedBlank, entry.name, option);
    if (!line.takeEquals())
      return ctx.refuse(known ? RefusalKind::MissingEquals : RefusalKind::UnknownWord, option);
    if (equalsNoCase(option, "OVERWRITE")) {
      std::string word = line.readWord();
      std::optional<Overwrite> mode = overwriteWord(word);
      if (!mode) return ctx.refuse(RefusalKind::BadValue, "OVERWRITE", word);
      entry.overwrite = *mode;
    } else if (equalsNoCase(option, "SOURCE")) {
      std::string source = readName(line);
      if (source.empty()) return ctx.refuse(RefusalKind::MissingArgument, "SOURCE");
      if (source.size() > kMaxPathChars) return ctx.refuse(RefusalKind::TooLong, "SOURCE");
      setSource(entry, std::move(source));
    } else if (equalsNoCase(option, "POPID")) {
      std::string digits = line.readWord();
      if (!allDigits(digits) || digits.size() > 9)
        return ctx.refuse(RefusalKind::BadValue, "POPID", digits);
      entry.popId = std::atoi(digits.c_str());
    } else if (equalsNoCase(option, "GROUP")) {
      if (readGroupList(ctx, entry) != 0) return 1;
    } else if (equalsNoCase(option, "ATTRIBUTE")) {
      line.skipSeparators();
      if (line.peek() != '"') return ctx.refuse(RefusalKind::NotQuoted, "ATTRIBUTE");
      if (char bad = readAttributeLetters(line.readQuoted(), entry.attributes))
        return ctx.refuse(RefusalKind::BadValue, "ATTRIBUTE", std::string(1, bad));
    } else {
      return ctx.refuse(RefusalKind::UnknownWord, option);
    }
  }
  if (entry.compression != Compression::None) records.anyCompressed = true;
  records.files.push_back(std::move(entry));
  records.fileStatements += 1;
  return 0;
}

int readInsertDiskStatement(StatementContext& ctx) {
  StatementLine& line = ctx.line;
  FileEntry entry;
  entry.diskMarker = 1;
  entry.diskName = line.readQuoted();
  if (entry.diskName.empty()) entry.diskName = kDefaultDiskName;
  entry.volumeLabel = line.readQuoted();
  if (!entry.volumeLabel.empty()) entry.diskMarker = 2;
  // Only POPID is looked for among what follows; anything else is ignored.
  while (!line.atEnd()) {
    size_t before = line.position();
    std::string word = line.readWord();
    if (equalsNoCase(word, "POPID") && line.takeEquals()) {
      std::string digits = line.readWord();
      if (allDigits(digits) && digits.size() <= 9) entry.popId = std::atoi(digits.c_str());
    }
    // Step over a character no word reader consumes ("=", a quote) so the scan always moves.
    if (line.position() == before) line.setPosition(before + 1);
  }
  ctx.state.engine.files.push_back(std::move(entry));
  return 0;
}

}  // namespace qm
