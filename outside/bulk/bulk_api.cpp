// The exported functions of OKSV1DnL but the stream.
#include <algorithm>
#include <cstring>
#include <string>

#include "include/oksv1dnl.h"
#include "outside/bulk/api_support.h"
#include "outside/bulk/driver_registry.h"
#include "outside/bulk/memory/jpeg_file.h"
#include "outside/bulk/memory/memory_image.h"
#include "outside/bulk/memory/per_item_view.h"

using ksv::outside::bulk::CameraMemory;
using ksv::outside::bulk::Failed;
using ksv::outside::bulk::OnConnection;

namespace {

const ksv::outside::bulk::StoredItem* ItemAt(CameraMemory& memory, int index, int& error) {
  auto& items = memory.items;
  if (index < 0 || static_cast<size_t>(index) >= items.size()) {
    error = BULK_ERR_NO_SUCH_ITEM;
    return nullptr;
  }
  return &items[static_cast<size_t>(index)];
}

const ksv::outside::bulk::RecordingMode* ModeAt(CameraMemory& memory, int tableIndex, int& error) {
  const ksv::outside::bulk::RecordingMode* mode =
      (tableIndex >= 0 && tableIndex <= 0xFF)
          ? memory.FindMode(static_cast<uint8_t>(tableIndex))
          : nullptr;
  if (mode == nullptr) error = BULK_ERR_NO_SUCH_TABLE;
  return mode;
}

int CopyHeader(BULK_HANDLE handle, int tableIndex, BYTE* header) {
  return OnConnection(handle, [&](CameraMemory& memory, int& error) {
    if (header == nullptr) return Failed(error, BULK_ERR_BAD_ARGUMENT);
    const ksv::outside::bulk::RecordingMode* mode = ModeAt(memory, tableIndex, error);
    if (mode == nullptr) return 0;
    const auto bytes = ksv::outside::bulk::StoredPictureHeader(mode->tables, mode->width, mode->height);
    std::copy(bytes.begin(), bytes.end(), header);
    return 1;
  });
}

int CopyVersion(BULK_HANDLE handle, char* text, std::string ksv::outside::bulk::CameraVersions::*field) {
  return OnConnection(handle, [&](CameraMemory& memory, int& error) {
    if (text == nullptr) return Failed(error, BULK_ERR_BAD_ARGUMENT);
    const std::string& version = memory.versions.*field;
    const size_t length = std::min(version.size(), size_t{BULK_VERSION_TEXT_BYTES - 1});
    std::memcpy(text, version.data(), length);
    text[length] = '\0';
    return 1;
  });
}

}  // namespace

