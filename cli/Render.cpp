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
#include <stdexcept>
#include <thread>
#include <vector>

#include "app/ParameterFile.h"
#include "app/PictureFile.h"
#include "app/ProjectFile.h"
#include "core/ColorMapping.h"
#include "colour/Supersample.h"
#include "core/CalculationControl.h"
#include "core/IoError.h"
#include "core/NumberText.h"
#include "core/RechenThread.h"
#include "core/SafeFile.h"
#include "cli/Colours.h"
#include "cli/RenderSteps.h"
#include "cli/Thumbnail.h"

namespace vantorel::cli {

namespace {

volatile std::sig_atomic_t stopRequested = 0;

constexpr size_t kChunkRecords = 10000;

// A private directory for the data files of the run, removed with everything in it.
class WorkDirectory {
 public:
  WorkDirectory() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vantorel-render-XXXXXX").string();
    if (!mkdtemp(pattern.data())) ThrowIoError("Cannot create a temporary directory", pattern, errno);
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
                        ", but the temporary directory '" + path_.parent_path().string() + "' has " +
                        SizeText(free, false) + " free (TMPDIR chooses another place).");
  }

 private:
  std::filesystem::path path_;
};

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
      picture.SetPixel(static_cast<int32_t>(index % p.PictureWidth), static_cast<int32_t>(index / p.PictureWidth),
                       ColorForExponent(p.ColorList, static_cast<uint32_t>(p.BelowColor),
                                        static_cast<uint32_t>(p.AboveColor), chunk[k]));
    }
  }
}

double PercentDone(const TRechenThread& t) {
  const double w = double(t.Right()) - t.Left(), h = double(t.Bottom()) - t.Top();
  if (w <= 0 || h <= 0) return 0;
  const double done = (double(t.Row()) - t.Top()) * w + (double(t.Column()) - t.Left());
  return std::clamp(done * 100.0 / (w * h), 0.0, 100.0);
}

enum class RunResult { Finished, Stopped, OutOfTime };

// Runs the computation thread over the whole picture from the block's progress position.
// A batch handler, when given, receives the pixels instead of the data files.
const ProgressHooks kNoHooks;

RunResult Compute(TCalcParams& p, TPicture& picture, PixelDataFile& tmp1, PixelDataFile& tmp2, bool fresh,
                  const Options& o, std::ostream& err, const ProgressHooks& hooks = kNoHooks,
                  TRechenThread::BatchHandler batches = {}) {
  DirectDispatcher ui;
  TRechenThread thread(ui, o.Threads);
  std::atomic<bool> finished{false};
  std::mutex errorLock;
  std::string error;
  thread.SetFresh(fresh);
  thread.SetFiles(tmp1, tmp2);
  thread.SetFastTrig(o.Fast);
  if (batches) thread.SetBatchHandler(std::move(batches));
  thread.SetFinishedHandler([&] { finished = true; });
  thread.SetErrorHandler([&](const std::string& message) {
    std::lock_guard<std::mutex> lock(errorLock);
    error = message;
  });
  thread.Setup(p, picture);

  const bool show = hooks.Line ? hooks.Show : !o.Quiet && isatty(STDERR_FILENO);
  const auto start = std::chrono::steady_clock::now();
  const auto limit = std::chrono::duration<double>(o.TimeLimit.value_or(0));
  bool outOfTime = false;
  auto lastShown = start;
  double startPercent = -1;
  thread.Resume();
  while (!thread.Ended()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const auto now = std::chrono::steady_clock::now();
    outOfTime = o.TimeLimit && now - start > limit;
    if (stopRequested || outOfTime) {
      thread.Terminate();
      break;
    }
    if (hooks.Tick) hooks.Tick();
    if (!show || now - lastShown < std::chrono::seconds(1)) continue;
    lastShown = now;
    const double percent = PercentDone(thread);
    if (hooks.Line) {
      err << "\r" << hooks.Line(percent) << "\033[K" << std::flush;
      continue;
    }
    if (startPercent < 0) startPercent = percent;
    std::string line = "\rprogress: " + FixedText(percent, 2) + "%";
    const double elapsed = std::chrono::duration<double>(now - start).count();
    if (percent > startPercent)
      line += "  remaining time: " +
              RemainingTimeText(std::llround(elapsed * (100.0 - percent) / (percent - startPercent)));
    err << line << "\033[K" << std::flush;
  }
  thread.WaitFor();
  if (show && !hooks.Line) err << "\r\033[K" << std::flush;

  {
    std::lock_guard<std::mutex> lock(errorLock);
    if (!error.empty()) throw IoError(error);
  }
  if (stopRequested) return RunResult::Stopped;
  if (outOfTime && !finished) return RunResult::OutOfTime;
  if (!finished) throw IoError("The calculation ended without finishing.");
  return RunResult::Finished;
}

