// The files of a film's frames: the -o pattern that names them, and what is on disk of them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vantorel::cli {

// A file name with one frame number in it: "%d" or "%0Nd" (N = 1..9 digits, zero-padded), as
// printf and ffmpeg read it, e.g. "frames/frame_%05d.png". Any other '%' is refused.
class FramePattern {
 public:
  // Throws UsageError naming what is wrong.
  explicit FramePattern(std::string pattern);

  const std::string& Text() const { return text_; }
  // The folder the frames go to ("." when the pattern names none).
  std::string Folder() const;
  std::string Name(int32_t frame) const;
  // The frame number of a file name (without folder) that the pattern writes; none otherwise.
  std::optional<int32_t> FrameOf(const std::string& fileName) const;

 private:
  std::string text_, folder_, prefix_;  // prefix_: the pattern up to the file name
  std::string before_, after_;          // the file name around the number
  int width_ = 0;                       // 0: as many digits as the number has
};

// Creates the pattern's folder when it is missing; throws IoError.
void CreateFrameFolder(const FramePattern& pattern);

// Removes the temporary files that a killed run left beside its frames (a frame being
// written when the process was killed); returns how many.
int RemoveLeftTemporaries(const FramePattern& pattern);

// "frame 7", "frames 3-5, 9 and 12-20": a sorted list of frame numbers in ranges.
std::string FrameListText(const std::vector<int32_t>& frames);

}  // namespace vantorel::cli
