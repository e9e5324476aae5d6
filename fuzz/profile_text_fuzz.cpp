// Feeds arbitrary bytes to the simulated machine's INI reader. Whatever it reads must be written
// back as CR LF lines without NUL bytes, read back the same, take a key set through it, and keep
// every profile read within its buffer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/sim/profile_text.h"

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

// A plain name made from some of the input, so that set and read can be compared exactly.
std::string plainName(const std::string& bytes, size_t from, size_t length) {
  std::string out;
  for (size_t i = from; i < bytes.size() && out.size() < length; ++i) {
    const unsigned char c = static_cast<unsigned char>(bytes[i]);
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) out += char(c);
  }
  return out.empty() ? "k" : out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  qm::ProfileText doc = qm::ProfileText::parse(bytes);
  const std::string text = doc.text();
  check(text.find('\0') == std::string::npos);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n') check(i > 0 && text[i - 1] == '\r');
    if (text[i] == '\r') check(i + 1 < text.size() && text[i + 1] == '\n');
  }
  // Writing and reading again settles within two rounds: NUL bytes cut names short in the first
  // (as they do for the system), and a first key named like a UTF-8 mark becomes the mark in the
  // second. From then on the file reads back as itself.
  const std::string once = qm::ProfileText::parse(text).text();
  const std::string twice = qm::ProfileText::parse(once).text();
  check(qm::ProfileText::parse(twice).text() == twice);

  for (const qm::ProfileSection& section : doc.sections()) {
    for (size_t buffer : {size_t(0), size_t(1), size_t(2), size_t(3), size_t(8), size_t(998)}) {
      check(doc.keyList(section.name, buffer).size() <= buffer);
    }
    for (const qm::ProfileKey& key : section.keys) {
      if (key.value) check(qm::profileCopy(*key.value, 5).size() <= 4);
    }
  }

  const std::string section = plainName(bytes, 0, 8);
  const std::string key = plainName(bytes, size / 2, 8);
  const std::string value = plainName(bytes, size / 3, 16);
  // A key set in a settled file is read back from what is written.
  qm::ProfileText settled = qm::ProfileText::parse(twice);
  settled.set(section, key, value);
  check(settled.value(section, key) && *settled.value(section, key) == value);
  qm::ProfileText written = qm::ProfileText::parse(settled.text());
  const std::string* read = written.value(section, key);
  check(read && *read == value);
  check(!written.set(section, key, value));  // already there: nothing to write
  check(written.removeKey(section, key));
  return 0;
}
