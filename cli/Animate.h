// vantorel-render --animate: the frames of a film, each an ordinary picture of the parameters on
// the path between the keyframes, written one file a frame; frames already on disk are kept, so
// that a long film resumes where it stopped.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "app/Animation.h"
#include "cli/FrameFiles.h"
#include "cli/Options.h"
#include "cli/RenderSteps.h"

namespace vantorel::cli {

// The film of --animate with the frames this run is to render.
struct Film {
  // Reads the animation file; throws UsageError for a --frames range outside the film, and
  // std::runtime_error (AnimationError included) for a file that cannot be used.
  explicit Film(const Options& o);

  Animation Script;
  std::unique_ptr<AnimationPath> Path;
  FramePattern Pattern;
  int32_t First = 0, Last = 0;  // the range to render, inclusive

  // The prepared block of frame n, with its picture's name.
  PreparedBlock Frame(const Options& o, int32_t n, std::ostream& err) const;
  // Whether frame n's file is there and complete. A PNG must carry the frame's parameters
  // (unless --auto-colours moved its colours); one that does not is rendered again.
  bool Done(const Options& o, const PreparedBlock& frame) const;
};

// Frames done of a film and the time the rest will take, measured on the frames this run
// rendered (not those found on disk).
class FilmProgress {
 public:
  FilmProgress(int32_t total, int32_t done);
  void FrameRendered();
  // "frame 37/300 (12 %), about 4m 10s left"; partPercent: how far the frames being computed are
  // (in frames x 100).
  std::string Line(double partPercent = 0) const;
  int32_t Done() const { return done_; }
  int32_t Rendered() const { return rendered_; }

 private:
  int32_t total_, done_, rendered_ = 0;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

// The frames of the film's range still to render; removes what a killed run left beside them
// and creates the folder. Writes a note about what is kept.
std::vector<int32_t> FramesToRender(const Options& o, const Film& film, std::ostream& err);

// The end of a run whose frames are complete: the summary and the video (--video). Returns the
// exit status.
int FinishFilm(const Options& o, const Film& film, const FilmProgress& progress, std::ostream& err);

// The whole of --animate in one process; returns the exit status.
int Animate(const Options& o, std::ostream& err);

}  // namespace vantorel::cli
