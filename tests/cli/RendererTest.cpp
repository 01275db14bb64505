#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <iostream>
#include <optional>
#include <thread>

#include "app/PictureFile.h"
#include "colour/ColorFile.h"
#include "core/Version.h"
#include "cli/RenderProgram.h"

namespace vantorel {
namespace {

using namespace test;
using Result = ProgramResult;

constexpr int64_t kRecords = 37 * 23;
const std::vector<unsigned char> kOld{'o', 'l', 'd'};

// Options, inputs, films and colours the renderer refuses, with the exit status and the message:
// it writes nothing, and an existing output stays as it was.
TEST(Renderer, ExitStatusSaysWhatHappenedAndNothingIsWritten) {
  TempDir dir;
  WriteBytes(dir.file("out.bmp"), kOld);
  WriteBytes(dir.file("count.LPr"), EncodeParameterBlock(SmallBlock(37, 23), BlockForm::Project, 99999));
  TCalcParams p = SmallBlock(37, 23);
  p.SetColors({});
  SaveParameterFile(dir.file("empty.Par"), p);
  SaveParameterFile(dir.file("tiny.Par"), SmallBlock(3, 23));
  // Counts a file can carry but no calculation can use.
  p = SmallBlock(37, 23);
  p.Iterations = INT32_MAX;
  WriteBytes(dir.file("huge.Par"), EncodeParameterBlock(p, BlockForm::Parameters));
  p = SmallBlock(37, 23);
  p.State = StateFinished, p.IterationsDone = INT32_MAX - 100;
  std::vector<uint8_t> done = EncodeParameterBlock(p, BlockForm::Project, kRecords);
  done.resize(done.size() + 16 * kRecords, 0);  // finished: data for every pixel
  WriteBytes(dir.file("done.LPr"), done);
  WriteText(dir.file("film.anim"), "size 40x30\nframes 6\nkey 0 fixed=2\nkey 5 w=0,5\n");
  WriteText(dir.file("nolast.anim"), "size 40x30\nframes 6\nkey 0 w=1\n");
  WriteText(dir.file("bad.gpl"), "GIMP Palette\n0 0 0\n256 0 0\n");
  WriteText(dir.file("g.ggr"), "GIMP Gradient\nName: g\n1\n0 0.5 1 0 0 1 1 1 1 1 1 0 0\n");
  SaveColorFile(dir.file("c.Pal"), {DefaultColorList(), 0xFFFFFF, 0});
  const std::vector<std::string> files = FileNames(dir);
  // The text is looked for on stdout for status 0 and formula checks, else on stderr.
  const struct {
    std::string args;
    int status;
    std::string text;
  } cases[] = {
      {"--help", 0, "--check-formula"},
      {"--version", 0, std::string("vantorel-render ") + kVersion + "\n"},
      {"--check-formula X*(1-X)", 0, ""},
      {"--check-formula X*(", 1, ""},
      {"--check-formula X*AB+C", 1, "wrong variables: \"C\""},
      {"--bogus", 2, "unknown option --bogus"},
      {"--size 5x5", 2, "picture size"},
      {"--width 100001", 2, "picture size"},
      {"--iterations 0", 2, "--iterations"},
      {"--fixed 7", 2, "--fixed"},
      {"--iterations 100000001", 2, "1..100000000"},
      {"--calm-down 2147483647", 2, "0..100000000"},
      {"huge.Par -o out.bmp", 1, "iteration count 2147483647 is larger than 100000008"},
      {"done.LPr --more -o out.bmp", 1,
       "Cannot derive more iterations: the stored data rest on 2147483547 iterations, and 156 more"},
      {"--angle abc", 2, "not a number"},
      {"-o x.gif", 2, ".bmp, .jpg"},
      {"a.Par b.Par", 2, "only one input"},
      {"--more --size 20x20", 2, "--more"},
      {"--threads 0", 2, "--threads"},
      {"--sequence ''", 2, "--sequence"},
      {"-o", 2, "needs a value"},
      {"count.LPr -o out.bmp", 1, "Dateifehler!"},
      {"missing.LPr -o out.bmp", 1, "No such file"},
      {"empty.Par -o out.bmp", 1, "colour list is empty"},
      {"tiny.Par -o out.bmp", 1, "picture size"},
      {"--fixed 2 -o no/such/dir/out.bmp", 1, "No such file"},
      {"--thumbnail 8 -o t.png", 2, "--thumbnail must lie in 16..1024"},
      {"--thumbnail 64", 2, "--thumbnail needs -o"},
      {"--thumbnail 64 -o t --project t.LPr", 2, "cannot be combined"},
      {"--thumbnail 64 -o t --iterations 100", 2, "cannot be combined"},
      {"count.LPr --thumbnail 64 -o t", 1, "Dateifehler!"},
      {"--time-limit 0", 2, "--time-limit must be positive"},
      {"--fixed 2 --size 2000x2000 --iterations 100000 --time-limit 0,3 -o out.bmp", 1,
       "the time limit of 0,3 s was reached; nothing was written"},
      {"--supersample 9", 2, "1..8"},
      {"--supersample 0", 2, "1..8"},
      {"--supersample 2 --project x.LPr", 2, "not a project"},
      {"--supersample 2 --data x", 2, "not a project"},
      {"--supersample 2 --more", 2, "--more"},
      {"--supersample 2 --auto-colours", 2, "stored exponents"},
      {"--supersample 2 --thumbnail 64 -o t.png", 2, "--thumbnail"},
      {"--frames 1-2 -o x.png", 2, "--frames"},  // without --animate
      {"--animate film.anim --frames 7-20 -o f_%02d.png", 2,
       "--frames 7-20 lies outside the film, whose frames are 0-5"},
      {"--animate film.anim --frames 4-2 -o f_%02d.png", 2, "--frames needs FIRST-LAST"},
      {"--animate film.anim --frames a-b -o f_%02d.png", 2, "--frames needs FIRST-LAST"},
      {"--animate film.anim --frames -3 -o f_%02d.png", 2, "--frames needs FIRST-LAST"},
      {"--animate film.anim --frames 2- -o f_%02d.png", 2, "--frames needs FIRST-LAST"},
      {"--animate film.anim --fps 0 -o f_%02d.png", 2, "--fps must lie in 1..240"},
      {"--animate film.anim --video v.avi -o f_%02d.png", 2, ".mp4 or .webm"},
      {"--animate film.anim --frames 2-4 --video v.mp4 -o part/f_%02d.png", 1, "frames 0-1 and 5 are missing"},
      {"--animate nolast.anim -o f_%02d.png", 1, "'nolast.anim', line 2: the film needs a key 5, its last frame"},
      {"--animate missing.anim -o f_%02d.png", 1, "missing.anim"},
      {"--colours bad.gpl -o out.bmp", 1, "line 3 has the level 256"},
      {"--colours no-such-list -o out.bmp", 1, "neither a file nor the name of a shipped colour list"},
      {"--colours c.Pal --colour-range -1,1 -o out.bmp", 1, "keeps its own values"},
      {"--colours g.ggr --colour-range 1,0 -o out.bmp", 2, "LOW smaller than HIGH"},
      {"--colours g.ggr --colour-range 1,1 -o out.bmp", 2, "LOW smaller than HIGH"},
      {"--colours g.ggr --colour-range -1,0,1 -o out.bmp", 2, "can be read two ways"},
      {"--colour-range -1,1 -o out.bmp", 2, "--colour-range spans the colours given with --colours"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    const Result r = Render(dir, Words(c.args));
    EXPECT_EQ(r.status, c.status) << r.err;
    const bool onStdout = c.status == 0 || c.args.starts_with("--check-formula");
    EXPECT_NE((onStdout ? r.out : r.err).find(c.text), std::string::npos) << r.out << r.err;
    EXPECT_TRUE(!onStdout || !r.out.empty());
  }
  const Result help = Render(dir, {"--help"});
  for (const char* option : {"--animate FILE.anim", "--frames A-B", "--video OUT.mp4", "--fps N", "status is 3"})
    EXPECT_NE(help.out.find(option), std::string::npos) << option;
  EXPECT_EQ(ReadBytes(dir.file("out.bmp")), kOld);
  std::filesystem::remove_all(dir.file("part"));  // the frames rendered before the video was refused
  EXPECT_EQ(FileNames(dir), files);
}

TEST(Renderer, LogisticMapAtFourHasExponentLnTwo) {
  TempDir dir;
  // Fixed formula 1 and the same map typed as a user formula.
  for (const std::string map : {"--fixed 1", "--formula AB*X*(1-X)"}) {
    const Result r = Render(dir, Words(map + " --sequence AB --center-x 3,9999999 --center-y 3.9999999 --size 10x10"
                                             " --region-width 1e-9 --region-height 1e-9 --start-x 0.3"
                                             " --iterations 20000 --data log -q"));
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
  SaveParameterFile(dir.file("small.Par"), SmallBlock(37, 23));
  Result r = Render(dir, Words("small.Par --threads 2"));  // a bitmap named after the input
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("small.bmp"), std::string::npos);
  const TPicture pic = LoadBitmap(dir.file("small.bmp"));
  EXPECT_EQ(pic.Width, 37);
  EXPECT_EQ(pic.Height, 23);
  r = Render(dir, Words("--fixed 2 --size 40x30 -o p.jpg --quiet"));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(r.err.empty());
  EXPECT_EQ(ReadBytes(dir.file("p.jpg")).at(1), 0xD8);  // JPEG start of image
  // A PNG carries its parameters: rendered from, it gives the same picture again.
  ASSERT_EQ(Render(dir, Words("small.Par -o small.png -q")).status, 0);
  ASSERT_EQ(Render(dir, Words("small.png -q")).status, 0);  // writes small.bmp anew
  EXPECT_EQ(LoadPng(dir.file("small.png")).Bits, LoadBitmap(dir.file("small.bmp")).Bits);
  EXPECT_EQ(LoadBitmap(dir.file("small.bmp")).Bits, pic.Bits);
  // Only a project asked for; the iteration counts rounded as the desktop program does.
  ASSERT_EQ(Render(dir, Words("--fixed 2 --size 10x10 --iterations 144 --calm-down 150 --project r.LPr -q")).status, 0);
  const TCalcParams p = LoadParameterFile(dir.file("r.LPr"));
  EXPECT_EQ(p.SequenceLength, 12);
  EXPECT_EQ(p.Iterations, 144);  // a multiple of S = 12 stays
  EXPECT_EQ(p.CalmDownIterations, 156);
  EXPECT_EQ(p.FixedFormula, 1);
  EXPECT_EQ(FileNames(dir), (std::vector<std::string>{"p.jpg", "r.LPr", "small.Par", "small.bmp", "small.png"}));
}

// --fast reaches the kernels: formula 2's orbits follow the vector library's sines, the default
// user formula's the vector program's (how close the exponents stay is the kernels' test);
// formula 1 has no sine and keeps its bits.
TEST(Renderer, FastMathsChangesTheTrigonometricAndTheUserFormulas) {
  TempDir dir;
  for (const std::string formula : {"1", "2", "user"}) {
    const std::string args = "-q --size 20x10 " + (formula == "user" ? "" : "--fixed " + formula);
    ASSERT_EQ(Render(dir, Words(args + " --data exact" + formula)).status, 0);
    ASSERT_EQ(Render(dir, Words(args + " --fast --data fast" + formula)).status, 0);
    const auto exact = ReadBytes(dir.file("exact" + formula + ".TMP2")),
               fast = ReadBytes(dir.file("fast" + formula + ".TMP2"));
    EXPECT_EQ(exact == fast, formula == "1") << formula;
    EXPECT_EQ(fast.size(), 200u * 8);
  }
}

// One finished run of a small picture (full.*) and one with more iterations on top (more.*),
// shared by the tests that continue them.
class RendererContinuation : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir = new TempDir;
    RenderFinishedRuns(*dir, SmallBlock(37, 23), {"bmp"});
  }
  static void TearDownTestSuite() { delete dir; }
  static std::vector<uint8_t> Bytes(const std::string& name) { return ReadBytes(dir->file(name)); }
  static DecodedBlock Head(const std::string& name) {
    const auto b = Bytes(name);
    return DecodeParameterBlock(b.data(), b.size());
  }
  static inline TempDir* dir = nullptr;
};

TEST_F(RendererContinuation, FinishedRunsStoreTheirIterationsAndOnlyTheyDeriveMore) {
  for (const auto& [name, runs] : {std::pair<std::string, int>{"full.LPr", 1}, {"more.LPr", 2}}) {
    const DecodedBlock d = Head(name);
    EXPECT_EQ(d.RecordCount, kRecords);
    EXPECT_EQ(d.Params.State, StateFinished);
    EXPECT_EQ(d.Params.IterationsDone, runs * SmallBlock(37, 23).Iterations);
    EXPECT_EQ(d.Params.ProgressColumn + d.Params.ProgressRow, 0);
  }
  EXPECT_NE(Bytes("more.TMP2"), Bytes("full.TMP2"));
  WriteInterruptedProject(dir->file("full.LPr"), dir->file("full.LPr"), kRecords, 100, StatePaused,
                          dir->file("cut.LPr"));
  const Result r = Render(*dir, Words("cut.LPr --more -o x.bmp"));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("not finished"), std::string::npos);
}

