// The multi-process renderer run through mpirun with 1, 2 and 3 processes (more processes than
// cores are allowed): its files must be the one-process renderer's, byte for byte.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "cli/RenderProgram.h"

namespace vantorel {
namespace {

using namespace test;
using Result = ProgramResult;

// Runs `command` in `dir`; `whileRunning` gets the child's id.
Result RunIn(const TempDir& dir, const std::vector<std::string>& command,
             const std::function<void(pid_t)>& whileRunning = {}) {
  return RunProgram(
      dir.path(), command,
      [] {
        // Open MPI: root may start processes, and more of them than there are cores.
        setenv("OMPI_ALLOW_RUN_AS_ROOT", "1", 1);
        setenv("OMPI_ALLOW_RUN_AS_ROOT_CONFIRM", "1", 1);
        setenv("OMPI_MCA_rmaps_base_oversubscribe", "1", 1);
      },
      whileRunning);
}

Result Mpi(const TempDir& dir, int processes, const std::string& args,
           const std::function<void(pid_t)>& whileRunning = {}) {
  std::vector<std::string> argv = Words(args);
  argv.insert(argv.begin(),
              {VANTOREL_MPIEXEC, "-n", std::to_string(processes), VANTOREL_RENDER_MPI_EXE, "--threads", "1"});
  return RunIn(dir, argv, whileRunning);
}

// The child of mpirun `parent` that is rank `rank` (0 when there is none yet).
pid_t RankProcess(pid_t parent, int rank) {
  for (const auto& e : std::filesystem::directory_iterator("/proc")) {
    const std::string name = e.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::ifstream stat(e.path() / "stat");
    std::string pid, comm, state;
    pid_t ppid = 0;
    if (!(stat >> pid >> comm >> state >> ppid) || ppid != parent) continue;
    std::ifstream environ(e.path() / "environ", std::ios::binary);
    std::string var;
    while (std::getline(environ, var, '\0'))
      if (var == "OMPI_COMM_WORLD_RANK=" + std::to_string(rank)) return std::stoi(name);
  }
  return 0;
}

template <class Pred>
bool WaitUntil(Pred pred, std::chrono::seconds limit = std::chrono::seconds(120)) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!pred()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

// 41 x 29 pixels give each of three processes several bands.
constexpr int64_t kRecords = 41 * 29;

class MpiRenderer : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir = new TempDir;
    RenderFinishedRuns(*dir, SmallBlock(41, 29), {"bmp", "jpg", "png"});
  }
  static void TearDownTestSuite() { delete dir; }
  static std::vector<uint8_t> Bytes(const std::string& name) { return ReadBytes(dir->file(name)); }
  static inline TempDir* dir = nullptr;
};

// Plain pictures with their project and data, and supersampled pictures.
TEST_F(MpiRenderer, EveryProcessCountWritesTheOneProcessFiles) {
  for (const std::string type : {"bmp", "png"})
    ASSERT_EQ(Render(*dir, Words("full.LPr --supersample 3 -q -o full-ss." + type)).status, 0);
  for (int n : {1, 2, 3})
    for (const std::string type : {"bmp", "jpg", "png"}) {
      SCOPED_TRACE(std::to_string(n) + " processes, " + type);
      const Result r = Mpi(*dir, n, "s.Par --project out.LPr --data out -q -o out." + type);
      ASSERT_EQ(r.status, 0) << r.err;
      for (const std::string& ext :
           {"." + type, std::string(".LPr"), std::string(".TMP0"), std::string(".TMP1"), std::string(".TMP2")})
        EXPECT_EQ(Bytes("out" + ext), Bytes("full" + ext)) << ext;
      if (type == "jpg") continue;
      ASSERT_EQ(Mpi(*dir, n, "full.LPr --supersample 3 -q -o out-ss." + type).status, 0);
      EXPECT_EQ(Bytes("out-ss." + type), Bytes("full-ss." + type));
    }
  // Nothing of the runs is left behind: no data directory, no checkpoint.
  for (const std::string& name : FileNames(*dir)) {
    EXPECT_EQ(name.find("vantorel"), std::string::npos) << name;
    EXPECT_EQ(name.find("checkpoint"), std::string::npos) << name;
  }
}

TEST_F(MpiRenderer, InterruptedAndDerivingRunsEndLikeOneProcess) {
  for (int n : {2, 3}) {
    SCOPED_TRACE(std::to_string(n) + " processes");
    ExpectInterruptedRunsEndLikeWholeOnes(*dir, 41, kRecords,
                                          [n](const std::string& args) { return Mpi(*dir, n, args); });
  }
}

TEST(MpiRendererFilms, EveryProcessCountWritesTheOneProcessFrames) {
  TempDir dir;
  WriteText(dir.file("film.anim"),
            "size 41x29\nframes 7\nkey 0 fixed=2 iterations=60\n"
            "key 3 w=0,5 region-width=1 region-height=0,75\nkey 6 sequence=AABB\n");
  ASSERT_EQ(Render(dir, Words("--animate film.anim -o one/f_%d.png -q")).status, 0);
  const auto frames = [&](const std::string& folder) {
    std::vector<std::vector<uint8_t>> bytes;
    for (int n = 0; n < 7; ++n) bytes.push_back(ReadBytes(dir.file(folder + "/f_" + std::to_string(n) + ".png")));
    return bytes;
  };
  // With 1, 2 and 3 processes from nothing; with 3 continuing a film of which frames 0-2 are done.
  for (const auto& [n, resume] : {std::pair{1, false}, {2, false}, {3, false}, {3, true}}) {
    SCOPED_TRACE(std::to_string(n) + (resume ? " processes, resuming" : " processes"));
    const std::string folder = "mpi" + std::to_string(n) + (resume ? "r" : "");
    if (resume) {
      ASSERT_EQ(Render(dir, Words("--animate film.anim --frames 0-2 -q -o " + folder + "/f_%d.png")).status, 0);
    }
    const Result r = Mpi(dir, n, "--animate film.anim -o " + folder + "/f_%d.png");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.find("kept frames 0-2") != std::string::npos, resume) << r.err;
    EXPECT_EQ(frames(folder), frames("one"));
  }
}

