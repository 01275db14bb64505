// The video made from a film's frames by ffmpeg, found on PATH when the video is made.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

#include "cli/FrameFiles.h"
#include "cli/Options.h"

namespace vantorel::cli {

// The exit status of a run whose frames are complete but whose video could not be made because
// ffmpeg is not installed.
constexpr int kNoFfmpegStatus = 3;

// Encodes frames 0 ... frames - 1 of the pattern at o.Fps into o.Video (.mp4: H.264, .webm: VP9)
// through a temporary file beside it, renamed into place only when ffmpeg succeeded. Returns
// the exit status: 0, 1 (a frame missing, ffmpeg failed or was stopped) or kNoFfmpegStatus.
int MakeVideo(const Options& o, const FramePattern& pattern, int32_t frames, int32_t width, int32_t height,
              std::ostream& err);

}  // namespace vantorel::cli
