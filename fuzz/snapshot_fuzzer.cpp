// Any bytes given as a raw snapshot file give a refusal or a bitmap whose
// pixels are the file's bytes from 1024 on and zeros after them: never a
// crash, a read outside the file or a block larger than the header asks for.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>

#include "include/oksv1sna.h"
#include "platform/memory/global_memory.h"
#include "support/byte_order.h"

namespace {

constexpr size_t kPixelsOffset = 1024;

// One in-memory file, rewritten for every input, so no disk is touched.
int SnapshotFile() {
  static const int fd = memfd_create("snapraw.dat", MFD_CLOEXEC);
  return fd;
}

void Check(bool holds) {
  if (!holds) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const int fd = SnapshotFile();
  if (fd < 0 || ftruncate(fd, 0) != 0) return 0;
  if (size > 0 && pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) return 0;
  const std::string path = "/proc/self/fd/" + std::to_string(fd);

  HGLOBAL bitmap = nullptr;
  const int32_t status = KXSNAPSHOT_RawToFile(0.0, path.c_str(), KXSNAPSHOT_MODE_CONVERT, &bitmap);
  if (size < 128) Check(status == KXSNAPSHOT_NO_SIZE);
  if (status != KXSNAPSHOT_OK) {
    Check(bitmap == nullptr);
    return 0;
  }

  const std::span<const uint8_t> file(data, size);
  const size_t width = ksv::support::LoadLe16(file, 65);
  const size_t height = ksv::support::LoadLe16(file, 67);
  const size_t imageBytes = (width * 3 + 3) / 4 * 4 * height;
  Check(imageBytes > 0 && imageBytes <= KXSNAPSHOT_MAX_IMAGE_BYTES);
  Check(GlobalSize(bitmap) == 40 + imageBytes);
  const auto* pixels = static_cast<const uint8_t*>(GlobalLock(bitmap)) + 40;
  const size_t fromFile = size > kPixelsOffset ? std::min(size - kPixelsOffset, imageBytes) : 0;
  Check(fromFile == 0 || std::memcmp(pixels, data + kPixelsOffset, fromFile) == 0);
  for (size_t i = fromFile; i < imageBytes; ++i) Check(pixels[i] == 0);
  GlobalUnlock(bitmap);
  Check(GlobalFree(bitmap) == nullptr);
  return 0;
}