// The picture the block describes, or a message when it does not fit in memory.
TPicture PictureOfBlock(const TCalcParams& p) {
  TPicture picture;
  try {
    picture.Resize(p.PictureWidth, p.PictureHeight);
  } catch (const std::bad_alloc&) {
    throw FormatError("Cannot render: there is not enough memory for a picture of " + std::to_string(p.PictureWidth) +
                      " x " + std::to_string(p.PictureHeight) + " pixels.");
  }
  return picture;
}

// Says why nothing was written, when it was not; true when the run finished.
bool Completed(RunResult result, const Options& o, std::ostream& err) {
  if (result == RunResult::Finished && !stopRequested) return true;
  if (result == RunResult::OutOfTime)
    err << ProgramName() << ": the time limit of " << FixedText(*o.TimeLimit, 1)
        << " s was reached; nothing was written\n";
  else
    err << ProgramName() << ": interrupted; nothing was written\n";
  return false;
}

// A project with stored data is coloured from them; anything else is computed small.
int WriteThumbnail(const Options& o, TCalcParams& p, PixelDataFile& tmp1, PixelDataFile& tmp2, std::ostream& err) {
  PictureSize fit = FitInSquare(p.PictureWidth, p.PictureHeight, *o.Thumbnail);
  TPicture thumbnail;
  if (tmp1.RecordCount() > 0) {
    thumbnail = Shrink(RowsFromData(p, tmp1), fit.Width, fit.Height);
  } else {
    p.PictureWidth = std::max(fit.Width, kMinPictureSide);
    p.PictureHeight = std::max(fit.Height, kMinPictureSide);
    fit = FitInSquare(p.PictureWidth, p.PictureHeight, *o.Thumbnail);
    LimitWork(p, kThumbnailSteps);
    p.ProgressColumn = p.ProgressRow = 0;
    p.IterationsDone = 0;
    p.State = StateRunning;
    TPicture picture;
    picture.Resize(p.PictureWidth, p.PictureHeight);
    picture.Fill(0xFFFFFF);
    tmp2.Clear();
    tmp1.Rewind();
    tmp2.Rewind();
    if (!Completed(Compute(p, picture, tmp1, tmp2, true, o, err), o, err)) return 1;
    thumbnail = Shrink(RowsOf(picture), fit.Width, fit.Height);
  }
  SavePng(*o.Picture, RowsOf(thumbnail));
  Note(o, err,
       "wrote the thumbnail '" + *o.Picture + "' (" + std::to_string(fit.Width) + " x " + std::to_string(fit.Height) +
           ")");
  return 0;
}

// The picture coloured from N x N sub-pixels a pixel, computed afresh through the computation
// thread straight into the rows of the held picture; no data files are written.
RunResult RenderSupersampledBlock(const Options& o, PreparedBlock& block, PixelDataFile& tmp1, PixelDataFile& tmp2,
                                  std::ostream& err, const ProgressHooks& hooks) {
  TCalcParams& p = block.Params;
  tmp1.Clear();
  tmp2.Clear();
  TPicture picture = PictureOfBlock(p);
  const int n = o.Supersample;
  TCalcParams sub = SubPixelBlock(p, n);
  Note(o, err,
       "supersampling: " + std::to_string(sub.PictureWidth) + " x " + std::to_string(sub.PictureHeight) +
           " sub-pixels, " + std::to_string(n) + " x " + std::to_string(n) + " a pixel");
  SupersampleRows rows(p, n, [&picture](int32_t row, const uint8_t* bgr) {
    std::copy_n(bgr, size_t(picture.Width) * 3, picture.Row(row));
  });
  TPicture noPicture;  // the sub-pixels are not drawn
  const RunResult result = Compute(sub, noPicture, tmp1, tmp2, true, o, err, hooks,
                                   [&rows](int64_t record, const double* e, const double*, int32_t count) {
                                     try {
                                       rows.Add(record, e, count);
                                     } catch (const std::logic_error& problem) {
                                       throw IoError(problem.what());
                                     }
                                   });
  if (result != RunResult::Finished) return result;
  if (stopRequested) return RunResult::Stopped;
  if (!rows.Complete()) throw IoError("The calculation ended before the picture was complete.");
  // The PNG carries the block as a plain render of the picture leaves it.
  p.IterationsDone = 0;
  MarkFinished(p);
  WriteOutputs(o, p, block.PicturePath, RowsOf(picture), tmp1, tmp2, err);
  return RunResult::Finished;
}

