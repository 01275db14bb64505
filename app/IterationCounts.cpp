#include "app/IterationCounts.h"

#include "core/CalcParams.h"

namespace vantorel {

int32_t RoundedIterations(int32_t v, int32_t sequenceLength) {
  if (v > 0 && v % sequenceLength == 0) return v;
  return RoundIterations(v, sequenceLength);
}

int32_t GatheredIterations(int32_t spin, int32_t blockCount, int32_t blockLength, int32_t sequenceLength) {
  if (spin == blockCount && blockLength == sequenceLength && blockCount > 0) return blockCount;
  return RoundedIterations(spin, sequenceLength);
}

}  // namespace vantorel
