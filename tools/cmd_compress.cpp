// quillpack implode, explode and package: single compressed streams and multi-volume packages.
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <unordered_set>
#include <vector>

#include "base/text.h"
#include "engine/explode.h"
#include "tools/container_writer.h"
#include "tools/implode.h"
#include "tools/package_writer.h"
#include "tools/progress.h"
#include "tools/quillpack_commands.h"
#include "tools/quillpack_help.h"
#include "tools/safe_output.h"

namespace qm::pack {

namespace {

// The usage error of a sub-command, or its help when it was asked for.
int badArguments(const char* command, const Args& args, const std::string& problem) {
  for (const std::string& a : args)
    if (a == "--help" || a == "-h") return printHelp(commandHelp(command));
  return usageError(commandHelp(command), problem);
}
// Our compressor indexes positions in 32 bits; larger inputs have no place in a package anyway.
constexpr uint64_t kMaxInput = uint64_t(1) << 30;

bool readHostFile(const std::string& path, std::vector<uint8_t>& out, std::string& error) {
  std::error_code ec;
  const uintmax_t size = std::filesystem::file_size(path, ec);
  if (!ec && size > kMaxInput) {
    error = path + " is larger than 1 GiB";
    return false;
  }
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    error = "cannot open " + path;
    return false;
  }
  out.clear();
  uint8_t buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
    out.insert(out.end(), buffer, buffer + n);
    if (out.size() > kMaxInput) {
      std::fclose(f);
      error = path + " is larger than 1 GiB";
      return false;
    }
  }
  const bool bad = std::ferror(f) != 0;
  std::fclose(f);
  if (bad) error = "cannot read " + path;
  return !bad;
}

// Reads --ascii, --best, --dict N and --quiet at args[i]; returns false when args[i] is none of
// them.
bool takeImplodeOption(const Args& args, size_t& i, ImplodeOptions& options, bool& quiet,
                       bool& bad) {
  if (args[i] == "--quiet") {
    quiet = true;
    return true;
  }
  if (args[i] == "--ascii") {
    options.ascii = true;
    return true;
  }
  if (args[i] == "--best") {
    options.level = ImplodeLevel::Best;
    return true;
  }
  if (args[i] == "--dict") {
    if (i + 1 >= args.size()) {
      bad = true;
      return true;
    }
    options.dictionarySize = static_cast<int>(parseLeadingInt(args[++i]));
    if (!validImplodeOptions(options) || args[i] != std::to_string(options.dictionarySize))
      bad = true;
    return true;
  }
  return false;
}

struct StreamFiles {
  std::FILE* in;
  std::FILE* out;
  Progress* progress;
  bool writeFailed = false;
};

uint32_t readStream(uint8_t* buffer, uint32_t count, void* user) {
  auto* files = static_cast<StreamFiles*>(user);
  const size_t got = std::fread(buffer, 1, count, files->in);
  files->progress->advance(got);
  return static_cast<uint32_t>(got);
}
void writeStream(const uint8_t* buffer, uint32_t count, void* user) {
  auto* files = static_cast<StreamFiles*>(user);
  if (std::fwrite(buffer, 1, count, files->out) != count) files->writeFailed = true;
}

// The stored name of a packed file: its path below base with backslashes, or its file name.
bool entryName(const std::string& file, const std::string& base, std::string& name,
               std::string& error) {
  namespace fs = std::filesystem;
  if (base.empty()) {
    name = fs::path(file).filename().string();
  } else {
    std::error_code ec;
    fs::path full = fs::weakly_canonical(fs::absolute(file, ec), ec);
    fs::path root = fs::weakly_canonical(fs::absolute(base, ec), ec);
    fs::path rel = full.lexically_relative(root);
    if (ec || rel.empty() || rel.is_absolute() || *rel.begin() == "..") {
      error = file + " does not lie below " + base;
      return false;
    }
    name.clear();
    for (const fs::path& part : rel) {
      if (!name.empty()) name += '\\';
      name += part.string();
    }
  }
  if (std::string problem = entryNameProblem(name); !problem.empty()) {
    error = file + ": " + problem;
    return false;
  }
  return true;
}

}  // namespace