TEST_F(RendererContinuation, InterruptedRunsEndLikeUninterruptedOnes) {
  ExpectInterruptedRunsEndLikeWholeOnes(*dir, 37, kRecords,
                                        [](const std::string& args) { return Render(*dir, Words(args)); });
}

TEST_F(RendererContinuation, FinishedProjectIsColouredFromItsDataWithoutComputing) {
  const auto black = AllAbove(Bytes("full.LPr"), kRecords);
  WriteBytes(dir->file("black.LPr"), black);
  Result r = Render(*dir, Words("black.LPr -o black.bmp"));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("coloured from the stored data"), std::string::npos);
  const TPicture pic = LoadBitmap(dir->file("black.bmp"));
  EXPECT_EQ(pic.Bits, decltype(pic.Bits)(pic.Bits.size(), 0));
  // So is its thumbnail, a PNG whatever its name, as file managers name it.
  r = Render(*dir, Words("--thumbnail 30 -o thumb black.LPr"));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("wrote the thumbnail 'thumb' (30 x 19)"), std::string::npos) << r.err;
  ASSERT_TRUE(IsPngFile(dir->file("thumb")));
  const TPicture thumb = LoadPng(dir->file("thumb"));
  EXPECT_TRUE(thumb.Width == 30 && thumb.Height == 19);
  EXPECT_EQ(thumb.Bits, decltype(thumb.Bits)(thumb.Bits.size(), 0));
  // With a record count of 0 the data behind the block are not read: the project is taken as
  // interrupted before its first pixel and computed.
  std::vector<uint8_t> none = EncodeParameterBlock(Head("black.LPr").Params, BlockForm::Project, 0);
  none.insert(none.end(), black.end() - 16 * kRecords, black.end());
  WriteBytes(dir->file("none.LPr"), none);
  r = Render(*dir, Words("none.LPr -o computed.bmp"));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err.find("coloured from"), std::string::npos) << r.err;
  const TPicture computed = LoadBitmap(dir->file("computed.bmp"));
  EXPECT_LT(std::count(computed.Bits.begin(), computed.Bits.end(), 0xFF), 3 * kRecords);
}

