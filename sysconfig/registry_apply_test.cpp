#include "sysconfig/registry_apply.h"

#include <gtest/gtest.h>

#include <fstream>

#include "base/text.h"
#include "engine/engine_fixture_for_tests.h"
#include "platform/sim/regedit4.h"
#include "sysconfig/config_values.h"
#include "sysconfig/system_configuration.h"

namespace qm {
namespace {

using testing::EngineFixture;

constexpr const char* kKey = "Software\\Vendor\\App";

RegistryValueRequest value(uint32_t type, RegistryValueOp op, std::optional<std::string> name,
                           std::string data = "") {
  RegistryValueRequest v;
  v.type = type;
  v.operation = op;
  v.name = std::move(name);
  v.data = data;
  if (type == kRegBinary) v.binary = convertBinaryDigits(data);
  if (op == RegistryValueOp::Rename && !equalsNoCase(data, "DEFAULT")) v.newName = data;
  return v;
}

RegistryKeyRequest keyRequest(RegistryKeyOp op, std::string path,
                              std::vector<RegistryValueRequest> values = {}) {
  RegistryKeyRequest r;
  r.operation = op;
  r.root = RegistryRoot::LocalMachine;
  r.rootName = "HKEY_LOCAL_MACHINE";
  r.keyPath = std::move(path);
  r.values = std::move(values);
  return r;
}

struct RegistryFixture : EngineFixture {
  void seed(const std::string& regedit) {
    std::ofstream(sim.root() / kRegistryFileName, std::ios::binary) << "REGEDIT4\r\n\r\n"
                                                                    << regedit;
  }
  std::optional<RegistryValue> read(const std::string& name, const std::string& key = kKey) {
    return sim.sys().readRegistryValue(RegistryRoot::LocalMachine, key, name);
  }
};

RegistryValue text(const std::string& s, uint32_t type = kRegSz) {
  std::vector<uint8_t> b(s.begin(), s.end());
  b.push_back(0);
  return {type, b};
}
RegistryValue dword(uint32_t n) {
  return {kRegDword, {uint8_t(n), uint8_t(n >> 8), uint8_t(n >> 16), uint8_t(n >> 24)}};
}

const std::string kExistingKey = "[HKEY_LOCAL_MACHINE\\Software\\Vendor\\App]\r\n";

TEST(RegistryApply, ValueOperationsOnAnExistingKey) {
  using Op = RegistryValueOp;
  struct Case {
    const char* what;
    std::string before;  // value lines under the key
    RegistryValueRequest request;
    std::string readName;
    std::optional<RegistryValue> after;
    bool succeeds;
  } cases[] = {
      {"NEW leaves an existing named value", "\"Path\"=\"old\"\r\n",
       value(kRegSz, Op::New, "Path", "new"), "Path", text("old"), true},
      {"NEW writes a missing value", "", value(kRegSz, Op::New, "Path", "new"), "Path", text("new"),
       true},
      {"NEW fills an empty default value", "@=\"\"\r\n", value(kRegSz, Op::New, std::nullopt, "x"),
       "", text("x"), true},
      {"NEW keeps a default value holding text", "@=\"keep\"\r\n",
       value(kRegSz, Op::New, std::nullopt, "x"), "", text("keep"), true},
      {"NEW keeps a named value longer than 100 bytes",
       "\"Long\"=\"" + std::string(150, 'a') + "\"\r\n", value(kRegSz, Op::New, "Long", "x"),
       "Long", text(std::string(150, 'a')), true},
      {"NEW expand string", "", value(kRegExpandSz, Op::New, "E", "%PATH%"), "E",
       text("%PATH%", kRegExpandSz), true},
      {"NEW multi string ends its list", "", value(kRegMultiSz, Op::New, "M", "a"), "M",
       RegistryValue{kRegMultiSz, {'a', 0, 0}}, true},
      {"NEW binary 0x41 0x42", "", value(kRegBinary, Op::New, "B", "0100000101000010"), "B",
       RegistryValue{kRegBinary, {0x41, 0x42}}, true},
      {"NEW binary keeps a zero byte", "",
       value(kRegBinary, Op::New, "B", "000000010000000000000010"), "B",
       RegistryValue{kRegBinary, {1, 0, 2}}, true},
      {"NEW dword hex", "", value(kRegDword, Op::New, "D", "0x30"), "D", dword(48), true},
      {"NEW dword octal", "", value(kRegDword, Op::New, "D", "010"), "D", dword(8), true},
      {"NEW big-endian dword", "", value(kRegDwordBigEndian, Op::New, "D", "0x01020304"), "D",
       RegistryValue{kRegDwordBigEndian, {1, 2, 3, 4}}, true},
      {"NEW link is never written", "", value(kRegLink, Op::New, "L", "x"), "L", std::nullopt,
       false},
      {"DELETE named", "\"Gone\"=\"x\"\r\n", value(kRegSz, Op::Delete, "Gone"), "Gone",
       std::nullopt, true},
      {"DELETE default", "@=\"x\"\r\n", value(kRegSz, Op::Delete, std::nullopt), "", std::nullopt,
       true},
      {"REPLACE overwrites", "\"R\"=dword:00000005\r\n", value(kRegSz, Op::Replace, "R", "t"), "R",
       text("t"), true},
      {"REPLACE default", "@=\"a\"\r\n", value(kRegSz, Op::Replace, std::nullopt, "b"), "",
       text("b"), true},
      {"REPLACE with an unwritable type keeps the old value", "\"R\"=\"keep\"\r\n",
       value(kRegResourceList, Op::Replace, "R", "x"), "R", text("keep"), false},
      {"MAX keeps the larger stored value", "\"C\"=dword:00000014\r\n",
       value(kRegDword, Op::Max, "C", "10"), "C", dword(20), true},
      {"MAX writes larger data", "\"C\"=dword:00000014\r\n", value(kRegDword, Op::Max, "C", "0x30"),
       "C", dword(48), true},
      {"MAX compares unsigned", "\"C\"=dword:ffffffff\r\n", value(kRegDword, Op::Max, "C", "1"),
       "C", dword(0xFFFFFFFF), true},
      {"MAX on a missing value writes the data", "", value(kRegDword, Op::Max, "C", "7"), "C",
       dword(7), true},
      {"MIN keeps the smaller", "\"C\"=dword:00000014\r\n", value(kRegDword, Op::Min, "C", "3"),
       "C", dword(3), true},
      {"MIN on a missing value writes 0", "", value(kRegDword, Op::Min, "C", "3"), "C", dword(0),
       true},
      {"INCREMENT adds", "\"C\"=dword:00000007\r\n", value(kRegDword, Op::Increment, "C", "1"), "C",
       dword(8), true},
      {"INCREMENT on a missing value writes the data", "",
       value(kRegDword, Op::Increment, "C", "5"), "C", dword(5), true},
      {"INCREMENT keeps the stored type and reads binary digits", "\"C\"=hex:03\r\n",
       value(kRegDword, Op::Increment, "C", "00000010"), "C",
       RegistryValue{kRegBinary, {5, 0, 0, 0}}, true},
      {"INCREMENT on the default value", "@=dword:00000001\r\n",
       value(kRegDword, Op::Increment, std::nullopt, "2"), "", dword(3), true},
      {"INCREMENT never turns a text into a number", "\"C\"=\"hello\"\r\n",
       value(kRegDword, Op::Increment, "C", "1"), "C", text("hello"), false},
      {"INCREMENT on a big-endian value", "\"C\"=hex(5):00,00,01,00\r\n",
       value(kRegDwordBigEndian, Op::Increment, "C", "1"), "C",
       RegistryValue{kRegDwordBigEndian, {0, 0, 1, 1}}, true},
  };
  for (const auto& c : cases) {
    RegistryFixture f;
    f.seed(kExistingKey + c.before);
    EXPECT_EQ(
        executeRegistryValue(f.sim.sys(), f.macros, RegistryRoot::LocalMachine, kKey, c.request),
        c.succeeds)
        << c.what;
    auto got = f.read(c.readName);
    ASSERT_EQ(got.has_value(), c.after.has_value()) << c.what;
    if (got) {
      EXPECT_EQ(got->type, c.after->type) << c.what;
      EXPECT_EQ(got->data, c.after->data) << c.what;
    }
  }
}

TEST(RegistryApply, RenameMovesTheValueAndItsType) {
  using Op = RegistryValueOp;
  struct Case {
    const char* what;
    std::string before;
    RegistryValueRequest request;
    const char* oldName;
    const char* newName;
    bool oldGone;
    bool succeeds;
  } cases[] = {
      {"named to named over an existing one", "\"A\"=dword:00000009\r\n\"B\"=\"x\"\r\n",
       value(kRegSz, Op::Rename, "A", "B"), "A", "B", true, true},
      {"named to default", "\"A\"=dword:00000009\r\n", value(kRegSz, Op::Rename, "A", "default"),
       "A", "", true, true},
      {"default to named", "@=dword:00000009\r\n", value(kRegSz, Op::Rename, std::nullopt, "B"), "",
       "B", true, true},
      {"a new spelling of the same name keeps the value", "\"abc\"=dword:00000009\r\n",
       value(kRegSz, Op::Rename, "abc", "ABC"), "ABC", "ABC", false, true},
      {"a missing value fails", "", value(kRegSz, Op::Rename, "A", "B"), "A", "B", true, false},
  };
  for (const auto& c : cases) {
    RegistryFixture f;
    f.seed(kExistingKey + c.before);
    EXPECT_EQ(
        executeRegistryValue(f.sim.sys(), f.macros, RegistryRoot::LocalMachine, kKey, c.request),
        c.succeeds)
        << c.what;
    if (!c.succeeds) {
      EXPECT_FALSE(f.read(c.newName)) << c.what;
      continue;
    }
    auto moved = f.read(c.newName);
    ASSERT_TRUE(moved) << c.what;
    EXPECT_EQ(moved->data, dword(9).data) << c.what;
    EXPECT_EQ(moved->type, kRegDword) << c.what;
    EXPECT_EQ(!f.read(c.oldName), c.oldGone) << c.what;
  }
}

TEST(RegistryApply, MacrosAreExpandedWhereverTheyBegin) {
  MacroValues m;
  m.defaultDir = "C:\\APP";
  m.winDir = "C:\\WINDOWS";
  m.ask[0] = "$WINDIR$";
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"$DEFAULTDIR$\\APP.EXE", "C:\\APP\\APP.EXE"},
      {"\"$DEFAULTDIR$\\A.EXE\" %1", "\"C:\\APP\\A.EXE\" %1"},
      {"a$b$DEFAULTDIR$", "a$bC:\\APP"},
      {"$WINDIR$;$defaultdir$", "C:\\WINDOWS;C:\\APP"},
      {"cost: 5$", "cost: 5$"},
      {"$ASK1$x", "$WINDIR$x"},  // an inserted value is not searched again
      {"$$DEFAULTDIR$", "$C:\\APP"},
  };
  for (const auto& c : cases) EXPECT_EQ(expandRegistryText(m, c.in), c.out) << c.in;
}

