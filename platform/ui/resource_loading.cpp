// What user32 loads from a module's resources or from files: bitmaps
// (LoadImageA), cursors, and dialogs made from dialog resources.
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "support/no_throw.h"
#include "platform/gdi/resources.h"
#include "platform/resources/resources.h"
#include "platform/sync/sync.h"
#include "platform/ui/dialogs/dialogs.h"

namespace ksv::platform::ui {
namespace {

constexpr size_t kBitmapFileHeaderSize = 14;
constexpr uintmax_t kMaxBitmapFileSize = 256u << 20;

// A bitmap file as a bitmap: "BM", then the packed bitmap after the
// 14-byte file header. Null when the file cannot be read or is no bitmap.
HBITMAP BitmapFromFile(const char* path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  file.seekg(0, std::ios::end);
  const std::streamoff size = file.tellg();
  file.seekg(0);
  if (size < 0 || static_cast<uintmax_t>(size) > kMaxBitmapFileSize) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  if (!file.read(reinterpret_cast<char*>(bytes.data()), size)) {
    SetLastError(ERROR_CANTREAD);
    return nullptr;
  }
  if (bytes.size() <= kBitmapFileHeaderSize || bytes[0] != 'B' || bytes[1] != 'M') {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const HBITMAP bitmap = gdi::BitmapFromPackedDib(std::span(bytes).subspan(kBitmapFileHeaderSize));
  if (bitmap == nullptr) SetLastError(ERROR_INVALID_PARAMETER);
  return bitmap;
}

std::span<const std::byte> DialogResource(HINSTANCE instance, const char* name) {
  const std::span<const uint8_t> bytes = resources::FindResourceBytes(instance, name, RT_DIALOG);
  return std::as_bytes(bytes);
}

}  // namespace
}  // namespace ksv::platform::ui

using namespace ksv::platform;
using namespace ksv::platform::ui;

extern "C" {

HANDLE LoadImageA(HINSTANCE instance, const char* name, UINT type, int width, int height, UINT flags) {
  constexpr UINT kKnownFlags = LR_LOADFROMFILE | LR_CREATEDIBSECTION | LR_DEFAULTSIZE;
  if (name == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if ((flags & ~kKnownFlags) != 0 || (type != IMAGE_BITMAP && type != IMAGE_CURSOR) ||
      (type == IMAGE_CURSOR && (flags & LR_LOADFROMFILE) != 0)) {
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return nullptr;
  }
  if (type == IMAGE_CURSOR) return LoadCursorA(instance, name);
  const HBITMAP bitmap = (flags & LR_LOADFROMFILE) != 0
                             ? ksv::support::NoThrow<HBITMAP>(nullptr, [&] { return BitmapFromFile(name); })
                             : LoadBitmapA(instance, name);
  if (bitmap == nullptr) return nullptr;
  BITMAP size{};
  GetObjectA(bitmap, sizeof size, &size);
  if ((width != 0 && width != size.bmWidth) || (height != 0 && height != size.bmHeight)) {
    // Stretching to another size is not built.
    DeleteObject(bitmap);
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return nullptr;
  }
  return bitmap;
}

HWND CreateDialogParamA(HINSTANCE instance, const char* name, HWND owner, DLGPROC procedure, LPARAM initParam) {
  const std::span<const std::byte> bytes = DialogResource(instance, name);
  if (bytes.empty()) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  return CreateDialogFromTemplate(bytes, instance, owner, procedure, initParam);
}

INT_PTR DialogBoxParamA(HINSTANCE instance, const char* name, HWND owner, DLGPROC procedure, LPARAM initParam) {
  const std::span<const std::byte> bytes = DialogResource(instance, name);
  if (bytes.empty()) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return -1;
  }
  return RunDialogFromTemplate(bytes, instance, owner, procedure, initParam);
}

}  // extern "C"
