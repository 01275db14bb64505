#include "app/PictureRatio.h"

#include <algorithm>
#include <cmath>

#include "core/NumberText.h"

namespace vantorel {

RatioResult KeepPictureRatio(int side, const std::string& numerator, const std::string& denominator,
                             const std::string& numeratorName, const std::string& denominatorName, int minimum,
                             int maximum) {
  const std::string left = " Both picture sizes were left as they are.";
  const auto num = TextToFloat(numerator);
  const auto den = TextToFloat(denominator);
  if (!num) return {std::nullopt, numeratorName + ": \"" + numerator + "\" is not a number." + left};
  if (!den) return {std::nullopt, denominatorName + ": \"" + denominator + "\" is not a number." + left};
  if (*num == 0.0) return {std::nullopt, numeratorName + " is 0, which gives no picture size." + left};
  if (*den == 0.0) return {std::nullopt, denominatorName + " is 0, which gives no picture size." + left};
  const double wanted = side * *num / *den;
  if (!std::isfinite(wanted) || wanted <= 0.0)
    return {std::nullopt,
            *num / *den < 0.0
                ? numeratorName + " and " + denominatorName + " differ in sign, which gives no picture size." + left
                : numeratorName + " and " + denominatorName + " give no usable ratio." + left};
  const double limited = std::clamp(wanted, double(minimum), double(maximum));
  return {static_cast<int>(std::nearbyint(limited)), std::string()};
}

}  // namespace vantorel
