#include "app/KeyframeList.h"

#include <algorithm>

namespace vantorel {

std::optional<size_t> KeyframeList::Add(const RegionFrame& view) {
  int32_t frame = 0;
  if (!keys_.empty()) {
    if (keys_.back().Frame >= kLargestFrame) return std::nullopt;
    frame = std::min(kLargestFrame, keys_.back().Frame + kDefaultStep);
  }
  keys_.push_back({frame, view});
  return keys_.size() - 1;
}

std::optional<size_t> KeyframeList::SetFrame(size_t index, int32_t frame, std::string& problem) {
  if (index >= keys_.size()) {
    problem = "there is no such keyframe";
    return std::nullopt;
  }
  if (keys_[index].Frame == frame) return index;
  if (frame < 0 || frame > kLargestFrame) {
    problem = "a frame number lies between 0 and " + std::to_string(kLargestFrame);
    return std::nullopt;
  }
  if (index == 0) {
    problem = "the first keyframe is frame 0";
    return std::nullopt;
  }
  for (const Keyframe& k : keys_)
    if (k.Frame == frame) {
      problem = "frame " + std::to_string(frame) + " has a keyframe already";
      return std::nullopt;
    }
  std::vector<Keyframe> keys = keys_;
  keys[index].Frame = frame;
  const Keyframe moved = keys[index];
  std::stable_sort(keys.begin(), keys.end(), [](const Keyframe& a, const Keyframe& b) { return a.Frame < b.Frame; });
  keys_ = std::move(keys);
  for (size_t i = 0; i < keys_.size(); ++i)
    if (keys_[i].Frame == moved.Frame) return i;
  return std::nullopt;  // not reached
}

bool KeyframeList::MoveUp(size_t index) {
  if (index == 0 || index >= keys_.size()) return false;
  std::swap(keys_[index].View, keys_[index - 1].View);
  return true;
}

bool KeyframeList::MoveDown(size_t index) { return index + 1 < keys_.size() && MoveUp(index + 1); }

bool KeyframeList::Remove(size_t index) {
  if (index >= keys_.size()) return false;
  keys_.erase(keys_.begin() + static_cast<std::ptrdiff_t>(index));
  if (index == 0 && !keys_.empty()) keys_.front().Frame = 0;
  return true;
}

bool KeyframeList::SetFilmSize(int32_t width, int32_t height) {
  auto fits = [](int32_t v) { return v >= kSmallestFilmSide && v <= kLargestFilmSide; };
  if (!fits(width) || !fits(height)) return false;
  width_ = width;
  height_ = height;
  return true;
}

RegionFrame KeyframeList::FilmRegion(const RegionFrame& view, int32_t width, int32_t height) {
  RegionFrame r = view;
  const double ratio = double(width) / double(height);
  if (r.Width / r.Height > ratio)
    r.Height = r.Width / ratio;
  else
    r.Width = r.Height * ratio;
  return r;
}

Animation KeyframeList::ToAnimation(const std::string& base) const {
  Animation a;
  a.Base = base;
  a.Width = width_;
  a.Height = height_;
  a.Frames = FrameCount();
  for (const Keyframe& k : keys_) {
    const RegionFrame r = FilmRegion(k.View, width_, height_);
    AnimationKey key;
    key.Frame = k.Frame;
    key.Set.CenterX = r.CenterX;
    key.Set.CenterY = r.CenterY;
    key.Set.Width = r.Width;
    key.Set.Height = r.Height;
    key.Set.AngleDegrees = RadiansToDegrees(r.Angle);
    a.Keys.push_back(std::move(key));
  }
  return a;
}

TCalcParams FilmBase(const TCalcParams& project) {
  TCalcParams p = project;
  p.ProgressColumn = p.ProgressRow = 0;
  p.State = StateInitialised;
  p.IterationsDone = 0;
  return p;
}

bool IsDefaultFilmBase(const TCalcParams& project) {
  // The region is what every key sets; the rest must be the default block's.
  TCalcParams p = FilmBase(project), d = FilmBase(DefaultCalcParams());
  p.CenterX = d.CenterX;
  p.CenterY = d.CenterY;
  p.Width = d.Width;
  p.Height = d.Height;
  p.Angle = d.Angle;
  p.AdjustRatio = d.AdjustRatio;
  p.PictureWidth = d.PictureWidth;
  p.PictureHeight = d.PictureHeight;
  return p == d;
}

}  // namespace vantorel
