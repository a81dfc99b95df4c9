#include "simcam/tests/test_files.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

#include "simcam/framing.h"
#include "support/picture/colour.h"
#include "support/picture/picture_file.h"

namespace ksv::simcam::testfiles {

std::string DataPath(std::string_view relative) {
  return std::string(KSV_TESTDATA_DIR) + "/" + std::string(relative);
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw std::runtime_error("cannot open test file '" + path + "'");
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

picture::PlanarPicture PlanarPhoto(std::string_view stem, uint32_t width, uint32_t height) {
  const picture::RgbPicture photo =
      picture::ReadPicture(DataPath("photos/" + std::string(stem) + ".png"));
  return picture::RgbToPlanar(FitToSize(photo, width, height));
}

}  // namespace ksv::simcam::testfiles
