// BULK_GetAllImgs: the camera's whole memory as one stream of items.
#include <algorithm>
#include <vector>

#include "include/oksv1dnl.h"
#include "outside/bulk/connections.h"
#include "outside/bulk/memory/camera_memory.h"
#include "outside/bulk/memory/memory_source.h"

namespace {

// What one bulk transfer carries; a multiple of 64, as every item is.
constexpr size_t kDeliveryBytes = 16 * 1024;
static_assert(kDeliveryBytes % 64 == 0);

}  // namespace

extern "C" int BULK_GetAllImgs(BULK_HANDLE handle, intptr_t context,
                               BULK_STREAM_CALLBACK callback) {
  using namespace ksv::outside::bulk;
  const std::shared_ptr<Connection> connection = FindConnection(handle);
  if (!connection) {
    SetThreadError(BULK_ERR_NO_CONNECTION);
    return BULK_STREAM_NO_CONNECTION;
  }
  if (callback == nullptr) {
    connection->lastError = BULK_ERR_BAD_ARGUMENT;
    return BULK_STREAM_BAD_ARGUMENT;
  }
  // The stream is taken whole before the first delivery: the callback may
  // call back into the library, even erase items, without changing it.
  std::vector<uint8_t> stream;
  try {
    stream = StreamBytes(*connection->camera->Access());
  } catch (const std::bad_alloc&) {
    connection->lastError = BULK_ERR_OUT_OF_MEMORY;
    return BULK_STREAM_OUT_OF_MEMORY;
  }
  const auto streamSize = static_cast<DWORD>(stream.size());
  for (size_t at = 0; at < stream.size(); at += kDeliveryBytes) {
    const auto length = static_cast<DWORD>(std::min(kDeliveryBytes, stream.size() - at));
    if (callback(context, streamSize, stream.data() + at, length) != 0) {
      connection->lastError = BULK_ERR_NONE;
      return BULK_STREAM_STOPPED;
    }
  }
  connection->lastError = BULK_ERR_NONE;
  return BULK_STREAM_DONE;
}
