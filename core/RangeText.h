// The ends of a computed range as text: only the digits in which they differ (built on the
// number-text helper, so with its decimal comma).
#pragma once

#include <string>

namespace vantorel {

// An end of the range from..to, rounded to three significant digits of the span, trailing
// zeros dropped: for -0,123456789 .. 2,987654321 the ends show as "-0,12" and "2,99". An
// empty or non-finite range, or a huge value, gives FloatToText.
std::string RangeEndText(double value, double from, double to);

}  // namespace vantorel
