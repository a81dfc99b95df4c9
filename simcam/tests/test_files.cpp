#include "simcam/tests/test_files.h"

#include "support/test_data.h"

#include "simcam/framing.h"
#include "support/picture/colour.h"
#include "support/picture/picture_file.h"

namespace ksv::simcam::testfiles {

std::string DataPath(std::string_view relative) {
  return support::TestDataPath(relative).string();
}

picture::PlanarPicture PlanarPhoto(std::string_view stem, uint32_t width, uint32_t height) {
  const picture::RgbPicture photo =
      picture::ReadPicture(DataPath("photos/" + std::string(stem) + ".png"));
  return picture::RgbToPlanar(FitToSize(photo, width, height));
}

}  // namespace ksv::simcam::testfiles