int runImplode(const Args& args) {
  ImplodeOptions options;
  std::vector<std::string> files;
  bool quiet = false;
  for (size_t i = 0; i < args.size(); ++i) {
    bool bad = false;
    if (takeImplodeOption(args, i, options, quiet, bad)) {
      if (bad) return badArguments("implode", args, "--dict takes 1024, 2048 or 4096");
    } else if (args[i].rfind("--", 0) == 0) {
      return badArguments("implode", args, "unknown option " + args[i]);
    } else {
      files.push_back(args[i]);
    }
  }
  if (files.size() != 2) return badArguments("implode", args, "one IN and one OUT");
  if (std::string problem = inputProblem(files[0]); !problem.empty()) return inputError(problem);
  SafeOutputs outputs({files[0]});
  std::string error;
  if (!outputs.claim({files[1]}, error)) return inputError(error);
  std::vector<uint8_t> data;
  if (!readHostFile(files[0], data, error)) return fail(error);
  Progress progress("imploding", data.size(), 0, Progress::onTerminal(quiet));
  progress.setItem(files[0]);
  options.progress = [&](size_t done) { progress.advance(done - progress.state().bytesDone); };
  const std::vector<uint8_t> packed = implodeData(data.data(), data.size(), options);
  progress.finish();
  if (!outputs.write(0, packed.data(), packed.size(), error) || !outputs.commit(error))
    return fail(error);
  return 0;
}

int runExplode(const Args& rawArgs) {
  Args args;
  bool quiet = false;
  for (const std::string& a : rawArgs) {
    if (a == "--quiet")
      quiet = true;
    else
      args.push_back(a);
  }
  if (args.size() != 2 || args[0].rfind("--", 0) == 0 || args[1].rfind("--", 0) == 0)
    return badArguments("explode", rawArgs, "one IN and one OUT");
  if (std::string problem = inputProblem(args[0], false); !problem.empty())
    return inputError(problem);
  SafeOutputs outputs({args[0]});
  std::string error;
  if (!outputs.claim({args[1]}, error)) return inputError(error);
  std::error_code ec;
  const uintmax_t inputSize = std::filesystem::file_size(args[0], ec);
  Progress progress("exploding", ec ? 0 : inputSize, 0, Progress::onTerminal(quiet));
  progress.setItem(args[0]);
  StreamFiles files{std::fopen(args[0].c_str(), "rb"), nullptr, &progress};
  if (!files.in) return inputError("cannot open " + args[0]);
  files.out = outputs.open(0, error);
  if (!files.out) {
    std::fclose(files.in);
    return fail(error);
  }
  // The decoder reads and hands on 64 KB at a time, straight to and from the files: no stdio
  // buffer copies them a second time.
  std::setvbuf(files.in, nullptr, _IONBF, 0);
  std::setvbuf(files.out, nullptr, _IONBF, 0);
  std::vector<uint8_t> work(kExplodeLargeWorkSize);
  const int result = explodeLarge(readStream, writeStream, work.data(), &files);
  progress.finish();
  const bool readFailed = std::ferror(files.in) != 0;
  std::fclose(files.in);
  if (readFailed) return fail("cannot read " + args[0]);
  if (files.writeFailed) return fail("cannot write " + args[1]);
  // A damaged stream leaves no partial output behind, and an existing file keeps its bytes.
  if (result == kExplodeOk && !outputs.commit(error)) return fail(error);
  switch (result) {
    case kExplodeOk:
      return 0;
    case kExplodeBadDictionary:
      return fail(args[0] + ": invalid dictionary size in the header");
    case kExplodeBadLiteralMode:
      return fail(args[0] + ": invalid literal mode in the header");
    case kExplodeShortHeader:
      return fail(args[0] + ": too short for a compressed stream");
    default:
      return fail(args[0] + ": damaged or truncated compressed data");
  }
}

