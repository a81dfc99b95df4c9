// JPEG_SaveBMPImg: compresses packed-bitmap rows into memory, then puts the
// file in place in one rename, so that no half-written file ever carries
// the target's name.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <string>

#include "include/oksv1jpg.h"
#include "outside/jpeg/libjpeg_trap.h"

namespace {

using ksv::outside::jpeg::LibjpegTrap;

constexpr int kMaxJpegSide = 65500;  // the most a JPEG frame header can say

struct SaveJob {
  int quality;
  JDIMENSION width;
  JDIMENSION height;
  const BYTE* bits;
  size_t rowBytes;
};

// Compresses into trap.encoded (malloc'ed by libjpeg, freed by the caller
// also after a failure). `trap` and `info` belong to the caller.
bool RunCompress(LibjpegTrap& trap, jpeg_compress_struct& info, const SaveJob& job) {
  if (setjmp(trap.jump) != 0) {
    jpeg_destroy_compress(&info);
    return false;
  }
  jpeg_create_compress(&info);
  jpeg_mem_dest(&info, &trap.encoded, &trap.encodedSize);
  info.image_width = job.width;
  info.image_height = job.height;
  info.input_components = 3;
  info.in_color_space = JCS_EXT_BGR;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, job.quality, TRUE);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    // Bitmap rows run bottom-up, JPEG rows top-down. libjpeg only reads them.
    const BYTE* row = job.bits + (job.height - 1 - info.next_scanline) * job.rowBytes;
    JSAMPROW rows[1] = {const_cast<JSAMPLE*>(row)};
    jpeg_write_scanlines(&info, rows, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  return true;
}

bool WriteAll(int fd, const unsigned char* bytes, size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(fd, bytes, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}

// A new file beside `path`, opened for writing, with the permissions any new
// file gets; -1 when none can be made.
int CreateBeside(const std::string& path, std::string& name) {
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = path + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

// Writes a new file beside `path` and renames it over `path`.
bool ReplaceFile(const std::string& path, const unsigned char* bytes, size_t size) {
  std::string temporary;
  const int fd = CreateBeside(path, temporary);
  if (fd < 0) return false;
  bool done = WriteAll(fd, bytes, size);
  done = (::close(fd) == 0) && done;
  done = done && ::rename(temporary.c_str(), path.c_str()) == 0;
  if (!done) ::unlink(temporary.c_str());
  return done;
}

}  // namespace

extern "C" BOOL JPEG_SaveBMPImg(const char* path, int quality, int width, int height,
                                const BYTE* bits) {
  if (path == nullptr || *path == '\0' || bits == nullptr) return FALSE;
  if (width < 1 || height < 1 || width > kMaxJpegSide || height > kMaxJpegSide) return FALSE;
  const SaveJob job{std::clamp(quality, 1, 100), static_cast<JDIMENSION>(width),
                    static_cast<JDIMENSION>(height), bits,
                    (static_cast<size_t>(width) * 3 + 3) / 4 * 4};
  LibjpegTrap trap;
  jpeg_compress_struct info;
  ksv::outside::jpeg::InstallTrap(trap, info);
  const bool compressed = RunCompress(trap, info, job);
  bool saved = false;
  if (compressed) {
    try {
      saved = ReplaceFile(path, trap.encoded, trap.encodedSize);
    } catch (const std::exception&) {  // out of memory for the temporary name
      saved = false;
    }
  }
  std::free(trap.encoded);
  return saved ? TRUE : FALSE;
}
