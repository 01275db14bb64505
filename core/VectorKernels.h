// The fixed-formula kernels computing several pixels at a time, one in each lane of the
// widest vector registers the processor offers (chosen at run time).
//
// Every lane does the same IEEE operations as the scalar kernel (Kernels.h) on its own pixel,
// so the orbits, and with them the last X of every pixel, are the same bit for bit. In exact
// mode the sines and cosines come from the same C library calls, lane by lane; with
// KernelParams::FastTrig they come from a vector library (at most 1 ulp off), which makes
// chaotic orbits diverge as any two maths libraries do.
//
// The sum of ln|d| is taken as the logarithm of a product: each |d| is split exactly into its
// binary exponent and a mantissa in [1, 2); the mantissas are multiplied, the exponents and
// the zero derivatives (penalty -100) counted. The plain kernel takes one logarithm per pixel,
// the smart kernel one per pass (it compares the sums of passes). The exponent differs from the
// sum of logarithms only by rounding.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/Kernels.h"

namespace vantorel {

// Computes n pixels of fixed formula p.FixedFormula (0..5) with the plain or smart kernel as
// p.SmartIterate says. Lanes whose pixel has ended take the next one. False only when cancel
// was set before all pixels were done.
bool ComputeFixedPixels(const KernelParams& p, const PixelInput* in, PixelResult* out, size_t n,
                        const std::atomic<bool>* cancel = nullptr);

// The instruction sets the vector kernels were built for and this processor runs, best first
// (Highway's target bits and names), for tests that force each one.
struct VectorTarget {
  int64_t bit;
  std::string name;
};
std::vector<VectorTarget> AvailableVectorTargets();
// Restricts the kernels to the given targets (0: all again). For tests.
void ForceVectorTargets(int64_t bits);
// The name of the instruction set the kernels use now.
std::string CurrentVectorTarget();

}  // namespace vantorel
