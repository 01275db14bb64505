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
#include <fstream>
#include <sstream>
#include <thread>

#include "app/ParameterFile.h"
#include "app/PictureFile.h"
#include "app/ProjectFile.h"
#include "core/IoError.h"
#include "support/TestSupport.h"

namespace vantorel {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

struct Result {
  int status = -1;
  std::string out, err;
};

std::string Slurp(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Starts the renderer in `cwd`; output and errors go to files there.
pid_t Start(const TempDir& dir, const std::vector<std::string>& args, rlim_t fileSizeLimit = 0,
            const std::string& tmpdir = "") {
  const std::string out = dir.file(".stdout"), err = dir.file(".stderr");
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(dir.path().c_str()) != 0) _exit(126);
    const int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(o, 1);
    dup2(e, 2);
    if (!tmpdir.empty()) setenv("TMPDIR", tmpdir.c_str(), 1);
    if (fileSizeLimit > 0) {
      rlimit limit{fileSizeLimit, fileSizeLimit};
      setrlimit(RLIMIT_FSIZE, &limit);
    }
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(VANTOREL_RENDER_EXE));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(VANTOREL_RENDER_EXE, argv.data());
    _exit(127);
  }
  return pid;
}

Result Finish(const TempDir& dir, pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  Result r;
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  r.out = Slurp(dir.file(".stdout"));
  r.err = Slurp(dir.file(".stderr"));
  std::filesystem::remove(dir.file(".stdout"));
  std::filesystem::remove(dir.file(".stderr"));
  return r;
}

Result Render(const TempDir& dir, const std::vector<std::string>& args, rlim_t fileSizeLimit = 0) {
  return Finish(dir, Start(dir, args, fileSizeLimit));
}

std::vector<std::string> Files(const TempDir& dir) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir.path()))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<double> Doubles(const std::string& path) {
  const auto bytes = ReadBytes(path);
  std::vector<double> v(bytes.size() / 8);
  std::memcpy(v.data(), bytes.data(), v.size() * 8);
  return v;
}

uint32_t U32(const std::vector<unsigned char>& b, size_t o) {
  return uint32_t(b.at(o)) | uint32_t(b.at(o + 1)) << 8 | uint32_t(b.at(o + 2)) << 16 |
         uint32_t(b.at(o + 3)) << 24;
}

// A small picture of fixed formula 2 (the default map) that renders quickly.
TCalcParams SmallBlock() {
  TCalcParams p = DefaultCalcParams();
  p.FixedFormula = 1;
  p.PictureWidth = 37;
  p.PictureHeight = 23;
  return p;
}

TEST(RendererCommandLine, HelpListsEveryOption) {
  TempDir dir;
  const Result r = Render(dir, {"--help"});
  EXPECT_EQ(r.status, 0);
  for (const char* option :
       {"--output",      "--project",       "--data",     "--threads",      "--quiet",
        "--more",        "--size",          "--width",    "--height",       "--iterations",
        "--calm-down",   "--fixed",         "--formula",  "--w X",          "--v X",
        "--u X",         "--sequence",      "--start-x",  "--smart",        "--no-smart",
        "--error-limit", "--center-x",      "--center-y", "--region-width", "--region-height",
        "--angle",       "--check-formula", "--help"})
    EXPECT_NE(r.out.find(option), std::string::npos) << option;
}

TEST(RendererCommandLine, BadUsageExitsWithTwoAndSaysWhy) {
  TempDir dir;
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"--bogus"}, "unknown option --bogus"},
      {{"--size", "5x5"}, "picture size"},
      {{"--width", "100001"}, "picture size"},
      {{"--iterations", "0"}, "--iterations"},
      {{"--fixed", "7"}, "--fixed"},
      {{"--angle", "abc"}, "not a number"},
      {{"-o", "x.png"}, ".bmp, .jpg"},
      {{"a.Par", "b.Par"}, "only one input"},
      {{"--more", "--size", "20x20"}, "--more"},
      {{"--threads", "0"}, "--threads"},
      {{"--sequence", ""}, "--sequence"},
      {{"-o"}, "needs a value"},
  };
  for (const auto& [args, text] : cases) {
    const Result r = Render(dir, args);
    EXPECT_EQ(r.status, 2) << args[0];
    EXPECT_NE(r.err.find(text), std::string::npos) << r.err;
  }
  EXPECT_TRUE(Files(dir).empty());
}

