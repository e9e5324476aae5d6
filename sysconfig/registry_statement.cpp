// The registry block reader: BEGINREGISTRY, one KEY line, VALUE lines, ENDREGISTRY. It pulls the
// block's lines through the parser's line source so that it works in both passes, and loads each
// into the statement line so that a rejection shows the offending line.
#include <algorithm>

#include "base/text.h"
#include "script/script_reader.h"
#include "script/statement_handlers.h"
#include "sysconfig/config_values.h"

namespace qm {

namespace {

constexpr int kAccepted = 0;
constexpr int kRejected = 1;

std::optional<RegistryKeyOp> findKeyOperation(std::string_view word) {
  static constexpr struct {
    const char* word;
    RegistryKeyOp op;
  } kOps[] = {{"NEW", RegistryKeyOp::New},
              {"DELETE", RegistryKeyOp::Delete},
              {"RENAME", RegistryKeyOp::Rename},
              {"QUERY", RegistryKeyOp::Query}};
  for (const auto& entry : kOps) {
    if (equalsNoCase(word, entry.word)) return entry.op;
  }
  return std::nullopt;
}

std::optional<RegistryValueOp> findValueOperation(std::string_view word) {
  static constexpr struct {
    const char* word;
    RegistryValueOp op;
  } kOps[] = {{"NEW", RegistryValueOp::New},
              {"DELETE", RegistryValueOp::Delete},
              {"RENAME", RegistryValueOp::Rename},
              {"REPLACE", RegistryValueOp::Replace},
              {"MAX", RegistryValueOp::Max},
              {"MIN", RegistryValueOp::Min},
              {"INCREMENT", RegistryValueOp::Increment}};
  for (const auto& entry : kOps) {
    if (equalsNoCase(word, entry.word)) return entry.op;
  }
  return std::nullopt;
}

// "DEFAULT" in any case names the key's unnamed value.
std::optional<std::string> valueName(std::string text) {
  if (equalsNoCase(text, "DEFAULT")) return std::nullopt;
  return text;
}

bool readKeyLine(StatementLine& line, RegistryKeyRequest& request) {
  const auto op = findKeyOperation(line.readWord());
  std::string path;
  if (!op || !readQuotedArgument(line, path)) return false;
  const size_t slash = path.find('\\');
  if (slash == std::string::npos) return false;
  const auto root = findRegistryRoot(std::string_view(path).substr(0, slash));
  if (!root) return false;
  request.operation = *op;
  request.root = *root;
  request.rootName = path.substr(0, slash);
  request.keyPath = path.substr(slash + 1);
  const size_t levels =
      static_cast<size_t>(std::count(request.keyPath.begin(), request.keyPath.end(), '\\') + 1);
  if (levels > kMaxRegistryKeyLevels) return false;
  if (*op == RegistryKeyOp::Rename && !readQuotedArgument(line, request.newKeyName)) return false;
  return true;
}

bool readValueLine(StatementLine& line, RegistryValueRequest& value) {
  value.type = findRegistryType(line.readWord());
  const auto op = findValueOperation(line.readWord());
  if (value.type == 0 || !op) return false;
  value.operation = *op;
  std::string name;
  if (!readQuotedArgument(line, name)) return false;
  value.name = valueName(std::move(name));
  if (*op == RegistryValueOp::Delete) return true;
  if (!readQuotedArgument(line, value.data)) return false;
  if (*op == RegistryValueOp::Rename) {
    value.newName = valueName(value.data);
  } else if (value.type == kRegBinary) {
    value.binary = convertBinaryDigits(value.data);
  }
  return true;
}

}  // namespace

int readRegistryStatement(StatementContext& ctx) {
  RegistryKeyRequest request;
  bool haveKey = false;
  std::string text;
  for (;;) {
    const int number = ctx.reader.nextScriptLine(text);
    if (number == 0 || number == -1) return kRejected;  // no ENDREGISTRY before the end
    ++ctx.consumedLines;
    if (number == -2) continue;
    // The block's lines are the statement's now: an error report names and shows this one.
    ctx.state.lineNumber = number;
    ctx.lineNumber = number;
    ctx.line.load(text);
    const std::string keyword = ctx.line.readKeyword();
    if (keyword.empty() || equalsNoCase(keyword, "REM")) continue;
    if (ctx.reader.lineTooLong()) return kRejected;  // as the parser treats its own lines
    if (equalsNoCase(keyword, "ENDREGISTRY")) break;
    if (equalsNoCase(keyword, "KEY")) {
      if (haveKey || !readKeyLine(ctx.line, request)) return kRejected;
      haveKey = true;
    } else if (equalsNoCase(keyword, "VALUE")) {
      if (!haveKey || request.values.size() >= kMaxRegistryValues) return kRejected;
      RegistryValueRequest value;
      if (!readValueLine(ctx.line, value)) return kRejected;
      request.values.push_back(std::move(value));
    } else {
      return kRejected;
    }
  }
  ctx.state.config.registry.push_back(std::move(request));
  return kAccepted;
}

}  // namespace qm
