#include "tools/safe_output.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <unordered_map>

#include "platform/host_file_identity.h"

#ifdef _WIN32
#include <process.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace qm::pack {

namespace fs = std::filesystem;

namespace {

int processId() {
#ifdef _WIN32
  return _getpid();
#else
  return int(::getpid());
#endif
}

// Creates path only when nothing of that name exists, so two runs never share a temporary.
std::FILE* createNew(const std::string& path) {
#ifdef _WIN32
  std::error_code ec;
  if (fs::exists(path, ec) || ec) return nullptr;
  return std::fopen(path.c_str(), "wb");
#else
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
  if (fd < 0) return nullptr;
  std::FILE* f = ::fdopen(fd, "wb");
  if (!f) ::close(fd);
  return f;
#endif
}

// A replaced output keeps the permissions it had (an executable stub stays executable).
void keepPermissions(const std::string& from, const std::string& onto) {
  std::error_code ec;
  fs::file_status st = fs::status(from, ec);
  if (!ec && fs::exists(st)) fs::permissions(onto, st.permissions(), ec);
}

std::string lexicalKey(const std::string& path) {
  std::error_code ec;
  fs::path p = fs::weakly_canonical(fs::absolute(path, ec), ec);
  return ec ? path : p.lexically_normal().string();
}

}  // namespace

std::string inputProblem(const std::string& path, bool mayBeEmpty) {
  if (path.empty()) return "an empty file name";
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return path + ": no such file";
    return path + ": cannot be read (" + std::strerror(errno) + ")";
  }
  if (S_ISDIR(st.st_mode)) return path + ": is a directory, not a file";
  if (!S_ISREG(st.st_mode)) return path + ": is not a regular file";
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return path + ": cannot be read (" + std::strerror(errno) + ")";
  std::fclose(f);
  if (!mayBeEmpty && st.st_size == 0) return path + ": is empty";
  return "";
}

int inputError(const std::string& message) {
  std::fprintf(stderr, "quillpack: %s\n", message.c_str());
  return 2;
}

SafeOutputs::~SafeOutputs() { abandon(); }

bool SafeOutputs::claim(const std::vector<std::string>& outputs, std::string& error) {
  std::unordered_map<HostFileIdentity, std::string, HostFileIdentityHash> taken;
  for (const std::string& input : inputs_)
    if (std::optional<HostFileIdentity> id = hostFileIdentity(input)) taken.emplace(*id, input);
  std::unordered_map<std::string, std::string> names;  // outputs that do not exist yet
  for (const std::string& output : outputs) {
    if (output.empty()) {
      error = "an empty output file name";
      return false;
    }
    std::error_code ec;
    fs::file_status st = fs::status(output, ec);
    if (fs::is_directory(st)) {
      error = output + ": is a directory; give a file name for the output";
      return false;
    }
    if (fs::exists(st) && !fs::is_regular_file(st)) {
      error = output + ": is not a regular file; quillpack writes only files";
      return false;
    }
    if (std::optional<HostFileIdentity> id = hostFileIdentity(output)) {
      auto [at, fresh] = taken.emplace(*id, output);
      if (!fresh) {
        error = output + " is the same file as " + at->second +
                "; writing it would destroy what is read: choose another output name";
        return false;
      }
    } else {
      auto [at, fresh] = names.emplace(lexicalKey(output), output);
      if (!fresh) {
        error = output + " is written twice";
        return false;
      }
    }
    Output o;
    o.path = output;
    // Writing beside a link would replace the link itself; the file it names is what the user
    // means to replace.
    if (fs::is_symlink(fs::symlink_status(output, ec)) && fs::exists(st)) {
      fs::path target = fs::canonical(output, ec);
      if (!ec) o.path = target.string();
    }
    fs::path folder = fs::path(o.path).parent_path();
    if (!folder.empty() && !fs::is_directory(folder, ec)) {
      error = output + ": folder " + folder.string() + " does not exist";
      return false;
    }
    outputs_.push_back(std::move(o));
  }
  return true;
}

std::FILE* SafeOutputs::open(size_t index, std::string& error) {
  Output& o = outputs_.at(index);
  if (o.file) return o.file;
  const fs::path final(o.path);
  for (int attempt = 0; attempt < 100 && !o.file; ++attempt) {
    std::string name = "." + final.filename().string() + ".quillpack-" +
                       std::to_string(processId()) + "-" + std::to_string(attempt);
    o.temp = (final.parent_path() / name).string();
    o.file = createNew(o.temp);
  }
  if (!o.file) {
    o.temp.clear();
    error = "cannot create " + o.path + " (" + std::strerror(errno) + ")";
  }
  return o.file;
}

std::string SafeOutputs::reserve(size_t index, std::string& error) {
  std::FILE* f = open(index, error);
  if (!f) return "";
  Output& o = outputs_[index];
  o.file = nullptr;
  if (std::fclose(f) != 0) {
    error = "cannot create " + o.path;
    abandon();
    return "";
  }
  return o.temp;
}

bool SafeOutputs::write(size_t index, const void* data, size_t size, std::string& error) {
  std::FILE* f = open(index, error);
  if (!f) return false;
  if (std::fwrite(data, 1, size, f) != size) {
    error = "cannot write " + outputs_[index].path;
    return false;
  }
  return true;
}

bool SafeOutputs::commit(std::string& error) {
  for (Output& o : outputs_) {
    if (!o.file) continue;
    const bool bad = std::ferror(o.file) != 0;
    const bool closed = std::fclose(o.file) == 0;
    o.file = nullptr;
    if (bad || !closed) {
      error = "cannot write " + o.path;
      abandon();
      return false;
    }
  }
  for (Output& o : outputs_) {
    if (o.temp.empty()) continue;
    keepPermissions(o.path, o.temp);
    std::error_code ec;
    fs::rename(o.temp, o.path, ec);
    if (ec) {
      error = "cannot put " + o.path + " in place: " + ec.message();
      abandon();
      return false;
    }
    o.temp.clear();
  }
  return true;
}

void SafeOutputs::abandon() {
  for (Output& o : outputs_) {
    if (o.file) std::fclose(o.file);
    o.file = nullptr;
    if (!o.temp.empty()) {
      std::error_code ec;
      fs::remove(o.temp, ec);
      o.temp.clear();
    }
  }
}

}  // namespace qm::pack