extern "C" {

BULK_HANDLE BULK_Init(void) {
  using ksv::outside::bulk::MemoryImageError;
  try {
    const BULK_HANDLE handle =
        ksv::outside::bulk::OpenConnection(ksv::outside::bulk::ConnectCamera());
    ksv::outside::bulk::SetThreadError(BULK_ERR_NONE);
    return handle;
  } catch (const MemoryImageError& error) {
    ksv::outside::bulk::SetThreadError(error.reason() == MemoryImageError::Reason::kUnreadable
                                           ? BULK_ERR_NO_MEMORY_IMAGE
                                           : BULK_ERR_BAD_MEMORY_IMAGE);
  } catch (const ksv::outside::bulk::NoCameraError&) {
    ksv::outside::bulk::SetThreadError(BULK_ERR_NO_CAMERA);
  } catch (const std::bad_alloc&) {
    ksv::outside::bulk::SetThreadError(BULK_ERR_OUT_OF_MEMORY);
  } catch (const std::exception&) {  // the camera's memory could not be read
    ksv::outside::bulk::SetThreadError(BULK_ERR_BAD_MEMORY_IMAGE);
  }
  return 0;
}

int BULK_Reset(BULK_HANDLE handle) {
  if (ksv::outside::bulk::CloseConnection(handle)) return 1;
  ksv::outside::bulk::SetThreadError(BULK_ERR_NO_CONNECTION);
  return 0;
}

int BULK_GetErrCode(BULK_HANDLE handle) {
  const auto connection = ksv::outside::bulk::FindConnection(handle);
  return connection ? connection->lastError.load() : ksv::outside::bulk::ThreadError();
}

int BULK_GetImgCount(BULK_HANDLE handle) {
  return OnConnection(
      handle, [](CameraMemory& memory, int&) { return static_cast<int>(memory.items.size()); });
}

int BULK_GetImgCount_2(BULK_HANDLE handle, int type) {
  return OnConnection(handle, [&](CameraMemory& memory, int& error) {
    const auto count = ksv::outside::bulk::CountOfType(memory, type);
    if (!count) return Failed(error, BULK_ERR_BAD_ARGUMENT);
    return static_cast<int>(*count);
  });
}

int BULK_GetNthSize(BULK_HANDLE handle, int index) {
  return OnConnection(handle, [&](CameraMemory& memory, int& error) {
    const ksv::outside::bulk::StoredItem* item = ItemAt(memory, index, error);
    return item ? static_cast<int>(ksv::outside::bulk::PerItemSize(*item)) : 0;
  });
}

int BULK_GetNthDSC(BULK_HANDLE handle, int index, int bufferSize, BYTE* buffer) {
  return OnConnection(handle, [&](CameraMemory& memory, int& error) {
    if (buffer == nullptr || bufferSize < 0) return Failed(error, BULK_ERR_BAD_ARGUMENT);
    const ksv::outside::bulk::StoredItem* item = ItemAt(memory, index, error);
    if (item == nullptr) return 0;
    if (ksv::outside::bulk::PerItemSize(*item) > static_cast<size_t>(bufferSize)) {
      return Failed(error, BULK_ERR_BUFFER_TOO_SMALL);
    }
    const std::vector<uint8_t> bytes = ksv::outside::bulk::PerItemBytes(*item);
    std::copy(bytes.begin(), bytes.end(), buffer);
    return 1;
  });
}

int BULK_GetQtable(BULK_HANDLE handle, int tableIndex, BYTE* table) {
  return OnConnection(handle, [&](CameraMemory& memory, int& error) {
    if (table == nullptr) return Failed(error, BULK_ERR_BAD_ARGUMENT);
    const ksv::outside::bulk::RecordingMode* mode = ModeAt(memory, tableIndex, error);
    if (mode == nullptr) return 0;
    const std::vector<uint8_t> bytes = ksv::outside::bulk::TableBytes(*mode);
    std::copy(bytes.begin(), bytes.end(), table);
    return 1;
  });
}

int BULK_GetJPEGHeader(BULK_HANDLE handle, int tableIndex, BYTE* header) {
  return CopyHeader(handle, tableIndex, header);
}

int BULK_GetJPEGHeader_420(BULK_HANDLE handle, int tableIndex, BYTE* header) {
  return CopyHeader(handle, tableIndex, header);
}

int BULK_ClearCamera(BULK_HANDLE handle) {
  return OnConnection(handle, [](CameraMemory& memory, int&) {
    memory.items.clear();
    return 1;
  });
}

int BULK_ClearLastOne(BULK_HANDLE handle) {
  return OnConnection(handle, [](CameraMemory& memory, int& error) {
    if (memory.items.empty()) return Failed(error, BULK_ERR_NO_SUCH_ITEM);
    memory.items.pop_back();
    return 1;
  });
}

int BULK_GetFWVer(BULK_HANDLE handle, char* text) {
  return CopyVersion(handle, text, &ksv::outside::bulk::CameraVersions::firmware);
}

int BULK_GetSensorVer(BULK_HANDLE handle, char* text) {
  return CopyVersion(handle, text, &ksv::outside::bulk::CameraVersions::sensor);
}

int BULK_GetAsicVer(BULK_HANDLE handle, char* text) {
  return CopyVersion(handle, text, &ksv::outside::bulk::CameraVersions::chip);
}

int BULK_WriteDriverRegistryDword(BULK_HANDLE handle, const char* name, DWORD value) {
  return OnConnection(handle, [&](CameraMemory&, int& error) {
    if (name == nullptr || *name == '\0') return Failed(error, BULK_ERR_BAD_ARGUMENT);
    if (!ksv::outside::bulk::WriteDriverDword(name, value)) return Failed(error, BULK_ERR_REGISTRY);
    return 1;
  });
}

int BULK_WriteDriverRegistryString(BULK_HANDLE handle, const char* name, const char* text) {
  return OnConnection(handle, [&](CameraMemory&, int& error) {
    if (name == nullptr || *name == '\0' || text == nullptr) {
      return Failed(error, BULK_ERR_BAD_ARGUMENT);
    }
    if (!ksv::outside::bulk::WriteDriverString(name, text)) return Failed(error, BULK_ERR_REGISTRY);
    return 1;
  });
}

int BULK_UseCameraMemory(const char* path) {
  try {
    ksv::outside::bulk::UseCameraMemory(path ? std::optional<std::filesystem::path>(path)
                                             : std::nullopt);
  } catch (const std::bad_alloc&) {
    ksv::outside::bulk::SetThreadError(BULK_ERR_OUT_OF_MEMORY);
    return 0;
  }
  return 1;
}

}  // extern "C"
