// The least a Windows program can do to copy a distribution: walk the source folder and call
// CopyFileA for each file, creating folders on the way. install_bench.sh runs it under Wine beside
// the installer, so what Wine's own file calls cost is measured apart from the installer's work.
//   win32_copy_loop.exe FROM TO
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

int copied = 0;
int failed = 0;

void copyFolder(const std::string& from, const std::string& to) {
  CreateDirectoryA(to.c_str(), nullptr);
  WIN32_FIND_DATAA found;
  HANDLE h = FindFirstFileA((from + "\\*").c_str(), &found);
  if (h == INVALID_HANDLE_VALUE) return;
  do {
    const std::string name = found.cFileName;
    if (name == "." || name == "..") continue;
    const std::string source = from + "\\" + name, target = to + "\\" + name;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      copyFolder(source, target);
    else if (CopyFileA(source.c_str(), target.c_str(), FALSE))
      ++copied;
    else
      ++failed;
  } while (FindNextFileA(h, &found));
  FindClose(h);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: win32_copy_loop.exe FROM TO\n");
    return 2;
  }
  copyFolder(argv[1], argv[2]);
  std::printf("%d copied, %d failed\n", copied, failed);
  return failed ? 1 : 0;
}
