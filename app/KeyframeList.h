// The keyframes of a film as the explorer's keyframe editor gathers them: views of the
// AB-plane at frame numbers, the film's frame size, and the animation they make.
//
// A key keeps the view the user saw (centre, width, height, angle of the explorer's region);
// the region a frame of the film shows is derived from it when the animation is built, so that
// a change of the film's size re-frames every key. The film frames a key's centre with the
// whole viewed region visible: the region's narrower side (relative to the film's ratio) is
// widened until width / height equals the film's, the other side stays. A frame therefore
// shows at least what the explorer showed, with square pixels.
//
// The keys are kept by frame number, all different, the first always at frame 0; the film
// has last key + 1 frames.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/Animation.h"
#include "app/RegionGeometry.h"
#include "core/CalcParams.h"

namespace vantorel {

struct Keyframe {
  int32_t Frame = 0;
  RegionFrame View;  // the explorer's region (angle in radians)
};

class KeyframeList {
 public:
  static constexpr int32_t kDefaultStep = 100;  // frames between a new key and the last one
  static constexpr int32_t kLargestFrame = 999999;
  static constexpr int32_t kSmallestFilmSide = 8, kLargestFilmSide = 100000;

  const std::vector<Keyframe>& Keys() const { return keys_; }
  size_t Size() const { return keys_.size(); }
  bool Empty() const { return keys_.empty(); }
  // Last key + 1 (0 without keys).
  int32_t FrameCount() const { return keys_.empty() ? 0 : keys_.back().Frame + 1; }
  int32_t FilmWidth() const { return width_; }
  int32_t FilmHeight() const { return height_; }

  // Appends the view as a key at frame 0 (the first) or the last key's frame + kDefaultStep;
  // gives its index, or nothing when the list is full up to kLargestFrame.
  std::optional<size_t> Add(const RegionFrame& view);
  // Gives the key at index the frame number and re-sorts; the key's new index, or nothing with
  // problem set (the list unchanged): a frame outside 0..kLargestFrame or taken by another
  // key, the first key moved away from 0 while it is the only one at the start.
  std::optional<size_t> SetFrame(size_t index, int32_t frame, std::string& problem);
  // Exchanges the views of the key at index and its neighbour; the frame numbers stay.
  bool MoveUp(size_t index);
  bool MoveDown(size_t index);
  // Removes a key; when it was the first, the next one takes frame 0.
  bool Remove(size_t index);
  // The film's frame size; false (nothing changed) outside kSmallestFilmSide..kLargestFilmSide.
  bool SetFilmSize(int32_t width, int32_t height);

  // The region a film frame of width x height pixels shows for a view (see above).
  static RegionFrame FilmRegion(const RegionFrame& view, int32_t width, int32_t height);
  // The animation: every key sets centre, region width and height (framed for the film) and
  // the angle in degrees; base as given.
  Animation ToAnimation(const std::string& base) const;

 private:
  std::vector<Keyframe> keys_;
  int32_t width_ = 320, height_ = 240;
};

// The base block of a film made from a project: the project's block without its progress and
// state (its picture size stays; the film gives every frame its own). Whether it is the default block, so
// that the animation can say "base default" instead of naming a parameter file.
TCalcParams FilmBase(const TCalcParams& project);
bool IsDefaultFilmBase(const TCalcParams& project);

}  // namespace vantorel
