#include "platform/sim/regedit4.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

constexpr const char* kSample =
    "REGEDIT4\r\n"
    "\r\n"
    "; a comment line\r\n"
    "[HKEY_CLASSES_ROOT\\CLSID\\{00000001-0000-0000-0000-000000000001}\\InprocServer32]\r\n"
    "@=\"C:\\\\WINDOWS\\\\SYSTEM\\\\GRID.OCX\"\r\n"
    "\"ThreadingModel\"=\"Apartment\"\r\n"
    "\r\n"
    "[hkey_local_machine\\Software\\Quill]\r\n"
    "\"Count\"=dword:0000002a\r\n"
    "\"Say \\\"hi\\\"\"=\"back\\\\slash\"\r\n"
    "\"Blob\"=hex:01,02,ff,\\\r\n"
    "  10,20\r\n"
    "\"Expand\"=hex(2):25,00\r\n"
    "\"Empty\"=hex:\r\n"
    "\"Gone\"=\"soon\"\r\n"
    "\"Gone\"=-\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Old\\Deep]\r\n"
    "[-HKEY_LOCAL_MACHINE\\Software\\Old]\r\n";

TEST(Regedit4, ReadsEveryDataFormAndDeletion) {
  RegistryTree tree;
  std::string error;
  ASSERT_TRUE(tree.load(kSample, error)) << error;
  const std::string clsid =
      "HKEY_CLASSES_ROOT\\CLSID\\{00000001-0000-0000-0000-000000000001}\\InprocServer32";
  struct Case {
    std::string key, name;
    std::optional<RegValueData> expected;
  } cases[] = {
      {clsid, "", regText("C:\\WINDOWS\\SYSTEM\\GRID.OCX")},
      {clsid, "threadingmodel", regText("Apartment")},
      {"HKEY_LOCAL_MACHINE\\SOFTWARE\\QUILL", "Count", regDword(42)},
      {"HKEY_LOCAL_MACHINE\\Software\\Quill", "Say \"hi\"", regText("back\\slash")},
      {"HKEY_LOCAL_MACHINE\\Software\\Quill", "Blob",
       RegValueData{kRegBinary, {0x01, 0x02, 0xFF, 0x10, 0x20}}},
      {"HKEY_LOCAL_MACHINE\\Software\\Quill", "Expand", RegValueData{kRegExpandSz, {0x25, 0x00}}},
      {"HKEY_LOCAL_MACHINE\\Software\\Quill", "Empty", RegValueData{kRegBinary, {}}},
      {"HKEY_LOCAL_MACHINE\\Software\\Quill", "Gone", std::nullopt},
      {"HKEY_LOCAL_MACHINE\\Software\\Quill", "Missing", std::nullopt},
      {"HKEY_LOCAL_MACHINE\\Software\\Nope", "", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(tree.value(c.key, c.name), c.expected) << c.key << c.name;

  EXPECT_TRUE(tree.keyExists("HKEY_CLASSES_ROOT\\clsid"));  // parents are made too
  EXPECT_FALSE(tree.keyExists("HKEY_LOCAL_MACHINE\\Software\\Old"));
  EXPECT_FALSE(tree.keyExists("HKEY_LOCAL_MACHINE\\Software\\Old\\Deep"));
  EXPECT_TRUE(tree.keyExists("HKEY_USERS"));  // roots always exist
  EXPECT_FALSE(tree.keyExists("HKEY_NOWHERE\\X"));
  EXPECT_EQ(tree.valueNames("HKEY_LOCAL_MACHINE\\Software\\Quill"),
            (std::vector<std::string>{"Count", "Say \"hi\"", "Blob", "Expand", "Empty"}));
}

TEST(Regedit4, MalformedLinesNameTheirLine) {
  struct Case {
    const char* text;
    const char* error;  // the reported line number and the start of the message
  } cases[] = {
      {"[HKEY_CLASSES_ROOT\\A]\r\n", "1: expected REGEDIT4"},
      {"REGEDIT4\r\n\"x\"=\"y\"\r\n", "2: value line outside a key"},
      {"REGEDIT4\r\n[HKEY_NOWHERE\\A]\r\n", "2: unknown root"},
      {"REGEDIT4\r\n[HKEY_USERS\\A\\\\B]\r\n", "2: unknown root"},
      {"REGEDIT4\r\n[HKEY_USERS\\A\r\n", "2: key line without"},
      {"REGEDIT4\r\n[HKEY_USERS\\A]\r\n\"x\"=dword:123456789\r\n", "3: dword needs"},
      {"REGEDIT4\r\n[HKEY_USERS\\A]\r\n\"x\"=dword:12g4\r\n", "3: bad hex digit"},
      {"REGEDIT4\r\n[HKEY_USERS\\A]\r\n\"x\"=hex:01,,02\r\n", "3: bad byte"},
      {"REGEDIT4\r\n[HKEY_USERS\\A]\r\n\"x\"=hex:01,\\\r\n  zz\r\n", "3: bad byte 'zz'"},
      {"REGEDIT4\r\n[HKEY_USERS\\A]\r\n\"x\"=hex(:01\r\n", "3: malformed hex(type)"},
      {"REGEDIT4\r\n[HKEY_USERS\\A]\r\n\"x\"=\"open\r\n", "3: malformed quoted"},
      {"REGEDIT4\r\n[HKEY_USERS\\A]\r\n\"x\"=\"a\" junk\r\n", "3: malformed quoted"},
      {"REGEDIT4\r\n[HKEY_USERS\\A]\r\n\"x\"=word\r\n", "3: unknown data form"},
      {"REGEDIT4\r\n[HKEY_USERS\\A]\r\n\"x\" \"y\"\r\n", "3: missing '='"},
      {"REGEDIT4\r\n[HKEY_USERS\\A]\r\n\"\"=\"y\"\r\n", "3: empty value name"},
      {"REGEDIT4\r\n[-HKEY_USERS\\A]\r\n@=\"y\"\r\n", "3: value line outside a key"},
      {"REGEDIT4\r\nname=value\r\n", "2: not a key or value line"},
      {"REGEDIT4\r\n[HKEY_USERS\\A\x01"
       "B]\r\n",
       "2: unknown root"},
      {"REGEDIT4\r\n[HKEY_USERS\\A]\r\n\"x\ty\"=\"1\"\r\n", "3: control character"},
  };
  for (const Case& c : cases) {
    RegistryTree tree;
    std::string error;
    EXPECT_FALSE(tree.load(c.text, error)) << c.text;
    EXPECT_EQ(error.rfind(c.error, 0), 0u) << c.text << " gave " << error;
  }
  RegistryTree empty;
  std::string error;
  EXPECT_TRUE(empty.load("", error));
  EXPECT_TRUE(empty.load("; nothing yet\r\n", error));
  EXPECT_TRUE(empty.empty());
}

TEST(Regedit4, SavedTextReadsBackToTheSameTree) {
  RegistryTree tree;
  tree.setValue("HKEY_CURRENT_USER\\Software\\Quill", "", regText("default"));
  tree.setValue("HKEY_CURRENT_USER\\Software\\Quill", "Quote\"Back\\", regText("a\"b\\c"));
  tree.setValue("HKEY_CURRENT_USER\\Software\\Quill", "Lines", regText("one\r\ntwo"));
  tree.setValue("HKEY_CURRENT_USER\\Software\\Quill", "NoNul", RegValueData{kRegSz, {'x'}});
  tree.setValue("HKEY_CURRENT_USER\\Software\\Quill", "Dword", regDword(0xDEADBEEF));
  tree.setValue("HKEY_CURRENT_USER\\Software\\Quill", "ShortDword", RegValueData{kRegDword, {1}});
  std::vector<uint8_t> big(100);
  for (size_t i = 0; i < big.size(); ++i) big[i] = uint8_t(i * 7);
  tree.setValue("HKEY_CURRENT_USER\\Software\\Quill", "Big", RegValueData{kRegBinary, big});
  tree.setValue("HKEY_CURRENT_USER\\Software\\Quill", "Multi",
                RegValueData{kRegMultiSz, {'a', 0, 'b', 0, 0}});
  tree.createKey("HKEY_CURRENT_USER\\Software\\Quill\\Empty");
  tree.setValue("HKEY_DYN_DATA", "AtRoot", regDword(1));

  std::string text = tree.save();
  RegistryTree back;
  std::string error;
  ASSERT_TRUE(back.load(text, error)) << error << "\n" << text;
  EXPECT_EQ(back.save(), text);
  for (const auto& name : tree.valueNames("HKEY_CURRENT_USER\\Software\\Quill"))
    EXPECT_EQ(back.value("HKEY_CURRENT_USER\\Software\\Quill", name),
              tree.value("HKEY_CURRENT_USER\\Software\\Quill", name))
        << name;
  EXPECT_TRUE(back.keyExists("HKEY_CURRENT_USER\\Software\\Quill\\Empty"));
  EXPECT_EQ(back.value("HKEY_DYN_DATA", "AtRoot"), regDword(1));
  // Hex lines are wrapped like the system's editor wraps them.
  for (size_t start = 0, nl; (nl = text.find("\r\n", start)) != std::string::npos; start = nl + 2)
    EXPECT_LE(nl - start, 80u) << text.substr(start, nl - start);
  EXPECT_NE(text.find("@=\"default\""), std::string::npos);
  EXPECT_NE(text.find("\"Dword\"=dword:deadbeef"), std::string::npos);
}

TEST(Regedit4, KeysKeepFirstCaseAndListChildrenByName) {
  RegistryTree tree;
  EXPECT_EQ(tree.createKey("HKEY_LOCAL_MACHINE\\Software\\Zeta"), 2);
  EXPECT_EQ(tree.createKey("hkey_local_machine\\SOFTWARE\\alpha"), 1);
  EXPECT_EQ(tree.createKey("HKEY_LOCAL_MACHINE\\Software\\Alpha\\Sub"), 1);
  EXPECT_EQ(tree.createKey("HKEY_LOCAL_MACHINE\\Software\\Alpha Beta"), 1);
  EXPECT_EQ(tree.createKey("HKEY_LOCAL_MACHINE\\Software\\ZETA"), 0);
  EXPECT_EQ(tree.createKey("HKEY_LOCAL_MACHINE\\Software\\"), 0);
  EXPECT_EQ(tree.createKey("HKEY_LOCAL_MACHINE\\\\X"), -1);
  EXPECT_EQ(tree.createKey("SOFTWARE\\X"), -1);
  EXPECT_EQ(tree.subkeys("HKEY_LOCAL_MACHINE\\software"),
            (std::vector<std::string>{"alpha", "Alpha Beta", "Zeta"}));
  EXPECT_EQ(tree.subkeys("HKEY_LOCAL_MACHINE"), (std::vector<std::string>{"Software"}));

  EXPECT_TRUE(tree.deleteKey("HKEY_LOCAL_MACHINE\\Software\\ALPHA"));
  EXPECT_FALSE(tree.keyExists("HKEY_LOCAL_MACHINE\\Software\\Alpha\\Sub"));
  EXPECT_TRUE(
      tree.keyExists("HKEY_LOCAL_MACHINE\\Software\\Alpha Beta"));  // a sibling, not a child
  EXPECT_FALSE(tree.deleteKey("HKEY_LOCAL_MACHINE\\Software\\Alpha"));

  tree.setValue("HKEY_LOCAL_MACHINE\\Software\\Zeta", "Name", regText("1"));
  tree.setValue("HKEY_LOCAL_MACHINE\\Software\\Zeta", "NAME", regText("2"));
  EXPECT_EQ(tree.valueNames("HKEY_LOCAL_MACHINE\\Software\\Zeta"),
            (std::vector<std::string>{"Name"}));
  EXPECT_EQ(tree.value("HKEY_LOCAL_MACHINE\\Software\\Zeta", "name"), regText("2"));
  EXPECT_TRUE(tree.deleteValue("HKEY_LOCAL_MACHINE\\Software\\Zeta", "nAme"));
  EXPECT_FALSE(tree.deleteValue("HKEY_LOCAL_MACHINE\\Software\\Zeta", "Name"));
}

}  // namespace
}  // namespace qm
