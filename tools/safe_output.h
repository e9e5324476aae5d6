// How quillpack reads what the user gives and writes what it makes. Inputs are checked before any
// work; outputs are written to temporary files beside their final names and put in place only
// when everything succeeded, and an output that is the same file as an input is refused before
// anything is opened for writing. A failed command so leaves every file the user had as it was.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace qm::pack {

// Why path cannot be read as an input ("PATH: no such file", "PATH: is a directory", ...), or
// empty when it can. mayBeEmpty false also refuses an empty file.
std::string inputProblem(const std::string& path, bool mayBeEmpty = true);

// Prints "quillpack: message" to stderr; the exit code for input that cannot be used.
int inputError(const std::string& message);

// The outputs of one command. Usage:
//   SafeOutputs out({input1, input2});
//   if (!out.claim({output}, error)) return inputError(error);   // before any work
//   std::FILE* f = out.open(0, error); ... write ...
//   if (!out.commit(error)) return fail(error);                   // renames into place
// Whatever was not committed is removed when the object goes.
class SafeOutputs {
 public:
  explicit SafeOutputs(std::vector<std::string> inputs) : inputs_(std::move(inputs)) {}
  ~SafeOutputs();
  SafeOutputs(const SafeOutputs&) = delete;
  SafeOutputs& operator=(const SafeOutputs&) = delete;

  // Names the outputs. False, with a message, when one is the same file as an input or as
  // another output, is a directory, or lies in a folder that does not exist.
  bool claim(const std::vector<std::string>& outputs, std::string& error);
  // Creates the temporary file of output index, for writing in binary; null with a message on
  // failure. The caller keeps the stream open until commit or abandon.
  std::FILE* open(size_t index, std::string& error);
  // Creates the temporary file of output index and closes it again, for a writer that opens it
  // by name; its path, or empty with a message on failure.
  std::string reserve(size_t index, std::string& error);
  // Writes the whole of data as output index (open, write, close).
  bool write(size_t index, const void* data, size_t size, std::string& error);
  // Closes every temporary and renames each over its output. False, with a message, when a
  // close failed (nothing is renamed then) or a rename failed.
  [[nodiscard]] bool commit(std::string& error);
  // Removes every temporary not yet committed.
  void abandon();

 private:
  struct Output {
    std::string path;  // where the output goes (a link's target when the output is a link)
    std::string temp;  // empty until opened
    std::FILE* file = nullptr;
  };
  std::vector<std::string> inputs_;
  std::vector<Output> outputs_;
};

}  // namespace qm::pack
