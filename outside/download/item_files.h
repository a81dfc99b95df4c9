// What every download of the camera's stored items into a folder shares:
// the files' names by kind ("HQ0.JPG", "WQ0.JPG", "Burst0.JPG", "Clip0.AVI",
// "Raw0.WAV", each kind counted from 0 on its own) and a downloaded picture
// turned into a Windows bitmap file beside it.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace ksv::outside::download {

// A kind's file name parts: "HQ" and ".JPG" make "HQ0.JPG", "HQ1.JPG"...
struct ItemNaming {
  const char* prefix;
  const char* extension;
  int counter;  // kinds that share a counter (the clip kinds) share this
};

// Null for a kind the camera library never names a file for.
std::optional<ItemNaming> NamingOf(int kind);
bool IsClipKind(int kind);
bool IsPictureKind(int kind);

// Hands out the names of one download, each kind counted from 0.
class ItemNamer {
 public:
  // The next name for `kind` ("HQ0.JPG"), counting it; null for a kind
  // without files (nothing is counted).
  std::optional<std::string> Next(int kind);

 private:
  unsigned counters_[5] = {};
};

// Decodes the JPEG file `jpeg` and writes it as a bitmap file of the same
// folder and base name with extension ".BMP"; only once the bitmap is
// whole is the JPEG deleted. The bitmap's path, or null when the picture
// could not be decoded or the bitmap written (the JPEG stays then: the
// picture is never lost).
std::optional<std::filesystem::path> ConvertToBitmapFile(const std::filesystem::path& jpeg);

}  // namespace ksv::outside::download
