#include "outside/bulk/memory/memory_image.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <system_error>

#include "support/byte_order.h"

namespace ksv::outside::bulk {

namespace {

constexpr char kSignature[8] = {'K', 'S', 'V', 'C', 'A', 'M', 'E', 'M'};
constexpr size_t kVersionField = 64;
constexpr size_t kFirmwareOffset = 24;
constexpr size_t kSensorOffset = 88;
constexpr size_t kChipOffset = 152;

[[noreturn]] void Corrupt(const std::string& message) {
  throw MemoryImageError(MemoryImageError::Reason::kCorrupt, "memory image: " + message);
}

std::string ReadText(std::span<const uint8_t> image, size_t offset, const char* what) {
  const uint8_t* field = &image[offset];
  const uint8_t* end = std::find(field, field + kVersionField, 0);
  if (end == field + kVersionField) Corrupt(std::string(what) + " version text has no end");
  return std::string(field, end);
}

void PutText(std::vector<uint8_t>& image, size_t offset, const std::string& text) {
  std::copy(text.begin(), text.end(), image.begin() + static_cast<std::ptrdiff_t>(offset));
}

RecordingMode ReadMode(std::span<const uint8_t, kModeRecordSize> record) {
  RecordingMode mode;
  mode.tableIndex = record[0];
  mode.width = support::LoadLe16(record, 2);
  mode.height = support::LoadLe16(record, 4);
  std::ranges::copy(record.subspan<8, 64>(), mode.tables.luminance.begin());
  std::ranges::copy(record.subspan<72, 64>(), mode.tables.chrominance.begin());
  return mode;
}

void PutMode(std::span<uint8_t, kModeRecordSize> record, const RecordingMode& mode) {
  record[0] = mode.tableIndex;
  support::StoreLe16(record, 2, mode.width);
  support::StoreLe16(record, 4, mode.height);
  std::ranges::copy(mode.tables.luminance, record.subspan<8, 64>().begin());
  std::ranges::copy(mode.tables.chrominance, record.subspan<72, 64>().begin());
}

// The items of the region, each taken whole; the region must end exactly
// after the last one.
std::vector<StoredItem> ReadItems(std::span<const uint8_t> region, size_t count,
                                  size_t regionOffset) {
  std::vector<StoredItem> items;
  items.reserve(count);
  size_t at = 0;
  for (size_t i = 0; i < count; ++i) {
    const std::string where =
        "item " + std::to_string(i) + " at offset " + std::to_string(regionOffset + at);
    if (region.size() - at < kItemHeaderSize) Corrupt(where + ": truncated header");
    const StoredItemHeader header = DecodeItemHeader(region.subspan(at).first<kItemHeaderSize>());
    if (!KnownTag(header.tag)) Corrupt(where + ": unknown tag '" + TagText(header.tag) + "'");
    at += kItemHeaderSize;
    if (header.dataSize > region.size() - at) {
      Corrupt(where + ": data size " + std::to_string(header.dataSize) + " runs past the end");
    }
    const auto data = region.subspan(at, header.dataSize);
    items.push_back({header, std::vector<uint8_t>(data.begin(), data.end())});
    at += header.dataSize;
  }
  if (at != region.size()) {
    Corrupt(std::to_string(region.size() - at) + " bytes follow the last item");
  }
  return items;
}

}  // namespace

CameraMemory ReadMemoryImage(std::span<const uint8_t> image) {
  if (image.size() < kImageHeaderSize) {
    Corrupt("truncated: " + std::to_string(image.size()) + " bytes, shorter than the header");
  }
  if (!std::equal(kSignature, kSignature + sizeof kSignature, image.begin())) {
    Corrupt("not a camera memory image (no KSVCAMEM signature)");
  }
  if (support::LoadLe32(image, 8) != kImageFormatVersion) {
    Corrupt("format version " + std::to_string(support::LoadLe32(image, 8)) + " (this reader knows 1)");
  }
  const uint32_t modeCount = support::LoadLe32(image, 12);
  const uint32_t itemCount = support::LoadLe32(image, 16);
  const uint32_t regionSize = support::LoadLe32(image, 20);
  if (modeCount == 0 || modeCount > 256) Corrupt(std::to_string(modeCount) + " modes (1 to 256)");
  if (itemCount > kMaxItems) Corrupt(std::to_string(itemCount) + " items (at most 65535)");
  if (regionSize > kMaxStreamBytes) Corrupt("item region larger than the camera's 64 MiB");
  const size_t regionOffset = kImageHeaderSize + size_t{modeCount} * kModeRecordSize;
  const size_t expected = regionOffset + regionSize;
  if (image.size() < expected) {
    Corrupt("truncated: " + std::to_string(expected - image.size()) + " bytes missing");
  }
  if (image.size() > expected) {
    Corrupt(std::to_string(image.size() - expected) + " bytes after the last item");
  }

  CameraMemory memory;
  memory.versions = {ReadText(image, kFirmwareOffset, "firmware"),
                     ReadText(image, kSensorOffset, "sensor"),
                     ReadText(image, kChipOffset, "chip")};
  for (size_t m = 0; m < modeCount; ++m) {
    memory.modes.push_back(
        ReadMode(image.subspan(kImageHeaderSize + m * kModeRecordSize).first<kModeRecordSize>()));
  }
  memory.items = ReadItems(image.subspan(regionOffset), itemCount, regionOffset);
  try {
    CheckMemory(memory);
  } catch (const MemoryError& error) {
    Corrupt(error.what());
  }
  return memory;
}

CameraMemory LoadMemoryImage(const std::filesystem::path& path) {
  auto unreadable = [&](const std::string& why) {
    return MemoryImageError(MemoryImageError::Reason::kUnreadable,
                            "memory image '" + path.string() + "': " + why);
  };
  std::error_code error;
  const auto size = std::filesystem::file_size(path, error);
  if (error) throw unreadable(error.message());
  if (size > kMaxImageBytes) throw unreadable("too large to be a camera memory image");
  std::ifstream file(path, std::ios::binary);
  if (!file) throw unreadable("cannot be opened");
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (static_cast<size_t>(file.gcount()) != bytes.size()) throw unreadable("read failed");
  try {
    return ReadMemoryImage(bytes);
  } catch (const MemoryImageError& bad) {
    throw MemoryImageError(bad.reason(), path.string() + ": " + bad.what());
  }
}

std::vector<uint8_t> WriteMemoryImage(const CameraMemory& memory) {
  CheckMemory(memory);
  if (memory.modes.empty()) throw MemoryError("a memory needs at least one mode");
  const size_t regionOffset = kImageHeaderSize + memory.modes.size() * kModeRecordSize;
  std::vector<uint8_t> image(regionOffset, 0);
  std::memcpy(image.data(), kSignature, sizeof kSignature);
  support::StoreLe32(image, 8, kImageFormatVersion);
  support::StoreLe32(image, 12, static_cast<uint32_t>(memory.modes.size()));
  support::StoreLe32(image, 16, static_cast<uint32_t>(memory.items.size()));
  support::StoreLe32(image, 20, static_cast<uint32_t>(StreamSize(memory)));
  PutText(image, kFirmwareOffset, memory.versions.firmware);
  PutText(image, kSensorOffset, memory.versions.sensor);
  PutText(image, kChipOffset, memory.versions.chip);
  for (size_t m = 0; m < memory.modes.size(); ++m) {
    PutMode(std::span(image).subspan(kImageHeaderSize + m * kModeRecordSize).first<kModeRecordSize>(),
            memory.modes[m]);
  }
  const std::vector<uint8_t> stream = StreamBytes(memory);
  image.insert(image.end(), stream.begin(), stream.end());
  return image;
}

}  // namespace ksv::outside::bulk
