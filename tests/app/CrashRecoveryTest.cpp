// A calculation cut off while it computes leaves its temporary files; recovering them, loading
// the project and going on with the engine gives the same data as a run that was never cut.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "app/ParameterFile.h"
#include "app/ProjectFile.h"
#include "app/Recovery.h"
#include "core/EngineHarness.h"

namespace vantorel {
namespace {

using test::ReadBytes;

// Runs the engine over the picture from the block's progress position and terminates it from
// outside once the data files hold stopAt records, as a crash would end it.
void ComputeUntil(TCalcParams& p, PixelDataFile& tmp1, PixelDataFile& tmp2, int64_t stopAt) {
  TPicture picture;
  picture.Resize(p.PictureWidth, p.PictureHeight);
  DirectDispatcher direct;
  TRechenThread thread(direct, 2);
  thread.SetFiles(tmp1, tmp2);
  thread.SetErrorHandler([](const std::string& message) { ADD_FAILURE() << message; });
  thread.Setup(p, picture);
  thread.Resume();
  while (!thread.Ended() && tmp1.RecordCount() < stopAt) std::this_thread::sleep_for(std::chrono::microseconds(200));
  thread.Terminate();
  thread.WaitFor();
}

TEST(CrashRecovery, RecoveredProjectContinuesToTheDataOfAnUncutRun) {
  test::EngineProject uncut(120, 90, 1, 120, 1200);
  const test::TempDir& dir = uncut.dir;
  std::filesystem::create_directories(dir.path() / "out");
  const TCalcParams p = uncut.params;
  const int64_t pixels = int64_t(p.PictureWidth) * p.PictureHeight;
  ASSERT_TRUE(uncut.Run(2));
  ASSERT_EQ(uncut.tmp1.RecordCount(), pixels);

  // The window writes TMP0 when the picture is initialised, then the engine fills the data
  // files batch by batch until the process dies; a write cut short leaves part of a record.
  const std::string base = dir.file("new project 1");
  TCalcParams crashed = p;
  WriteTempParameters(base + ".TMP0", crashed);
  {
    PixelDataFile b1, b2;
    b1.Create(base + ".TMP1"), b2.Create(base + ".TMP2");
    ComputeUntil(crashed, b1, b2, 3000);
    const double partial = 1.0;
    b1.WriteAt(b1.RecordCount(), &partial, 1);
  }
  std::filesystem::resize_file(base + ".TMP1", std::filesystem::file_size(base + ".TMP1") - 5);
  const int64_t kept = int64_t(std::filesystem::file_size(base + ".TMP2") / 8);
  ASSERT_GE(kept, 3000);
  ASSERT_LT(kept, pixels);

  const RecoveryResult r = RecoverProject(base + ".TMP0", dir.file("out"));
  EXPECT_EQ(r.Records, kept);  // every record handed over before the cut, none lost

  PixelDataFile c1, c2;
  c1.Create(dir.file("out/w.TMP1")), c2.Create(dir.file("out/w.TMP2"));
  TCalcParams loaded = LoadProject(r.Target, c1, c2);
  EXPECT_EQ(loaded.State, StateInitialised);
  EXPECT_EQ(int64_t(loaded.ProgressRow) * loaded.PictureWidth + loaded.ProgressColumn, kept);
  ASSERT_TRUE(test::RunEngine(loaded, c1, c2, 2));
  EXPECT_EQ(ReadBytes(dir.file("out/w.TMP1")), ReadBytes(dir.file("p.TMP1")));
  EXPECT_EQ(ReadBytes(dir.file("out/w.TMP2")), ReadBytes(dir.file("p.TMP2")));
}

}  // namespace
}  // namespace vantorel
