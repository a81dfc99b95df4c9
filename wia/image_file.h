// The pictures behind the image items, as bitmap files: a ".BMP" item is
// read as it is; a ".JPG" picture is decoded and a ".AVI" clip's first
// frame taken into a temporary bitmap file of this process; any other
// extension is read as a bitmap file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "include/win32_types.h"
#include "platform/com/hresult.h"
#include "platform/files/files.h"

namespace ksv::wia {

// A bitmap file for the item's picture, deleted with this when temporary.
class BitmapFile {
 public:
  BitmapFile() = default;
  ~BitmapFile();
  BitmapFile(const BitmapFile&) = delete;
  BitmapFile& operator=(const BitmapFile&) = delete;

  // E_OUTOFMEMORY for a picture that cannot be decoded or a clip without a
  // readable frame; a Win32 file error when the file cannot be written.
  HRESULT Open(const std::string& itemFile);
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  bool temporary_ = false;
};

// What an image item's properties are built from.
struct ImageInformation {
  LONG width = 0;
  LONG height = 0;
  LONG bitsPerPixel = 0;
  LONG bytesPerLine = 0;
  SYSTEMTIME time{};
  std::vector<uint8_t> header;  // the bitmap information header and colour table
  uint32_t pixelOffset = 0;     // where the rows start in the file
};

// Reads a bitmap file's information. A Win32 file error for a file that
// cannot be read; E_FAIL for one that is not a bitmap file ("BM") or whose
// headers do not fit in it.
HRESULT ReadImageInformation(const std::string& bitmapFile, const std::string& itemFile, ImageInformation* info);

// The picture's rows as the bitmap file holds them. A Win32 file error when
// it cannot be read, E_FAIL when they are not all there.
HRESULT ReadRows(const std::string& bitmapFile, const ImageInformation& info, std::vector<BYTE>* rows);

// The item file's extension, upper case, with its dot (".JPG").
std::string UpperExtension(const std::string& path);

}  // namespace ksv::wia
