// The multi-process renderer run through mpirun with 1, 2 and 3 processes (more processes than
// cores are allowed): its files must be the one-process renderer's, byte for byte.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "app/ParameterFile.h"
#include "support/TestSupport.h"

namespace vantorel {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

using Result = test::ProgramResult;

// Runs `command` in `dir`; `whileRunning` gets the child's id.
Result RunIn(const TempDir& dir, const std::vector<std::string>& command,
             const std::function<void(pid_t)>& whileRunning = {}) {
  return test::RunProgram(
      dir.path(), command,
      [] {
        // Open MPI: root may start processes, and more of them than there are cores.
        setenv("OMPI_ALLOW_RUN_AS_ROOT", "1", 1);
        setenv("OMPI_ALLOW_RUN_AS_ROOT_CONFIRM", "1", 1);
        setenv("OMPI_MCA_rmaps_base_oversubscribe", "1", 1);
      },
      whileRunning);
}

Result One(const TempDir& dir, std::vector<std::string> args) {
  args.insert(args.begin(), VANTOREL_RENDER_EXE);
  return RunIn(dir, args);
}

Result Mpi(const TempDir& dir, int processes, std::vector<std::string> args,
           const std::function<void(pid_t)>& whileRunning = {}) {
  args.insert(args.begin(),
              {VANTOREL_MPIEXEC, "-n", std::to_string(processes), VANTOREL_RENDER_MPI_EXE, "--threads", "1"});
  return RunIn(dir, args, whileRunning);
}

std::vector<std::string> Files(const TempDir& dir) { return test::FileNames(dir); }

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

// Fixed formula 2 has chaotic orbits, whose values show any difference in how they were
// computed; 41 x 29 pixels give each of three processes several bands.
TCalcParams SmallBlock() {
  TCalcParams p = DefaultCalcParams();
  p.FixedFormula = 1;
  p.PictureWidth = 41;
  p.PictureHeight = 29;
  return p;
}
constexpr int64_t kRecords = 41 * 29;

class MpiRenderer : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir = new TempDir;
    SaveParameterFile(dir->file("s.Par"), SmallBlock());
    for (const char* type : {"bmp", "jpg", "png"})
      ASSERT_EQ(One(*dir, {"s.Par", "-o", std::string("full.") + type, "--project", "full.LPr", "--data", "full", "-q"})
                    .status,
                0);
    ASSERT_EQ(
        One(*dir, {"full.LPr", "--more", "--project", "more.LPr", "--data", "more", "-o", "more.bmp", "-q"}).status, 0);
  }
  static void TearDownTestSuite() { delete dir; }
  static std::vector<uint8_t> Bytes(const std::string& name) { return ReadBytes(dir->file(name)); }

  // A project stopped at record `at` in `state`: the records before it from `done`, the others
  // from `before`.
  static void WriteInterrupted(const std::string& before, const std::string& done, int64_t at, uint8_t state) {
    test::WriteInterruptedProject(dir->file(before), dir->file(done), kRecords, at, state, dir->file("cut.LPr"));
  }

  static inline TempDir* dir = nullptr;
};

TEST_F(MpiRenderer, EveryProcessCountWritesTheOneProcessFiles) {
  for (int n : {1, 2, 3})
    for (const std::string type : {"bmp", "jpg", "png"}) {
      SCOPED_TRACE(std::to_string(n) + " processes, " + type);
      const Result r = Mpi(*dir, n, {"s.Par", "-o", "out." + type, "--project", "out.LPr", "--data", "out", "-q"});
      ASSERT_EQ(r.status, 0) << r.err;
      for (const std::string& ext :
           {"." + type, std::string(".LPr"), std::string(".TMP0"), std::string(".TMP1"), std::string(".TMP2")})
        EXPECT_EQ(Bytes("out" + ext), Bytes("full" + ext)) << ext;
    }
  // Nothing of the run is left behind: no data directory, no checkpoint.
  for (const std::string& name : Files(*dir)) EXPECT_EQ(name.find("vantorel"), std::string::npos);
}

TEST_F(MpiRenderer, SupersampledPicturesAreTheOneProcessBytes) {
  for (const std::string type : {"bmp", "png"})
    ASSERT_EQ(One(*dir, {"full.LPr", "--supersample", "3", "-o", "ss-one." + type, "-q"}).status, 0);
  for (int n : {1, 2, 3})
    for (const std::string type : {"bmp", "png"}) {
      SCOPED_TRACE(std::to_string(n) + " processes, " + type);
      const Result r = Mpi(*dir, n, {"full.LPr", "--supersample", "3", "-o", "ss." + type, "-q"});
      ASSERT_EQ(r.status, 0) << r.err;
      EXPECT_EQ(Bytes("ss." + type), Bytes("ss-one." + type));
    }
  // No checkpoint is left, and the data directory is gone.
  for (const auto& e : std::filesystem::directory_iterator(dir->path())) {
    EXPECT_EQ(e.path().string().find("checkpoint"), std::string::npos) << e.path();
    EXPECT_EQ(e.path().filename().string().find(".vantorel-render"), std::string::npos) << e.path();
  }
}

