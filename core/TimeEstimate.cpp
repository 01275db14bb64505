#include "core/TimeEstimate.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <vector>

#include "core/IoError.h"
#include "core/Kernels.h"
#include "core/UserMap.h"

namespace vantorel {

double EstimateComputeSeconds(const TCalcParams& params, int workers, bool fastTrig, int samples,
                              double budgetSeconds) {
  if (params.PictureWidth <= 0 || params.PictureHeight <= 0)
    throw FormatError("The picture size must be at least 1 x 1 pixels.");
  KernelParams kp = KernelParamsFrom(params);
  kp.FastTrig = fastTrig;
  std::unique_ptr<IUserMap> user;
  if (params.FixedFormula == -1) user = PrepareUserMap(params)->Create();
  const PixelKernel kernel(kp, user.get());
  const PixelMapping mapping(params);

  // A side x side grid through the picture, with its points at the middles of equal cells.
  const int side = std::max(1, int(std::sqrt(double(std::max(samples, 1)))));
  const auto start = std::chrono::steady_clock::now();
  int done = 0;
  double elapsed = 0;
  for (int gy = 0; gy < side && elapsed < budgetSeconds; ++gy) {
    const auto row = static_cast<int32_t>((gy + 0.5) * params.PictureHeight / side);
    std::vector<PixelInput> in(static_cast<size_t>(side));
    std::vector<PixelResult> out(static_cast<size_t>(side));
    for (int gx = 0; gx < side; ++gx) {
      const auto column = static_cast<int32_t>((gx + 0.5) * params.PictureWidth / side);
      mapping.MapPixel(column, params.PictureHeight - row, in[size_t(gx)].A, in[size_t(gx)].B);
    }
    // Several at a time, as the engine computes them.
    kernel.ComputeMany(in.data(), out.data(), in.size());
    done += side;
    elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  const double pixels = double(params.PictureWidth) * params.PictureHeight;
  return elapsed / std::max(done, 1) * pixels / std::max(workers, 1);
}

}  // namespace vantorel
