#include "app/PictureFile.h"

// libjpeg and libpng report their errors by calling a handler that must not return; both
// handlers here jump back (longjmp) to the function that started the encoder. Those functions
// and the callbacks the encoders call hold no C++ object with a destructor across a jump: an
// exception from the file or the row source is caught where it arises, kept in the encoder's
// state, and thrown again once the encoder has been destroyed.
#include <jpeglib.h>
#include <jerror.h>
#include <png.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <exception>
#include <limits>

#include "core/IoError.h"
#include "core/SafeFile.h"

namespace vantorel {

namespace {

constexpr uint32_t kBitmapHeaderBytes = 14 + 40;
constexpr int32_t kJpegMaxSide = 65500;  // the largest side a JPEG frame header can describe
constexpr uint64_t kBitmapMaxBytes = std::numeric_limits<uint32_t>::max();  // its size field
constexpr size_t kOutputBufferBytes = 1 << 16;

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

uint64_t BitmapStride(int32_t width) { return (uint64_t(width) * 3 + 3) & ~uint64_t(3); }

void CheckRows(const PictureRows& rows, PictureType type) {
  if (!rows.Row) throw FormatError("There is no picture to save.");
  CheckPictureSize(rows.Width, rows.Height, type);
}

// Calls the row source; an exception is kept for the caller instead of crossing an encoder.
bool FetchRow(const PictureRows& rows, int32_t y, uint8_t* bgr, std::exception_ptr& failure) noexcept {
  try {
    rows.Row(y, bgr);
    return true;
  } catch (...) {
    failure = std::current_exception();
    return false;
  }
}

// Writes to the SafeFile; an exception is kept for the caller.
bool WriteKept(SafeFile& file, const void* data, size_t size, std::exception_ptr& failure) noexcept {
  try {
    file.Write(data, size);
    return true;
  } catch (...) {
    failure = std::current_exception();
    return false;
  }
}

// ---------------------------------------------------------------------------------------------
// JPEG

struct JpegState {
  jpeg_error_mgr errors;
  jpeg_destination_mgr destination;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
  SafeFile* file;
  const PictureRows* rows;
  int quality;
  uint8_t* row;     // Width * 3 bytes, blue, green, red
  uint8_t* rgb;     // Width * 3 bytes, for a libjpeg without BGR input
  uint8_t* output;  // kOutputBufferBytes
  std::exception_ptr failure;
};

JpegState& StateOf(j_common_ptr info) { return *static_cast<JpegState*>(info->client_data); }

void OnJpegError(j_common_ptr info) {
  JpegState& s = StateOf(info);
  (*info->err->format_message)(info, s.message);
  std::longjmp(s.jump, 1);
}

void OnJpegWriteFailed(j_compress_ptr info) {
  info->err->msg_code = JERR_FILE_WRITE;
  (*info->err->error_exit)(reinterpret_cast<j_common_ptr>(info));
}

void JpegInitDestination(j_compress_ptr info) {
  JpegState& s = StateOf(reinterpret_cast<j_common_ptr>(info));
  s.destination.next_output_byte = s.output;
  s.destination.free_in_buffer = kOutputBufferBytes;
}

boolean JpegEmptyBuffer(j_compress_ptr info) {
  JpegState& s = StateOf(reinterpret_cast<j_common_ptr>(info));
  // The whole buffer is due, whatever free_in_buffer says.
  if (!WriteKept(*s.file, s.output, kOutputBufferBytes, s.failure)) OnJpegWriteFailed(info);
  JpegInitDestination(info);
  return TRUE;
}

void JpegTermDestination(j_compress_ptr info) {
  JpegState& s = StateOf(reinterpret_cast<j_common_ptr>(info));
  const size_t used = kOutputBufferBytes - s.destination.free_in_buffer;
  if (!WriteKept(*s.file, s.output, used, s.failure)) OnJpegWriteFailed(info);
}

// Compresses the rows into s.file; false with s.failure or s.message set on a failure.
bool CompressJpeg(JpegState& s) {
  jpeg_compress_struct info;
  info.err = jpeg_std_error(&s.errors);
  s.errors.error_exit = OnJpegError;
  info.client_data = &s;
  if (setjmp(s.jump)) {
    jpeg_destroy_compress(&info);
    return false;
  }
  jpeg_create_compress(&info);
  info.client_data = &s;
  s.destination.init_destination = JpegInitDestination;
  s.destination.empty_output_buffer = JpegEmptyBuffer;
  s.destination.term_destination = JpegTermDestination;
  info.dest = &s.destination;
  info.image_width = static_cast<JDIMENSION>(s.rows->Width);
  info.image_height = static_cast<JDIMENSION>(s.rows->Height);
  info.input_components = 3;
#ifdef JCS_EXTENSIONS
  info.in_color_space = JCS_EXT_BGR;
#else
  info.in_color_space = JCS_RGB;
#endif
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, s.quality, TRUE);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    if (!FetchRow(*s.rows, static_cast<int32_t>(info.next_scanline), s.row, s.failure)) {
      jpeg_destroy_compress(&info);
      return false;
    }
#ifdef JCS_EXTENSIONS
    JSAMPROW row = s.row;
#else
    for (int32_t x = 0; x < s.rows->Width; ++x) {
      s.rgb[3 * x] = s.row[3 * x + 2];
      s.rgb[3 * x + 1] = s.row[3 * x + 1];
      s.rgb[3 * x + 2] = s.row[3 * x];
    }
    JSAMPROW row = s.rgb;
#endif
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  return true;
}

// ---------------------------------------------------------------------------------------------
// PNG

struct PngState {
  SafeFile* file;
  const PictureRows* rows;
  uint8_t* row;
  const char* text;  // the parameter block as hexadecimal digits, or nullptr
  size_t textLength;
  char message[200];
  std::exception_ptr failure;
};

void OnPngError(png_structp png, png_const_charp message) {
  auto* s = static_cast<PngState*>(png_get_error_ptr(png));
  std::snprintf(s->message, sizeof s->message, "%s", message);
  png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

void PngWrite(png_structp png, png_bytep data, size_t size) {
  auto* s = static_cast<PngState*>(png_get_io_ptr(png));
  if (!WriteKept(*s->file, data, size, s->failure)) png_error(png, "write failed");
}

void PngFlush(png_structp) {}

bool CompressPng(PngState& s) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &s, OnPngError, OnPngWarning);
  if (!png) {
    std::snprintf(s.message, sizeof s.message, "out of memory");
    return false;
  }
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    std::snprintf(s.message, sizeof s.message, "out of memory");
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_set_write_fn(png, &s, PngWrite, PngFlush);
  png_set_IHDR(png, info, static_cast<png_uint_32>(s.rows->Width), static_cast<png_uint_32>(s.rows->Height), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_text text{};
  if (s.text) {
    text.compression = PNG_TEXT_COMPRESSION_NONE;
    text.key = const_cast<char*>(kPngParameterKeyword);
    text.text = const_cast<char*>(s.text);
    text.text_length = s.textLength;
    png_set_text(png, info, &text, 1);
  }
  // Pictures of this program have broad even areas: the fastest zlib level with the "sub"
  // filter packs them as tightly as the defaults (level 6, adaptive filters) in less than half
  // the time (bench/PictureExportBench.cpp).
  png_set_compression_level(png, 1);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
  png_write_info(png, info);
  png_set_bgr(png);
  for (int32_t y = 0; y < s.rows->Height; ++y) {
    if (!FetchRow(*s.rows, y, s.row, s.failure)) {
      png_destroy_write_struct(&png, &info);
      return false;
    }
    png_write_row(png, s.row);
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return true;
}

struct PngReadState {
  char message[200];
};

void OnPngReadError(png_structp png, png_const_charp message) {
  auto* s = static_cast<PngReadState*>(png_get_error_ptr(png));
  std::snprintf(s->message, sizeof s->message, "%s", message);
  png_longjmp(png, 1);
}

// Reads the chunks ahead of the image data and copies the parameter text, if any, to
// text/textLength (malloc'ed; the caller frees it). 1: read, 0: no such text, -1: error.
int ReadPngText(std::FILE* file, PngReadState& s, char** text, size_t* textLength) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &s, OnPngReadError, OnPngWarning);
  if (!png) return -1;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return -1;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return -1;
  }
  png_init_io(png, file);
  png_read_info(png, info);
  png_textp texts = nullptr;
  int count = 0;
  png_get_text(png, info, &texts, &count);
  int found = 0;
  for (int i = 0; i < count && !found; ++i) {
    if (std::strcmp(texts[i].key, kPngParameterKeyword) != 0) continue;
    const size_t length =
        texts[i].compression == PNG_ITXT_COMPRESSION_NONE || texts[i].compression == PNG_ITXT_COMPRESSION_zTXt
            ? texts[i].itxt_length
            : texts[i].text_length;
    *text = static_cast<char*>(std::malloc(length + 1));
    if (!*text) break;
    std::memcpy(*text, texts[i].text, length);
    (*text)[length] = '\0';
    *textLength = length;
    found = 1;
  }
  png_destroy_read_struct(&png, &info, nullptr);
  return found;
}

