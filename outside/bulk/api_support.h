// How the exported functions run: find the connection, run the operation
// with the camera locked, and record the outcome as the connection's error.
#pragma once

#include <cstdint>
#include <new>
#include <stdexcept>

#include "include/oksv1dnl.h"
#include "outside/bulk/connections.h"

namespace ksv::outside::bulk {

// Sets `error` to `code` and gives the failed result, 0.
inline int Failed(int& error, int code) {
  error = code;
  return 0;
}

// `operation(memory, error)`, with the camera's memory held, returns the function's result and sets `error`
// on failure; the exported function then returns 0. An unknown handle
// gives 0 and BULK_ERR_NO_CONNECTION as the thread's error.
template <typename Operation>
int OnConnection(intptr_t handle, Operation operation) {
  const std::shared_ptr<Connection> connection = FindConnection(handle);
  if (!connection) {
    SetThreadError(BULK_ERR_NO_CONNECTION);
    return 0;
  }
  int error = BULK_ERR_NONE;
  int result = 0;
  try {
    const MemoryAccess memory = connection->camera->Access();
    result = operation(*memory, error);
  } catch (const std::bad_alloc&) {
    error = BULK_ERR_OUT_OF_MEMORY;
  } catch (const std::exception&) {  // an item the memory checks let through
    error = BULK_ERR_BAD_MEMORY_IMAGE;
  }
  connection->lastError = error;
  return error == BULK_ERR_NONE ? result : 0;
}

}  // namespace ksv::outside::bulk
