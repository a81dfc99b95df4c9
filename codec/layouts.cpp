#include "codec/layouts.h"

#include "codec/decoder.h"

namespace ksv::codec {

namespace {

// Height of each width's layout; 0 where the width has none.
uint32_t CommonHeight(uint32_t width) {
  switch (width) {
    case 176: return 144;
    case 320: return 240;
    case 352: return 288;
    case 640: return 480;
    default: return 0;
  }
}

}  // namespace

bool DriverHasLayout(FrameSize size, OutputCode code) {
  if (size.width == 160) return size.height == (code == OutputCode::kPlanar420 ? 128u : 112u);
  if (size.width == 1024) return code != OutputCode::kPlanar420 && size.height == 768;
  uint32_t height = CommonHeight(size.width);
  return height != 0 && size.height == height;
}

bool LibraryHasLayout(FrameSize size, OutputCode code) {
  if (size.width == 160) {
    return code == OutputCode::kPlanar420 ? size.height == 112
                                          : size.height >= 1 && size.height <= kStoredNarrowMaxHeight;
  }
  return DriverHasLayout(size, code);
}

}  // namespace ksv::codec