TEST(RegistryApply, NewKeyLogsOnlyTheLevelsItCreatedDeepestFirst) {
  RegistryFixture f;
  f.settleDestination();
  f.seed("[HKEY_LOCAL_MACHINE\\Software]\r\n");
  f.state.config.registry.push_back(
      keyRequest(RegistryKeyOp::New, "Software\\Vendor\\App",
                 {value(kRegSz, RegistryValueOp::New, "Path", "$DEFAULTDIR$")}));
  f.state.config.registry.back().rootName = "hkey_local_machine";  // logged as written
  f.state.config.registry.push_back(keyRequest(RegistryKeyOp::New, "Software\\Vendor\\Other"));
  applyRegistryBlocks(f.engine);
  EXPECT_EQ(f.log(),
            "REGKEY: \"hkey_local_machine\", \"Software\\Vendor\\App\"\r\n"
            "REGKEY: \"hkey_local_machine\", \"Software\\Vendor\"\r\n"
            "REGKEY: \"HKEY_LOCAL_MACHINE\", \"Software\\Vendor\\Other\"\r\n");
  auto path = f.read("Path");
  ASSERT_TRUE(path);
  EXPECT_EQ(path->data, text("C:\\APP").data);
  EXPECT_TRUE(f.state.config.registry.empty());
}

