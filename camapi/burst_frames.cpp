#include "camapi/burst_frames.h"

#include <cstring>

#include "common/packed_bitmap.h"
#include "include/oksv1jpg.h"
#include "platform/memory/global_memory.h"
#include "support/byte_order.h"

namespace ksv::camapi {

bool PerItemFrames(std::span<const uint8_t> item, const PerItemHeader& header,
                   std::vector<FrameData>& frames) {
  frames.clear();
  const size_t block = header.blockSize;
  const size_t tableEnd = block + 2 * size_t{header.frames};
  size_t at = block + header.tableDistance;
  if (block == 0 || tableEnd > item.size() || at > item.size()) return false;
  for (size_t f = 0; f < header.frames; ++f) {
    const size_t length = size_t{support::LoadLe16(item, block + 2 * f)} * block;
    if (length > item.size() - at) return false;
    frames.push_back(item.subspan(at, length));
    at += length;
  }
  return true;
}

bool ChunkFrames(std::span<const uint8_t> data, uint16_t chunkCount,
                 std::vector<FrameData>& frames) {
  constexpr size_t kChunkHeader = 16;
  frames.clear();
  size_t at = 0;
  for (size_t c = 0; c < chunkCount; ++c) {
    if (kChunkHeader > data.size() - at) return false;
    const size_t video = support::LoadLe16(data, at + 4);
    const size_t audio = support::LoadLe16(data, at + 13);
    if (video + audio > data.size() - at - kChunkHeader) return false;
    frames.push_back(data.subspan(at + kChunkHeader, video));
    at += kChunkHeader + video + audio;
  }
  return true;
}

FramesOutcome DecodeBurstFrames(CameraContext& context, std::span<const FrameData> frames) {
  BulkContext& bulk = *context.bulk;
  bulk.decodeWidth = static_cast<uint32_t>(context.burstWidth);
  bulk.decodeHeight = static_cast<uint32_t>(context.burstHeight);
  if (!bulk.decoder.Prepare({bulk.decodeWidth, bulk.decodeHeight}, codec::OutputCode::kBgr24)) {
    return FramesOutcome::kDecodeFailed;
  }
  bulk.decoder.SelectQuantPair(2);
  bulk.decoder.LoadQuantTable(bulk.qTable);
  for (const FrameData& frame : frames) {
    uint32_t written = 0;
    if (!bulk.decoder.Decode(frame, bulk.decodeBuffer, written)) return FramesOutcome::kDecodeFailed;
    if (bulk.burstFrameHook != nullptr &&
        bulk.burstFrameHook(context) == FrameHookResult::kCancelled) {
      return FramesOutcome::kCancelled;
    }
  }
  return FramesOutcome::kDone;
}

FrameHookResult SaveBurstFrame(CameraContext& context) {
  if (BeginItem(context, KXCAMAPI_KIND_BURST_PICTURE)) return FrameHookResult::kCancelled;
  const BulkContext& bulk = *context.bulk;
  void* bitmap = GlobalLock(context.burstBitmap);
  uint8_t* pixels = common::PackedBitmapPixels(bitmap);
  const size_t rowBytes = common::PackedRowBytes(context.burstWidth, 24);
  const size_t frameRow = size_t{bulk.decodeWidth} * 3;
  for (size_t y = 0; y < bulk.decodeHeight; ++y) {
    std::memcpy(pixels + y * rowBytes, bulk.decodeBuffer.data() + y * frameRow, frameRow);
  }
  const BOOL saved = JPEG_SaveBMPImg(context.pathBuffer, kJpegQuality, context.burstWidth,
                                     context.burstHeight, pixels);
  GlobalUnlock(context.burstBitmap);
  return EndItem(context, saved ? KXCAMAPI_OK : KXCAMAPI_SAVE_FAILED) ? FrameHookResult::kCancelled
                                                                       : FrameHookResult::kGoOn;
}

}  // namespace ksv::camapi
