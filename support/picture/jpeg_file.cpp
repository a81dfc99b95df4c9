#include "support/picture/jpeg_file.h"

#include <turbojpeg.h>

#include <climits>
#include <memory>

namespace ksv::picture {
namespace {

struct HandleCloser {
  void operator()(void* handle) const { tjDestroy(handle); }
};
using Handle = std::unique_ptr<void, HandleCloser>;

struct BufferFreer {
  void operator()(unsigned char* buffer) const { tjFree(buffer); }
};

Handle Open(tjhandle handle) {
  if (handle == nullptr)
    throw PictureError(std::string("cannot start libjpeg-turbo: ") + tjGetErrorStr2(nullptr));
  return Handle(handle);
}

}  // namespace

RgbPicture DecodeJpeg(std::span<const uint8_t> file, const std::string& name) {
  if (file.size() > ULONG_MAX) throw PictureError(name, "too large a JPEG file");
  const Handle handle = Open(tjInitDecompress());
  int width = 0, height = 0, subsampling = 0, colourSpace = 0;
  if (tjDecompressHeader3(handle.get(), file.data(), static_cast<unsigned long>(file.size()),
                          &width, &height, &subsampling, &colourSpace) != 0) {
    throw PictureError(
        name, std::string("not a JPEG file (libjpeg-turbo: ") + tjGetErrorStr2(handle.get()) + ")");
  }
  if (width <= 0 || height <= 0 || uint64_t(width) * uint64_t(height) > kMaxPixels) {
    throw PictureError(name, "a JPEG picture of " + std::to_string(width) + "x" +
                                 std::to_string(height) + " pixels, larger than this reads");
  }
  RgbPicture picture = BlankRgb(static_cast<uint32_t>(width), static_cast<uint32_t>(height));
  // LIMITSCANS refuses progressive files built to take endless scans.
  if (tjDecompress2(handle.get(), file.data(), static_cast<unsigned long>(file.size()),
                    picture.pixels.data(), width, 0, height, TJPF_RGB,
                    TJFLAG_STOPONWARNING | TJFLAG_LIMITSCANS) != 0) {
    throw PictureError(name, std::string("damaged JPEG data (libjpeg-turbo: ") +
                                 tjGetErrorStr2(handle.get()) + ")");
  }
  return picture;
}

std::vector<uint8_t> EncodeJpeg(const RgbPicture& picture, int quality) {
  CheckWhole(picture);
  if (quality < 1 || quality > 100) {
    throw PictureError("JPEG quality " + std::to_string(quality) + " is not 1 to 100");
  }
  if (picture.width > INT_MAX / 3 || picture.height > INT_MAX) {
    throw PictureError("the picture is too large for a JPEG file");
  }
  const Handle handle = Open(tjInitCompress());
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  const int status = tjCompress2(
      handle.get(), picture.pixels.data(), static_cast<int>(picture.width), 0,
      static_cast<int>(picture.height), TJPF_RGB, &buffer, &size, TJSAMP_420, quality, 0);
  const std::unique_ptr<unsigned char, BufferFreer> owned(buffer);
  if (status != 0) {
    throw PictureError(std::string("cannot encode JPEG: ") + tjGetErrorStr2(handle.get()));
  }
  return {buffer, buffer + size};
}

}  // namespace ksv::picture
