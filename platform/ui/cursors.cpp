// Cursors: the system's, and those of modules' resources (a cursor file's
// bytes), and what each shows.
#include <map>
#include <mutex>
#include <span>

#include "support/no_throw.h"
#include "platform/resources/resources.h"
#include "platform/sync/sync.h"
#include "platform/ui/ui.h"
#include "support/byte_order.h"

namespace ksv::platform::ui {
namespace {

constexpr uintptr_t kSystemCursorKind = 1;  // as LoadIconA's kind 2 (classes.cpp)

struct LoadedCursors {
  std::mutex mutex;
  std::map<HCURSOR, std::span<const uint8_t>> byHandle;
};

LoadedCursors& Loaded() {
  static LoadedCursors* loaded = new LoadedCursors;
  return *loaded;
}

bool IsNumber(const char* name) { return reinterpret_cast<uintptr_t>(name) <= 0xFFFF; }

// The first image of a cursor file: its directory entry names the hot spot
// and where the image lies; the image is a bitmap of twice its height, the
// colour rows then the 1-bit mask rows, both bottom-up.
std::optional<CursorPicture> PictureOf(std::span<const uint8_t> file) {
  using support::LoadLe16;
  using support::LoadLe32;
  if (file.size() < 22 || LoadLe16(file, 0) != 0 || LoadLe16(file, 2) != 2 || LoadLe16(file, 4) == 0) {
    return std::nullopt;
  }
  CursorPicture picture;
  picture.hotX = LoadLe16(file, 10);
  picture.hotY = LoadLe16(file, 12);
  const uint32_t size = LoadLe32(file, 14);
  const uint32_t offset = LoadLe32(file, 18);
  if (offset > file.size() || size > file.size() - offset || size < 40) return std::nullopt;
  const std::span<const uint8_t> image = file.subspan(offset, size);
  const auto width = static_cast<int32_t>(LoadLe32(image, 4));
  const auto doubled = static_cast<int32_t>(LoadLe32(image, 8));
  const int bpp = LoadLe16(image, 14);
  const uint32_t headerSize = LoadLe32(image, 0);
  if (width <= 0 || width > 256 || doubled <= 0 || doubled % 2 != 0 || doubled > 512 || headerSize < 40 ||
      (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32)) {
    return std::nullopt;
  }
  const int height = doubled / 2;
  const uint32_t used = LoadLe32(image, 32);
  const size_t colours = bpp <= 8 ? (used != 0 ? used : 1u << bpp) : 0;
  const size_t palette = headerSize;
  const size_t colourStride = (static_cast<size_t>(width) * bpp + 31) / 32 * 4;
  const size_t maskStride = (static_cast<size_t>(width) + 31) / 32 * 4;
  const size_t colourRows = palette + 4 * colours;
  const size_t maskRows = colourRows + colourStride * height;
  if (colours > 256 || maskRows + maskStride * height > image.size()) return std::nullopt;
  picture.width = width;
  picture.height = height;
  picture.argb.resize(static_cast<size_t>(width) * height);
  for (int y = 0; y < height; ++y) {
    const size_t row = static_cast<size_t>(height - 1 - y);  // bottom-up
    const uint8_t* colour = image.data() + colourRows + row * colourStride;
    const uint8_t* mask = image.data() + maskRows + row * maskStride;
    for (int x = 0; x < width; ++x) {
      uint32_t rgb = 0;
      if (bpp <= 8) {
        const int shift = 8 - bpp - (x * bpp) % 8;
        const size_t index = (colour[x * bpp / 8] >> shift) & ((1u << bpp) - 1);
        if (index < colours) rgb = LoadLe32(image, palette + 4 * index) & 0xFFFFFF;
      } else {
        const uint8_t* p = colour + static_cast<size_t>(x) * (bpp / 8);
        rgb = uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
      }
      const bool screenShows = (mask[x / 8] >> (7 - x % 8) & 1) != 0;
      // Where the mask lets the screen through, a colour would invert it:
      // drawn black here, as inverting is not offered.
      picture.argb[static_cast<size_t>(y) * width + x] =
          !screenShows ? 0xFF000000u | rgb : rgb != 0 ? 0xFF000000u : 0;
    }
  }
  return picture;
}

}  // namespace

std::optional<CursorPicture> DescribeCursor(HCURSOR cursor) {
  const auto value = reinterpret_cast<uintptr_t>(cursor);
  if (value >> 16 == kSystemCursorKind) {
    CursorPicture picture;
    picture.systemId = static_cast<int>(value & 0xFFFF);
    return picture;
  }
  std::span<const uint8_t> file;
  {
    LoadedCursors& loaded = Loaded();
    std::lock_guard guard(loaded.mutex);
    const auto found = loaded.byHandle.find(cursor);
    if (found == loaded.byHandle.end()) return std::nullopt;
    file = found->second;
  }
  return PictureOf(file);
}

}  // namespace ksv::platform::ui

using namespace ksv::platform::ui;

extern "C" {

HCURSOR LoadCursorA(HINSTANCE instance, const char* name) {
  if (instance != nullptr && name != nullptr) {
    // A module's cursor: the handle names the resource's bytes, so the same
    // cursor loads as the same handle.
    const std::span<const uint8_t> bytes =
        ksv::platform::resources::FindResourceBytes(instance, name, RT_GROUP_CURSOR);
    if (!bytes.empty()) {
      const auto handle = reinterpret_cast<HCURSOR>(const_cast<uint8_t*>(bytes.data()));
      ksv::support::NoThrowVoid([&] {  // unrecorded, it only shows as the arrow
        LoadedCursors& loaded = Loaded();
        std::lock_guard guard(loaded.mutex);
        loaded.byHandle.emplace(handle, bytes);
      });
      return handle;
    }
  }
  // Only the system's cursors have no module.
  if (instance != nullptr || name == nullptr || !IsNumber(name)) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  return reinterpret_cast<HCURSOR>(kSystemCursorKind << 16 | reinterpret_cast<uintptr_t>(name));
}

}  // extern "C"
