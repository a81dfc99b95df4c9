// Any bytes given to JPEG_2Dib's decoder give a packed bitmap or none,
// never a crash, a read outside the input or libjpeg's exit.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "outside/jpeg/jpeg_decode.h"
#include "platform/memory/global_memory.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> file(data, data + size);  // exactly sized, so overreads are caught
  HGLOBAL bitmap = ksv::outside::jpeg::DecodeJpegToPackedBitmap(file);
  if (bitmap != nullptr && GlobalFree(bitmap) != nullptr) __builtin_trap();
  return 0;
}
