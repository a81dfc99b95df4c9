// The photographs a person hands over: a folder of them, or files named one
// by one. PNG, JPEG and BMP files are taken (by extension, in any letter
// case: .png, .jpg, .jpeg, .bmp); every other file, and every picture file
// that does not read, is passed over with the reason, so the caller can say
// which files it skipped and why.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "support/picture/picture.h"

namespace ksv::picture {

struct SkippedFile {
  std::filesystem::path path;
  std::string reason;  // "not a picture", "unreadable: <cause>"
};

struct PhotoFiles {
  std::vector<std::filesystem::path> pictures;  // in the order to use them
  std::vector<SkippedFile> skipped;
};

// The plain files directly in `folder`, in name order, sorted into
// pictures and "not a picture". Folders in it are left out. Throws
// FileError when `folder` is not a folder that can be listed.
PhotoFiles ListPhotoFolder(const std::filesystem::path& folder);

// Files named one by one, in the order given, sorted the same way
// (a file that cannot be read is skipped by ReadPhotos).
PhotoFiles SortPhotoFiles(const std::vector<std::filesystem::path>& files);

// Called with each photograph that reads.
using PhotoUse = std::function<void(const std::filesystem::path& path, RgbPicture&& photo)>;

// Reads `files.pictures` in order and hands each one that reads to `use`,
// up to `wanted` of them; each one that does not read is added to
// `files.skipped` as "unreadable: <cause>". Returns how many were used.
size_t ReadPhotos(PhotoFiles& files, const PhotoUse& use,
                  size_t wanted = std::numeric_limits<size_t>::max());

}  // namespace ksv::picture
