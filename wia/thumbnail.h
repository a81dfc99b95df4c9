// The 80 x 60 thumbnail of an item's picture: 24-bit rows bottom-up.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "include/win32_types.h"
#include "wia/image_file.h"

namespace ksv::wia {

inline constexpr int kThumbnailWidth = 80;
inline constexpr int kThumbnailHeight = 60;

// The picture of the bitmap file `bitmapFile` (whose information is
// `info`) stretched colour on colour into the top left of a black 80 x 60
// bitmap, keeping its proportions: 14,400 bytes. A Win32 file error when
// the file cannot be read, E_FAIL when its rows are not all there.
HRESULT MakeThumbnail(const std::string& bitmapFile, const ImageInformation& info, std::vector<uint8_t>* pixels);

}  // namespace ksv::wia