// A run long enough to be stopped in the middle: 120 x 90 pixels of the logistic map.
const std::string kLongRun = "--size 120x90 --iterations 4000 -o long.png --project long.LPr";

TEST(MpiRendererFailures, AKilledProcessLeavesACheckpointThatContinuesOnOneMachineOrACluster) {
  TempDir dir;
  const std::string checkpoint = dir.file("long.checkpoint.LPr");
  const Result r = Mpi(dir, 3, kLongRun + " --checkpoint-every 0", [&](pid_t mpirun) {
    ASSERT_TRUE(WaitUntil([&] { return std::filesystem::exists(checkpoint); }));
    pid_t rank1 = 0;
    ASSERT_TRUE(WaitUntil([&] { return (rank1 = RankProcess(mpirun, 1)) > 0; }));
    kill(rank1, SIGKILL);
  });
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.err.find("stopped by a signal"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("'long.checkpoint.LPr' holds the pixels before"), std::string::npos) << r.err;
  EXPECT_EQ(FileNames(dir), std::vector<std::string>{"long.checkpoint.LPr"});

  // The one-process run of the whole picture, for comparison.
  TempDir whole;
  ASSERT_EQ(Render(whole, Words(kLongRun)).status, 0);
  const auto full = ReadBytes(whole.file("long.LPr"));
  constexpr int64_t records = 120 * 90;

  // The checkpoint's progress is a true prefix: every record before it is the finished one.
  const auto cut = ReadBytes(checkpoint);
  const DecodedBlock head = DecodeParameterBlock(cut.data(), cut.size());
  const int64_t at = int64_t(head.Params.ProgressRow) * 120 + head.Params.ProgressColumn;
  EXPECT_EQ(head.RecordCount, at);
  EXPECT_GT(at, 0);
  EXPECT_LT(at, records);
  EXPECT_EQ(head.Params.State, StatePaused);
  for (int64_t file = 0; file < 2; ++file)
    EXPECT_TRUE(std::equal(cut.end() - 8 * at * (2 - file), cut.end() - 8 * at * (1 - file),
                           full.end() - 8 * records * (2 - file)))
        << "data file " << file + 1;

  const Result c = Render(dir, Words("long.checkpoint.LPr -o long.png --project long.LPr"));
  ASSERT_EQ(c.status, 0) << c.err;
  EXPECT_NE(c.err.find("continuing the calculation"), std::string::npos) << c.err;
  EXPECT_EQ(ReadBytes(dir.file("long.LPr")), full);
  EXPECT_EQ(ReadBytes(dir.file("long.png")), ReadBytes(whole.file("long.png")));

  // On a cluster too, checkpointing into the very file it continues: which is an input, and
  // stays when the run has finished.
  const Result m = Mpi(dir, 2,
                       "long.checkpoint.LPr -o again.png --project again.LPr --checkpoint-every 0"
                       " --checkpoint long.checkpoint.LPr");
  ASSERT_EQ(m.status, 0) << m.err;
  EXPECT_EQ(ReadBytes(dir.file("again.LPr")), full);
  EXPECT_EQ(ReadBytes(dir.file("again.png")), ReadBytes(whole.file("long.png")));
  EXPECT_TRUE(std::filesystem::exists(checkpoint));
}

TEST(MpiRendererFailures, AProcessThatFailsIsNamedAndNothingIsWritten) {
  // Process 1 may write 1 kB: its first band lies beyond. (Messages go over TCP on the loopback
  // interface here, so that MPI itself needs no shared-memory file.)
  TempDir dir;
  setenv("OMPI_MCA_btl", "self,tcp", 1);
  setenv("OMPI_MCA_btl_tcp_if_include", "lo", 1);
  const Result r =
      RunIn(dir, {VANTOREL_MPIEXEC, "-n", "2", "/bin/sh", "-c",
                  "if [ \"$OMPI_COMM_WORLD_RANK\" = 1 ]; then ulimit -f 2; fi; exec \"$0\" \"$@\"",
                  VANTOREL_RENDER_MPI_EXE, "--threads", "1", "--size", "120x90", "--iterations", "120", "-o", "f.png"});
  unsetenv("OMPI_MCA_btl");
  unsetenv("OMPI_MCA_btl_tcp_if_include");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("vantorel-render-mpi: the run failed: process 1: Cannot write"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("nothing new was written"), std::string::npos) << r.err;
  EXPECT_TRUE(FileNames(dir).empty());
}

TEST(MpiRendererFailures, CtrlCStopsEveryProcessAndWritesNothing) {
  TempDir dir;
  std::chrono::steady_clock::time_point stopped;
  const Result r = Mpi(dir, 3, kLongRun, [&](pid_t mpirun) {
    // The data directory exists once the computation is about to start.
    EXPECT_TRUE(WaitUntil([&] { return !FileNames(dir).empty(); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    kill(mpirun, SIGINT);
    stopped = std::chrono::steady_clock::now();
  });
  EXPECT_LT(std::chrono::steady_clock::now() - stopped, std::chrono::seconds(20));
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.err.find("nothing new was written"), std::string::npos) << r.err;
  EXPECT_TRUE(FileNames(dir).empty());  // no output, and the run's data are removed
}

}  // namespace
}  // namespace vantorel
