#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <iostream>
#include <optional>
#include <thread>

#include "app/ParameterFile.h"
#include "app/PictureFile.h"
#include "core/Version.h"
#include "cli/RenderProgram.h"

namespace vantorel {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

using Result = test::ProgramResult;

using test::Render;

std::vector<std::string> Files(const TempDir& dir) { return test::FileNames(dir); }

// A small picture of fixed formula 2 that renders quickly.
TCalcParams SmallBlock() {
  TCalcParams p = DefaultCalcParams();
  p.FixedFormula = 1;
  p.PictureWidth = 37;
  p.PictureHeight = 23;
  return p;
}
constexpr int64_t kRecords = 37 * 23;

TEST(Renderer, ExitStatusSaysWhatHappenedAndTheOutputIsKept) {
  TempDir dir;
  WriteBytes(dir.file("out.bmp"), {'o', 'l', 'd'});
  WriteBytes(dir.file("count.LPr"), EncodeParameterBlock(SmallBlock(), BlockForm::Project, 99999));
  TCalcParams p = SmallBlock();
  p.SetColors({});
  SaveParameterFile(dir.file("empty.Par"), p);
  p = SmallBlock();
  p.PictureWidth = 3;
  SaveParameterFile(dir.file("tiny.Par"), p);
  // Counts a file can carry but no calculation can use.
  p = SmallBlock();
  p.Iterations = INT32_MAX;
  WriteBytes(dir.file("huge.Par"), EncodeParameterBlock(p, BlockForm::Parameters));
  p = SmallBlock();
  p.State = StateFinished, p.IterationsDone = INT32_MAX - 100;
  const int64_t pixels = int64_t(p.PictureWidth) * p.PictureHeight;
  std::vector<uint8_t> done = EncodeParameterBlock(p, BlockForm::Project, pixels);
  done.resize(done.size() + 16 * static_cast<size_t>(pixels), 0);  // finished: data for every pixel
  WriteBytes(dir.file("done.LPr"), done);
  const std::vector<std::string> files = Files(dir);
  // The text is looked for on stdout for status 0 and formula checks, else on stderr.
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string text;
  };
  const Case cases[] = {
      {{"--help"}, 0, "--check-formula"},
      {{"--check-formula", "X*(1-X)"}, 0, ""},
      {{"--check-formula", "X*("}, 1, ""},
      {{"--check-formula", "X*AB+C"}, 1, "wrong variables: \"C\""},
      {{"--bogus"}, 2, "unknown option --bogus"},
      {{"--size", "5x5"}, 2, "picture size"},
      {{"--width", "100001"}, 2, "picture size"},
      {{"--iterations", "0"}, 2, "--iterations"},
      {{"--fixed", "7"}, 2, "--fixed"},
      {{"--iterations", "100000001"}, 2, "1..100000000"},
      {{"--calm-down", "2147483647"}, 2, "0..100000000"},
      {{"huge.Par", "-o", "out.bmp"}, 1, "iteration count 2147483647 is larger than 100000008"},
      {{"done.LPr", "--more", "-o", "out.bmp"},
       1,
       "Cannot derive more iterations: the stored data "
       "rest on 2147483547 iterations, and 156 more"},
      {{"--angle", "abc"}, 2, "not a number"},
      {{"-o", "x.gif"}, 2, ".bmp, .jpg"},
      {{"a.Par", "b.Par"}, 2, "only one input"},
      {{"--more", "--size", "20x20"}, 2, "--more"},
      {{"--threads", "0"}, 2, "--threads"},
      {{"--sequence", ""}, 2, "--sequence"},
      {{"-o"}, 2, "needs a value"},
      {{"count.LPr", "-o", "out.bmp"}, 1, "Dateifehler!"},
      {{"missing.LPr", "-o", "out.bmp"}, 1, "No such file"},
      {{"empty.Par", "-o", "out.bmp"}, 1, "colour list is empty"},
      {{"tiny.Par", "-o", "out.bmp"}, 1, "picture size"},
      {{"--fixed", "2", "-o", "no/such/dir/out.bmp"}, 1, "No such file"},
      {{"--version"}, 0, std::string("vantorel-render ") + kVersion + "\n"},
      {{"--thumbnail", "8", "-o", "t.png"}, 2, "--thumbnail must lie in 16..1024"},
      {{"--thumbnail", "64"}, 2, "--thumbnail needs -o"},
      {{"--thumbnail", "64", "-o", "t", "--project", "t.LPr"}, 2, "cannot be combined"},
      {{"--thumbnail", "64", "-o", "t", "--iterations", "100"}, 2, "cannot be combined"},
      {{"--time-limit", "0"}, 2, "--time-limit must be positive"},
      {{"count.LPr", "--thumbnail", "64", "-o", "t"}, 1, "Dateifehler!"},
      {{"--fixed", "2", "--size", "2000x2000", "--iterations", "100000", "--time-limit", "0,3", "-o", "big.bmp"},
       1,
       "the time limit of 0,3 s was reached; nothing was written"},
      {{"--supersample", "9"}, 2, "1..8"},
      {{"--supersample", "0"}, 2, "1..8"},
      {{"--supersample", "2", "--project", "x.LPr"}, 2, "not a project"},
      {{"--supersample", "2", "--data", "x"}, 2, "not a project"},
      {{"--supersample", "2", "--more"}, 2, "--more"},
      {{"--supersample", "2", "--auto-colours"}, 2, "stored exponents"},
      {{"--supersample", "2", "--thumbnail", "64", "-o", "t.png"}, 2, "--thumbnail"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0]);
    const Result r = Render(dir, c.args);
    EXPECT_EQ(r.status, c.status) << r.err;
    const bool onStdout = c.status == 0 || c.args[0] == "--check-formula";
    EXPECT_NE((onStdout ? r.out : r.err).find(c.text), std::string::npos) << r.out << r.err;
    EXPECT_TRUE(!onStdout || !r.out.empty());
  }
  EXPECT_EQ(ReadBytes(dir.file("out.bmp")), (std::vector<unsigned char>{'o', 'l', 'd'}));
  EXPECT_EQ(Files(dir), files);
}