int runPackage(const Args& args) {
  std::string output, base;
  PackageOptions options;
  std::vector<std::string> inputs;
  bool quiet = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    bool bad = false;
    if (takeImplodeOption(args, i, options.implode, quiet, bad)) {
      if (bad) return badArguments("package", args, "--dict takes 1024, 2048 or 4096");
    } else if (a == "-o" && i + 1 < args.size()) {
      output = args[++i];
    } else if (a == "--base" && i + 1 < args.size()) {
      base = args[++i];
    } else if (a == "--volume-size" && i + 1 < args.size()) {
      const std::string& v = args[++i];
      if (v.empty() || v.find_first_not_of("0123456789") != std::string::npos || v.size() > 18)
        return badArguments("package", args, "--volume-size takes a number of bytes");
      options.volumeSize = std::stoull(v);
      // 0 would mean "one volume" inside; on the command line that is leaving the option out.
      if (options.volumeSize < kMinVolumeSize)
        return inputError("--volume-size " + v + ": a volume holds at least " +
                          std::to_string(kMinVolumeSize) + " bytes");
    } else if (a.rfind("-", 0) == 0) {
      return badArguments("package", args, "unknown option " + a);
    } else {
      inputs.push_back(a);
    }
  }
  if (output.empty()) return badArguments("package", args, "no -o NAME.PAK given");
  if (inputs.empty()) return badArguments("package", args, "no FILE to pack");

  namespace fs = std::filesystem;
  const fs::path outPath(output);
  const std::string firstName = outPath.filename().string();
  std::string error;
  // Everything that can be judged from the arguments is judged before a byte is read.
  if (inputs.size() > size_t(kMaxPackageEntries))
    return inputError("a package holds at most " + std::to_string(kMaxPackageEntries) + " files; " +
                      std::to_string(inputs.size()) + " were given");
  if (!isShortName(firstName))
    return inputError("package name " + firstName + " is not an 8.3 file name");
  {
    SafeOutputs first(inputs);
    if (!first.claim({output}, error)) return inputError(error);
  }
  std::vector<PackageFile> files(inputs.size());
  std::unordered_set<std::string> names;
  names.reserve(inputs.size());
  for (size_t i = 0; i < inputs.size(); ++i) {
    if (std::string problem = inputProblem(inputs[i]); !problem.empty()) return inputError(problem);
    if (!entryName(inputs[i], base, files[i].name, error)) return inputError(error);
    if (!names.insert(upperAscii(files[i].name)).second)
      return inputError("two files would be stored as " + files[i].name);
  }
  uint64_t totalBytes = 0;
  std::vector<struct stat> stats(inputs.size());
  for (size_t i = 0; i < inputs.size(); ++i) {
    if (::stat(inputs[i].c_str(), &stats[i]) != 0) return inputError(inputs[i] + ": no such file");
    totalBytes += uint64_t(stats[i].st_size);
  }
  Progress progress("packing", totalBytes, inputs.size(), Progress::onTerminal(quiet));
  for (size_t i = 0; i < inputs.size(); ++i) {
    progress.setItem("reading " + inputs[i]);
    if (!readHostFile(inputs[i], files[i].data, error)) return (progress.finish(), fail(error));
    files[i].time = fatTimeForPacking(int64_t(stats[i].st_mtime));
  }
  options.progress = [&](const std::string& volume, uint64_t bytes, uint64_t done) {
    progress.setItem(volume);
    progress.advance(bytes, done);
  };
  std::optional<std::vector<PackageVolume>> volumes =
      buildPackage(firstName, files, options, error);
  if (!volumes) return (progress.finish(), fail(error));
  // Continuation volumes are named only now; none of them may land on an input either.
  std::vector<std::string> paths;
  for (const PackageVolume& v : *volumes)
    paths.push_back((outPath.parent_path() / v.name).string());
  SafeOutputs outputs(inputs);
  if (!outputs.claim(paths, error)) return (progress.finish(), inputError(error));
  for (size_t i = 0; i < volumes->size(); ++i) {
    progress.setItem("writing " + (*volumes)[i].name);
    if (!outputs.write(i, (*volumes)[i].bytes.data(), (*volumes)[i].bytes.size(), error))
      return (progress.finish(), fail(error));
  }
  if (!outputs.commit(error)) return (progress.finish(), fail(error));
  progress.finish();
  std::printf("%zu file(s) in %zu volume(s)\n", files.size(), volumes->size());
  return 0;
}

}  // namespace qm::pack