TEST_F(MpiRenderer, InterruptedAndDerivingRunsEndLikeOneProcess) {
  struct Case {
    const char* done;
    int64_t at;
    uint8_t state;
    const char* args;
    const char* like;
  };
  // Paused in the middle of row 9 and right behind the end of row 4; deriving paused in row 11;
  // a finished project deriving more from the start.
  const Case cases[] = {{"full.LPr", 9 * 41 + 13, StatePaused, "", "full"},
                        {"full.LPr", 5 * 41, StatePaused, "", "full"},
                        {"more.LPr", 11 * 41 + 20, StateDerivingPaused, "", "more"},
                        {"full.LPr", kRecords, StateFinished, "--more", "more"}};
  for (int n : {2, 3})
    for (const Case& c : cases) {
      SCOPED_TRACE(std::to_string(n) + " processes, record " + std::to_string(c.at));
      WriteInterrupted("full.LPr", c.done, c.at, c.state);
      std::vector<std::string> args{"cut.LPr", "--data", "cont", "-o", "cont.bmp", "--project", "cont.LPr", "-q"};
      if (*c.args) args.push_back(c.args);
      const Result r = Mpi(*dir, n, args);
      ASSERT_EQ(r.status, 0) << r.err;
      for (const std::string ext : {".TMP1", ".TMP2", ".bmp", ".LPr"})
        EXPECT_EQ(Bytes("cont" + ext), Bytes(std::string(c.like) + ext)) << ext;
    }
}

TEST(MpiRendererFilms, EveryProcessCountWritesTheOneProcessFrames) {
  TempDir dir;
  std::ofstream(dir.file("film.anim")) << "size 41x29\nframes 7\nkey 0 fixed=2 iterations=60\n"
                                          "key 3 w=0,5 region-width=1 region-height=0,75\nkey 6 sequence=AABB\n";
  ASSERT_EQ(One(dir, {"--animate", "film.anim", "-o", "one/f_%d.png", "-q"}).status, 0);
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
      ASSERT_EQ(One(dir, {"--animate", "film.anim", "--frames", "0-2", "-o", folder + "/f_%d.png", "-q"}).status, 0);
    }
    const Result r = Mpi(dir, n, {"--animate", "film.anim", "-o", folder + "/f_%d.png"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.find("kept frames 0-2") != std::string::npos, resume) << r.err;
    EXPECT_EQ(frames(folder), frames("one"));
  }
}

// A run long enough to be stopped in the middle: 120 x 90 pixels of the logistic map.
const std::vector<std::string> kLongRun{"--size", "120x90",   "--iterations", "4000",
                                        "-o",     "long.png", "--project",    "long.LPr"};

TEST(MpiRendererFailures, AKilledProcessLeavesACheckpointThatContinuesOnOneMachineOrACluster) {
  TempDir dir;
  std::vector<std::string> args = kLongRun;
  args.insert(args.end(), {"--checkpoint-every", "0"});
  const std::string checkpoint = dir.file("long.checkpoint.LPr");
  const Result r = Mpi(dir, 3, args, [&](pid_t mpirun) {
    ASSERT_TRUE(WaitUntil([&] { return std::filesystem::exists(checkpoint); }));
    pid_t rank1 = 0;
    ASSERT_TRUE(WaitUntil([&] { return (rank1 = RankProcess(mpirun, 1)) > 0; }));
    kill(rank1, SIGKILL);
  });
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.err.find("stopped by a signal"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("'long.checkpoint.LPr' holds the pixels before"), std::string::npos) << r.err;
  EXPECT_EQ(Files(dir), std::vector<std::string>{"long.checkpoint.LPr"});

  // The one-process run of the whole picture, for comparison.
  TempDir whole;
  ASSERT_EQ(One(whole, kLongRun).status, 0);
  const auto full = ReadBytes(whole.file("long.LPr"));
  const DecodedBlock fullHead = DecodeParameterBlock(full.data(), full.size());
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
  EXPECT_EQ(fullHead.Params.State, StateFinished);

  const Result c = One(dir, {"long.checkpoint.LPr", "-o", "long.png", "--project", "long.LPr"});
  ASSERT_EQ(c.status, 0) << c.err;
  EXPECT_NE(c.err.find("continuing the calculation"), std::string::npos) << c.err;
  EXPECT_EQ(ReadBytes(dir.file("long.LPr")), full);
  EXPECT_EQ(ReadBytes(dir.file("long.png")), ReadBytes(whole.file("long.png")));

  // On a cluster too, checkpointing into the very file it continues: which is an input, and
  // stays when the run has finished.
  const Result m = Mpi(dir, 2,
                       {"long.checkpoint.LPr", "-o", "again.png", "--project", "again.LPr", "--checkpoint",
                        "long.checkpoint.LPr", "--checkpoint-every", "0"});
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
  EXPECT_TRUE(Files(dir).empty());
}

TEST(MpiRendererFailures, CtrlCStopsEveryProcessAndWritesNothing) {
  TempDir dir;
  std::chrono::steady_clock::time_point stopped;
  const Result r = Mpi(dir, 3, kLongRun, [&](pid_t mpirun) {
    // The data directory exists once the computation is about to start.
    EXPECT_TRUE(WaitUntil([&] { return !Files(dir).empty(); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    kill(mpirun, SIGINT);
    stopped = std::chrono::steady_clock::now();
  });
  EXPECT_LT(std::chrono::steady_clock::now() - stopped, std::chrono::seconds(20));
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.err.find("nothing new was written"), std::string::npos) << r.err;
  EXPECT_TRUE(Files(dir).empty());  // no output, and the run's data are removed
}

}  // namespace
}  // namespace vantorel
