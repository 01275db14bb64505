#include "cli/Render.h"

#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

#include "app/ParameterFile.h"
#include "app/PictureFile.h"
#include "app/ProjectFile.h"
#include "colour/ColorMapping.h"
#include "core/CalculationControl.h"
#include "core/IoError.h"
#include "core/NumberText.h"
#include "core/RechenThread.h"
#include "core/SafeFile.h"

namespace vantorel::cli {

namespace {

volatile std::sig_atomic_t stopRequested = 0;

constexpr size_t kChunkRecords = 10000;

// "12 MB", "3 kB" or "100 bytes"; rounded up or down, so that a need rounded up and a smaller
// free space rounded down never read the same.
std::string SizeText(uint64_t bytes, bool up) {
  const auto in = [&](uint64_t unit) { return (bytes + (up ? unit - 1 : 0)) / unit; };
  if (bytes >= (uint64_t(1) << 20)) return std::to_string(in(uint64_t(1) << 20)) + " MB";
  if (bytes >= 1024) return std::to_string(in(1024)) + " kB";
  return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
}

// A private directory for the data files of the run, removed with everything in it.
class WorkDirectory {
 public:
  WorkDirectory() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "vantorel-render-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
      ThrowIoError("Cannot create a temporary directory", pattern, errno);
    path_ = pattern;
  }
  ~WorkDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

  // Refuses a calculation whose two data files would not fit on the directory's disk.
  void CheckRoomFor(int64_t pixels) const {
    const uint64_t needed = uint64_t(pixels) * 16;
    struct statvfs fs;
    if (statvfs(path_.c_str(), &fs) != 0) return;  // unknown: the writes themselves are checked
    const uint64_t free = uint64_t(fs.f_bavail) * fs.f_frsize;
    if (needed > free)
      throw FormatError("Cannot render: the pixel data need " + SizeText(needed, true) +
                        ", but the temporary directory '" + path_.parent_path().string() +
                        "' has " + SizeText(free, false) + " free (TMPDIR chooses another place).");
  }

