// A film: a base parameter block, a frame size, a frame count and keyframes. Each keyframe sets
// some of the renderer's parameter options; every frame is an ordinary picture whose parameters
// lie on the path between the keyframes around it.
//
// The animation file (*.anim) is text, one statement a line, '#' starts a comment:
//
//   base default                 # or a parameter/project file or PNG picture, relative to this file
//   size 320x240                 # frame size
//   frames 300                   # frame count, numbered 0 ... 299
//   easing smooth                # or linear: how numbers other than the region move
//   key 0 center-x=3,5 center-y=3 region-width=1 region-height=0,75
//   key 299 region-width=0,001 region-height=0,00075
//
// Numbers follow the renderer's rules (decimal point or comma). What a key leaves out it keeps
// from the key before; the first key's from the base.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "app/ParameterOverrides.h"
#include "core/CalcParams.h"

namespace vantorel {

// A file or text that is not an animation; the message names the line ("line 4: ...").
class AnimationError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class Easing { Smooth, Linear };

struct AnimationKey {
  int32_t Frame = 0;
  Overrides Set;  // what this key sets (picture size never: the film has one size)
  bool operator==(const AnimationKey&) const = default;
};

struct Animation {
  std::string Base = "default";  // "default", or a file name relative to the animation file
  int32_t Width = 320, Height = 240;
  int32_t Frames = 0;
  Easing Ease = Easing::Smooth;
  std::vector<AnimationKey> Keys;  // by frame, the first at 0 and the last at Frames - 1
  bool operator==(const Animation&) const = default;
};

// The long option names a key may set, without dashes, in the order the file writes them.
const std::vector<std::string>& AnimationKeyNames();

// Reads an animation text; throws AnimationError naming the line.
Animation ParseAnimation(std::string_view text);
// The text ParseAnimation reads back as the same animation (numbers with a comma).
std::string AnimationText(const Animation& animation);

// Reads / writes an animation file. Saving replaces the file only when the whole text was
// written. Both throw std::runtime_error (AnimationError for a bad text) with the file's name.
Animation LoadAnimationFile(const std::string& path);
void SaveAnimationFile(const std::string& path, const Animation& animation);

// The base block of an animation read from animationPath: the default block, or the parameter
// file, project file (its block) or PNG picture (its parameters) named relative to the
// animation file's folder. Throws std::runtime_error with a message.
TCalcParams LoadAnimationBase(const Animation& animation, const std::string& animationPath);

// The parameter block of every frame.
class AnimationPath {
 public:
  // Throws AnimationError when a keyframe's block cannot be computed (a bad sequence, a
  // formula that does not parse, a region of no size, an iteration count out of range).
  AnimationPath(const Animation& animation, const TCalcParams& base);

  int32_t FrameCount() const;
  bool IsKeyframe(int32_t frame) const;
  // The block of frame 0 <= frame < FrameCount(), with the film's picture size, initialised
  // (nothing computed). At a keyframe it is exactly the block a plain render gets from the
  // base with the options of this and every earlier key (later keys win), and the film's
  // --size.
  TCalcParams Frame(int32_t frame) const;

 private:
  std::vector<TCalcParams> keyBlocks_;
  std::vector<int32_t> keyFrames_;
  // Per key, the slope (per frame) of the smooth curve of each eased number at the key.
  std::vector<std::vector<double>> slopes_;
  Easing ease_ = Easing::Smooth;
};

}  // namespace vantorel
