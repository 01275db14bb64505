// The kernels computing several pixels at a time, one in each lane of the widest vector
// registers the processor offers (chosen at run time): the fixed formulas, and in fast mode a
// user formula's program. Both run in one frame (VectorFrame-inl.h).
//
// Every lane does the same IEEE operations as the scalar kernel (Kernels.h) on its own pixel,
// so the orbits, and with them the last X of every pixel, are the same bit for bit. In exact
// mode the sines and cosines come from the same C library calls, lane by lane; with
// KernelParams::FastTrig they come from a vector library (at most 1 ulp off), which makes
// chaotic orbits diverge as any two maths libraries do.
//
// The sum of ln|d| is taken as the logarithm of a product (the deferred logarithm), so the
// exponent differs from the sum of logarithms only by rounding.
//
// A user formula runs in vector lanes only in fast mode: compiled by the formula library into a
// UserProgram, in double precision with SLEEF's functions (at most 1 ulp); its substitutes and
// limits are those of the extended-precision evaluation, and like it the program never faults
// (a value that leaves the double range makes the formula 1.0).
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

struct UserProgram;

// Computes n pixels of the user formula compiled into program (UserProgram.h), with the plain or
// smart kernel as p.SmartIterate says. False only when cancel was set before all pixels were
// done.
bool ComputeUserPixels(const KernelParams& p, const UserProgram& program, const PixelInput* in, PixelResult* out,
                       size_t n, const std::atomic<bool>* cancel = nullptr);

// The program's F and dF/dX at n points, computed in vector lanes as the kernel computes them
// (points[i] = X, A, B, AB, BA), for tests that compare the lanes with EvaluateUserProgram.
struct UserPoint {
  double X, A, B, AB, BA;
};
void EvaluateUserLanes(const UserProgram& program, const UserPoint* points, size_t n, double* f, double* slope);

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
