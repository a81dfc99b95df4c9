// Any bytes as a picture in the still-image device's folder: reading its
// information, its rows and its thumbnail give an answer or a refusal,
// never a crash or a read outside the file.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "wia/image_file.h"
#include "wia/thumbnail.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // One in-memory file, rewritten for every input, so no disk is touched.
  static const int fd = memfd_create("picture.bmp", MFD_CLOEXEC);
  if (fd < 0 || ftruncate(fd, 0) != 0) return 0;
  if (size > 0 && pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) return 0;
  const std::string path = "/proc/self/fd/" + std::to_string(fd);

  ksv::wia::ImageInformation info;
  if (ksv::wia::ReadImageInformation(path, path, &info) != S_OK) return 0;
  std::vector<BYTE> rows;
  if (ksv::wia::ReadRows(path, info, &rows) == S_OK && rows.size() > size) __builtin_trap();
  std::vector<uint8_t> thumbnail;
  if (ksv::wia::MakeThumbnail(path, info, &thumbnail) == S_OK && thumbnail.size() != 80 * 60 * 3) {
    __builtin_trap();
  }
  return 0;
}
