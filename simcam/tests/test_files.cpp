#include "simcam/tests/test_files.h"

#include <fstream>
#include <iterator>
#include <stdexcept>


#include "support/test_data.h"
namespace ksv::simcam::testfiles {

std::string DataPath(std::string_view relative) {
  return support::TestDataPath(relative).string();
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw std::runtime_error("cannot open test file '" + path + "'");
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

PlanarPicture PlanarPhoto(std::string_view stem, uint32_t width, uint32_t height) {
  const RgbPicture photo = ReadPng(DataPath("photos/" + std::string(stem) + ".png"));
  return ToPlanar(FitToSize(photo, width, height));
}

}  // namespace ksv::simcam::testfiles