TEST(RegistryApply, KeyOperationsOtherThanNew) {
  RegistryFixture f;
  f.settleDestination();
  f.seed(kExistingKey +
         "\"V\"=\"1\"\r\n[HKEY_LOCAL_MACHINE\\Software\\Vendor\\App\\Sub]\r\n"
         "\"S\"=\"x\"\r\n[HKEY_LOCAL_MACHINE\\Software\\Keep]\r\n");
  auto& list = f.state.config.registry;
  // QUERY on a missing key: nothing is written, not even the key.
  list.push_back(keyRequest(RegistryKeyOp::Query, "Software\\Missing",
                            {value(kRegSz, RegistryValueOp::New, "X", "y")}));
  // QUERY on an existing key changes its values.
  list.push_back(keyRequest(RegistryKeyOp::Query, "Software\\Keep",
                            {value(kRegSz, RegistryValueOp::New, "X", "y")}));
  // DELETE removes the key with its subkeys.
  list.push_back(keyRequest(RegistryKeyOp::Delete, kKey));
  applyRegistryBlocks(f.engine);
  EXPECT_EQ(f.log(), "");
  auto& sys = f.sim.sys();
  EXPECT_FALSE(sys.registry().openRegistryKey(RegistryRoot::LocalMachine, "Software\\Missing"));
  EXPECT_TRUE(f.read("X", "Software\\Keep"));
  EXPECT_FALSE(sys.registry().openRegistryKey(RegistryRoot::LocalMachine, kKey));
  EXPECT_FALSE(
      sys.registry().openRegistryKey(RegistryRoot::LocalMachine, std::string(kKey) + "\\Sub"));
  EXPECT_TRUE(sys.registry().openRegistryKey(RegistryRoot::LocalMachine, "Software\\Vendor"));
}

