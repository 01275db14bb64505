#include "core/RangeText.h"

#include <algorithm>
#include <cmath>

#include "core/NumberText.h"

namespace vantorel {

std::string RangeEndText(double value, double from, double to) {
  const double span = std::fabs(to - from);
  if (!std::isfinite(value) || !std::isfinite(span) || span == 0 || std::fabs(value) >= 1e15) return FloatToText(value);
  const int exponent = static_cast<int>(std::floor(std::log10(span))) - 2;
  const int decimals = std::max(0, -exponent);
  if (decimals > 15) return FloatToText(value);
  const double step = std::pow(10.0, exponent);
  std::string s = FixedText(std::round(value / step) * step, decimals);
  if (s.find(kDecimalSeparator) != std::string::npos) {
    while (s.back() == '0') s.pop_back();
    if (s.back() == kDecimalSeparator) s.pop_back();
  }
  if (s == "-0") s = "0";
  return s;
}

}  // namespace vantorel
