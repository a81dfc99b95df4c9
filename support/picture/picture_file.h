// Picture files by kind: PNG, JPEG and BMP, read from their contents and
// written by their names.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "support/picture/picture.h"
#include "support/picture/whole_file.h"

namespace ksv::picture {

enum class PictureFormat { kPng, kJpeg, kBmp };

// The format a file name's extension names, in any letter case: .png,
// .jpg or .jpeg, .bmp. nullopt for any other.
std::optional<PictureFormat> FormatOfName(const std::filesystem::path& path);

// The format the bytes begin like (the PNG signature, a JPEG start-of-image
// marker, "BM"); nullopt for none of them.
std::optional<PictureFormat> FormatOfContents(std::span<const uint8_t> bytes);

// Larger files are refused unread.
inline constexpr size_t kMaxPictureFileBytes = size_t{256} << 20;

// The picture in `bytes`, by what they hold whatever the name says. Throws
// PictureError naming `name` and the cause ("not a PNG, JPEG or BMP file"
// when the contents are none of them).
RgbPicture DecodePicture(std::span<const uint8_t> bytes, const std::string& name);

// Reads the file as above. Throws FileError when it cannot be read and
// PictureError when it does not hold a picture.
RgbPicture ReadPicture(const std::filesystem::path& path);

// The file bytes of `picture` in `format` (JPEG at quality 90).
std::vector<uint8_t> EncodePicture(const RgbPicture& picture, PictureFormat format);

// Writes `picture` in the format its name's extension names, atomically.
// Throws PictureError for a name that names no format, FileError when the
// file cannot be written.
void WritePicture(const std::filesystem::path& path, const RgbPicture& picture,
                  ExistingFile existing = ExistingFile::kReplace);

}  // namespace ksv::picture
