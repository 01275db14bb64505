#include "core/PixelDataFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "core/IoError.h"

namespace vantorel {

namespace {

constexpr int64_t kRecordSize = 8;

// Records are little-endian on disk; swap them on a big-endian host.
void ToFileOrder(uint64_t* words, size_t n) {
  if constexpr (std::endian::native == std::endian::big) {
    for (size_t i = 0; i < n; ++i) words[i] = __builtin_bswap64(words[i]);
  } else {
    (void)words;
    (void)n;
  }
}

off_t ByteOffset(int64_t record, const std::string& path) {
  if (record < 0 || record > std::numeric_limits<off_t>::max() / kRecordSize)
    ThrowIoError("Cannot seek in", path, EINVAL);
  return static_cast<off_t>(record * kRecordSize);
}

}  // namespace

PixelDataFile::~PixelDataFile() { Close(); }

void PixelDataFile::Create(const std::string& path) {
  Close();
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) ThrowIoError("Cannot create", path, errno);
  fd_ = fd;
  path_ = path;
  position_ = 0;
}

void PixelDataFile::Open(const std::string& path) {
  Close();
  const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) ThrowIoError("Cannot open", path, errno);
  fd_ = fd;
  path_ = path;
  position_ = 0;
}

void PixelDataFile::Close() noexcept {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  position_ = 0;
}

int64_t PixelDataFile::RecordCount() const {
  struct stat st {};
  if (::fstat(fd_, &st) != 0) ThrowIoError("Cannot determine the size of", path_, errno);
  return static_cast<int64_t>(st.st_size) / kRecordSize;
}

void PixelDataFile::Seek(int64_t record) {
  // The position is kept here (reads and writes are positional), but the seek is still
  // made so that a closed or broken file is reported where it happens.
  if (::lseek(fd_, ByteOffset(record, path_), SEEK_SET) < 0) ThrowIoError("Cannot seek in", path_, errno);
  position_ = record;
}

size_t PixelDataFile::Read(double* out, size_t n) {
  const size_t got = ReadAt(position_, out, n);
  position_ += static_cast<int64_t>(got);
  return got;
}

void PixelDataFile::Write(const double* values, size_t n) {
  WriteAt(position_, values, n);
  position_ += static_cast<int64_t>(n);
}

void PixelDataFile::Truncate() {
  const off_t size = ByteOffset(position_, path_);
  int rc;
  do rc = ::ftruncate(fd_, size);
  while (rc != 0 && errno == EINTR);
  if (rc != 0) ThrowIoError("Cannot truncate", path_, errno);
}

void PixelDataFile::Clear() {
  Seek(0);
  Truncate();
}

void PixelDataFile::Rewind() { Seek(0); }

size_t PixelDataFile::ReadAt(int64_t record, double* out, size_t n) const {
  const off_t start = ByteOffset(record, path_);
  char* bytes = reinterpret_cast<char*>(out);
  const size_t wanted = n * kRecordSize;
  size_t done = 0;
  while (done < wanted) {
    const ssize_t r = ::pread(fd_, bytes + done, wanted - done, start + static_cast<off_t>(done));
    if (r < 0) {
      if (errno == EINTR) continue;
      ThrowIoError("Cannot read", path_, errno);
    }
    if (r == 0) break;  // end of file
    done += static_cast<size_t>(r);
  }
  const size_t records = done / kRecordSize;
  ToFileOrder(reinterpret_cast<uint64_t*>(out), records);
  return records;
}

void PixelDataFile::WriteAt(int64_t record, const double* values, size_t n) {
  const off_t start = ByteOffset(record, path_);
  if (n > static_cast<size_t>(std::numeric_limits<off_t>::max() - start) / kRecordSize)
    ThrowIoError("Cannot write to", path_, EFBIG);
  const char* bytes = reinterpret_cast<const char*>(values);
  std::vector<uint64_t> swapped;
  if constexpr (std::endian::native == std::endian::big) {
    swapped.resize(n);
    std::memcpy(swapped.data(), values, n * kRecordSize);
    ToFileOrder(swapped.data(), n);
    bytes = reinterpret_cast<const char*>(swapped.data());
  }
  const size_t wanted = n * kRecordSize;
  size_t done = 0;
  while (done < wanted) {
    const ssize_t w = ::pwrite(fd_, bytes + done, wanted - done, start + static_cast<off_t>(done));
    if (w < 0) {
      if (errno == EINTR) continue;
      ThrowIoError("Cannot write to", path_, errno);
    }
    if (w == 0) ThrowIoError("Cannot write to", path_, ENOSPC);
    done += static_cast<size_t>(w);
  }
}

PreviewSize SamplePreview(PixelDataFile& tmp1, int32_t pictureWidth, int32_t pictureHeight, PreviewGrid& grid) {
  grid.Values.fill(0.0);
  if (pictureWidth <= 0 || pictureHeight <= 0) return {};
  const double s = std::max(pictureWidth / double(PreviewGrid::Columns), pictureHeight / double(PreviewGrid::Rows));
  // rint rounds halves to even in the default rounding mode.
  const int pw = std::min(PreviewGrid::Columns, static_cast<int>(std::rint(pictureWidth / s)));
  const int ph = std::min(PreviewGrid::Rows, static_cast<int>(std::rint(pictureHeight / s)));
  const int left = (PreviewGrid::Columns - pw) / 2;
  const int top = (PreviewGrid::Rows - ph) / 2;

  // One read per sampled picture row (rather than one per sample) keeps the window responsive
  // when a large picture pauses or finishes; positional reads leave the position alone.
  const int64_t count = tmp1.RecordCount();
  // A small picture's last sample may lie one record behind its row: read as far as it.
  const int64_t span = pw > 0 ? static_cast<int64_t>(std::rint((pw - 1) * s)) + 1 : 0;
  std::vector<double> row(static_cast<size_t>(span));
  for (int y = 0; y < ph; ++y) {
    const int64_t rowStart = static_cast<int64_t>(std::rint(y * s)) * pictureWidth;
    const int64_t available = std::clamp<int64_t>(count - rowStart, 0, span);
    const size_t got = available > 0 ? tmp1.ReadAt(rowStart, row.data(), static_cast<size_t>(available)) : 0;
    for (int x = 0; x < pw; ++x) {
      const auto column = static_cast<size_t>(std::rint(x * s));
      grid.At(left + x, top + y) = column < got ? row[column] : 0.0;
    }
  }
  return {pw, ph};
}

}  // namespace vantorel
