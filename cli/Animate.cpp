#include "cli/Animate.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "app/ParameterFile.h"
#include "app/PictureFile.h"
#include "cli/Render.h"
#include "cli/Video.h"
#include "core/CalculationControl.h"

namespace vantorel::cli {

namespace {

// Whether a picture file is whole: every frame is written through a temporary file, but a file
// cut short elsewhere (a copy, a full disk of another program) must not pass for a frame. A PNG
// ends with its IEND chunk, a JPEG with its end-of-image marker; a bitmap has the size of a
// 24-bit picture of the frame's sides.
bool WholePicture(const std::string& path, PictureType type, int32_t width, int32_t height) {
  std::ifstream file(path, std::ios::binary | std::ios::ate);
  if (!file) return false;
  const std::streamoff size = file.tellg();
  const auto bytesAt = [&](std::streamoff at, size_t count) {
    std::string bytes(count, '\0');
    if (at < 0 || !file.seekg(at) || !file.read(bytes.data(), std::streamsize(count))) return std::string();
    return bytes;
  };
  switch (type) {
    case PictureType::Png: return bytesAt(size - 12, 12) == std::string("\0\0\0\0IEND\xAE\x42\x60\x82", 12);
    case PictureType::Jpeg: return bytesAt(0, 2) == "\xFF\xD8" && bytesAt(size - 2, 2) == "\xFF\xD9";
    case PictureType::Bitmap: {
      const int64_t row = (3 * int64_t(width) + 3) / 4 * 4;
      const std::string sides = bytesAt(18, 8);
      const auto side = [&](size_t at) {
        return int32_t(uint32_t(uint8_t(sides[at])) | uint32_t(uint8_t(sides[at + 1])) << 8 |
                       uint32_t(uint8_t(sides[at + 2])) << 16 | uint32_t(uint8_t(sides[at + 3])) << 24);
      };
      return size == 54 + row * height && sides.size() == 8 && side(0) == width &&
             (side(4) == height || side(4) == -height);
    }
  }
  return false;
}

}  // namespace

Film::Film(const Options& o) : Script(LoadAnimationFile(*o.Animate)), Pattern(*o.Picture) {
  Path = std::make_unique<AnimationPath>(Script, LoadAnimationBase(Script, *o.Animate));
  First = 0;
  Last = Script.Frames - 1;
  if (o.FrameRange) {
    if (o.FrameRange->second > Last)
      throw UsageError("--frames " + std::to_string(o.FrameRange->first) + "-" + std::to_string(o.FrameRange->second) +
                       " lies outside the film, whose frames are 0-" + std::to_string(Last));
    First = o.FrameRange->first;
    Last = o.FrameRange->second;
  }
}

PreparedBlock Film::Frame(const Options& o, int32_t n, std::ostream& err) const {
  Options quiet = o;  // the colour options' notes were said for the first frame
  quiet.Quiet = true;
  return PrepareFrame(quiet, Path->Frame(n), Pattern.Name(n), err);
}

bool Film::Done(const Options& o, const PreparedBlock& frame) const {
  const std::string& path = *frame.PicturePath;
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return false;
  PictureType type = PictureType::Bitmap;
  PictureTypeForPath(path, type);
  if (!WholePicture(path, type, frame.Params.PictureWidth, frame.Params.PictureHeight)) return false;
  if (type != PictureType::Png || o.AutoColours) return true;
  // The block a render of the frame writes into its PNG.
  TCalcParams written = frame.Params;
  written.IterationsDone = 0;
  MarkFinished(written);
  try {
    return ReadPngParameterBlock(path) == EncodeParameterBlock(written, BlockForm::Parameters);
  } catch (const std::exception&) {
    return false;
  }
}

FilmProgress::FilmProgress(int32_t total, int32_t done) : total_(total), done_(done) {}

void FilmProgress::FrameRendered() {
  ++done_;
  ++rendered_;
}

std::string FilmProgress::Line(double partPercent) const {
  const double part = std::clamp(partPercent / 100, 0.0, double(total_ - done_));
  const double percent = total_ > 0 ? (done_ + part) * 100 / total_ : 100;
  std::string line = "frame " + std::to_string(done_) + "/" + std::to_string(total_) + " (" +
                     std::to_string(int(std::floor(percent))) + " %)";
  const double worked = rendered_ + part;
  if (worked > 0 && done_ < total_) {
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    line += ", about " + RemainingTimeText(std::llround(seconds / worked * (total_ - done_ - part))) + " left";
  }
  return line;
}

std::vector<int32_t> FramesToRender(const Options& o, const Film& film, std::ostream& err) {
  CreateFrameFolder(film.Pattern);
  CheckOutputDirectory(film.Pattern.Name(film.First));
  if (o.Video) CheckOutputDirectory(*o.Video);
  if (const int left = RemoveLeftTemporaries(film.Pattern); left > 0)
    Note(o, err, "removed " + std::to_string(left) + " unfinished frame file(s) of an interrupted run");
  std::vector<int32_t> todo, kept, again;
  std::error_code ec;
  for (int32_t n = film.First; n <= film.Last; ++n) {
    const PreparedBlock frame = film.Frame(o, n, err);
    if (film.Done(o, frame))
      kept.push_back(n);
    else {
      if (std::filesystem::exists(*frame.PicturePath, ec)) again.push_back(n);
      todo.push_back(n);
    }
  }
  if (!kept.empty()) Note(o, err, "kept " + FrameListText(kept) + ", already complete");
  if (!again.empty()) Note(o, err, FrameListText(again) + " carry other parameters and are rendered again");
  return todo;
}

int FinishFilm(const Options& o, const Film& film, const FilmProgress& progress, std::ostream& err) {
  Note(o, err,
       "frames " + std::to_string(film.First) + "-" + std::to_string(film.Last) + " of '" + film.Pattern.Text() +
           "' are complete (" + std::to_string(progress.Rendered()) + " rendered now)");
  if (!o.Video) return 0;
  return MakeVideo(o, film.Pattern, film.Script.Frames, film.Script.Width, film.Script.Height, err);
}

int Animate(const Options& o, std::ostream& err) {
  const Film film(o);
  const std::vector<int32_t> todo = FramesToRender(o, film, err);
  const int32_t count = film.Last - film.First + 1;
  FilmProgress progress(count, count - int32_t(todo.size()));
  const bool terminal = !o.Quiet && isatty(STDERR_FILENO);
  Options frameOptions = o;  // the film says what happens, not each frame
  frameOptions.Quiet = true;
  ProgressHooks hooks;
  hooks.Show = terminal;
  hooks.Line = [&progress](double percent) { return progress.Line(percent); };
  for (const int32_t n : todo) {
    PreparedBlock frame = film.Frame(o, n, err);
    if (terminal) err << "\r" << progress.Line() << "\033[K" << std::flush;
    const bool written = !StopRequested() && RenderFresh(frameOptions, frame, err, hooks);
    if (terminal) err << "\r\033[K" << std::flush;
    if (!written) {
      err << ProgramName() << ": interrupted; frame " << n << " was not written, " << progress.Done() << " of " << count
          << " frames are complete (the same command continues)\n";
      return 1;
    }
    progress.FrameRendered();
    if (!terminal) Note(o, err, "wrote '" + *frame.PicturePath + "'; " + progress.Line());
  }
  return FinishFilm(o, film, progress, err);
}

}  // namespace vantorel::cli