std::string Hex(const std::vector<uint8_t>& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string text;
  text.reserve(bytes.size() * 2);
  for (uint8_t b : bytes) {
    text.push_back(digits[b >> 4]);
    text.push_back(digits[b & 15]);
  }
  return text;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

PictureRows RowsOf(const TPicture& picture) {
  PictureRows rows;
  rows.Width = picture.Width;
  rows.Height = picture.Height;
  if (picture.Width > 0 && picture.Height > 0 && picture.Stride >= picture.Width * 3 &&
      picture.Bits.size() >= static_cast<size_t>(picture.Stride) * static_cast<size_t>(picture.Height))
    rows.Row = [&picture](int32_t y, uint8_t* bgr) {
      std::memcpy(bgr, picture.Row(y), static_cast<size_t>(picture.Width) * 3);
    };
  return rows;
}

bool PictureTypeForPath(const std::string& path, PictureType& type) {
  const size_t slash = path.find_last_of('/');
  const size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return false;
  std::string ext = path.substr(dot + 1);
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (ext == "bmp")
    type = PictureType::Bitmap;
  else if (ext == "jpg" || ext == "jpeg")
    type = PictureType::Jpeg;
  else if (ext == "png")
    type = PictureType::Png;
  else
    return false;
  return true;
}

void CheckPictureSize(int32_t width, int32_t height, PictureType type) {
  if (width <= 0 || height <= 0) throw FormatError("There is no picture to save.");
  if (type == PictureType::Jpeg && (width > kJpegMaxSide || height > kJpegMaxSide))
    throw FormatError("The picture is too large for a JPEG file (" + std::to_string(kJpegMaxSide) +
                      " pixels at most each way).");
  if (type == PictureType::Bitmap && BitmapStride(width) * uint64_t(height) + kBitmapHeaderBytes > kBitmapMaxBytes)
    throw FormatError("The picture is too large for a Windows bitmap (4 GB at most).");
}

void SaveBitmap(const std::string& path, const PictureRows& rows) {
  CheckRows(rows, PictureType::Bitmap);
  const uint64_t stride = BitmapStride(rows.Width);
  const uint64_t imageBytes = stride * uint64_t(rows.Height);
  uint8_t header[kBitmapHeaderBytes] = {};
  header[0] = 'B';
  header[1] = 'M';
  Put32(header + 2, static_cast<uint32_t>(imageBytes + kBitmapHeaderBytes));  // file size
  Put32(header + 10, kBitmapHeaderBytes);                                     // pixel offset
  Put32(header + 14, 40);                                                     // info size
  Put32(header + 18, static_cast<uint32_t>(rows.Width));
  Put32(header + 22, static_cast<uint32_t>(rows.Height));  // positive: bottom-up rows
  Put16(header + 26, 1);                                   // planes
  Put16(header + 28, 24);                                  // bits per pixel
  Put32(header + 30, 0);                                   // uncompressed
  Put32(header + 34, static_cast<uint32_t>(imageBytes));
  Put32(header + 38, 3780);  // 96 pixels per inch
  Put32(header + 42, 3780);

  SafeFile file(path);
  file.Write(header, sizeof header);
  // Rows go bottom-up, several to a write; the padding bytes stay zero.
  const size_t rowsPerWrite = std::max<size_t>(1, (size_t(1) << 20) / stride);
  std::vector<uint8_t> chunk(static_cast<size_t>(stride) * rowsPerWrite, 0);
  for (int32_t y = rows.Height - 1; y >= 0;) {
    size_t used = 0;
    for (size_t k = 0; k < rowsPerWrite && y >= 0; ++k, --y) {
      rows.Row(y, chunk.data() + used);
      used += static_cast<size_t>(stride);
    }
    file.Write(chunk.data(), used);
  }
  file.Commit();
}

void SaveJpeg(const std::string& path, const PictureRows& rows, int quality) {
  CheckRows(rows, PictureType::Jpeg);
  const size_t rowBytes = static_cast<size_t>(rows.Width) * 3;
  std::vector<uint8_t> row(rowBytes), rgb(rowBytes), output(kOutputBufferBytes);
  SafeFile file(path);
  JpegState state{};
  state.file = &file;
  state.rows = &rows;
  state.quality = quality;
  state.row = row.data();
  state.rgb = rgb.data();
  state.output = output.data();
  if (!CompressJpeg(state)) {
    if (state.failure) std::rethrow_exception(state.failure);
    throw FormatError(std::string("The JPEG encoder failed: ") + state.message);
  }
  file.Commit();
}

void SavePng(const std::string& path, const PictureRows& rows, const std::vector<uint8_t>& parameterBlock) {
  CheckRows(rows, PictureType::Png);
  std::vector<uint8_t> row(static_cast<size_t>(rows.Width) * 3);
  const std::string text = Hex(parameterBlock);
  SafeFile file(path);
  PngState state{};
  state.file = &file;
  state.rows = &rows;
  state.row = row.data();
  state.text = parameterBlock.empty() ? nullptr : text.c_str();
  state.textLength = text.size();
  if (!CompressPng(state)) {
    if (state.failure) std::rethrow_exception(state.failure);
    throw FormatError(std::string("The PNG encoder failed: ") + state.message);
  }
  file.Commit();
}

void SavePicture(const std::string& path, const PictureRows& rows, PictureType type,
                 const std::vector<uint8_t>& parameterBlock) {
  switch (type) {
    case PictureType::Jpeg: return SaveJpeg(path, rows);
    case PictureType::Png: return SavePng(path, rows, parameterBlock);
    case PictureType::Bitmap: return SaveBitmap(path, rows);
  }
}

void SaveBitmap(const std::string& path, const TPicture& picture) { SaveBitmap(path, RowsOf(picture)); }

void SaveJpeg(const std::string& path, const TPicture& picture, int quality) {
  SaveJpeg(path, RowsOf(picture), quality);
}

void SavePicture(const std::string& path, const TPicture& picture, PictureType type,
                 const std::vector<uint8_t>& parameterBlock) {
  SavePicture(path, RowsOf(picture), type, parameterBlock);
}

TPicture LoadBitmap(const std::string& path) {
  const InputFile file(path);
  const uint64_t size = file.Size();
  uint8_t header[kBitmapHeaderBytes];
  if (file.ReadAt(0, header, sizeof header) != sizeof header || header[0] != 'B' || header[1] != 'M')
    throw FormatError("'" + path + "' is not a Windows bitmap.");
  const int32_t width = static_cast<int32_t>(Get32(header + 18));
  const int32_t rawHeight = static_cast<int32_t>(Get32(header + 22));
  if (Get16(header + 28) != 24 || Get32(header + 30) != 0 || width <= 0 || rawHeight == 0 ||
      rawHeight == std::numeric_limits<int32_t>::min())
    throw FormatError("'" + path + "' is not an uncompressed 24-bit Windows bitmap.");
  const bool topDown = rawHeight < 0;
  const int32_t height = topDown ? -rawHeight : rawHeight;
  const uint64_t stride = BitmapStride(width);
  const uint64_t offset = Get32(header + 10);
  if (offset + stride * uint64_t(height) > size) throw FormatError("'" + path + "' is shorter than its picture.");
  TPicture picture;
  picture.Resize(width, height);
  for (int32_t y = 0; y < height; ++y) {
    const int32_t row = topDown ? y : height - 1 - y;
    file.ReadAt(offset + stride * uint64_t(y), picture.Row(row), stride);
  }
  return picture;
}

TPicture LoadPng(const std::string& path) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str()))
    throw FormatError("'" + path + "' cannot be read as a PNG file: " + image.message);
  image.format = PNG_FORMAT_BGR;
  TPicture picture;
  picture.Resize(static_cast<int32_t>(image.width), static_cast<int32_t>(image.height));
  if (!png_image_finish_read(&image, nullptr, picture.Bits.data(), picture.Stride, nullptr)) {
    const std::string message = image.message;
    png_image_free(&image);
    throw FormatError("'" + path + "' cannot be read as a PNG file: " + message);
  }
  return picture;
}

