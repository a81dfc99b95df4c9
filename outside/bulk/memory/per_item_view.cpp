#include "outside/bulk/memory/per_item_view.h"

#include <algorithm>

#include "outside/bulk/memory/jpeg_file.h"
#include "support/byte_order.h"

namespace ksv::outside::bulk {

namespace {

constexpr uint32_t kMaxDataSize = 0xFFFFFF;
constexpr size_t kMaxFieldValue = 0xFFFF;

// Where everything of an item's per-item view lies.
struct Layout {
  size_t frames = 0;
  size_t tableDistance = 0;   // D
  size_t dataSize = 0;        // the header's data size
  size_t dataRegion = 0;      // the data rounded up to B
  std::vector<size_t> units;  // frame lengths in B units
  size_t total() const { return kPerItemBlockSize + tableDistance + dataRegion; }
};

size_t StuffedSize(std::span<const uint8_t> entropy) {
  return entropy.size() + static_cast<size_t>(std::count(entropy.begin(), entropy.end(), 0xFF));
}

Layout LayoutOf(const StoredItem& item) {
  Layout layout;
  switch (item.tag()) {
    case ItemTag::kPicture:
      layout.dataSize = StuffedSize(item.Content()) + 2;  // and EOI
      layout.units.push_back(RoundUp(layout.dataSize, kPerItemBlockSize) / kPerItemBlockSize);
      break;
    case ItemTag::kRecording:
      layout.dataSize = item.header.contentSize;
      break;
    default:
      for (const ClipChunk& chunk : ReadChunks(item)) {
        const size_t padded = RoundUp(chunk.video.size(), kPerItemBlockSize);
        layout.units.push_back(padded / kPerItemBlockSize);
        layout.dataSize += padded;
      }
      break;
  }
  layout.frames = layout.units.size();
  layout.tableDistance = RoundUp(2 * layout.frames, kPerItemBlockSize);
  layout.dataRegion = RoundUp(layout.dataSize, kPerItemBlockSize);
  return layout;
}

}  // namespace

PerItemKind PerItemKindOf(const StoredItem& item) {
  switch (item.tag()) {
    case ItemTag::kPicture:
      return item.header.subtype == kHighQualitySubtype ? PerItemKind::kHighQualityPicture
                                                        : PerItemKind::kLowQualityPicture;
    case ItemTag::kBurst:
      return PerItemKind::kBurst;
    case ItemTag::kRecording:
      return PerItemKind::kRaw;
    case ItemTag::kClip:
    case ItemTag::kVideoClip:
      break;
  }
  return PerItemKind::kClip;
}

void CheckPerItemLimits(const StoredItem& item) {
  const Layout layout = LayoutOf(item);
  if (layout.dataSize > kMaxDataSize) {
    throw ItemError("its " + std::to_string(layout.dataSize) +
                    " bytes exceed the 16 MiB an item may hold");
  }
  if (layout.tableDistance > kMaxFieldValue) {
    throw ItemError("its " + std::to_string(layout.frames) + " frames are too many for one item");
  }
  for (size_t units : layout.units) {
    if (units > kMaxFieldValue) throw ItemError("a frame is larger than 4 MiB");
  }
}

size_t PerItemSize(const StoredItem& item) { return LayoutOf(item).total(); }

std::vector<uint8_t> PerItemBytes(const StoredItem& item) {
  const Layout layout = LayoutOf(item);
  std::vector<uint8_t> bytes(kPerItemBlockSize + layout.tableDistance);
  bytes.reserve(layout.total());
  const bool isClip = PerItemKindOf(item) == PerItemKind::kClip;
  support::StoreLe24(bytes, 3, static_cast<uint32_t>(layout.dataSize));
  bytes[8] = item.header.tableIndex;
  support::StoreLe16(bytes, 9, static_cast<uint16_t>(kPerItemBlockSize));
  support::StoreLe16(bytes, 11, static_cast<uint16_t>(layout.frames));
  support::StoreLe16(bytes, 13, static_cast<uint16_t>(layout.tableDistance));
  bytes[15] = static_cast<uint8_t>(PerItemKindOf(item));
  if (isClip) {
    // T1 x T2 / frames = 100 ms a frame.
    support::StoreLe16(bytes, 16, static_cast<uint16_t>(kClipFrameMs));
    support::StoreLe16(bytes, 18, static_cast<uint16_t>(layout.frames));
  }
  for (size_t i = 0; i < layout.frames; ++i) {
    support::StoreLe16(bytes, kPerItemBlockSize + 2 * i, static_cast<uint16_t>(layout.units[i]));
  }

  switch (item.tag()) {
    case ItemTag::kPicture:
      AppendStuffed(item.Content(), bytes);
      AppendEndOfImage(bytes);
      break;
    case ItemTag::kRecording:
      bytes.insert(bytes.end(), item.Content().begin(), item.Content().end());
      break;
    default:
      for (const ClipChunk& chunk : ReadChunks(item)) {
        bytes.insert(bytes.end(), chunk.video.begin(), chunk.video.end());
        bytes.resize(RoundUp(bytes.size(), kPerItemBlockSize), 0);
      }
      break;
  }
  bytes.resize(layout.total(), 0);
  return bytes;
}

}  // namespace ksv::outside::bulk
