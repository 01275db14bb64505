// The iteration and calm-down counts a project takes from its spin edits. A count is rounded up
// to whole AB-sequences (the penalty weights of the kernels need them), but a count that is
// already a positive multiple of the sequence length stays as it is, and a count the block
// holds stays while the spin edit shows it: showing, loading, saving and gathering again never
// change a count by themselves.
#pragma once

#include <cstdint>

namespace vantorel {

// v - (v mod S) + S for a count that is not a positive multiple of S; a positive multiple stays.
// S must be positive.
int32_t RoundedIterations(int32_t v, int32_t sequenceLength);

// The count gathered from a spin value: the block's own count while the spin shows it and the
// sequence length is the block's (a count set by the "iterations" adjustment need not be a
// multiple of S), else RoundedIterations of the spin value.
int32_t GatheredIterations(int32_t spin, int32_t blockCount, int32_t blockLength, int32_t sequenceLength);

}  // namespace vantorel