TEST(RegistryApply, KeyRenameMovesTheWholeTreeThenRunsTheValues) {
  struct Case {
    const char* what;
    const char* newName;
    bool succeeds;
    const char* keyAfter;  // where the tree is afterwards
  } cases[] = {
      {"a free name", "App2", true, "Software\\Vendor\\App2"},
      {"a name that is taken", "Taken", false, kKey},
      {"a path is no name", "X\\Y", false, kKey},
      {"the same name in another case", "APP", true, kKey},
  };
  for (const auto& c : cases) {
    RegistryFixture f;
    f.settleDestination();
    f.seed(kExistingKey +
           "\"V\"=dword:00000009\r\n@=\"top\"\r\n"
           "[HKEY_LOCAL_MACHINE\\Software\\Vendor\\App\\Sub\\Deep]\r\n"
           "\"S\"=hex:01,00,02\r\n[HKEY_LOCAL_MACHINE\\Software\\Vendor\\Taken]\r\n");
    auto request = keyRequest(RegistryKeyOp::Rename, kKey,
                              {value(kRegDword, RegistryValueOp::Increment, "V", "1")});
    request.newKeyName = c.newName;
    std::vector<std::string> created;
    EXPECT_EQ(executeRegistryRequest(f.sim.sys(), f.macros, request, created), c.succeeds)
        << c.what;
    EXPECT_TRUE(created.empty()) << c.what;
    auto& sys = f.sim.sys();
    const std::string deep = std::string(c.keyAfter) + "\\Sub\\Deep";
    EXPECT_EQ(f.read("V", c.keyAfter)->data, dword(c.succeeds ? 10 : 9).data) << c.what;
    EXPECT_EQ(f.read("", c.keyAfter)->data, text("top").data) << c.what;
    auto s = f.read("S", deep);
    ASSERT_TRUE(s) << c.what;
    EXPECT_EQ(s->type, kRegBinary) << c.what;
    EXPECT_EQ(s->data, (std::vector<uint8_t>{1, 0, 2})) << c.what;
    const bool moved = std::string(c.keyAfter) != kKey;
    EXPECT_EQ(sys.registry().openRegistryKey(RegistryRoot::LocalMachine, kKey), !moved) << c.what;
  }
}

