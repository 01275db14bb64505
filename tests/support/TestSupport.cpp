#include "support/TestSupport.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "app/ParameterFile.h"
#include "formula/UserFormulaMap.h"

namespace vantorel::test {

// Every test program computes user formulas as the programs do.
namespace {
[[maybe_unused]] const bool kUserFormulasInstalled = (InstallUserFormulas(), true);
}  // namespace

TempDir::TempDir() {
  std::string templ = (std::filesystem::temp_directory_path() / "vantorel-test-XXXXXX").string();
  if (!mkdtemp(templ.data())) throw std::runtime_error("cannot create a temporary directory");
  path_ = templ;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::vector<unsigned char> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::string> FileNames(const TempDir& dir) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir.path())) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

ProgramResult RunProgram(const std::filesystem::path& folder, const std::vector<std::string>& argv,
                         const std::function<void()>& inChild, const std::function<void(pid_t)>& whileRunning) {
  const std::string out = (folder / ".stdout").string(), err = (folder / ".stderr").string();
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(folder.c_str()) != 0) _exit(126);
    dup2(open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
    dup2(open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
    if (inChild) inChild();
    execv(args[0], args.data());
    _exit(127);
  }
  if (whileRunning) whileRunning(pid);
  int status = 0;
  waitpid(pid, &status, 0);
  const auto text = [](const std::string& path) {
    const auto b = ReadBytes(path);
    std::filesystem::remove(path);
    return std::string(b.begin(), b.end());
  };
  return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), text(out), text(err)};
}

void WriteInterruptedProject(const std::string& before, const std::string& done, int64_t records, int64_t at,
                             uint8_t state, const std::string& target) {
  const auto b = ReadBytes(before), d = ReadBytes(done);
  TCalcParams p = DecodeParameterBlock(b.data(), b.size()).Params;
  p.State = state;
  p.ProgressColumn = static_cast<int32_t>(at % p.PictureWidth);
  p.ProgressRow = static_cast<int32_t>(at / p.PictureWidth);
  const int64_t n = state == StatePaused ? at : records;
  if (state == StatePaused) p.IterationsDone = 0;
  std::vector<uint8_t> bytes = EncodeParameterBlock(p, BlockForm::Project, static_cast<int32_t>(n));
  for (int64_t file = 0; file < 2; ++file) {
    const auto from = [&](const std::vector<uint8_t>& f, int64_t k) {
      return f.begin() + static_cast<long>(f.size() - 16 * records + 8 * (records * file + k));
    };
    bytes.insert(bytes.end(), from(d, 0), from(d, at));
    bytes.insert(bytes.end(), from(b, at), from(b, n));
  }
  WriteBytes(target, bytes);
}

}  // namespace vantorel::test
