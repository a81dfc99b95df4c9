#include "camapi/item_clip.h"

#include <cstring>

#include "camapi/burst_frames.h"
#include "camapi/clip_files.h"
#include "camapi/clip_maker.h"
#include "common/bitmap_resample.h"
#include "common/packed_bitmap.h"
#include "platform/memory/global_memory.h"

namespace ksv::camapi {

namespace {

// Prepares the decoder for `size` with the item's tables.
bool PrepareDecoder(BulkContext& bulk, codec::FrameSize size) {
  if (!bulk.decoder.Prepare(size, codec::OutputCode::kBgr24)) return false;
  bulk.decoder.SelectQuantPair(2);
  bulk.decoder.LoadQuantTable(bulk.qTable);
  bulk.decodeWidth = size.width;
  bulk.decodeHeight = size.height;
  return true;
}

// The per-item header does not say a clip's frame size. The camera's clip
// sizes are tried from the largest down on the first frame: a frame holds
// exactly the macroblocks of its own size, so a larger size runs out of
// data, and the largest that decodes is the frame's. (Taking the small
// size for every clip would read a 320 x 240 frame as a jumble of its
// first macroblocks.)
codec::FrameSize ClipFrameSize(CameraContext& context, FrameData first) {
  BulkContext& bulk = *context.bulk;
  const codec::FrameSize loRes{static_cast<uint32_t>(context.loResClipWidth),
                               static_cast<uint32_t>(context.loResClipHeight)};
  for (const codec::FrameSize size : {codec::FrameSize{320, 240}, codec::FrameSize{160, 128}}) {
    uint32_t written = 0;
    if (PrepareDecoder(bulk, size) && bulk.decoder.Decode(first, bulk.decodeBuffer, written)) {
      return size;
    }
  }
  return loRes;
}

enum class Decoded { kDone, kCancelled, kFailed };

Decoded DecodeClipFrames(CameraContext& context, std::span<const FrameData> frames) {
  BulkContext& bulk = *context.bulk;
  if (frames.empty()) return Decoded::kDone;
  if (!PrepareDecoder(bulk, ClipFrameSize(context, frames.front()))) return Decoded::kFailed;
  for (const FrameData& frame : frames) {
    uint32_t written = 0;
    if (!bulk.decoder.Decode(frame, bulk.decodeBuffer, written)) return Decoded::kFailed;
    if (bulk.clipFrameHook != nullptr &&
        bulk.clipFrameHook(context) == FrameHookResult::kCancelled) {
      return Decoded::kCancelled;
    }
  }
  return Decoded::kDone;
}

// Copies the decoded frame (rows of width x 3 bytes, bottom-up) into the
// rows of a 24-bit packed bitmap of the same size.
void CopyDecoded(const BulkContext& bulk, HGLOBAL bitmap) {
  void* bits = GlobalLock(bitmap);
  uint8_t* pixels = common::PackedBitmapPixels(bits);
  const size_t stride = common::PackedRowBytes(static_cast<int32_t>(bulk.decodeWidth), 24);
  const size_t row = size_t{bulk.decodeWidth} * 3;
  for (size_t y = 0; y < bulk.decodeHeight; ++y) {
    std::memcpy(pixels + y * stride, bulk.decodeBuffer.data() + y * row, row);
  }
  GlobalUnlock(bitmap);
}

}  // namespace

FrameHookResult SaveClipFrameHook(CameraContext& context) {
  const BulkContext& bulk = *context.bulk;
  ++context.frameCounter;
  if (bulk.decodeWidth == 320 && bulk.decodeHeight == 240) {
    CopyDecoded(bulk, context.frameBitmap);
    SaveClipFrame(context, context.frameBitmap, context.frameCounter);
    return FrameHookResult::kGoOn;
  }
  HGLOBAL bitmap = common::CreatePackedBitmap(static_cast<int32_t>(bulk.decodeWidth),
                                              static_cast<int32_t>(bulk.decodeHeight), 24);
  if (bitmap != nullptr) {
    CopyDecoded(bulk, bitmap);
    if (bulk.decodeWidth == 160 && bulk.decodeHeight == 128) {
      HGLOBAL cut = common::CropPackedBitmapTopLeft(bitmap, 160, 120);
      GlobalFree(bitmap);
      bitmap = cut;
    }
  }
  SaveClipFrame(context, bitmap != nullptr ? bitmap : context.frameBitmap, context.frameCounter);
  if (bitmap != nullptr) GlobalFree(bitmap);
  return FrameHookResult::kGoOn;
}

int HandleItemClip(CameraContext& context, const PerItemHeader& header) {
  if (context.itemIndex >= kMaxClips) return kItemGoOn;  // the context's clips are used up
  BulkContext& bulk = *context.bulk;
  context.frameCounter = 0;
  // Without the information file the build below fails; the frames are
  // decoded all the same.
  WriteClipInfo(context, bulk.clipFrameCount, bulk.clipFrameMs);
  if (BeginItem(context, KXCAMAPI_KIND_CLIP)) return kItemCancelled;
  std::vector<FrameData> frames;
  Decoded decoded = Decoded::kFailed;
  if (PerItemFrames({bulk.itemBuffer.data(), bulk.itemSize}, header, frames)) {
    decoded = DecodeClipFrames(context, frames);
  }
  if (decoded == Decoded::kCancelled) return kItemCancelled;
  if (decoded == Decoded::kFailed || !MakeClipAvi(context)) {
    EndItem(context, KXCAMAPI_ITEM_FAILED);
    return kItemFailed;
  }
  if (EndItem(context, KXCAMAPI_OK)) return kItemCancelled;
  ++context.itemIndex;
  return kItemGoOn;
}

}  // namespace ksv::camapi
