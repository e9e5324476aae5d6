// The peer of `quillpack implode` and `quillpack explode` in the whole-process benchmark
// (bench/process_bench.sh): the same job, file to file, done with StormLib. It reads its input in
// one piece and writes its output in one piece, so what is compared is the codec plus what a
// careful tool needs around it.
//   storm_tool implode [--ascii] [--dict 1024|2048|4096] IN OUT
//   storm_tool explode IN OUT
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench/stormlib.h"

namespace {

struct Pipe {
  std::vector<char> in;
  size_t pos = 0;
  std::vector<char> out;
};

unsigned int readPipe(char* buffer, unsigned int* size, void* param) {
  auto* p = static_cast<Pipe*>(param);
  const size_t n = std::min<size_t>(*size, p->in.size() - p->pos);
  std::memcpy(buffer, p->in.data() + p->pos, n);
  p->pos += n;
  return static_cast<unsigned int>(n);
}
void writePipe(char* buffer, unsigned int* size, void* param) {
  auto* p = static_cast<Pipe*>(param);
  p->out.insert(p->out.end(), buffer, buffer + *size);
}

bool readFile(const char* path, std::vector<char>& out) {
  std::FILE* f = std::fopen(path, "rb");
  if (!f) return false;
  std::fseek(f, 0, SEEK_END);
  out.resize(size_t(std::ftell(f)));
  std::rewind(f);
  const bool ok = std::fread(out.data(), 1, out.size(), f) == out.size();
  std::fclose(f);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) return 2;
  const bool pack = args[0] == "implode";
  unsigned int type = 0, dictionary = 4096;
  std::vector<std::string> files;
  for (size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--ascii")
      type = 1;
    else if (args[i] == "--dict" && i + 1 < args.size())
      dictionary = std::stoul(args[++i]);
    else
      files.push_back(args[i]);
  }
  if (files.size() != 2 || (!pack && args[0] != "explode")) {
    std::fprintf(stderr, "usage: storm_tool implode|explode [--ascii] [--dict N] IN OUT\n");
    return 2;
  }
  Pipe pipe;
  if (!readFile(files[0].c_str(), pipe.in)) return 1;
  pipe.out.reserve(pack ? pipe.in.size() : pipe.in.size() * 4);
  std::vector<char> work(40000);
  const unsigned int r = pack ? implode(readPipe, writePipe, work.data(), &pipe, &type, &dictionary)
                              : explode(readPipe, writePipe, work.data(), &pipe);
  if (r != 0) return 1;
  std::FILE* out = std::fopen(files[1].c_str(), "wb");
  if (!out) return 1;
  const bool ok = std::fwrite(pipe.out.data(), 1, pipe.out.size(), out) == pipe.out.size();
  return std::fclose(out) == 0 && ok ? 0 : 1;
}