TEST(RegistryApply, FailingLevelStopsTheRequestButLogsWhatItCreated) {
  RegistryFixture f;
  f.settleDestination();
  // A control character makes a key name the registry refuses. No registry.reg at all: the
  // machine's standard keys (SOFTWARE) exist all the same and are never logged.
  f.state.config.registry.push_back(keyRequest(RegistryKeyOp::New,
                                               "Software\\New\\Deeper\\Bad\x01Name",
                                               {value(kRegSz, RegistryValueOp::New, "V", "v")}));
  applyRegistryBlocks(f.engine);
  EXPECT_EQ(f.log(),
            "REGKEY: \"HKEY_LOCAL_MACHINE\", \"Software\\New\\Deeper\"\r\n"
            "REGKEY: \"HKEY_LOCAL_MACHINE\", \"Software\\New\"\r\n");
}

TEST(RegistryApply, DamagedRegistryFileIsNeverRewritten) {
  RegistryFixture f;
  const std::string damaged = "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software]\r\nnot a line\r\n";
  std::ofstream(f.sim.root() / kRegistryFileName, std::ios::binary) << damaged;
  auto& sys = f.sim.sys();
  EXPECT_EQ(sys.registry().createRegistryKey(RegistryRoot::LocalMachine, "Software\\X"),
            RegistryKeyResult::Failed);
  EXPECT_FALSE(
      sys.registry().setRegistryValue(RegistryRoot::LocalMachine, "Software", "V", text("v")));
  std::ifstream in(f.sim.root() / kRegistryFileName, std::ios::binary);
  std::string now((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(now, damaged);
}

TEST(RegistryApply, SimulatedKeyCreationNeedsItsParent) {
  RegistryFixture f;
  auto& sys = f.sim.sys();
  EXPECT_EQ(sys.registry().createRegistryKey(RegistryRoot::CurrentUser, "A\\B"),
            RegistryKeyResult::Failed);
  EXPECT_EQ(sys.registry().createRegistryKey(RegistryRoot::CurrentUser, "A"),
            RegistryKeyResult::Created);
  EXPECT_EQ(sys.registry().createRegistryKey(RegistryRoot::CurrentUser, "a"),
            RegistryKeyResult::Opened);
  EXPECT_EQ(sys.registry().createRegistryKey(RegistryRoot::CurrentUser, "A\\B"),
            RegistryKeyResult::Created);
  EXPECT_FALSE(sys.registry().setRegistryValue(RegistryRoot::CurrentUser, "A\\C", "V", text("v")));
  EXPECT_FALSE(sys.registry().deleteRegistryKey(RegistryRoot::CurrentUser, ""));
  EXPECT_TRUE(sys.registry().deleteRegistryKey(RegistryRoot::CurrentUser, "a"));
  EXPECT_FALSE(sys.registry().openRegistryKey(RegistryRoot::CurrentUser, "A\\B"));
}

}  // namespace
}  // namespace qm
