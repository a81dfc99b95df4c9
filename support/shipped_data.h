// The data the tool ships (the photographs of data/photos), found at run
// time beside the program or module that asks: a build tree and an
// installed tree both hold it in share/ksv/ above bin/ and lib/ksv/, so
// neither needs a folder beside the project.
#pragma once

#include <filesystem>
#include <vector>

namespace ksv::support {

// The first `share/ksv/photos` folder found one, two or three folders
// above each of `starts`; empty when there is none.
std::filesystem::path FindShippedPhotos(const std::vector<std::filesystem::path>& starts);

// The shipped photographs of the tree this code runs from: found from the
// folder of the program or shared object holding this code and from the
// running program's folder. Empty when there is none.
std::filesystem::path ShippedPhotosDir();

// The photographs to use when none are named: "photos" in the test data
// folder when $KSV_TESTDATA_DIR names one; else the shipped photographs;
// else "photos" in the test data folder found above the program. Throws
// TestDataNotFound (test_data.h) when there is none.
std::filesystem::path DefaultPhotosDir();

}  // namespace ksv::support
