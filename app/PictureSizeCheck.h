// Whether a picture size may be taken: a size that a slip of the keyboard made huge must not
// cost the machine its memory, its disk or hours of computing without the user agreeing.
// Pictures whose data do not fit what is free are refused with the figures; the others are
// taken silently up to four screens, and asked about with their cost when larger.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace vantorel {

// What a picture of a size needs: the bitmap (3 bytes a pixel, rows padded to 4 bytes) and the
// image shown (4 bytes a pixel) in memory; the two per-pixel data files (8 bytes a pixel
// each) on the disk of the temporary directory.
struct PictureNeeds {
  uint64_t MemoryBytes = 0;
  uint64_t DiskBytes = 0;
};
PictureNeeds NeedsOfPicture(int32_t width, int32_t height);

// What the machine has free now.
struct MachineRoom {
  uint64_t FreeMemory = UINT64_MAX;
  uint64_t FreeDisk = UINT64_MAX;
};
// The available memory of the system and the free space of the file system holding dir
// (UINT64_MAX for what cannot be learnt).
MachineRoom ProbeMachineRoom(const std::string& dir);

enum class SizeVerdict { Take, Ask, Refuse };
struct SizeJudgement {
  SizeVerdict Verdict = SizeVerdict::Take;
  std::string Text;  // the question or the refusal, with the figures; empty when taken
};

// Judges a picture of width x height: refused when its memory or data exceed what room has
// free; else taken silently up to four times screenPixels, and asked about when larger. seconds gives the
// estimated computing time (nothing when it cannot be estimated); it is called only when the
// size is not taken silently.
SizeJudgement JudgePictureSize(int32_t width, int32_t height, uint64_t screenPixels, const MachineRoom& room,
                               const std::function<std::optional<double>()>& seconds);

// "512 bytes", "1,5 KB", "5,9 GB": a byte count in powers of 1024 with one decimal.
std::string ByteText(uint64_t bytes);

}  // namespace vantorel
