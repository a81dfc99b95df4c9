#include "support/picture/photo_files.h"

#include <algorithm>
#include <cstring>

#include "support/picture/picture_file.h"

namespace ksv::picture {
namespace {

namespace fs = std::filesystem;

void Sort(PhotoFiles& files, const fs::path& path) {
  if (FormatOfName(path)) {
    files.pictures.push_back(path);
  } else {
    files.skipped.push_back({path, "not a picture"});
  }
}

std::string UnreadableCause(const FileError& failure) {
  if (failure.error() == EFBIG) return "larger than a picture file can be";
  return std::strerror(failure.error());
}

}  // namespace

PhotoFiles ListPhotoFolder(const fs::path& folder) {
  std::error_code error;
  if (!fs::is_directory(folder, error)) {
    throw FileError("'" + folder.string() + "' is not a folder", ENOTDIR);
  }
  std::vector<fs::path> names;
  for (fs::directory_iterator entry(folder, error), end; !error && entry != end;
       entry.increment(error)) {
    std::error_code kindError;
    if (!entry->is_directory(kindError)) names.push_back(entry->path());
  }
  if (error) {
    throw FileError("cannot list '" + folder.string() + "': " + error.message(), error.value());
  }
  std::sort(names.begin(), names.end());
  PhotoFiles files;
  for (const fs::path& name : names) Sort(files, name);
  return files;
}

PhotoFiles SortPhotoFiles(const std::vector<fs::path>& paths) {
  PhotoFiles files;
  for (const fs::path& path : paths) Sort(files, path);
  return files;
}

size_t ReadPhotos(PhotoFiles& files, const PhotoUse& use, size_t wanted) {
  size_t used = 0;
  for (const fs::path& path : files.pictures) {
    if (used == wanted) break;
    RgbPicture photo;
    try {
      photo = ReadPicture(path);
    } catch (const PictureError& failure) {
      files.skipped.push_back({path, "unreadable: " + failure.cause()});
      continue;
    } catch (const FileError& failure) {
      files.skipped.push_back({path, "unreadable: " + UnreadableCause(failure)});
      continue;
    }
    use(path, std::move(photo));
    ++used;
  }
  return used;
}

}  // namespace ksv::picture
