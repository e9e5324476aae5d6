// Compression benchmark against StormLib's implode and explode, measured in the same run on one
// 64 MiB corpus of mixed text and binaries (files from /usr/bin and /usr/share/doc in name
// order, interleaved in 1 MiB pieces). Our compressor runs at both levels, and every stream it
// writes is read back by StormLib's decoder. Times are process CPU time, so other load on the
// machine disturbs the ratios less. Run by hand in a release build (about two minutes):
//   cmake -S . -B build/rel -DCMAKE_BUILD_TYPE=Release && cmake --build build/rel --target
//   compress_bench && build/rel/compress_bench
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/explode.h"
#include "tools/implode.h"

#ifdef QM_HAVE_STORMLIB
#include "bench/stormlib.h"
#endif

namespace {

using Bytes = std::vector<uint8_t>;
constexpr size_t kCorpusSize = size_t(64) << 20;
constexpr size_t kPiece = size_t(1) << 20;

double cpuSeconds() {
  timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec + t.tv_nsec * 1e-9;
}

// Reads the files of a folder tree in name order into one buffer, up to limit bytes.
Bytes gather(const std::string& root, size_t limit) {
  namespace fs = std::filesystem;
  std::vector<std::string> paths;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(
           root, fs::directory_options::skip_permission_denied, ec);
       it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (ec) break;
    if (!it->is_regular_file(ec) || it->is_symlink(ec)) continue;
    const std::string p = it->path().string();
    // Already compressed files say nothing about a compressor.
    if (p.ends_with(".gz") || p.ends_with(".xz") || p.ends_with(".bz2")) continue;
    paths.push_back(p);
  }
  std::sort(paths.begin(), paths.end());
  Bytes out;
  for (const std::string& p : paths) {
    std::ifstream in(p, std::ios::binary);
    Bytes b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    out.insert(out.end(), b.begin(), b.begin() + std::min(b.size(), limit - out.size()));
    if (out.size() >= limit) break;
  }
  return out;
}

Bytes corpus() {
  Bytes binaries = gather("/usr/bin", kCorpusSize);
  Bytes texts = gather("/usr/share/doc", kCorpusSize / 2);
  Bytes out;
  size_t b = 0, t = 0;
  while (out.size() < kCorpusSize && (b < binaries.size() || t < texts.size())) {
    for (Bytes* src : {&binaries, &texts}) {
      size_t& at = src == &binaries ? b : t;
      const size_t n = std::min({kPiece, src->size() - at, kCorpusSize - out.size()});
      out.insert(out.end(), src->begin() + at, src->begin() + at + n);
      at += n;
    }
  }
  return out;
}

struct Pipe {
  const Bytes* in;
  size_t pos = 0;
  Bytes* out;
  size_t written = 0;
};

uint32_t ourRead(uint8_t* buffer, uint32_t count, void* user) {
  auto* p = static_cast<Pipe*>(user);
  const size_t n = std::min<size_t>(count, p->in->size() - p->pos);
  std::memcpy(buffer, p->in->data() + p->pos, n);
  p->pos += n;
  return static_cast<uint32_t>(n);
}
void ourWrite(const uint8_t* buffer, uint32_t count, void* user) {
  auto* p = static_cast<Pipe*>(user);
  if (p->written + count <= p->out->size()) std::memcpy(p->out->data() + p->written, buffer, count);
  p->written += count;
}

#ifdef QM_HAVE_STORMLIB
unsigned int peerRead(char* buffer, unsigned int* size, void* param) {
  return ourRead(reinterpret_cast<uint8_t*>(buffer), *size, param);
}
void peerWrite(char* buffer, unsigned int* size, void* param) {
  ourWrite(reinterpret_cast<uint8_t*>(buffer), *size, param);
}
#endif

}  // namespace