TEST(RendererCommandLine, CheckFormulaReportsOnStdoutAndInItsStatus) {
  TempDir dir;
  Result r = Render(dir, {"--check-formula", "X*(1-X)"});
  EXPECT_EQ(r.status, 0);
  EXPECT_FALSE(r.out.empty());
  r = Render(dir, {"--check-formula", "X*("});
  EXPECT_EQ(r.status, 1);
  EXPECT_FALSE(r.out.empty());
  EXPECT_TRUE(Files(dir).empty());
}

TEST(RendererFiles, ParameterFileWrittenByTheLibraryRendersToABitmap) {
  TempDir dir;
  SaveParameterFile(dir.file("small.Par"), SmallBlock());
  const Result r = Render(dir, {"small.Par", "--threads", "2"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("small.bmp"), std::string::npos);  // the default picture name
  const auto b = ReadBytes(dir.file("small.bmp"));
  ASSERT_GE(b.size(), 54u);
  EXPECT_EQ(b[0], 'B');
  EXPECT_EQ(b[1], 'M');
  EXPECT_EQ(U32(b, 2), b.size());
  EXPECT_EQ(U32(b, 18), 37u);
  EXPECT_EQ(U32(b, 22), 23u);
  EXPECT_EQ(b[28], 24);
  EXPECT_EQ(U32(b, 30), 0u);
  EXPECT_EQ(b.size(), 54u + 112 * 23);  // rows of 111 bytes padded to 112
}

TEST(RendererFiles, JpegPictureAndQuietRun) {
  TempDir dir;
  const Result r = Render(dir, {"--fixed", "2", "--size", "40x30", "-o", "p.jpg", "--quiet"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(r.err.empty());
  const auto b = ReadBytes(dir.file("p.jpg"));
  ASSERT_GT(b.size(), 4u);
  EXPECT_EQ(b[0], 0xFF);
  EXPECT_EQ(b[1], 0xD8);
  EXPECT_EQ(b[2], 0xFF);
}

TEST(RendererFiles, LogisticMapAtFourHasExponentLnTwo) {
  TempDir dir;
  // Fixed formula 1 and the same map typed as a user formula.
  const std::vector<std::vector<std::string>> maps = {{"--fixed", "1"},
                                                      {"--formula", "AB*X*(1-X)"}};
  for (const std::vector<std::string>& map : maps) {
    std::vector<std::string> args = map;
    args.insert(args.end(),
                {"--sequence", "AB", "--center-x", "3,9999999", "--center-y", "3.9999999",
                 "--region-width", "1e-9", "--region-height", "1e-9", "--size", "10x10",
                 "--start-x", "0.3", "--iterations", "20000", "--data", "log", "-q"});
    const Result r = Render(dir, args);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<double> e = Doubles(dir.file("log.TMP1"));
    ASSERT_EQ(e.size(), 100u);
    for (double x : e) EXPECT_NEAR(x, std::log(2.0), 0.05) << map[0];
  }
}

TEST(RendererFiles, ProjectLoadsBackFinished) {
  TempDir dir;
  SaveParameterFile(dir.file("s.Par"), SmallBlock());
  ASSERT_EQ(Render(dir, {"s.Par", "--project", "s.LPr", "-q"}).status, 0);
  PixelDataFile t1, t2;
  t1.Create(dir.file("l.TMP1"));
  t2.Create(dir.file("l.TMP2"));
  const TCalcParams p = LoadProject(dir.file("s.LPr"), t1, t2);
  EXPECT_EQ(p.State, StateFinished);
  EXPECT_EQ(p.IterationsDone, SmallBlock().Iterations);
  EXPECT_EQ(p.ProgressColumn, 0);
  EXPECT_EQ(p.ProgressRow, 0);
  EXPECT_EQ(t1.RecordCount(), 37 * 23);
  EXPECT_EQ(t2.RecordCount(), 37 * 23);
  EXPECT_EQ(Files(dir), (std::vector<std::string>{"l.TMP1", "l.TMP2", "s.LPr", "s.Par"}));
}

TEST(RendererFiles, IterationCountsAreRoundedAsTheDesktopProgramDoes) {
  TempDir dir;
  ASSERT_EQ(Render(dir, {"--fixed", "2", "--size", "10x10", "--iterations", "144", "--calm-down",
                         "150", "--project", "r.LPr", "-q"})
                .status,
            0);
  const TCalcParams p = LoadParameterFile(dir.file("r.LPr"));
  EXPECT_EQ(p.SequenceLength, 12);
  EXPECT_EQ(p.Iterations, 156);
  EXPECT_EQ(p.CalmDownIterations, 156);
  EXPECT_EQ(p.FixedFormula, 1);
  EXPECT_EQ(p.PictureWidth, 10);
}

// Cuts a finished project back to a paused first run that stopped at record `at`.
void WriteInterrupted(const std::string& full, const std::string& cut, int64_t at, uint8_t state) {
  const auto bytes = ReadBytes(full);
  const DecodedBlock d = DecodeParameterBlock(bytes.data(), bytes.size());
  TCalcParams p = d.Params;
  const int64_t n = d.RecordCount;
  p.State = state;
  p.IterationsDone = state == StateDerivingPaused ? p.IterationsDone : 0;
  p.ProgressColumn = static_cast<int32_t>(at % p.PictureWidth);
  p.ProgressRow = static_cast<int32_t>(at / p.PictureWidth);
  std::vector<uint8_t> out = EncodeParameterBlock(p, BlockForm::Project, static_cast<int32_t>(at));
  const size_t data = bytes.size() - 16 * static_cast<size_t>(n);
  out.insert(out.end(), bytes.begin() + data, bytes.begin() + data + 8 * at);
  out.insert(out.end(), bytes.begin() + data + 8 * n, bytes.begin() + data + 8 * n + 8 * at);
  WriteBytes(cut, out);
}

TEST(RendererContinuation, InterruptedProjectEndsLikeAnUninterruptedRun) {
  TempDir dir;
  SaveParameterFile(dir.file("s.Par"), SmallBlock());
  ASSERT_EQ(
      Render(dir, {"s.Par", "--project", "full.LPr", "--data", "full", "-o", "full.bmp", "-q"})
          .status,
      0);
  // Stopped in the middle of row 9, and right behind the end of row 4.
  for (int64_t at : {9 * 37 + 13, 5 * 37}) {
    WriteInterrupted(dir.file("full.LPr"), dir.file("cut.LPr"), at, StatePaused);
    const Result r =
        Render(dir, {"cut.LPr", "--data", "cont", "-o", "cont.bmp", "--project", "cont.LPr"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("continuing"), std::string::npos);
    EXPECT_EQ(ReadBytes(dir.file("cont.TMP1")), ReadBytes(dir.file("full.TMP1")));
    EXPECT_EQ(ReadBytes(dir.file("cont.TMP2")), ReadBytes(dir.file("full.TMP2")));
    EXPECT_EQ(ReadBytes(dir.file("cont.bmp")), ReadBytes(dir.file("full.bmp")));
    EXPECT_EQ(ReadBytes(dir.file("cont.LPr")), ReadBytes(dir.file("full.LPr")));
  }
}

TEST(RendererContinuation, InterruptedDerivingEndsLikeAnUninterruptedOne) {
  TempDir dir;
  SaveParameterFile(dir.file("s.Par"), SmallBlock());
  ASSERT_EQ(Render(dir, {"s.Par", "--project", "full.LPr", "-q"}).status, 0);
  ASSERT_EQ(
      Render(dir, {"full.LPr", "--more", "--project", "more.LPr", "--data", "more", "-q"}).status,
      0);
  // Deriving paused at record `at`: the records before it are derived, the others not yet.
  const int64_t records = 37 * 23, at = 11 * 37 + 20;
  const auto full = ReadBytes(dir.file("full.LPr")), more = ReadBytes(dir.file("more.LPr"));
  const DecodedBlock d = DecodeParameterBlock(full.data(), full.size());
  TCalcParams p = d.Params;
  p.State = StateDerivingPaused;
  p.ProgressColumn = static_cast<int32_t>(at % 37);
  p.ProgressRow = static_cast<int32_t>(at / 37);
  std::vector<uint8_t> cut =
      EncodeParameterBlock(p, BlockForm::Project, static_cast<int32_t>(records));
  const size_t fullData = full.size() - 16 * records, moreData = more.size() - 16 * records;
  for (size_t file = 0; file < 2; ++file) {
    const size_t base = 8 * records * file;
    cut.insert(cut.end(), more.begin() + moreData + base, more.begin() + moreData + base + 8 * at);
    cut.insert(cut.end(), full.begin() + fullData + base + 8 * at,
               full.begin() + fullData + base + 8 * records);
  }
  WriteBytes(dir.file("cut.LPr"), cut);
  const Result r = Render(dir, {"cut.LPr", "--data", "cont", "--project", "cont.LPr", "-q"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadBytes(dir.file("cont.TMP1")), ReadBytes(dir.file("more.TMP1")));
  EXPECT_EQ(ReadBytes(dir.file("cont.TMP2")), ReadBytes(dir.file("more.TMP2")));
  EXPECT_EQ(ReadBytes(dir.file("cont.LPr")), more);
}

TEST(RendererContinuation, FinishedProjectIsColouredFromItsDataWithoutComputing) {
  TempDir dir;
  SaveParameterFile(dir.file("s.Par"), SmallBlock());
  ASSERT_EQ(Render(dir, {"s.Par", "--project", "full.LPr", "-o", "full.bmp", "-q"}).status, 0);
  // A finished project whose exponents all say "above the list" is black, whatever the formula.
  auto bytes = ReadBytes(dir.file("full.LPr"));
  const size_t records = 37 * 23, data = bytes.size() - 16 * records;
  const double big = 1e6;
  for (size_t k = 0; k < records; ++k) std::memcpy(bytes.data() + data + 8 * k, &big, 8);
  WriteBytes(dir.file("black.LPr"), bytes);
  const Result r = Render(dir, {"black.LPr", "-o", "black.bmp"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("finished"), std::string::npos);
  const TPicture pic = LoadBitmap(dir.file("black.bmp"));
  for (int32_t y = 0; y < pic.Height; ++y)
    for (int32_t x = 0; x < pic.Width; ++x) ASSERT_EQ(pic.Pixel(x, y), 0u);
}

TEST(RendererContinuation, MoreIterationsAddToTheCount) {
  TempDir dir;
  SaveParameterFile(dir.file("s.Par"), SmallBlock());
  ASSERT_EQ(Render(dir, {"s.Par", "--project", "full.LPr", "--data", "full", "-q"}).status, 0);
  ASSERT_EQ(
      Render(dir, {"full.LPr", "--more", "--project", "more.LPr", "--data", "more", "-q"}).status,
      0);
  PixelDataFile t1, t2;
  t1.Create(dir.file("l.TMP1"));
  t2.Create(dir.file("l.TMP2"));
  const TCalcParams p = LoadProject(dir.file("more.LPr"), t1, t2);
  EXPECT_EQ(p.State, StateFinished);
  EXPECT_EQ(p.IterationsDone, 2 * SmallBlock().Iterations);
  EXPECT_EQ(t1.RecordCount(), 37 * 23);
  EXPECT_NE(ReadBytes(dir.file("more.TMP2")), ReadBytes(dir.file("full.TMP2")));
  // An unfinished project cannot derive more.
  WriteInterrupted(dir.file("full.LPr"), dir.file("cut.LPr"), 100, StatePaused);
  const Result r = Render(dir, {"cut.LPr", "--more", "-o", "x.bmp"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("not finished"), std::string::npos);
}

TEST(RendererFailures, MalformedInputIsRefusedAndTheOutputKept) {
  TempDir dir;
  WriteBytes(dir.file("out.bmp"), {'o', 'l', 'd'});
  std::vector<uint8_t> b = EncodeParameterBlock(SmallBlock(), BlockForm::Parameters);
  const int32_t negative = -5;
  std::memcpy(b.data(), &negative, 4);
  WriteBytes(dir.file("neg.Par"), b);
  Result r = Render(dir, {"neg.Par", "-o", "out.bmp"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("negative"), std::string::npos) << r.err;

  b = EncodeParameterBlock(SmallBlock(), BlockForm::Project, 1000000);
  WriteBytes(dir.file("count.LPr"), b);
  r = Render(dir, {"count.LPr", "-o", "out.bmp"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Dateifehler!"), std::string::npos) << r.err;

  r = Render(dir, {"missing.LPr", "-o", "out.bmp"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("No such file"), std::string::npos) << r.err;

  TCalcParams empty = SmallBlock();
  empty.SetColors({});
  SaveParameterFile(dir.file("empty.Par"), empty);
  r = Render(dir, {"empty.Par", "-o", "out.bmp"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("colour list is empty"), std::string::npos) << r.err;

  TCalcParams tiny = SmallBlock();
  tiny.PictureWidth = 3;
  SaveParameterFile(dir.file("tiny.Par"), tiny);
  r = Render(dir, {"tiny.Par", "-o", "out.bmp"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("picture size"), std::string::npos) << r.err;

  r = Render(dir, {"--fixed", "2", "-o", "no/such/dir/out.bmp"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("No such file"), std::string::npos) << r.err;

  EXPECT_EQ(ReadBytes(dir.file("out.bmp")), (std::vector<unsigned char>{'o', 'l', 'd'}));
}

TEST(RendererFailures, FailedWriteLeavesTheOldFileIntact) {
  TempDir dir;
  const std::vector<unsigned char> old = {'o', 'l', 'd'};
  WriteBytes(dir.file("out.bmp"), old);
  WriteBytes(dir.file("out.LPr"), old);
  // No file may grow beyond 4096 bytes: the calculation's own data files fail.
  Result r = Render(dir, {"--fixed", "2", "-o", "out.bmp", "--project", "out.LPr"}, 4096);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("File too large"), std::string::npos) << r.err;
  EXPECT_EQ(ReadBytes(dir.file("out.bmp")), old);
  EXPECT_EQ(ReadBytes(dir.file("out.LPr")), old);
  EXPECT_EQ(Files(dir), (std::vector<std::string>{"out.LPr", "out.bmp"}));

  // 10 bytes per pixel: the data files (8) and the bitmap (3) fit, the project file (16) does not.
  r = Render(dir, {"--fixed", "2", "-o", "out.bmp", "--project", "out.LPr"}, 10 * 194 * 154);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("out.LPr"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("File too large"), std::string::npos) << r.err;
  EXPECT_EQ(ReadBytes(dir.file("out.LPr")), old);
  EXPECT_EQ(LoadBitmap(dir.file("out.bmp")).Width, 194);
  EXPECT_EQ(Files(dir), (std::vector<std::string>{"out.LPr", "out.bmp"}));
}

TEST(RendererFailures, InterruptWritesNothing) {
  TempDir dir, work;
  const pid_t pid = Start(dir,
                          {"--fixed", "2", "--size", "2000x2000", "--iterations", "100000", "-o",
                           "big.bmp", "--project", "big.LPr", "--data", "big"},
                          0, work.path().string());
  // Wait until the renderer has created its data files (its signal handlers are in place then).
  bool computing = false;
  for (int k = 0; k < 600 && !computing; ++k) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    for (const auto& e : std::filesystem::recursive_directory_iterator(work.path()))
      if (e.path().filename() == "data.TMP1") computing = true;
  }
  EXPECT_TRUE(computing);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  kill(pid, SIGINT);
  const auto start = std::chrono::steady_clock::now();
  const Result r = Finish(dir, pid);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("interrupted"), std::string::npos) << r.err;
  EXPECT_TRUE(Files(dir).empty());
  EXPECT_TRUE(std::filesystem::is_empty(work.path()));  // the private data are removed too
}

}  // namespace
}  // namespace vantorel
