// Feeds arbitrary bytes to the source reader as the program's own file: the trailer, the entry
// chain and every entry's data must be read without reading outside the file or looping, and the
// reader's results must stay inside each entry.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/file_handle.h"
#include "script/memory_system_for_tests.h"
#include "script/source.h"

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

void exercise(qm::Container& c, const std::string& name, size_t lineBuffer) {
  std::unique_ptr<qm::SourceFile> f = c.openSource("A:\\DIR\\" + name);
  if (!f) return;
  const int64_t size = c.sourceSize(*f);
  std::string line;
  int lines = 0;
  while (c.readLine(*f, line, lineBuffer) && lines < 100000) {
    check(line.size() <= lineBuffer - 1);
    check(line.find('\r') == std::string::npos);
    ++lines;
  }
  if (f->isContainerEntry()) {
    check(c.tellSource(*f) >= 0 && c.tellSource(*f) <= size);
    check(c.seekSource(*f, -5, 0) == 0);
    check(c.seekSource(*f, size + 100, 0) == size);
    check(c.seekSource(*f, -3, 2) == (size < 3 ? 0 : size - 3));
    char buf[64];
    int32_t n = c.readSource(*f, buf, sizeof buf);
    check(n <= 3);
  }
  c.closeSource(f);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  size_t lineBuffer = 2 + data[0] % 64;
  qm::testing::MemorySystem sys;
  sys.put("A:\\SETUP.EXE", std::string(reinterpret_cast<const char*>(data) + 1, size - 1));
  sys.put("A:\\DIR\\PLAIN.TXT", "plain\r\nfile");

  // Every name the chain holds, found the way quillpack list finds them.
  qm::ScopedFile file = qm::ScopedFile::openRead(sys, "A:\\SETUP.EXE");  // closed at the end
  const qm::FileHandle h = file.get();
  int64_t fileSize = sys.files().fileSize(h);
  std::vector<qm::ContainerEntry> entries;
  uint8_t trailer[qm::kTrailerSize];
  if (fileSize >= qm::kTrailerSize &&
      sys.files().seek(h, -int64_t(qm::kTrailerSize), qm::SeekOrigin::End) >= 0 &&
      sys.files().read(h, trailer, qm::kTrailerSize) == int32_t(qm::kTrailerSize)) {
    if (auto t = qm::decodeTrailer(trailer)) {
      qm::ReadAt readAt = [&](uint64_t offset, uint8_t* buffer, size_t n) {
        return sys.files().seek(h, int64_t(offset), qm::SeekOrigin::Begin) == int64_t(offset) &&
               sys.files().read(h, buffer, uint32_t(n)) == int32_t(n);
      };
      entries = qm::walkContainerChain(readAt, uint64_t(fileSize), t->firstEntry);
      for (const qm::ContainerEntry& e : entries)
        check(uint64_t(e.offset) + qm::kEntrySize <= uint64_t(fileSize));
    }
  }

  qm::Container c(sys);
  c.setContainer("A:\\SETUP.EXE");
  for (size_t i = 0; i < entries.size() && i < 64; ++i) exercise(c, entries[i].name, lineBuffer);
  exercise(c, "PLAIN.TXT", lineBuffer);
  exercise(c, "*.*", lineBuffer);
  c.disableContainer();
  if (!entries.empty()) exercise(c, entries[0].name, lineBuffer);
  return 0;
}
