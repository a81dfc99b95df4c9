// Picture files the tool writes: 24-bit BMP, PNG and raw planar 4:2:0.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

#include "simcam/picture.h"

namespace ksv::ksvcam {

enum class PictureFileKind {
  kBmp,        // .bmp
  kPng,        // .png
  kRawPlanar,  // .i420 or .yuv: the Y, Cb and Cr planes back to back
};

// The kind named by the file's extension (any letter case); nullopt when the
// extension names none.
std::optional<PictureFileKind> PictureFileKindOf(const std::filesystem::path& path);

// A BMP file: 54-byte header (file header, BITMAPINFOHEADER), then the rows
// bottom-up, each pixel B, G, R, each row padded with zeros to 4 bytes.
std::vector<uint8_t> EncodeBmp(const simcam::RgbPicture& picture);

// An 8-bit RGB PNG file. Throws std::runtime_error when libpng refuses.
std::vector<uint8_t> EncodePng(const simcam::RgbPicture& picture);

}  // namespace ksv::ksvcam