 private:
  std::filesystem::path path_;
};

// Refuses a block that cannot be computed or pictured, with the reason.
void CheckComputable(const TCalcParams& p) {
  const auto fail = [](const std::string& why) {
    throw FormatError("Cannot render: " + why + ".");
  };
  if (p.PictureWidth < kMinPictureSide || p.PictureWidth > kMaxPictureSide ||
      p.PictureHeight < kMinPictureSide || p.PictureHeight > kMaxPictureSide)
    fail("the picture size " + std::to_string(p.PictureWidth) + " x " +
         std::to_string(p.PictureHeight) + " lies outside " + std::to_string(kMinPictureSide) +
         ".." + std::to_string(kMaxPictureSide));
  if (p.Iterations <= 0)
    fail("the iteration count " + std::to_string(p.Iterations) + " is not positive");
  if (const std::string problem = IterationCountProblem(p); !problem.empty()) fail(problem);
  if (p.Sequence.empty()) fail("the AB-sequence is empty");
  if (p.ColorList.empty()) fail("the colour list is empty");
  if (p.FixedFormula < -1 || p.FixedFormula > 5)
    fail("the fixed formula index " + std::to_string(p.FixedFormula) + " is unknown");
}

// Makes sure that each output can be created before hours of computing are spent.
void CheckOutputDirectory(const std::string& path) {
  std::filesystem::path dir = std::filesystem::path(path).parent_path();
  if (dir.empty()) dir = ".";
  std::error_code ec;
  if (!std::filesystem::is_directory(dir, ec)) ThrowIoError("Cannot write", path, ENOENT);
  if (access(dir.c_str(), W_OK | X_OK) != 0) ThrowIoError("Cannot write", path, errno);
  if (std::filesystem::is_directory(path, ec)) ThrowIoError("Cannot write", path, EISDIR);
}

void CheckPictureFits(const TCalcParams& p, const std::optional<std::string>& picturePath) {
  const uint64_t stride = (uint64_t(p.PictureWidth) * 3 + 3) & ~uint64_t(3);
  const uint64_t bytes = stride * uint64_t(p.PictureHeight);
  const long pages = sysconf(_SC_PHYS_PAGES), pageSize = sysconf(_SC_PAGESIZE);
  if (pages > 0 && pageSize > 0 && bytes > uint64_t(pages) * uint64_t(pageSize) / 2)
    throw FormatError("Cannot render: a picture of " + std::to_string(p.PictureWidth) + " x " +
                      std::to_string(p.PictureHeight) + " pixels (" + std::to_string(bytes >> 20) +
                      " MB) does not fit in this computer's memory.");
  PictureType type;
  if (!picturePath || !PictureTypeForPath(*picturePath, type)) return;
  if (type == PictureType::Jpeg && (p.PictureWidth > 65500 || p.PictureHeight > 65500))
    throw FormatError("Cannot render: a JPEG picture has at most 65500 pixels each way.");
  if (type == PictureType::Bitmap && bytes + 54 > UINT32_MAX)
    throw FormatError(
        "Cannot render: the picture is too large for a Windows bitmap (4 GB at most).");
}

// Colours the picture from the stored exponents of the pixels that have data; the others stay
// as they are (white).
void ColourFromData(const TCalcParams& p, PixelDataFile& tmp1, TPicture& picture) {
  const int64_t total = int64_t(p.PictureWidth) * p.PictureHeight;
  const int64_t records = std::min(tmp1.RecordCount(), total);
  std::vector<double> chunk(kChunkRecords);
  for (int64_t start = 0; start < records; start += int64_t(chunk.size())) {
    const size_t n = static_cast<size_t>(std::min<int64_t>(records - start, int64_t(chunk.size())));
    if (tmp1.ReadAt(start, chunk.data(), n) != n)
      throw FormatError("The exponent file ended early while the picture was being coloured.");
    for (size_t k = 0; k < n; ++k) {
      const int64_t index = start + int64_t(k);
      picture.SetPixel(static_cast<int32_t>(index % p.PictureWidth),
                       static_cast<int32_t>(index / p.PictureWidth),
                       ColorForExponent(p.ColorList, static_cast<uint32_t>(p.BelowColor),
                                        static_cast<uint32_t>(p.AboveColor), chunk[k]));
    }
  }
}

// Copies a data file to its output through a temporary file.
void CopyDataFile(PixelDataFile& source, const std::string& target) {
  SafeFile out(target);
  std::vector<double> chunk(kChunkRecords);
  const int64_t records = source.RecordCount();
  for (int64_t start = 0; start < records; start += int64_t(chunk.size())) {
    const size_t n = static_cast<size_t>(std::min<int64_t>(records - start, int64_t(chunk.size())));
    if (source.ReadAt(start, chunk.data(), n) != n)
      throw FormatError("The data file '" + source.Path() + "' ended early.");
    out.Write(chunk.data(), n * sizeof(double));
  }
  out.Commit();
}

double PercentDone(const TRechenThread& t) {
  const double w = double(t.Right()) - t.Left(), h = double(t.Bottom()) - t.Top();
  if (w <= 0 || h <= 0) return 0;
  const double done = (double(t.Row()) - t.Top()) * w + (double(t.Column()) - t.Left());
  return std::clamp(done * 100.0 / (w * h), 0.0, 100.0);
}

enum class RunResult { Finished, Stopped };

// Runs the computation thread over the whole picture from the block's progress position.
RunResult Compute(TCalcParams& p, TPicture& picture, PixelDataFile& tmp1, PixelDataFile& tmp2,
                  bool fresh, const Options& o, std::ostream& err) {
  DirectDispatcher ui;
  TRechenThread thread(ui, o.Threads);
  std::atomic<bool> finished{false};
  std::mutex errorLock;
  std::string error;
  thread.SetFresh(fresh);
  thread.SetFiles(tmp1, tmp2);
  thread.SetFastTrig(o.Fast);
  thread.SetFinishedHandler([&] { finished = true; });
  thread.SetErrorHandler([&](const std::string& message) {
    std::lock_guard<std::mutex> lock(errorLock);
    error = message;
  });
  thread.Setup(p, picture);

  const bool show = !o.Quiet && isatty(STDERR_FILENO);
  const auto start = std::chrono::steady_clock::now();
  auto lastShown = start;
  double startPercent = -1;
  thread.Resume();
  while (!thread.Ended()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (stopRequested) {
      thread.Terminate();
      break;
    }
    const auto now = std::chrono::steady_clock::now();
    if (!show || now - lastShown < std::chrono::seconds(1)) continue;
    lastShown = now;
    const double percent = PercentDone(thread);
    if (startPercent < 0) startPercent = percent;
    std::string line = "\rprogress: " + FixedText(percent, 2) + "%";
    const double elapsed = std::chrono::duration<double>(now - start).count();
    if (percent > startPercent)
      line += "  remaining time: " +
              RemainingTimeText(std::llround(elapsed * (100.0 - percent) / (percent - startPercent)));
    err << line << "\033[K" << std::flush;
  }
  thread.WaitFor();
  if (show) err << "\r\033[K" << std::flush;

  {
    std::lock_guard<std::mutex> lock(errorLock);
    if (!error.empty()) throw IoError(error);
  }
  if (stopRequested) return RunResult::Stopped;
  if (!finished) throw IoError("The calculation ended without finishing.");
  return RunResult::Finished;
}

void Note(const Options& o, std::ostream& err, const std::string& text) {
  if (!o.Quiet) err << "vantorel-render: " << text << "\n";
}

}  // namespace

