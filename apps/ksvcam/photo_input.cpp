#include "apps/ksvcam/photo_input.h"

#include "support/picture/whole_file.h"

namespace ksv::ksvcam {
namespace {

size_t ReadAndReport(picture::PhotoFiles& files, Console& console, const picture::PhotoUse& use,
                     size_t wanted) {
  const size_t used = picture::ReadPhotos(files, use, wanted);
  ReportSkipped(files, console);
  return used;
}

}  // namespace

picture::PhotoFiles ListPhotos(const std::string& folder, const std::string& option) {
  try {
    return picture::ListPhotoFolder(folder);
  } catch (const picture::FileError& failure) {
    throw CommandFailure(option + ": " + failure.what());
  }
}

void ReportSkipped(const picture::PhotoFiles& files, Console& console) {
  for (const picture::SkippedFile& skipped : files.skipped) {
    console.err << "ksvcam: skipped " << Quoted(skipped.path.string()) << ": " << skipped.reason
                << '\n';
  }
}

size_t ReadPhotoFolder(const std::string& folder, const std::string& option, Console& console,
                       const picture::PhotoUse& use, size_t wanted) {
  picture::PhotoFiles files = ListPhotos(folder, option);
  const size_t used = ReadAndReport(files, console, use, wanted);
  if (used == 0) {
    throw CommandFailure(option + ": no PNG, JPEG or BMP picture in " + Quoted(folder) +
                         " could be read");
  }
  return used;
}

size_t ReadPhotoFiles(const std::vector<std::string>& paths, Console& console,
                      const picture::PhotoUse& use) {
  picture::PhotoFiles files = picture::SortPhotoFiles({paths.begin(), paths.end()});
  const size_t used = ReadAndReport(files, console, use, std::numeric_limits<size_t>::max());
  if (used == 0 && !paths.empty()) throw CommandFailure("none of the pictures could be read");
  return used;
}

std::vector<picture::RgbPicture> ReadAllPhotos(const std::string& folder, const std::string& option,
                                               Console& console) {
  std::vector<picture::RgbPicture> photos;
  ReadPhotoFolder(folder, option, console,
                  [&](const std::filesystem::path&, picture::RgbPicture&& photo) {
                    photos.push_back(std::move(photo));
                  });
  return photos;
}

}  // namespace ksv::ksvcam
