#include "simcam/tests/test_files.h"

#include "support/test_data.h"

namespace ksv::simcam::testfiles {

std::string DataPath(std::string_view relative) {
  return support::TestDataPath(relative).string();
}

PlanarPicture PlanarPhoto(std::string_view stem, uint32_t width, uint32_t height) {
  const RgbPicture photo = ReadPng(DataPath("photos/" + std::string(stem) + ".png"));
  return ToPlanar(FitToSize(photo, width, height));
}

}  // namespace ksv::simcam::testfiles
