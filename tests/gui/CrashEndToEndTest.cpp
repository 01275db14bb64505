// The real desktop program killed while it computes: its left-over temporary files are
// recovered into a project, which goes on to the same data as a run that was never cut short,
// both in the desktop program and in the renderer.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/ParameterFile.h"
#include "app/Recovery.h"
#include "support/TestSupport.h"

#if defined(VANTOREL_EXE) && defined(VANTOREL_RENDER_EXE)

namespace vantorel {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// A program running in a folder of its own; killed with SIGKILL when the test is done with it.
class Process {
 public:
  Process(const fs::path& folder, std::vector<std::string> arguments) {
    std::vector<char*> argv;
    for (std::string& a : arguments) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_ = fork();
    if (pid_ == 0) {
      if (chdir(folder.c_str()) != 0) _exit(126);
      execv(argv[0], argv.data());
      _exit(127);
    }
  }
  ~Process() { Kill(); }
  bool Started() const { return pid_ > 0; }
  // Ends the program at once, as a crash or a power cut would; returns its wait status.
  int Kill() {
    if (pid_ <= 0) return status_;
    kill(pid_, SIGKILL);
    waitpid(pid_, &status_, 0);
    pid_ = -1;
    return status_;
  }
  // Waits for the program to end by itself; its exit status, or -1 when it did not end in time.
  int Wait(std::chrono::seconds limit) {
    for (const auto end = Clock::now() + limit; Clock::now() < end;) {
      if (waitpid(pid_, &status_, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return -1;
  }
  bool Running() {
    if (pid_ <= 0) return false;
    if (waitpid(pid_, &status_, WNOHANG) != pid_) return true;
    pid_ = -1;
    return false;
  }

 private:
  pid_t pid_ = -1;
  int status_ = 0;
};

int64_t Size(const fs::path& file) {
  std::error_code ec;
  const auto size = fs::file_size(file, ec);
  return ec ? -1 : int64_t(size);
}

// Polls until `done` holds or the program ends or time runs out; true when `done` held.
bool WaitUntil(Process& program, const std::function<bool()>& done, std::chrono::seconds limit) {
  for (const auto end = Clock::now() + limit; Clock::now() < end; std::this_thread::sleep_for(std::chrono::milliseconds(1))) {
    if (done()) return true;
    if (!program.Running()) return done();
  }
  return false;
}

std::vector<unsigned char> Prefix(std::vector<unsigned char> bytes, size_t n) {
  bytes.resize(std::min(bytes.size(), n));
  return bytes;
}

TEST(CrashEndToEnd, KilledWhileComputingRecoversAndContinuesToTheBytesOfAnUncutRun) {
  test::TempDir dir;
  for (const char* folder : {"uncut", "crash", "window", "render"}) fs::create_directories(dir.path() / folder);
  // Long enough that the kill lands in the middle of the run, even on a fast machine.
  TCalcParams p = DefaultCalcParams();
  p.PictureWidth = 240, p.PictureHeight = 160;
  p.Iterations = 2000, p.CalmDownIterations = 400;
  const int64_t pixels = int64_t(p.PictureWidth) * p.PictureHeight;
  const int64_t bytes = pixels * 8;
  SaveParameterFile(dir.file("lake.Par"), p);

  // The desktop program starts the calculation of the parameter file and is killed once a
  // tenth of the picture is on disk.
  const fs::path crash = dir.path() / "crash";
  int64_t atKill = 0;
  {
    Process program(crash, {VANTOREL_EXE, "--calculate", "../lake.Par"});
    ASSERT_TRUE(program.Started());
    ASSERT_TRUE(WaitUntil(program, [&] { return Size(crash / "lake.TMP2") >= bytes / 10; }, std::chrono::seconds(300)))
        << "the program did not compute (or ended early)";
    program.Kill();
    atKill = std::min(Size(crash / "lake.TMP1"), Size(crash / "lake.TMP2"));
  }
  ASSERT_LT(atKill, bytes) << "the run finished before it could be killed";
  // The uninterrupted run, by the renderer from the block the program computed (its latest
  // parameter block, as the program took it over from the controls).
  fs::copy_file(crash / "lake.TMP0", dir.path() / "uncut" / "block.Par");
  {
    Process uncut(dir.path() / "uncut", {VANTOREL_RENDER_EXE, "block.Par", "--data", "ref", "--quiet"});
    ASSERT_TRUE(uncut.Started());
    ASSERT_EQ(uncut.Wait(std::chrono::seconds(600)), 0);
  }
  const auto ref1 = test::ReadBytes(dir.file("uncut/ref.TMP1"));
  const auto ref2 = test::ReadBytes(dir.file("uncut/ref.TMP2"));
  ASSERT_EQ(int64_t(ref1.size()), bytes);

  // Every batch handed over before the kill is on disk, and exactly as the uncut run has it.
  const auto cut1 = test::ReadBytes((crash / "lake.TMP1").string());
  const auto cut2 = test::ReadBytes((crash / "lake.TMP2").string());
  EXPECT_TRUE(cut1 == Prefix(ref1, cut1.size()));
  EXPECT_TRUE(cut2 == Prefix(ref2, cut2.size()));

  const RecoveryResult recovered = RecoverProject((crash / "lake.TMP0").string(), crash.string());
  EXPECT_EQ(recovered.Message, "lake.LPr successfully restored.");
  EXPECT_EQ(recovered.Records, atKill / 8);
  std::printf("[ figures  ] killed with %lld of %lld pixels on disk\n", static_cast<long long>(recovered.Records),
              static_cast<long long>(pixels));

  // The recovered project goes on in the desktop program...
  const fs::path window = dir.path() / "window";
  {
    Process program(window, {VANTOREL_EXE, "--calculate", "../crash/lake.LPr"});
    ASSERT_TRUE(program.Started());
    EXPECT_TRUE(WaitUntil(program, [&] { return Size(window / "lake.TMP1") == bytes && Size(window / "lake.TMP2") == bytes; },
                          std::chrono::seconds(600)));
    program.Kill();
  }
  EXPECT_TRUE(test::ReadBytes((window / "lake.TMP1").string()) == ref1);
  EXPECT_TRUE(test::ReadBytes((window / "lake.TMP2").string()) == ref2);

  // ... and in the renderer.
  {
    Process render(dir.path() / "render", {VANTOREL_RENDER_EXE, "../crash/lake.LPr", "--data", "cont", "--quiet"});
    ASSERT_TRUE(render.Started());
    ASSERT_EQ(render.Wait(std::chrono::seconds(600)), 0);
  }
  EXPECT_TRUE(test::ReadBytes(dir.file("render/cont.TMP1")) == ref1);
  EXPECT_TRUE(test::ReadBytes(dir.file("render/cont.TMP2")) == ref2);
}

}  // namespace
}  // namespace vantorel

#endif
