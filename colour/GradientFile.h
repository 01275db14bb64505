// GIMP gradients "*.ggr": a text file of segments, each blending a left colour into a right
// colour over a part of 0 ... 1, with a middle point where half of the blend is reached.
//
//   GIMP Gradient
//   Name: Sunrise                       (optional)
//   2                                   number of segments
//   0 0.25 0.5  r g b a  r g b a  0 0   left middle right, left and right colour 0 ... 1,
//   0.5 0.75 1  ...      ...      2 1 0 0   blend, colour model [, left and right colour kind]
//
// Blends: 0 linear, 1 curved, 2 sine, 3 sphere increasing, 4 sphere decreasing, 5 step. Colour
// models: 0 RGB, 1 HSV with the hue turning counter-clockwise, 2 clockwise. Alpha is read but not
// used (a picture has no transparency); colour kinds that refer to a drawing program's foreground
// or background are taken as the stored colour.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "colour/ColorList.h"
#include "colour/ColourStops.h"

namespace vantorel {

constexpr size_t kMaxGradientSegments = 10000;

enum class GradientBlend { Linear, Curved, Sine, SphereIncreasing, SphereDecreasing, Step };
enum class GradientModel { Rgb, HsvCounterClockwise, HsvClockwise };

struct GradientSegment {
  double Left = 0, Middle = 0.5, Right = 1;
  std::array<double, 4> LeftColour{0, 0, 0, 1}, RightColour{1, 1, 1, 1};  // r g b a, 0 ... 1
  GradientBlend Blend = GradientBlend::Linear;
  GradientModel Model = GradientModel::Rgb;
};

struct Gradient {
  std::string Name;
  std::vector<GradientSegment> Segments;  // contiguous from 0 to 1
};

// Throws FormatError naming the line at fault: wrong header, a missing or malformed segment,
// numbers out of range, segments that do not join up from 0 to 1.
Gradient DecodeGimpGradient(const uint8_t* data, size_t size);

// The gradient's colour at a position 0 ... 1, each channel in levels 0 ... 255 (not rounded).
std::array<double, 3> GradientColour(const Gradient& gradient, double position);
std::array<double, 3> SegmentColour(const GradientSegment& segment, double position);

// Colour-list stops that follow the gradient: linear RGB blends exactly (their ends and middle
// point), steps as two stops at one position, every other blend sampled finely enough that the
// straight lines between the sampled colours stay within half a level of the blend in every
// channel; the stops' colours are the samples rounded to whole levels. Throws FormatError when
// that would take more than kMaxColorFileEntries stops.
ColourStops SampleGradient(const Gradient& gradient);

// The list as a gradient of linear RGB segments from its first value (0) to its last (1), one
// segment between each two neighbouring entries. The outer colours have no place in the format.
std::string EncodeGimpGradient(const ColorListState& list, const std::string& name);

}  // namespace vantorel
