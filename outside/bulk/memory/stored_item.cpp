#include "outside/bulk/memory/stored_item.h"

#include <cstdio>

#include "outside/bulk/memory/per_item_view.h"
#include "support/byte_order.h"

namespace ksv::outside::bulk {

namespace {

constexpr size_t kChunkVideoLengthOffset = 4;
constexpr size_t kChunkAudioLengthOffset = 13;

[[noreturn]] void Refuse(const std::string& reason) { throw ItemError(reason); }

void CheckFrameSize(const StoredItem& item, const RecordingMode& mode) {
  const StoredItemHeader& h = item.header;
  if (h.width != mode.width || h.height != mode.height) {
    Refuse("size " + std::to_string(h.width) + "x" + std::to_string(h.height) +
           " differs from the " + std::to_string(mode.width) + "x" + std::to_string(mode.height) +
           " of table " + std::to_string(mode.tableIndex));
  }
}

void CheckChunks(const StoredItem& item, bool withSound) {
  const std::vector<ClipChunk> chunks = ReadChunks(item);
  if (chunks.empty()) Refuse("it has no frames");
  for (size_t i = 0; i < chunks.size(); ++i) {
    if (chunks[i].video.empty()) Refuse("frame " + std::to_string(i) + " is empty");
    if (!withSound && !chunks[i].audio.empty()) {
      Refuse("frame " + std::to_string(i) + " carries sound in an item without sound");
    }
  }
}

void CheckContent(const StoredItem& item, const RecordingMode& mode) {
  const StoredItemHeader& h = item.header;
  switch (item.tag()) {
    case ItemTag::kPicture:
      if (h.subtype != kHighQualitySubtype && h.subtype != kLowQualitySubtype) {
        Refuse("picture subtype " + std::to_string(h.subtype) + " is neither 1 nor 2");
      }
      CheckFrameSize(item, mode);
      if (h.contentSize == 0) Refuse("the picture is empty");
      return;
    case ItemTag::kClip:
    case ItemTag::kVideoClip: {
      if (h.subtype != kClipSubtype && h.subtype != kLowResClipSubtype) {
        Refuse("clip subtype " + std::to_string(h.subtype) + " is neither 3 nor 4");
      }
      const bool withSound = item.tag() == ItemTag::kClip;
      if (withSound && h.audioRate != kAdpcmRate && h.audioRate != kPcmRate) {
        Refuse("sound at " + std::to_string(h.audioRate) +
               " Hz (the camera records 8000 or 12000)");
      }
      if (!withSound && h.audioRate != 0) Refuse("a clip without sound names a sound rate");
      CheckFrameSize(item, mode);
      CheckChunks(item, withSound);
      return;
    }
    case ItemTag::kBurst:
      CheckFrameSize(item, mode);
      CheckChunks(item, false);
      if (h.chunkCount != kBurstFrames) {
        Refuse("a burst of " + std::to_string(h.chunkCount) + " frames (bursts hold 5)");
      }
      return;
    case ItemTag::kRecording:
      return;
  }
}

}  // namespace

std::array<uint8_t, kItemHeaderSize> EncodeItemHeader(const StoredItemHeader& header) {
  std::array<uint8_t, kItemHeaderSize> bytes{};
  support::StoreLe32(bytes, 0, header.tag);
  support::StoreLe32(bytes, 4, header.dataSize);
  bytes[10] = header.tableIndex;
  bytes[11] = header.subtype;
  support::StoreLe16(bytes, 12, header.width);
  support::StoreLe16(bytes, 14, header.height);
  support::StoreLe16(bytes, 18, header.chunkCount);
  support::StoreLe32(bytes, 20, header.contentSize);
  support::StoreLe32(bytes, 24, header.audioRate);
  return bytes;
}

StoredItemHeader DecodeItemHeader(std::span<const uint8_t, kItemHeaderSize> bytes) {
  StoredItemHeader header;
  header.tag = support::LoadLe32(bytes, 0);
  header.dataSize = support::LoadLe32(bytes, 4);
  header.tableIndex = bytes[10];
  header.subtype = bytes[11];
  header.width = support::LoadLe16(bytes, 12);
  header.height = support::LoadLe16(bytes, 14);
  header.chunkCount = support::LoadLe16(bytes, 18);
  header.contentSize = support::LoadLe32(bytes, 20);
  header.audioRate = support::LoadLe32(bytes, 24);
  return header;
}

std::string TagText(uint32_t tag) {
  std::array<uint8_t, 4> characters{};
  support::StoreLe32(characters, 0, tag);
  std::string text;
  for (const uint8_t c : characters) {
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      text += static_cast<char>(c);
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
      text += escaped;
    }
  }
  return text;
}

