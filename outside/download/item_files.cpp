#include "outside/download/item_files.h"

#include <system_error>

#include "common/bitmap_file.h"
#include "include/oksv1api.h"
#include "include/oksv1jpg.h"
#include "platform/memory/global_memory.h"

namespace ksv::outside::download {

bool IsClipKind(int kind) {
  return kind == KXCAMAPI_KIND_CLIP || kind == KXCAMAPI_KIND_STREAM_CLIP ||
         kind == KXCAMAPI_KIND_STREAM_LORES_CLIP;
}

bool IsPictureKind(int kind) {
  return kind == KXCAMAPI_KIND_BURST_PICTURE || kind == KXCAMAPI_KIND_HQ_PICTURE ||
         kind == KXCAMAPI_KIND_LQ_PICTURE;
}

std::optional<ItemNaming> NamingOf(int kind) {
  switch (kind) {
    case KXCAMAPI_KIND_BURST_PICTURE:
      return ItemNaming{"Burst", ".JPG", 0};
    case KXCAMAPI_KIND_HQ_PICTURE:
      return ItemNaming{"HQ", ".JPG", 1};
    case KXCAMAPI_KIND_LQ_PICTURE:
      return ItemNaming{"WQ", ".JPG", 2};
    case KXCAMAPI_KIND_RAW:
      return ItemNaming{"Raw", ".WAV", 4};
    default:
      if (IsClipKind(kind)) return ItemNaming{"Clip", ".AVI", 3};
      return std::nullopt;
  }
}

std::optional<std::string> ItemNamer::Next(int kind) {
  const std::optional<ItemNaming> naming = NamingOf(kind);
  if (!naming) return std::nullopt;
  return naming->prefix + std::to_string(counters_[naming->counter]++) + naming->extension;
}

std::optional<std::filesystem::path> ConvertToBitmapFile(const std::filesystem::path& jpeg) {
  const std::filesystem::path bitmap = std::filesystem::path(jpeg).replace_extension(".BMP");
  HGLOBAL picture = JPEG_2Dib(jpeg.c_str());
  if (picture == nullptr) return std::nullopt;
  const bool written = common::WriteBitmapFile(bitmap.c_str(), picture);
  GlobalFree(picture);
  if (!written) return std::nullopt;
  std::error_code ignored;
  std::filesystem::remove(jpeg, ignored);
  return bitmap;
}

}  // namespace ksv::outside::download
