#include "outside/bulk/memory/camera_memory.h"

#include <algorithm>
#include <array>

namespace ksv::outside::bulk {

namespace {

void CheckVersionText(const std::string& text, const char* what) {
  if (text.size() > kMaxVersionText) {
    throw MemoryError(std::string(what) + " version is longer than 63 characters");
  }
  for (char c : text) {
    if (c < 0x20 || c > 0x7E) {
      throw MemoryError(std::string(what) + " version holds a character that is not printable");
    }
  }
}

void CheckModes(const std::vector<RecordingMode>& modes) {
  std::array<bool, 256> seen{};
  for (const RecordingMode& mode : modes) {
    const std::string name = "table " + std::to_string(mode.tableIndex);
    if (seen[mode.tableIndex]) throw MemoryError(name + " is defined twice");
    seen[mode.tableIndex] = true;
    if (mode.width == 0 || mode.height == 0 || mode.width > kMaxModeSide ||
        mode.height > kMaxModeSide) {
      throw MemoryError(name + " has the impossible size " + std::to_string(mode.width) + "x" +
                        std::to_string(mode.height));
    }
    auto zero = [](const codec::QuantTable& t) { return std::count(t.begin(), t.end(), 0) > 0; };
    if (zero(mode.tables.luminance) || zero(mode.tables.chrominance)) {
      throw MemoryError(name + " has a quantisation entry of 0");
    }
  }
}

}  // namespace

const RecordingMode* CameraMemory::FindMode(uint8_t tableIndex) const {
  for (const RecordingMode& mode : modes) {
    if (mode.tableIndex == tableIndex) return &mode;
  }
  return nullptr;
}

void CheckMemory(const CameraMemory& memory) {
  CheckVersionText(memory.versions.firmware, "firmware");
  CheckVersionText(memory.versions.sensor, "sensor");
  CheckVersionText(memory.versions.chip, "chip");
  CheckModes(memory.modes);
  if (memory.items.size() > kMaxItems) {
    throw MemoryError(std::to_string(memory.items.size()) + " items (the camera holds 65535)");
  }
  for (size_t i = 0; i < memory.items.size(); ++i) {
    const StoredItem& item = memory.items[i];
    try {
      CheckItem(item, memory.FindMode(item.header.tableIndex));
    } catch (const ItemError& error) {
      throw MemoryError("item " + std::to_string(i) + " (" + TagText(item.header.tag) +
                        "): " + error.what());
    }
  }
  if (StreamSize(memory) > kMaxStreamBytes) {
    throw MemoryError("the items take " + std::to_string(StreamSize(memory)) +
                      " bytes, more than the camera's 64 MiB");
  }
}

std::optional<uint32_t> CountOfType(const CameraMemory& memory, int type) {
  auto count = [&](auto matches) {
    return static_cast<uint32_t>(std::count_if(memory.items.begin(), memory.items.end(), matches));
  };
  auto isClip = [](const StoredItem& item, uint8_t subtype) {
    return (item.tag() == ItemTag::kClip || item.tag() == ItemTag::kVideoClip) &&
           item.header.subtype == subtype;
  };
  switch (type) {
    case kCountHighQualityPictures:
    case kCountLowQualityPictures: {
      const auto subtype = static_cast<uint8_t>(type);  // 1 and 2 are also the subtypes
      return count([&](const StoredItem& item) {
        return item.tag() == ItemTag::kPicture && item.header.subtype == subtype;
      });
    }
    case kCountClips:
      return count([&](const StoredItem& item) { return isClip(item, kClipSubtype); });
    case kCountLowResClips:
      return count([&](const StoredItem& item) { return isClip(item, kLowResClipSubtype); });
    case kCountBursts:
      return count([](const StoredItem& item) { return item.tag() == ItemTag::kBurst; });
    default:
      return std::nullopt;
  }
}

size_t StreamSize(const CameraMemory& memory) {
  size_t size = 0;
  for (const StoredItem& item : memory.items) size += kItemHeaderSize + item.data.size();
  return size;
}

std::vector<uint8_t> StreamBytes(const CameraMemory& memory) {
  std::vector<uint8_t> stream;
  stream.reserve(StreamSize(memory));
  for (const StoredItem& item : memory.items) {
    const auto header = EncodeItemHeader(item.header);
    stream.insert(stream.end(), header.begin(), header.end());
    stream.insert(stream.end(), item.data.begin(), item.data.end());
  }
  return stream;
}

}  // namespace ksv::outside::bulk
