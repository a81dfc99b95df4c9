#include "outside/bulk/connections.h"

#include <mutex>
#include <unordered_map>

#include "outside/bulk/driver_registry.h"

namespace ksv::outside::bulk {

namespace {

struct Table {
  std::mutex mutex;
  intptr_t lastHandle = 0;
  std::unordered_map<intptr_t, std::shared_ptr<Connection>> open;
};

Table& TheTable() {
  static Table* table = new Table;  // handles may be closed from static destructors
  return *table;
}

// "BulkMode" follows the number of open connections. Its own lock keeps the
// writes in the order of the opening and closing they follow.
std::mutex bulkModeMutex;
size_t openCount = 0;

void CountConnection(bool opened) {
  std::lock_guard lock(bulkModeMutex);
  const size_t before = openCount;
  openCount = opened ? openCount + 1 : openCount - 1;
  // A registry that cannot be written must not keep the camera from being
  // used; the driver then simply does not see the bulk work.
  if (before == 0 && openCount == 1) WriteDriverDword(kBulkModeValue, 1);
  if (before == 1 && openCount == 0) WriteDriverDword(kBulkModeValue, 0);
}

thread_local int threadError = 0;

}  // namespace

intptr_t OpenConnection(std::shared_ptr<StoredItemSource> camera) {
  auto connection = std::make_shared<Connection>();
  connection->camera = std::move(camera);
  intptr_t handle = 0;
  {
    Table& table = TheTable();
    std::lock_guard lock(table.mutex);
    handle = ++table.lastHandle;
    table.open.emplace(handle, std::move(connection));
  }
  CountConnection(true);
  return handle;
}

std::shared_ptr<Connection> FindConnection(intptr_t handle) {
  Table& table = TheTable();
  std::lock_guard lock(table.mutex);
  auto found = table.open.find(handle);
  return found == table.open.end() ? nullptr : found->second;
}

bool CloseConnection(intptr_t handle) {
  {
    Table& table = TheTable();
    std::lock_guard lock(table.mutex);
    if (table.open.erase(handle) == 0) return false;
  }
  CountConnection(false);
  return true;
}

int ThreadError() { return threadError; }

void SetThreadError(int error) { threadError = error; }

}  // namespace ksv::outside::bulk