// A small file system of its own for a test, where the system allows mounting one (root).
struct SmallFileSystem {
  explicit SmallFileSystem(const std::string& size)
      : mounted(std::system(
                    ("mount -t tmpfs -o size=" + size + " tmpfs '" + dir.path().string() + "' 2>/dev/null").c_str()) ==
                0) {}
  ~SmallFileSystem() {
    if (mounted) std::system(("umount '" + dir.path().string() + "'").c_str());
  }
  TempDir dir;
  const bool mounted;
};

TEST(RendererFailures, AFailedOutputLeavesEveryOutputAsItWas) {
  // The default picture has 194 x 154 pixels: the calculation's data files take 8 bytes per
  // pixel, the bitmap 3, the project 16, each copy of a data file 8.
  const std::vector<std::string> outputs = {"d.TMP0", "d.TMP1", "d.TMP2", "out.LPr", "out.bmp"};
  const struct {
    const char* what;
    rlim_t fileSizeLimit;
    const char* smallDisk;
    const char* error;
  } cases[] = {
      {"the calculation's own data", 4096, nullptr, "File too large"},
      {"the project", 10 * 194 * 154, nullptr, "out.LPr': File too large"},
      // The old files and the new TMP0 and TMP1 fit, TMP2 does not.
      {"the last data file", 0, "900k", "d.TMP2': No space left on device"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::optional<SmallFileSystem> disk;
    if (c.smallDisk && !disk.emplace(c.smallDisk).mounted) {
      std::cout << "[  SKIPPED ] " << c.what << ": no file system can be mounted here\n";
      continue;
    }
    TempDir plain;
    const TempDir& dir = disk ? disk->dir : plain;
    for (const std::string& name : outputs) WriteBytes(dir.file(name), kOld);
    const Result r = Render(dir, Words("--fixed 2 -o out.bmp --project out.LPr --data d -q"), c.fileSizeLimit);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(c.error), std::string::npos) << r.err;
    for (const std::string& name : outputs) EXPECT_EQ(ReadBytes(dir.file(name)), kOld) << name;
    EXPECT_EQ(FileNames(dir), outputs);
  }
}

