// Picture files: 24-bit Windows bitmaps and JPEG (quality 90, colour). Both are written through
// SafeFile, so a failed write leaves an existing file as it was. Throws IoError / FormatError.
#pragma once

#include <string>

#include "core/Picture.h"

namespace vantorel {

enum class PictureType { Bitmap, Jpeg };

// The type for a file name's extension (".bmp", ".jpg", ".jpeg", any case); false if unknown.
bool PictureTypeForPath(const std::string& path, PictureType& type);

void SaveBitmap(const std::string& path, const TPicture& picture);
void SaveJpeg(const std::string& path, const TPicture& picture, int quality = 90);
// By type.
void SavePicture(const std::string& path, const TPicture& picture, PictureType type);

// Reads an uncompressed 24-bit bitmap (bottom-up or top-down).
TPicture LoadBitmap(const std::string& path);

}  // namespace vantorel
