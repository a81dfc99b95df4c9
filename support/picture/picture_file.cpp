#include "support/picture/picture_file.h"

#include <algorithm>
#include <cctype>

#include "support/picture/bmp_file.h"
#include "support/picture/jpeg_file.h"
#include "support/picture/png_file.h"

namespace ksv::picture {

std::optional<PictureFormat> FormatOfName(const std::filesystem::path& path) {
  std::string extension = path.extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (extension == ".png") return PictureFormat::kPng;
  if (extension == ".jpg" || extension == ".jpeg") return PictureFormat::kJpeg;
  if (extension == ".bmp") return PictureFormat::kBmp;
  return std::nullopt;
}

std::optional<PictureFormat> FormatOfContents(std::span<const uint8_t> bytes) {
  static constexpr uint8_t kPngSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (bytes.size() >= sizeof kPngSignature &&
      std::equal(std::begin(kPngSignature), std::end(kPngSignature), bytes.begin())) {
    return PictureFormat::kPng;
  }
  if (bytes.size() >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF) {
    return PictureFormat::kJpeg;
  }
  if (bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M') return PictureFormat::kBmp;
  return std::nullopt;
}

RgbPicture DecodePicture(std::span<const uint8_t> bytes, const std::string& name) {
  const std::optional<PictureFormat> format = FormatOfContents(bytes);
  if (!format) throw PictureError(name, "not a PNG, JPEG or BMP file");
  switch (*format) {
    case PictureFormat::kPng:
      return DecodePng(bytes, name);
    case PictureFormat::kJpeg:
      return DecodeJpeg(bytes, name);
    case PictureFormat::kBmp:
      return DecodeBmp(bytes, name);
  }
  throw PictureError(name, "unknown picture format");
}

RgbPicture ReadPicture(const std::filesystem::path& path) {
  return DecodePicture(ReadWholeFile(path, kMaxPictureFileBytes), path.string());
}

std::vector<uint8_t> EncodePicture(const RgbPicture& picture, PictureFormat format) {
  switch (format) {
    case PictureFormat::kPng:
      return EncodePng(picture);
    case PictureFormat::kJpeg:
      return EncodeJpeg(picture);
    case PictureFormat::kBmp:
      return EncodeBmp(picture);
  }
  throw PictureError("unknown picture format");
}

void WritePicture(const std::filesystem::path& path, const RgbPicture& picture,
                  ExistingFile existing) {
  const std::optional<PictureFormat> format = FormatOfName(path);
  if (!format) {
    throw PictureError(path.string(), "the name ends in none of .png, .jpg, .jpeg, .bmp");
  }
  WriteWholeFile(path, EncodePicture(picture, *format), existing);
}

}  // namespace ksv::picture
