// Paths into the shared test data and whole-file reads for the tests.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "support/picture/picture.h"

namespace ksv::simcam::testfiles {

// `relative` under the test data folder (support/test_data.h).
std::string DataPath(std::string_view relative);


// The four test photographs, by file stem.
inline constexpr std::string_view kPhotos[] = {"astronaut", "chelsea", "coffee",
                                               "hubble_deep_field"};

// A test photograph framed to width x height and converted to planar 4:2:0.
picture::PlanarPicture PlanarPhoto(std::string_view stem, uint32_t width, uint32_t height);

}  // namespace ksv::simcam::testfiles