TEST(Renderer, LogisticMapAtFourHasExponentLnTwo) {
  TempDir dir;
  // Fixed formula 1 and the same map typed as a user formula.
  for (const auto& [option, map] : {std::pair<std::string, std::string>{"--fixed", "1"}, {"--formula", "AB*X*(1-X)"}}) {
    const Result r = Render(
        dir,
        {option,           map,     "--sequence",      "AB",   "--center-x", "3,9999999", "--center-y", "3.9999999",
         "--region-width", "1e-9",  "--region-height", "1e-9", "--size",     "10x10",     "--start-x",  "0.3",
         "--iterations",   "20000", "--data",          "log",  "-q"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto bytes = ReadBytes(dir.file("log.TMP1"));
    std::vector<double> exponents(100);
    ASSERT_EQ(bytes.size(), 8 * exponents.size());
    std::memcpy(exponents.data(), bytes.data(), bytes.size());
    for (double x : exponents) EXPECT_NEAR(x, std::log(2.0), 0.05) << map;
  }
}

TEST(Renderer, WritesTheFilesAskedForAndNothingElse) {
  TempDir dir;
  SaveParameterFile(dir.file("small.Par"), SmallBlock());
  Result r = Render(dir, {"small.Par", "--threads", "2"});  // a bitmap named after the input
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("small.bmp"), std::string::npos);
  const TPicture pic = LoadBitmap(dir.file("small.bmp"));
  EXPECT_EQ(pic.Width, 37);
  EXPECT_EQ(pic.Height, 23);
  r = Render(dir, {"--fixed", "2", "--size", "40x30", "-o", "p.jpg", "--quiet"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(r.err.empty());
  EXPECT_EQ(ReadBytes(dir.file("p.jpg")).at(1), 0xD8);  // JPEG start of image
  // A PNG carries its parameters: rendered from, it gives the same picture again.
  ASSERT_EQ(Render(dir, {"small.Par", "-o", "small.png", "-q"}).status, 0);
  ASSERT_EQ(Render(dir, {"small.png", "-q"}).status, 0);  // writes small.bmp anew
  EXPECT_EQ(LoadPng(dir.file("small.png")).Bits, LoadBitmap(dir.file("small.bmp")).Bits);
  EXPECT_EQ(LoadBitmap(dir.file("small.bmp")).Bits, pic.Bits);
  // Only a project asked for; the iteration counts rounded as the desktop program does.
  ASSERT_EQ(Render(dir, {"--fixed", "2", "--size", "10x10", "--iterations", "144", "--calm-down", "150", "--project",
                         "r.LPr", "-q"})
                .status,
            0);
  const TCalcParams p = LoadParameterFile(dir.file("r.LPr"));
  EXPECT_EQ(p.SequenceLength, 12);
  EXPECT_EQ(p.Iterations, 144);  // a multiple of S = 12 stays
  EXPECT_EQ(p.CalmDownIterations, 156);
  EXPECT_EQ(p.FixedFormula, 1);
  EXPECT_EQ(Files(dir), (std::vector<std::string>{"p.jpg", "r.LPr", "small.Par", "small.bmp", "small.png"}));
}

// --fast reaches the kernels: formula 2's orbits follow the vector library's sines, the default
// user formula's the vector program's (how close the exponents stay is the kernels' test);
// formula 1 has no sine and keeps its bits.
TEST(Renderer, FastMathsChangesTheTrigonometricAndTheUserFormulas) {
  TempDir dir;
  for (const std::string formula : {"1", "2", "user"}) {
    std::vector<std::string> args{"-q", "--size", "20x10"};
    if (formula != "user") args.insert(args.end(), {"--fixed", formula});
    std::vector<std::string> exact = args, fast = args;
    exact.insert(exact.end(), {"--data", "exact" + formula});
    fast.insert(fast.end(), {"--data", "fast" + formula, "--fast"});
    ASSERT_EQ(Render(dir, exact).status, 0);
    ASSERT_EQ(Render(dir, fast).status, 0);
  }
  EXPECT_EQ(ReadBytes(dir.file("exact1.TMP2")), ReadBytes(dir.file("fast1.TMP2")));
  for (const char* formula : {"2", "user"}) {
    EXPECT_NE(ReadBytes(dir.file(std::string("exact") + formula + ".TMP2")),
              ReadBytes(dir.file(std::string("fast") + formula + ".TMP2")));
    EXPECT_EQ(ReadBytes(dir.file(std::string("fast") + formula + ".TMP2")).size(), 200u * 8);
  }
}

// One finished run of SmallBlock (full.*) and one with more iterations on top (more.*), shared
// by the tests that continue them.
class RendererContinuation : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir = new TempDir;
    SaveParameterFile(dir->file("s.Par"), SmallBlock());
    ASSERT_EQ(Render(*dir, {"s.Par", "--project", "full.LPr", "--data", "full", "-o", "full.bmp", "-q"}).status, 0);
    ASSERT_EQ(
        Render(*dir, {"full.LPr", "--more", "--project", "more.LPr", "--data", "more", "-o", "more.bmp", "-q"}).status,
        0);
  }
  static void TearDownTestSuite() { delete dir; }

  static std::vector<uint8_t> Bytes(const std::string& name) { return ReadBytes(dir->file(name)); }
  static DecodedBlock Head(const std::string& name) {
    const auto b = Bytes(name);
    return DecodeParameterBlock(b.data(), b.size());
  }

  // A project stopped at record `at` in `state`: the records before it from `done`, the others
  // from `before`.
  static void WriteInterrupted(const std::string& before, const std::string& done, int64_t at, uint8_t state) {
    test::WriteInterruptedProject(dir->file(before), dir->file(done), kRecords, at, state, dir->file("cut.LPr"));
  }

  static inline TempDir* dir = nullptr;
};

TEST_F(RendererContinuation, FinishedRunsStoreTheirIterationsAndOnlyTheyDeriveMore) {
  for (const auto& [name, runs] : {std::pair<std::string, int>{"full.LPr", 1}, {"more.LPr", 2}}) {
    const DecodedBlock d = Head(name);
    EXPECT_EQ(d.RecordCount, kRecords);
    EXPECT_EQ(d.Params.State, StateFinished);
    EXPECT_EQ(d.Params.IterationsDone, runs * SmallBlock().Iterations);
    EXPECT_EQ(d.Params.ProgressColumn + d.Params.ProgressRow, 0);
  }
  EXPECT_NE(Bytes("more.TMP2"), Bytes("full.TMP2"));
  // An unfinished project cannot derive more.
  WriteInterrupted("full.LPr", "full.LPr", 100, StatePaused);
  const Result r = Render(*dir, {"cut.LPr", "--more", "-o", "x.bmp"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("not finished"), std::string::npos);
}

TEST_F(RendererContinuation, InterruptedRunsEndLikeUninterruptedOnes) {
  struct Case {
    const char* done;
    int64_t at;
    uint8_t state;
    const char* like;
  };
  // Paused in the middle of row 9 and right behind the end of row 4; deriving paused in row 11
  // with the records before it derived and the others not yet.
  const Case cases[] = {{"full.LPr", 9 * 37 + 13, StatePaused, "full"},
                        {"full.LPr", 5 * 37, StatePaused, "full"},
                        {"more.LPr", 11 * 37 + 20, StateDerivingPaused, "more"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.at);
    WriteInterrupted("full.LPr", c.done, c.at, c.state);
    const Result r = Render(*dir, {"cut.LPr", "--data", "cont", "-o", "cont.bmp", "--project", "cont.LPr"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.find("continuing") != std::string::npos, c.state == StatePaused) << r.err;
    for (const std::string ext : {".TMP1", ".TMP2", ".bmp", ".LPr"})
      EXPECT_EQ(Bytes("cont" + ext), Bytes(c.like + ext)) << ext;
  }
}

// A finished project whose data end early goes back to a first run at the first missing pixel,
// with exponents that rest on no earlier iterations.
TEST_F(RendererContinuation, AFinishedProjectWhoseDataEndEarlyEndsLikeAFreshRender) {
  const auto full = Bytes("full.LPr");
  const DecodedBlock head = Head("full.LPr");
  ASSERT_EQ(head.Params.IterationsDone, SmallBlock().Iterations);
  const int64_t n = 13 * 37 + 5;
  std::vector<uint8_t> cut = EncodeParameterBlock(head.Params, BlockForm::Project, int32_t(n));
  const size_t data = full.size() - 16 * kRecords;
  for (size_t file = 0; file < 2; ++file) {
    const auto from = full.begin() + static_cast<long>(data + file * 8 * kRecords);
    cut.insert(cut.end(), from, from + 8 * n);
  }
  WriteBytes(dir->file("short.LPr"), cut);
  const Result r = Render(*dir, {"short.LPr", "--data", "cont", "-q"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Bytes("cont.TMP1"), Bytes("full.TMP1"));
  EXPECT_EQ(Bytes("cont.TMP2"), Bytes("full.TMP2"));
}

TEST_F(RendererContinuation, FinishedProjectIsColouredFromItsDataWithoutComputing) {
  // A finished project whose exponents all say "above the list" is black, whatever the formula.
  auto bytes = Bytes("full.LPr");
  const size_t data = bytes.size() - 16 * kRecords;
  const double big = 1e6;
  for (int64_t k = 0; k < kRecords; ++k) std::memcpy(bytes.data() + data + 8 * k, &big, 8);
  WriteBytes(dir->file("black.LPr"), bytes);
  Result r = Render(*dir, {"black.LPr", "-o", "black.bmp"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("coloured from the stored data"), std::string::npos);
  const TPicture pic = LoadBitmap(dir->file("black.bmp"));
  EXPECT_EQ(pic.Bits, decltype(pic.Bits)(pic.Bits.size(), 0));
  // With a record count of 0 the data behind the block are not read: the project is taken as
  // interrupted before its first pixel and computed.
  const DecodedBlock head = Head("black.LPr");
  std::vector<uint8_t> none = EncodeParameterBlock(head.Params, BlockForm::Project, 0);
  none.insert(none.end(), bytes.begin() + static_cast<long>(data), bytes.end());
  WriteBytes(dir->file("none.LPr"), none);
  r = Render(*dir, {"none.LPr", "-o", "computed.bmp"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err.find("coloured from"), std::string::npos) << r.err;
  const TPicture computed = LoadBitmap(dir->file("computed.bmp"));
  EXPECT_LT(std::count(computed.Bits.begin(), computed.Bits.end(), 0xFF), 3 * kRecords);
}

// A small file system of its own for a test, where the system allows mounting one (root).
class SmallFileSystem {
 public:
  explicit SmallFileSystem(const std::string& size) {
    mounted_ =
        std::system(("mount -t tmpfs -o size=" + size + " tmpfs '" + dir.path().string() + "' 2>/dev/null").c_str()) ==
        0;
  }
  ~SmallFileSystem() {
    if (mounted_) std::system(("umount '" + dir.path().string() + "'").c_str());
  }
  bool Mounted() const { return mounted_; }
  TempDir dir;

 private:
  bool mounted_ = false;
};

TEST(RendererFailures, AFailedOutputLeavesEveryOutputAsItWas) {
  // The default picture has 194 x 154 pixels: the calculation's data files take 8 bytes per
  // pixel, the bitmap 3, the project 16, each copy of a data file 8.
  const std::vector<std::string> outputs = {"out.bmp", "out.LPr", "d.TMP0", "d.TMP1", "d.TMP2"};
  const std::vector<std::string> args = {"--fixed", "2", "-o", "out.bmp", "--project", "out.LPr", "--data", "d", "-q"};
  struct Case {
    const char* what;
    rlim_t fileSizeLimit;
    const char* smallDisk;
    const char* error;
  };
  const Case cases[] = {
      {"the calculation's own data", 4096, nullptr, "File too large"},
      {"the project", 10 * 194 * 154, nullptr, "out.LPr': File too large"},
      // The old files and the new TMP0 and TMP1 fit, TMP2 does not.
      {"the last data file", 0, "900k", "d.TMP2': No space left on device"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::optional<SmallFileSystem> disk;
    if (c.smallDisk && !disk.emplace(c.smallDisk).Mounted()) {
      std::cout << "[  SKIPPED ] " << c.what << ": no file system can be mounted here\n";
      continue;
    }
    TempDir plain;
    const TempDir& dir = disk ? disk->dir : plain;
    for (const std::string& name : outputs) WriteBytes(dir.file(name), {'o', 'l', 'd'});
    const Result r = Render(dir, args, c.fileSizeLimit);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(c.error), std::string::npos) << r.err;
    for (const std::string& name : outputs)
      EXPECT_EQ(ReadBytes(dir.file(name)), (std::vector<unsigned char>{'o', 'l', 'd'})) << name;
    auto names = outputs;
    std::sort(names.begin(), names.end());
    EXPECT_EQ(Files(dir), names);
  }
}

TEST(RendererFailures, TooLittleRoomForTheDataIsSaidInUnitsThatShowIt) {
  SmallFileSystem disk("64k");
  if (!disk.Mounted()) GTEST_SKIP() << "no file system can be mounted here";
  TempDir out;
  const Result r = Render(out, {"--fixed", "2", "--size", "100x100"}, 0, disk.dir.path().string());
  EXPECT_EQ(r.status, 1);
  // 100 x 100 pixels of 16 bytes are 156.25 kB: rounded up.
  EXPECT_NE(r.err.find("need 157 kB, but the temporary directory"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("has 64 kB free"), std::string::npos) << r.err;
}

// A plain render and a supersampled one, stopped by Ctrl-C once their signal handlers are in
// place: when the data files exist, or the supersampler's private directory.
TEST(RendererFailures, InterruptWritesNothing) {
  const struct Case {
    std::vector<std::string> args;
    bool started(const std::filesystem::path& work) const {
      if (args.back() == "big.png") return !std::filesystem::is_empty(work);
      for (const auto& e : std::filesystem::recursive_directory_iterator(work))
        if (e.path().filename() == "data.TMP1") return true;
      return false;
    }
  } cases[] = {
      {{"--fixed", "2", "--size", "2000x2000", "--iterations", "100000", "--project", "big.LPr", "--data", "big", "-o",
        "big.bmp"}},
      {{"--fixed", "2", "--size", "1000x1000", "--iterations", "100000", "--supersample", "4", "-o", "big.png"}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.back());
    TempDir dir, work;
    std::chrono::steady_clock::time_point stopped;
    const auto interrupt = [&](pid_t pid) {
      bool started = false;
      for (int k = 0; k < 600 && !started; ++k) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        started = c.started(work.path());
      }
      EXPECT_TRUE(started);
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      kill(pid, SIGINT);
      stopped = std::chrono::steady_clock::now();
    };
    const Result r = Render(dir, c.args, 0, work.path().string(), interrupt);
    EXPECT_LT(std::chrono::steady_clock::now() - stopped, std::chrono::seconds(10));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("interrupted; nothing was written"), std::string::npos) << r.err;
    EXPECT_TRUE(Files(dir).empty());
    EXPECT_TRUE(std::filesystem::is_empty(work.path()));  // the private data are removed too
  }
}

}  // namespace
}  // namespace vantorel
