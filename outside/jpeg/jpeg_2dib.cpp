// JPEG_2Dib: reads the file and hands its bytes to the decoder.
#include <filesystem>
#include <fstream>
#include <system_error>
#include <vector>

#include "include/oksv1jpg.h"
#include "outside/jpeg/jpeg_decode.h"

namespace {

// The whole file, or nothing when it is missing, not a plain file or too
// large to be one of the pictures this library reads.
bool ReadFile(const char* path, std::vector<uint8_t>& bytes) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return false;
  const auto size = std::filesystem::file_size(path, error);
  if (error || size == 0 || size > ksv::outside::jpeg::kMaxJpegFileBytes) return false;
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  bytes.resize(static_cast<size_t>(size));
  file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<size_t>(file.gcount()) == bytes.size();
}

}  // namespace

extern "C" HGLOBAL JPEG_2Dib(const char* path) {
  if (path == nullptr || *path == '\0') return nullptr;
  try {
    std::vector<uint8_t> bytes;
    if (!ReadFile(path, bytes)) return nullptr;
    return ksv::outside::jpeg::DecodeJpegToPackedBitmap(bytes);
  } catch (const std::exception&) {  // out of memory: no bitmap, like any failure
    return nullptr;
  }
}
