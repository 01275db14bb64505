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

// True while the program has not ended; it is left unreaped for RunProgram to collect.
bool Running(pid_t pid) {
  siginfo_t info{};
  return waitid(P_PID, id_t(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == 0;
}

int64_t Size(const fs::path& file) {
  std::error_code ec;
  const auto size = fs::file_size(file, ec);
  return ec ? -1 : int64_t(size);
}

// Polls until `done` holds or the program ends or time runs out; true when `done` held.
bool WaitUntil(pid_t program, const std::function<bool()>& done, std::chrono::seconds limit) {
  for (const auto end = Clock::now() + limit; Clock::now() < end; std::this_thread::sleep_for(std::chrono::milliseconds(1))) {
    if (done()) return true;
    if (!Running(program)) return done();
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
  bool computed = false;
  test::RunProgram(crash, {VANTOREL_EXE, "--calculate", "../lake.Par"}, {}, [&](pid_t program) {
    computed = WaitUntil(program, [&] { return Size(crash / "lake.TMP2") >= bytes / 10; }, std::chrono::seconds(300));
    kill(program, SIGKILL);  // as a crash or a power cut would end it
  });
  ASSERT_TRUE(computed) << "the program did not compute (or ended early)";
  const int64_t atKill = std::min(Size(crash / "lake.TMP1"), Size(crash / "lake.TMP2"));
  ASSERT_LT(atKill, bytes) << "the run finished before it could be killed";
  // The uninterrupted run, by the renderer from the block the program computed (its latest
  // parameter block, as the program took it over from the controls).
  fs::copy_file(crash / "lake.TMP0", dir.path() / "uncut" / "block.Par");
  ASSERT_EQ(test::RunProgram(dir.path() / "uncut", {VANTOREL_RENDER_EXE, "block.Par", "--data", "ref", "--quiet"}).status, 0);
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
  test::RunProgram(window, {VANTOREL_EXE, "--calculate", "../crash/lake.LPr"}, {}, [&](pid_t program) {
    EXPECT_TRUE(WaitUntil(program, [&] { return Size(window / "lake.TMP1") == bytes && Size(window / "lake.TMP2") == bytes; },
                          std::chrono::seconds(600)));
    kill(program, SIGKILL);
  });
  EXPECT_TRUE(test::ReadBytes((window / "lake.TMP1").string()) == ref1);
  EXPECT_TRUE(test::ReadBytes((window / "lake.TMP2").string()) == ref2);

  // ... and in the renderer.
  ASSERT_EQ(test::RunProgram(dir.path() / "render", {VANTOREL_RENDER_EXE, "../crash/lake.LPr", "--data", "cont", "--quiet"}).status, 0);
  EXPECT_TRUE(test::ReadBytes(dir.file("render/cont.TMP1")) == ref1);
  EXPECT_TRUE(test::ReadBytes(dir.file("render/cont.TMP2")) == ref2);
}

}  // namespace
}  // namespace vantorel

#endif
