#include "app/PictureFile.h"

#include <jpeglib.h>

#include <algorithm>
#include <cctype>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include "core/IoError.h"
#include "core/SafeFile.h"

namespace vantorel {

namespace {

constexpr uint32_t kBitmapHeaderBytes = 14 + 40;

void Put16(uint8_t* p, uint16_t v) { std::memcpy(p, &v, 2); }
void Put32(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }
uint16_t Get16(const uint8_t* p) {
  uint16_t v;
  std::memcpy(&v, p, 2);
  return v;
}
uint32_t Get32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

void CheckPicture(const TPicture& picture) {
  if (picture.Width <= 0 || picture.Height <= 0 || picture.Stride < picture.Width * 3 ||
      picture.Bits.size() <
          static_cast<size_t>(picture.Stride) * static_cast<size_t>(picture.Height))
    throw FormatError("There is no picture to save.");
}

struct JpegError {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

void OnJpegError(j_common_ptr info) {
  auto* error = reinterpret_cast<JpegError*>(info->err);
  (*info->err->format_message)(info, error->message);
  std::longjmp(error->jump, 1);
}

// Compresses the picture into a buffer that the caller frees with free(), also after a failure.
// No object with a destructor lives in this frame, since libjpeg's errors leave it by longjmp.
bool CompressJpeg(const TPicture& picture, int quality, unsigned char** out, unsigned long* outSize,
                  uint8_t* rowBuffer, char* message) {
  jpeg_compress_struct info;
  JpegError error;
  info.err = jpeg_std_error(&error.manager);
  error.manager.error_exit = OnJpegError;
  if (setjmp(error.jump)) {
    jpeg_destroy_compress(&info);
    std::snprintf(message, JMSG_LENGTH_MAX, "%s", error.message);
    return false;
  }
  jpeg_create_compress(&info);
  jpeg_mem_dest(&info, out, outSize);
  info.image_width = static_cast<JDIMENSION>(picture.Width);
  info.image_height = static_cast<JDIMENSION>(picture.Height);
  info.input_components = 3;
#ifdef JCS_EXTENSIONS
  info.in_color_space = JCS_EXT_BGR;
#else
  info.in_color_space = JCS_RGB;
#endif
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    const uint8_t* source = picture.Row(static_cast<int32_t>(info.next_scanline));
#ifdef JCS_EXTENSIONS
    (void)rowBuffer;
    JSAMPROW row = const_cast<uint8_t*>(source);
#else
    for (int32_t x = 0; x < picture.Width; ++x) {
      rowBuffer[3 * x] = source[3 * x + 2];
      rowBuffer[3 * x + 1] = source[3 * x + 1];
      rowBuffer[3 * x + 2] = source[3 * x];
    }
    JSAMPROW row = rowBuffer;
#endif
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  return true;
}

}  // namespace

bool PictureTypeForPath(const std::string& path, PictureType& type) {
  const size_t slash = path.find_last_of('/');
  const size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return false;
  std::string ext = path.substr(dot + 1);
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (ext == "bmp") {
    type = PictureType::Bitmap;
    return true;
  }
  if (ext == "jpg" || ext == "jpeg") {
    type = PictureType::Jpeg;
    return true;
  }
  return false;
}

void SaveBitmap(const std::string& path, const TPicture& picture) {
  CheckPicture(picture);
  const uint64_t imageBytes = uint64_t(picture.Stride) * uint64_t(picture.Height);
  if (imageBytes + kBitmapHeaderBytes > std::numeric_limits<uint32_t>::max())
    throw FormatError("The picture is too large for a Windows bitmap (4 GB at most).");
  uint8_t header[kBitmapHeaderBytes] = {};
  header[0] = 'B';
  header[1] = 'M';
  Put32(header + 2, static_cast<uint32_t>(imageBytes + kBitmapHeaderBytes));  // file size
  Put32(header + 10, kBitmapHeaderBytes);                                     // pixel offset
  Put32(header + 14, 40);                                                     // info size
  Put32(header + 18, static_cast<uint32_t>(picture.Width));
  Put32(header + 22, static_cast<uint32_t>(picture.Height));  // positive: bottom-up rows
  Put16(header + 26, 1);                                      // planes
  Put16(header + 28, 24);                                     // bits per pixel
  Put32(header + 30, 0);                                      // uncompressed
  Put32(header + 34, static_cast<uint32_t>(imageBytes));
  Put32(header + 38, 3780);  // 96 pixels per inch
  Put32(header + 42, 3780);

  SafeFile file(path);
  file.Write(header, sizeof header);
  // Rows go bottom-up, several at a time.
  const int32_t rowsPerWrite = std::max<int32_t>(1, (1 << 20) / picture.Stride);
  std::vector<uint8_t> chunk(static_cast<size_t>(picture.Stride) * rowsPerWrite);
  for (int32_t y = picture.Height - 1; y >= 0;) {
    size_t used = 0;
    for (int32_t k = 0; k < rowsPerWrite && y >= 0; ++k, --y) {
      std::memcpy(chunk.data() + used, picture.Row(y), static_cast<size_t>(picture.Stride));
      used += static_cast<size_t>(picture.Stride);
    }
    file.Write(chunk.data(), used);
  }
  file.Commit();
}

void SaveJpeg(const std::string& path, const TPicture& picture, int quality) {
  CheckPicture(picture);
  if (picture.Width > JPEG_MAX_DIMENSION || picture.Height > JPEG_MAX_DIMENSION)
    throw FormatError("The picture is too large for a JPEG file (" +
                      std::to_string(JPEG_MAX_DIMENSION) + " pixels at most each way).");
  std::vector<uint8_t> rowBuffer(static_cast<size_t>(picture.Width) * 3);
  unsigned char* bytes = nullptr;
  unsigned long size = 0;
  char message[JMSG_LENGTH_MAX] = {};
  const bool ok = CompressJpeg(picture, quality, &bytes, &size, rowBuffer.data(), message);
  struct Freer {
    unsigned char* p;
    ~Freer() { std::free(p); }
  } freer{bytes};
  if (!ok) throw FormatError(std::string("The JPEG encoder failed: ") + message);
  WriteFileSafely(path, bytes, size);
}

void SavePicture(const std::string& path, const TPicture& picture, PictureType type) {
  if (type == PictureType::Jpeg)
    SaveJpeg(path, picture);
  else
    SaveBitmap(path, picture);
}

TPicture LoadBitmap(const std::string& path) {
  const InputFile file(path);
  const uint64_t size = file.Size();
  uint8_t header[kBitmapHeaderBytes];
  if (file.ReadAt(0, header, sizeof header) != sizeof header || header[0] != 'B' ||
      header[1] != 'M')
    throw FormatError("'" + path + "' is not a Windows bitmap.");
  const int32_t width = static_cast<int32_t>(Get32(header + 18));
  const int32_t rawHeight = static_cast<int32_t>(Get32(header + 22));
  if (Get16(header + 28) != 24 || Get32(header + 30) != 0 || width <= 0 || rawHeight == 0 ||
      rawHeight == std::numeric_limits<int32_t>::min())
    throw FormatError("'" + path + "' is not an uncompressed 24-bit Windows bitmap.");
  const bool topDown = rawHeight < 0;
  const int32_t height = topDown ? -rawHeight : rawHeight;
  const uint64_t stride = (uint64_t(width) * 3 + 3) & ~uint64_t(3);
  const uint64_t offset = Get32(header + 10);
  if (offset + stride * uint64_t(height) > size)
    throw FormatError("'" + path + "' is shorter than its picture.");
  TPicture picture;
  picture.Resize(width, height);
  for (int32_t y = 0; y < height; ++y) {
    const int32_t row = topDown ? y : height - 1 - y;
    file.ReadAt(offset + stride * uint64_t(y), picture.Row(row), stride);
  }
  return picture;
}

}  // namespace vantorel
