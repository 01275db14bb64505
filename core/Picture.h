// A 24-bit picture held row by row, each pixel as blue, green, red; rows padded to 4 bytes
// (the layout of a Windows bitmap row, and one a toolkit image can wrap without copying).
#pragma once

#include <cstdint>
#include <vector>

namespace vantorel {

struct TPicture {
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t Stride = 0;  // bytes per row
  std::vector<uint8_t> Bits;

  void Resize(int32_t width, int32_t height) {
    Width = width;
    Height = height;
    Stride = (width * 3 + 3) & ~3;
    Bits.assign(static_cast<size_t>(Stride) * static_cast<size_t>(height), 0);
  }
  // color: 0x00BBGGRR
  void Fill(uint32_t color) {
    for (int32_t y = 0; y < Height; ++y)
      for (int32_t x = 0; x < Width; ++x) SetPixel(x, y, color);
  }
  uint8_t* Row(int32_t y) { return Bits.data() + static_cast<size_t>(Stride) * y; }
  const uint8_t* Row(int32_t y) const { return Bits.data() + static_cast<size_t>(Stride) * y; }
  void SetPixel(int32_t x, int32_t y, uint32_t color) {
    uint8_t* p = Row(y) + 3 * x;
    p[0] = (color >> 16) & 0xFF;
    p[1] = (color >> 8) & 0xFF;
    p[2] = color & 0xFF;
  }
  uint32_t Pixel(int32_t x, int32_t y) const {
    const uint8_t* p = Row(y) + 3 * x;
    return p[2] | (p[1] << 8) | (uint32_t(p[0]) << 16);
  }
};

}  // namespace vantorel