void AppendChunk(std::vector<uint8_t>& out, std::span<const uint8_t> video,
                 std::span<const uint8_t> audio) {
  if (video.size() > 0xFFFF || audio.size() > 0xFFFF) {
    Refuse("a frame of " + std::to_string(video.size()) + " bytes with " +
           std::to_string(audio.size()) + " bytes of sound does not fit a chunk (65535 each)");
  }
  uint8_t header[kChunkHeaderSize] = {};
  support::StoreLe16(header, kChunkVideoLengthOffset, static_cast<uint16_t>(video.size()));
  support::StoreLe16(header, kChunkAudioLengthOffset, static_cast<uint16_t>(audio.size()));
  out.insert(out.end(), header, header + kChunkHeaderSize);
  out.insert(out.end(), video.begin(), video.end());
  out.insert(out.end(), audio.begin(), audio.end());
}

std::vector<ClipChunk> ReadChunks(const StoredItem& item) {
  if (item.header.contentSize > item.data.size()) Refuse("its content runs past its data");
  const std::span<const uint8_t> content = item.Content();
  std::vector<ClipChunk> chunks;
  chunks.reserve(item.header.chunkCount);
  size_t at = 0;
  for (size_t i = 0; i < item.header.chunkCount; ++i) {
    if (content.size() - at < kChunkHeaderSize) {
      Refuse("chunk " + std::to_string(i) + " of " + std::to_string(item.header.chunkCount) +
             " starts past the content");
    }
    const size_t video = support::LoadLe16(content, at + kChunkVideoLengthOffset);
    const size_t audio = support::LoadLe16(content, at + kChunkAudioLengthOffset);
    at += kChunkHeaderSize;
    if (content.size() - at < video + audio) {
      Refuse("chunk " + std::to_string(i) + " runs past the content");
    }
    chunks.push_back({content.subspan(at, video), content.subspan(at + video, audio)});
    at += video + audio;
  }
  if (at != content.size()) {
    Refuse(std::to_string(content.size() - at) + " bytes of content follow the last chunk");
  }
  return chunks;
}

StoredItem MakeItem(StoredItemHeader header, std::vector<uint8_t> content) {
  header.contentSize = static_cast<uint32_t>(content.size());
  // The header is 64 bytes, so padding the data keeps the item on the grid.
  content.resize(RoundUp(content.size(), kItemAlignment), 0);
  header.dataSize = static_cast<uint32_t>(content.size());
  return StoredItem{header, std::move(content)};
}

bool KnownTag(uint32_t tag) {
  switch (static_cast<ItemTag>(tag)) {
    case ItemTag::kPicture:
    case ItemTag::kClip:
    case ItemTag::kVideoClip:
    case ItemTag::kBurst:
    case ItemTag::kRecording:
      return true;
  }
  return false;
}

void CheckItem(const StoredItem& item, const RecordingMode* mode) {
  const StoredItemHeader& h = item.header;
  if (!KnownTag(h.tag)) Refuse("unknown tag '" + TagText(h.tag) + "'");
  if (h.dataSize != item.data.size()) Refuse("its data size disagrees with its data");
  if (h.dataSize % kItemAlignment != 0) {
    Refuse("data size " + std::to_string(h.dataSize) + " is not a multiple of 64");
  }
  if (h.contentSize > h.dataSize) {
    Refuse("content size " + std::to_string(h.contentSize) + " exceeds data size " +
           std::to_string(h.dataSize));
  }
  if (mode == nullptr) Refuse("table index " + std::to_string(h.tableIndex) + " is not a mode");
  CheckContent(item, *mode);
  CheckPerItemLimits(item);
}

}  // namespace ksv::outside::bulk
