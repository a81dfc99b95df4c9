// The file versions of the two drivers, from the version resource of their
// files in the system folder.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "support/no_throw.h"
#include "include/oksv1api.h"
#include "platform/root/system_root.h"
#include "platform/version/version.h"

namespace {

constexpr DWORD kMaxResourceBytes = 2048;
constexpr size_t kTextBytes = 256;  // what callers give at least

// The driver file's "FileVersion" text in its first language, into `text`.
int CopyDriverVersion(const char* driverFile, char* text) {
  if (text == nullptr) return 0;
  std::string path;
  try {
    path = (ksv::platform::SystemRoot() / "system32" / "drivers" / driverFile).string();
  } catch (const std::exception&) {  // no system folder
    return 0;
  }
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
  if (size == 0 || size > kMaxResourceBytes) return 0;
  std::vector<uint8_t> block(size);
  if (!GetFileVersionInfoA(path.c_str(), handle, size, block.data())) return 0;
  void* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", &value, &length) || length < 4) {
    return 0;
  }
  uint16_t pair[2];
  std::memcpy(pair, value, sizeof pair);
  char subBlock[64];
  std::snprintf(subBlock, sizeof subBlock, "\\StringFileInfo\\%04x%04x\\FileVersion", pair[0],
                pair[1]);
  if (!VerQueryValueA(block.data(), subBlock, &value, &length) || length == 0) return 0;
  const char* version = static_cast<const char*>(value);
  const size_t copied = std::min(std::strlen(version), kTextBytes - 1);
  std::memcpy(text, version, copied);
  text[copied] = '\0';
  return 1;
}

}  // namespace

extern "C" {

int KXCAMAPI_GetVideoDriverVer(char* text) {
  return ksv::support::NoThrow<int>(0, [&]() -> int {
    return CopyDriverVersion("OKSV1VID.SYS", text);
  });
}

int KXCAMAPI_GetBulkDriverVer(char* text) {
  return ksv::support::NoThrow<int>(0, [&]() -> int {
    return CopyDriverVersion("OKSV1BLK.SYS", text);
  });
}

}  // extern "C"