TEST(RendererFailures, TooLittleRoomForTheDataIsSaidInUnitsThatShowIt) {
  SmallFileSystem disk("64k");
  if (!disk.mounted) GTEST_SKIP() << "no file system can be mounted here";
  TempDir out;
  const Result r = Render(out, Words("--fixed 2 --size 100x100"), 0, disk.dir.path().string());
  EXPECT_EQ(r.status, 1);
  // 100 x 100 pixels of 16 bytes are 156.25 kB: rounded up.
  EXPECT_NE(r.err.find("need 157 kB, but the temporary directory"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("has 64 kB free"), std::string::npos) << r.err;
}

// A plain render and a supersampled one, stopped by Ctrl-C once their signal handlers are in
// place: when the data files exist, or the supersampler's private directory.
TEST(RendererFailures, InterruptWritesNothing) {
  for (const std::string args :
       {"--size 2000x2000 --project big.LPr --data big -o big.bmp", "--size 1000x1000 --supersample 4 -o big.png"}) {
    SCOPED_TRACE(args);
    TempDir dir, work;
    const auto started = [&] {
      if (args.ends_with("png")) return !std::filesystem::is_empty(work.path());
      for (const auto& e : std::filesystem::recursive_directory_iterator(work.path()))
        if (e.path().filename() == "data.TMP1") return true;
      return false;
    };
    std::chrono::steady_clock::time_point stopped;
    const Result r =
        Render(dir, Words("--fixed 2 --iterations 100000 " + args), 0, work.path().string(), [&](pid_t pid) {
          for (int k = 0; k < 600 && !started(); ++k) std::this_thread::sleep_for(std::chrono::milliseconds(50));
          EXPECT_TRUE(started());
          std::this_thread::sleep_for(std::chrono::milliseconds(300));
          kill(pid, SIGINT);
          stopped = std::chrono::steady_clock::now();
        });
    // Ends at the next pixel; uninterrupted the render would run for many minutes.
    EXPECT_LT(std::chrono::steady_clock::now() - stopped, std::chrono::seconds(60));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("interrupted; nothing was written"), std::string::npos) << r.err;
    EXPECT_TRUE(FileNames(dir).empty());
    EXPECT_TRUE(std::filesystem::is_empty(work.path()));  // the private data are removed too
  }
}

}  // namespace
}  // namespace vantorel