void RequestStop() noexcept { stopRequested = 1; }

int Render(const Options& o, std::ostream& err) {
  WorkDirectory work;
  PixelDataFile tmp1, tmp2;
  tmp1.Create(work.File("data.TMP1"));
  tmp2.Create(work.File("data.TMP2"));

  TCalcParams p = o.Input ? LoadProject(*o.Input, tmp1, tmp2) : DefaultCalcParams();
  if (o.Changes.Any()) {
    o.Changes.ApplyTo(p);
    if (tmp1.RecordCount() > 0 || p.State != StateInitialised || p.ProgressColumn != 0 ||
        p.ProgressRow != 0) {
      Note(o, err, "the changed parameters start the picture afresh; the stored data are not used");
      tmp1.Clear();
      tmp2.Clear();
    }
    p.ProgressColumn = p.ProgressRow = 0;
    p.IterationsDone = 0;
    p.State = StateInitialised;
  }
  CheckComputable(p);

  const bool nothingNamed = !o.Picture && !o.Project && !o.DataBase;
  const std::optional<std::string> picturePath =
      nothingNamed ? DefaultPictureName(o.Input) : o.Picture;
  CheckPictureFits(p, picturePath);
  if (picturePath) CheckOutputDirectory(*picturePath);
  if (o.Project) CheckOutputDirectory(*o.Project);
  if (o.DataBase)
    for (const char* ext : {".TMP0", ".TMP1", ".TMP2"}) CheckOutputDirectory(*o.DataBase + ext);
  work.CheckRoomFor(int64_t(p.PictureWidth) * p.PictureHeight);

  TPicture picture;
  try {
    picture.Resize(p.PictureWidth, p.PictureHeight);
  } catch (const std::bad_alloc&) {
    throw FormatError("Cannot render: there is not enough memory for a picture of " +
                      std::to_string(p.PictureWidth) + " x " + std::to_string(p.PictureHeight) +
                      " pixels.");
  }
  picture.Fill(0xFFFFFF);
  ColourFromData(p, tmp1, picture);

  // What remains to be computed, by the stored state.
  const int64_t total = int64_t(p.PictureWidth) * p.PictureHeight;
  const int64_t records = tmp1.RecordCount();
  bool compute = true, fresh = true;
  if (p.State == StateFinished) {
    compute = o.More;
    if (compute) {
      if (const std::string problem = IterationsDoneProblem(p); !problem.empty())
        throw FormatError("Cannot derive more iterations: " + problem + ".");
      p.State = StateDeriving;
      p.ProgressColumn = p.ProgressRow = 0;
    } else {
      // The loader takes a finished project whose data do not cover its picture as an
      // interrupted one, so a finished project here has every pixel's data.
      Note(o, err,
           "the project is finished; its picture is coloured from the stored data (--more derives "
           "more iterations)");
    }
  } else if (o.More) {
    throw FormatError("Cannot derive more iterations: the project's calculation is not finished.");
  }
  if (compute && (p.State == StateDeriving || p.State == StateDerivingPaused)) {
    if (tmp2.RecordCount() < total || records < total)
      throw FormatError("Cannot derive more iterations: the project holds data for " +
                        std::to_string(std::min(records, tmp2.RecordCount())) + " of its " +
                        std::to_string(total) + " pixels.");
    p.State = StateDeriving;
    fresh = false;
  } else if (compute) {
    // A first run continues after the last pixel whose data exist, at the latest.
    const int64_t at = std::min(int64_t(p.ProgressRow) * p.PictureWidth + p.ProgressColumn,
                                std::min(records, tmp2.RecordCount()));
    p.ProgressColumn = static_cast<int32_t>(at % p.PictureWidth);
    p.ProgressRow = static_cast<int32_t>(at / p.PictureWidth);
    p.State = StateRunning;
    if (at > 0)
      Note(o, err,
           "continuing the calculation at column " + std::to_string(p.ProgressColumn) + " of row " +
               std::to_string(p.ProgressRow));
  }
  if (compute) {
    // Continue after a position stored behind a row's last pixel at the next row.
    if (p.ProgressColumn >= p.PictureWidth) {
      p.ProgressColumn = 0;
      ++p.ProgressRow;
    }
    if (p.ProgressRow < p.PictureHeight) {
      tmp1.Rewind();
      tmp2.Rewind();
      if (Compute(p, picture, tmp1, tmp2, fresh, o, err) == RunResult::Stopped) {
        err << "vantorel-render: interrupted; nothing was written\n";
        return 1;
      }
    }
    // As the desktop program's finished handler does.
    p.IterationsDone += p.Iterations;
    p.ProgressColumn = p.ProgressRow = 0;
    p.State = StateFinished;
  }
  if (stopRequested) {
    err << "vantorel-render: interrupted; nothing was written\n";
    return 1;
  }

  // Every output is written completely before any of them replaces an existing file: a failure
  // leaves all of them as they were.
  SafeFileGroup outputs;
  std::vector<std::string> notes;
  if (picturePath) {
    PictureType type = PictureType::Bitmap;
    PictureTypeForPath(*picturePath, type);
    SavePicture(*picturePath, picture, type, EncodeParameterBlock(p, BlockForm::Parameters));
    notes.push_back("wrote the picture '" + *picturePath + "' (" + std::to_string(p.PictureWidth) +
                    " x " + std::to_string(p.PictureHeight) + ")");
  }
  if (o.Project) {
    SaveProject(*o.Project, p, tmp1, tmp2);
    notes.push_back("wrote the project file '" + *o.Project + "'");
  }
  if (o.DataBase) {
    SaveParameterFile(*o.DataBase + ".TMP0", p);
    CopyDataFile(tmp1, *o.DataBase + ".TMP1");
    CopyDataFile(tmp2, *o.DataBase + ".TMP2");
    notes.push_back("wrote the data files '" + *o.DataBase + ".TMP0', '.TMP1' and '.TMP2'");
  }
  outputs.Commit();
  for (const std::string& note : notes) Note(o, err, note);
  return 0;
}

}  // namespace vantorel::cli
