// The open connections of the process, by handle, with the error code of
// each one's last call.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "outside/bulk/camera_source.h"

namespace ksv::outside::bulk {

struct Connection {
  std::shared_ptr<StoredItemSource> camera;
  std::atomic<int> lastError{0};
};

// A new connection's handle (never 0, never reused in the process).
intptr_t OpenConnection(std::shared_ptr<StoredItemSource> camera);
// The connection, or null for 0, an unknown or a closed handle. A caller
// holding it keeps it usable even when it is closed meanwhile.
std::shared_ptr<Connection> FindConnection(intptr_t handle);
// False for a handle that is not open.
bool CloseConnection(intptr_t handle);

// The error of the calling thread's last call that had no connection.
int ThreadError();
void SetThreadError(int error);

}  // namespace ksv::outside::bulk
