// The photographs a person hands to a subcommand (--photos, --low-photos,
// --burst, --clip, the PICTUREs of simulate-packets): PNG, JPEG and BMP
// files read through the picture library. Every file passed over is named
// on stderr with the reason, one line each.
#pragma once

#include <cstddef>
#include <limits>
#include <string>
#include <vector>

#include "apps/ksvcam/console.h"
#include "support/picture/photo_files.h"

namespace ksv::ksvcam {

// The picture files of `folder` in name order and the files passed over so
// far. Throws CommandFailure naming `option` when it is not a folder.
picture::PhotoFiles ListPhotos(const std::string& folder, const std::string& option);

// One line on stderr for each file passed over.
void ReportSkipped(const picture::PhotoFiles& files, Console& console);

// The pictures of `folder` in name order, each handed to `use`, at most
// `wanted`. Returns how many were used. Throws CommandFailure naming
// `option` when `folder` is not a folder or none of its files reads.
size_t ReadPhotoFolder(const std::string& folder, const std::string& option, Console& console,
                       const picture::PhotoUse& use,
                       size_t wanted = std::numeric_limits<size_t>::max());

// The same for files named one by one, in the order given.
size_t ReadPhotoFiles(const std::vector<std::string>& files, Console& console,
                      const picture::PhotoUse& use);

// Every picture of `folder`, in name order.
std::vector<picture::RgbPicture> ReadAllPhotos(const std::string& folder, const std::string& option,
                                               Console& console);

}  // namespace ksv::ksvcam