int RenderSupersampled(const Options& o, std::ostream& err) {
  WorkDirectory work;  // the input's stored data are loaded there, and not used
  PixelDataFile tmp1, tmp2;
  tmp1.Create(work.File("data.TMP1"));
  tmp2.Create(work.File("data.TMP2"));
  PreparedBlock block = PrepareBlock(o, tmp1, tmp2, err, true);
  if (tmp1.RecordCount() > 0)
    Note(o, err, "the supersampled picture is computed afresh; the project's stored data are not used");
  return Completed(RenderSupersampledBlock(o, block, tmp1, tmp2, err, kNoHooks), o, err) ? 0 : 1;
}

// Computes what remains of the prepared block and writes the outputs.
RunResult RenderBlock(const Options& o, PreparedBlock& block, const WorkDirectory& work, PixelDataFile& tmp1,
                      PixelDataFile& tmp2, std::ostream& err, const ProgressHooks& hooks) {
  TCalcParams& p = block.Params;
  work.CheckRoomFor(int64_t(p.PictureWidth) * p.PictureHeight);
  TPicture picture = PictureOfBlock(p);
  picture.Fill(0xFFFFFF);
  ColourFromData(p, tmp1, picture);

  const ComputePlan plan = PlanComputation(p, tmp1, tmp2, o, err);
  if (plan.Compute) {
    if (p.ProgressRow < p.PictureHeight) {
      tmp1.Rewind();
      tmp2.Rewind();
      const RunResult result = Compute(p, picture, tmp1, tmp2, plan.Fresh, o, err, hooks);
      if (result != RunResult::Finished) return result;
    }
    // As the desktop program's finished handler does.
    MarkFinished(p);
  }
  if (stopRequested) return RunResult::Stopped;
  if (o.AutoColours) {
    ApplyAutoColours(o, p, tmp1, err);
    ColourFromData(p, tmp1, picture);
  }
  WriteOutputs(o, p, block.PicturePath, RowsOf(picture), tmp1, tmp2, err);
  return RunResult::Finished;
}

}  // namespace

void RequestStop() noexcept { stopRequested = 1; }

bool StopRequested() noexcept { return stopRequested != 0; }

bool RenderFresh(const Options& o, PreparedBlock& block, std::ostream& err, const ProgressHooks& hooks) {
  WorkDirectory work;
  PixelDataFile tmp1, tmp2;
  tmp1.Create(work.File("data.TMP1"));
  tmp2.Create(work.File("data.TMP2"));
  const RunResult result = o.Supersample > 1 ? RenderSupersampledBlock(o, block, tmp1, tmp2, err, hooks)
                                             : RenderBlock(o, block, work, tmp1, tmp2, err, hooks);
  return result == RunResult::Finished && !stopRequested;
}

int Render(const Options& o, std::ostream& err) {
  if (o.Supersample > 1) return RenderSupersampled(o, err);
  WorkDirectory work;
  PixelDataFile tmp1, tmp2;
  tmp1.Create(work.File("data.TMP1"));
  tmp2.Create(work.File("data.TMP2"));

  PreparedBlock block = PrepareBlock(o, tmp1, tmp2, err, !o.Thumbnail);
  if (o.Thumbnail) return WriteThumbnail(o, block.Params, tmp1, tmp2, err);
  return Completed(RenderBlock(o, block, work, tmp1, tmp2, err, kNoHooks), o, err) ? 0 : 1;
}

}  // namespace vantorel::cli
