// Picture files: 24-bit Windows bitmaps, JPEG (quality 90, colour) and PNG. A PNG may carry a
// project's parameter block in a text chunk, so that the picture reopens as its settings.
//
// The writers take the picture row by row from a PictureRows source, so that what they hold
// at a time is bounded by the width (a row and the encoder's own buffers), whatever the height.
// Every file is written through SafeFile: a failed write, a refused size or a failing row
// source leaves an existing file as it was. Throws IoError (with the system's message) or
// FormatError; the encoders' own errors come back as FormatError, never as an ended process.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/Picture.h"

namespace vantorel {

enum class PictureType { Bitmap, Jpeg, Png };

// The rows of a picture, handed to a writer one at a time.
struct PictureRows {
  int32_t Width = 0;
  int32_t Height = 0;
  // Fills `bgr` with row y (0 = the top row): Width pixels of blue, green, red. The writers
  // ask for each row once, in the order they store them: a bitmap from the bottom row up,
  // JPEG and PNG from the top down. An exception thrown here ends the write, leaving no file.
  std::function<void(int32_t y, uint8_t* bgr)> Row;
};

// The rows of a held picture (which must outlive the returned source).
PictureRows RowsOf(const TPicture& picture);

// The type for a file name's extension (".bmp", ".jpg", ".jpeg", ".png", any case); false if
// unknown.
bool PictureTypeForPath(const std::string& path, PictureType& type);

// Refuses, with a FormatError naming the limit, a size a type cannot store: a JPEG side over
// 65 500 pixels, a bitmap of 4 GiB or more, and any side below 1 pixel.
void CheckPictureSize(int32_t width, int32_t height, PictureType type);

void SaveBitmap(const std::string& path, const PictureRows& rows);
void SaveJpeg(const std::string& path, const PictureRows& rows, int quality = 90);
// 8 bits per colour, no alpha. A non-empty parameter block (the bytes of a parameter file) is
// stored ahead of the image data in a text chunk with the keyword kPngParameterKeyword.
void SavePng(const std::string& path, const PictureRows& rows, const std::vector<uint8_t>& parameterBlock = {});
// By type; the parameter block is used by PNG only.
void SavePicture(const std::string& path, const PictureRows& rows, PictureType type,
                 const std::vector<uint8_t>& parameterBlock = {});

void SaveBitmap(const std::string& path, const TPicture& picture);
void SaveJpeg(const std::string& path, const TPicture& picture, int quality = 90);
void SavePicture(const std::string& path, const TPicture& picture, PictureType type,
                 const std::vector<uint8_t>& parameterBlock = {});

// Reads an uncompressed 24-bit bitmap (bottom-up or top-down).
TPicture LoadBitmap(const std::string& path);
// Reads any PNG as 24-bit colour.
TPicture LoadPng(const std::string& path);

// The keyword of the text chunk that holds the parameter block (as hexadecimal digits).
inline constexpr const char* kPngParameterKeyword = "Vantorel parameters";

// Whether the file begins with the PNG signature (false for a file too short or unreadable).
bool IsPngFile(const std::string& path);
// The parameter block stored by SavePng, read without decoding the image. FormatError when
// the file is no PNG or carries no block; IoError when it cannot be read.
std::vector<uint8_t> ReadPngParameterBlock(const std::string& path);

}  // namespace vantorel