bool IsPngFile(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  png_byte signature[8];
  const bool png = std::fread(signature, 1, 8, file) == 8 && png_sig_cmp(signature, 0, 8) == 0;
  std::fclose(file);
  return png;
}

std::vector<uint8_t> ReadPngParameterBlock(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) ThrowIoError("Cannot open", path, errno);
  png_byte signature[8];
  if (std::fread(signature, 1, 8, file) != 8 || png_sig_cmp(signature, 0, 8) != 0) {
    std::fclose(file);
    throw FormatError("'" + path + "' is not a PNG file.");
  }
  std::rewind(file);
  PngReadState state{};
  char* text = nullptr;
  size_t length = 0;
  const int found = ReadPngText(file, state, &text, &length);
  std::fclose(file);
  const std::string hex = text ? std::string(text, length) : std::string();
  std::free(text);
  if (found < 0) throw FormatError("'" + path + "' is a damaged PNG file: " + state.message);
  if (found == 0)
    throw FormatError("The picture '" + path + "' carries no parameters: only pictures saved by Vantorel as PNG do.");
  std::vector<uint8_t> block(hex.size() / 2);
  for (size_t i = 0; i < block.size(); ++i) {
    const int high = HexDigit(hex[2 * i]), low = HexDigit(hex[2 * i + 1]);
    if (high < 0 || low < 0 || hex.size() % 2 != 0)
      throw FormatError("The parameters stored in the picture '" + path + "' are damaged.");
    block[i] = static_cast<uint8_t>(high << 4 | low);
  }
  return block;
}

}  // namespace vantorel
