// Helpers shared by the test folders.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace vantorel::test {

// A fresh directory under the system's temporary folder, removed with the object.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::string file(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

std::vector<unsigned char> ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::vector<unsigned char>& bytes);

// The message of the E that `call` throws, or "(nothing thrown)"; other exceptions pass.
template <class E, class Call>
std::string ErrorOf(Call&& call) {
  try {
    call();
  } catch (const E& e) {
    return e.what();
  }
  return "(nothing thrown)";
}

// The names of the entries of a directory, sorted.
std::vector<std::string> FileNames(const TempDir& dir);

// A program run to its end in `folder` (argv[0] is its path), with stdout and stderr caught in
// files there that are removed afterwards. `inChild` runs in the child before the program
// starts (limits, environment); `whileRunning` gets the child's id before it is waited for.
struct ProgramResult {
  int status = -1;  // the exit status, or 128 + the signal that ended it
  std::string out, err;
};
ProgramResult RunProgram(const std::filesystem::path& folder, const std::vector<std::string>& argv,
                         const std::function<void()>& inChild = {},
                         const std::function<void(pid_t)>& whileRunning = {});

// Writes `target`: a project of `records` pixels stopped at record `at` in `state`, its block
// taken from the project file `before`, the records before `at` from the project file `done` and
// the others from `before` (a paused first run has no records beyond `at`).
void WriteInterruptedProject(const std::string& before, const std::string& done, int64_t records, int64_t at,
                             uint8_t state, const std::string& target);

}  // namespace vantorel::test