int main() {
  const Bytes data = corpus();
  std::printf("corpus: %zu bytes\n", data.size());
#ifndef QM_HAVE_STORMLIB
  std::printf("StormLib is not available: nothing to compare with\n");
  return 0;
#else
  std::vector<char> work(1 << 16);
  Bytes decoded(data.size());
  struct Row {
    std::string mode;
    double implodeSpeed[2], sizeRatio[2], explodeSpeed;
  };
  std::vector<Row> rows;
  const double mb = data.size() / 1e6;
  // Whether StormLib's decoder turns a stream back into the corpus.
  auto peerReads = [&](const Bytes& stream) {
    std::fill(decoded.begin(), decoded.end(), 0);
    Pipe p{&stream, 0, &decoded};
    ::explode(peerRead, peerWrite, work.data(), &p);
    return p.written == data.size() && decoded == data;
  };
  for (unsigned dictionary : {4096u, 2048u, 1024u})
    for (bool ascii : {false, true}) {
      const std::string mode =
          std::string(ascii ? "ascii/" : "binary/") + std::to_string(dictionary);
      Row row{mode, {}, {}, 0};
      std::printf("%s\n", mode.c_str());
      // Implode: the peer, then ours at each level.
      Bytes theirs(data.size() + data.size() / 4 + 1024);
      Pipe p1{&data, 0, &theirs};
      unsigned type = ascii ? 1 : 0, dict = dictionary;
      double t0 = cpuSeconds();
      ::implode(peerRead, peerWrite, work.data(), &p1, &type, &dict);
      const double peerImplode = cpuSeconds() - t0;
      theirs.resize(p1.written);
      for (qm::ImplodeLevel level : {qm::ImplodeLevel::Default, qm::ImplodeLevel::Best}) {
        const int k = level == qm::ImplodeLevel::Best;
        t0 = cpuSeconds();
        const Bytes ours = qm::implodeData(data.data(), data.size(),
                                           qm::ImplodeOptions{ascii, int(dictionary), level});
        const double ourImplode = cpuSeconds() - t0;
        row.implodeSpeed[k] = peerImplode / ourImplode;
        row.sizeRatio[k] = double(ours.size()) / double(theirs.size());
        std::printf("  implode %-7s ours %.1f MB/s, StormLib %.1f MB/s, ratio %.2fx\n",
                    k ? "--best:" : "", mb / ourImplode, mb / peerImplode, row.implodeSpeed[k]);
        std::printf("  size %-10s ours %zu, StormLib %zu, ratio %.4f%s\n", k ? "--best:" : "",
                    ours.size(), theirs.size(), row.sizeRatio[k],
                    peerReads(ours) ? "" : "  (OUR STREAM NOT READ BACK)");
      }

      // Explode the same stream (the peer's) with both decoders. A decode takes a tenth of a
      // second, so each decoder's best of five alternating runs is kept.
      double peerExplode = 1e9, ourExplode = 1e9;
      bool peerOk = true, ourOk = true;
      for (int round = 0; round < 5; ++round) {
        std::fill(decoded.begin(), decoded.end(), 0);
        Pipe p2{&theirs, 0, &decoded};
        t0 = cpuSeconds();
        ::explode(peerRead, peerWrite, work.data(), &p2);
        peerExplode = std::min(peerExplode, cpuSeconds() - t0);
        peerOk = peerOk && p2.written == data.size() && decoded == data;
        std::fill(decoded.begin(), decoded.end(), 0);
        Pipe p3{&theirs, 0, &decoded};
        t0 = cpuSeconds();
        const int r = qm::explode(ourRead, ourWrite, work.data(), &p3);
        ourExplode = std::min(ourExplode, cpuSeconds() - t0);
        ourOk = ourOk && r == 0 && p3.written == data.size() && decoded == data;
      }
      row.explodeSpeed = peerExplode / ourExplode;
      std::printf("  explode: ours %.1f MB/s, StormLib %.1f MB/s, ratio %.2fx%s\n", mb / ourExplode,
                  mb / peerExplode, row.explodeSpeed, ourOk && peerOk ? "" : "  (DECODE MISMATCH)");
      rows.push_back(row);
    }
  // Ratios against StormLib at the same settings: speed above 1 is faster, size below 1 is
  // smaller.
  std::printf(
      "\n| mode | implode speed | implode size | --best speed | --best size | explode speed |\n"
      "|---|---|---|---|---|---|\n");
  for (const Row& r : rows)
    std::printf("| %s | %.2fx | %.4f | %.2fx | %.4f | %.2fx |\n", r.mode.c_str(), r.implodeSpeed[0],
                r.sizeRatio[0], r.implodeSpeed[1], r.sizeRatio[1], r.explodeSpeed);
  return 0;
#endif
}
