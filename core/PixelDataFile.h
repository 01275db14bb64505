// The per-pixel data files of a project: headerless sequences of 8-byte little-endian doubles,
// one record per pixel at index row * PictureWidth + column.
//   TMP1: the exponent of each pixel;  TMP2: the X value at which its orbit stopped.
// Every operation is checked; a failure throws IoError with the system's message.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace vantorel {

class PixelDataFile {
 public:
  PixelDataFile() = default;
  ~PixelDataFile();
  PixelDataFile(const PixelDataFile&) = delete;
  PixelDataFile& operator=(const PixelDataFile&) = delete;

  // Creates (or empties) the file and keeps it open for reading and writing.
  void Create(const std::string& path);
  // Opens an existing file for reading and writing.
  void Open(const std::string& path);
  void Close() noexcept;
  bool IsOpen() const { return fd_ >= 0; }
  const std::string& Path() const { return path_; }

  // Length in whole records.
  int64_t RecordCount() const;

  // The file position (in records), used by the user-interface thread's readers,
  // which put it back where they found it.
  int64_t Position() const { return position_; }
  void Seek(int64_t record);
  // Reads up to n records at the position and advances; returns how many were read.
  size_t Read(double* out, size_t n);
  // Writes n records at the position and advances.
  void Write(const double* values, size_t n);
  // Cuts the file at the position.
  void Truncate();

  // Seek to record 0 and cut the file there.
  void Clear();
  // Seek to record 0.
  void Rewind();

  // Positional access that leaves the position alone; safe to call from the computation's
  // threads while the user-interface thread writes other records.
  size_t ReadAt(int64_t record, double* out, size_t n) const;
  void WriteAt(int64_t record, const double* values, size_t n);

 private:
  int fd_ = -1;
  std::string path_;
  int64_t position_ = 0;
};

// The 175 x 119 preview grid of exponents; element (i, j) is column i, row j,
// with 119 consecutive doubles per column.
struct PreviewGrid {
  static constexpr int Columns = 175;
  static constexpr int Rows = 119;
  std::array<double, Columns * Rows> Values{};
  double& At(int i, int j) { return Values[static_cast<size_t>(i) * Rows + j]; }
  double At(int i, int j) const { return Values[static_cast<size_t>(i) * Rows + j]; }
};

// Fills the grid from TMP1 so that the whole picture, scaled and centred, fits 175 x 119;
// pixels without a record give 0. Puts TMP1's position back. Returns the preview's size.
struct PreviewSize {
  int Width = 0;
  int Height = 0;
};
PreviewSize SamplePreview(PixelDataFile& tmp1, int32_t pictureWidth, int32_t pictureHeight, PreviewGrid& grid);

}  // namespace vantorel
