// KXCAMAPI_Download: the stored items fetched one at a time and handled by
// their kind.
#include <new>

#include "camapi/burst_frames.h"
#include "camapi/camera_context.h"
#include "camapi/item_clip.h"
#include "camapi/item_files.h"
#include "camapi/item_headers.h"
#include "camapi/picture_resave.h"
#include "support/no_throw.h"

namespace ksv::camapi {

namespace {

int Finish(CameraContext& context) { return context.cancel != 0 ? kItemCancelled : kItemGoOn; }

// A write failure ends the item; the application hears which file failed.
int ItemWriteFailed(CameraContext& context, const WriteOutcome& outcome) {
  EndItem(context, DiskNearlyFull(context.pathBuffer, outcome) ? KXCAMAPI_DISK_FULL
                                                                : KXCAMAPI_WRITE_FAILED);
  return kItemFailed;
}

int HandlePicture(CameraContext& context) {
  BulkContext& bulk = *context.bulk;
  if (BeginItem(context, bulk.kind)) return kItemCancelled;
  const WriteOutcome outcome = WritePlainJpeg(
      context.pathBuffer, bulk.jpegHeader, {bulk.dataStart, bulk.dataSize}, context.fileBuffer);
  if (!outcome.ok) return ItemWriteFailed(context, outcome);
  // A low-quality picture is saved again at 320 x 240; when it cannot be
  // read or resampled the file stays as first written, and when the new
  // picture cannot be saved the item failed.
  if (bulk.kind == KXCAMAPI_KIND_LQ_PICTURE &&
      ResaveResampled(context.pathBuffer) == Resaved::kSaveFailed) {
    return ItemWriteFailed(context, {});
  }
  EndItem(context, KXCAMAPI_OK);
  return Finish(context);
}

int HandleRaw(CameraContext& context) {
  BulkContext& bulk = *context.bulk;
  if (BeginItem(context, KXCAMAPI_KIND_RAW)) return kItemCancelled;
  const WriteOutcome outcome =
      WriteRotatedRaw(context.pathBuffer, {bulk.dataStart, bulk.dataSize}, context.fileBuffer);
  if (!outcome.ok) return ItemWriteFailed(context, outcome);
  EndItem(context, KXCAMAPI_OK);
  return Finish(context);
}

int HandleBurst(CameraContext& context, const PerItemHeader& header) {
  BulkContext& bulk = *context.bulk;
  std::vector<FrameData>& frames = context.burstFrames;
  if (!PerItemFrames({bulk.itemBuffer.data(), bulk.itemSize}, header, frames)) return kItemFailed;
  switch (DecodeBurstFrames(context, frames)) {
    case FramesOutcome::kDone:
      return Finish(context);
    case FramesOutcome::kCancelled:
      return kItemCancelled;
    case FramesOutcome::kDecodeFailed:
      break;
  }
  return kItemFailed;
}

// Reads the per-item header into the bulk state. False when the header
// describes data outside the fetched item.
bool TakeHeader(BulkContext& bulk, const PerItemHeader& header) {
  bulk.qIndex = header.tableIndex;
  bulk.clipFrameCount = header.frames;
  bulk.clipFrameMs = header.MillisecondsPerFrame();
  bulk.kind = header.kind;
  bulk.dataSize = header.dataSize;
  bulk.blockSize = header.blockSize;
  bulk.tableOffset = header.tableDistance;
  const size_t start = size_t{bulk.blockSize} + bulk.tableOffset;
  if (start > bulk.itemSize || bulk.dataSize > bulk.itemSize - start) return false;
  bulk.dataStart = bulk.itemBuffer.data() + start;
  return true;
}

}  // namespace

int HandleFetchedItem(CameraContext& context) {
  BulkContext& bulk = *context.bulk;
  if (bulk.fetchPending != 0) return kItemGoOn;
  if (bulk.itemSize < kItemHeaderBytes) return kItemFailed;
  const PerItemHeader header =
      ReadPerItemHeader(std::span<const uint8_t, kItemHeaderBytes>(bulk.itemBuffer.data(), kItemHeaderBytes));
  if (!BULK_GetQtable(bulk.handle, header.tableIndex, bulk.qTable.data()) ||
      !BULK_GetJPEGHeader(bulk.handle, header.tableIndex, bulk.jpegHeader.data()) ||
      !TakeHeader(bulk, header)) {
    return kItemFailed;
  }
  switch (bulk.kind) {
    case KXCAMAPI_KIND_CLIP:
      return HandleItemClip(context, header);
    case KXCAMAPI_KIND_BURST_PICTURE:
      return HandleBurst(context, header);
    case KXCAMAPI_KIND_HQ_PICTURE:
    case KXCAMAPI_KIND_LQ_PICTURE:
      return HandlePicture(context);
    case KXCAMAPI_KIND_RAW:
      return HandleRaw(context);
    default:
      return kItemFailed;
  }
}

}  // namespace ksv::camapi

namespace {

using ksv::camapi::BulkContext;

// The item hook's answer as the download's status; 0 to go on.
int HookStatus(int answer) {
  if (answer == ksv::camapi::kItemGoOn) return KXCAMAPI_OK;
  return answer == ksv::camapi::kItemCancelled ? KXCAMAPI_CANCELLED : KXCAMAPI_ITEM_FAILED;
}

int DownloadItem(ksv::camapi::CameraContext& context, int index) {
  BulkContext& bulk = *context.bulk;
  const int size = BULK_GetNthSize(bulk.handle, index);
  if (size <= 0) return KXCAMAPI_FETCH_FAILED;
  if (static_cast<uint32_t>(size) > bulk.itemCapacity) {
    bulk.itemBuffer.resize(static_cast<size_t>(size));
    bulk.itemCapacity = static_cast<uint32_t>(size);
  }
  bulk.fetchPending = 1;
  if (const int status = HookStatus(bulk.itemHook(context)); status != KXCAMAPI_OK) return status;
  if (!BULK_GetNthDSC(bulk.handle, index, static_cast<int>(bulk.itemCapacity),
                      bulk.itemBuffer.data())) {
    return KXCAMAPI_FETCH_FAILED;
  }
  bulk.itemSize = static_cast<uint32_t>(size);
  bulk.fetchPending = 0;
  return HookStatus(bulk.itemHook(context));
}

}  // namespace

extern "C" int KXCAMAPI_Download(KXCAMAPI_HANDLE context) {
  return ksv::support::NoThrow<int>(static_cast<int>(KXCAMAPI_OUT_OF_MEMORY), [&]() -> int {
    if (context == nullptr || !context->bulk || context->bulk->handle == 0) {
      return KXCAMAPI_NO_CONTEXT;
    }
    BulkContext& bulk = *context->bulk;
    // Counted again: items erased since the context opened are not fetched.
    const int count = BULK_GetImgCount(bulk.handle);
    if (BULK_GetErrCode(bulk.handle) == BULK_ERR_NONE) {
      bulk.storedCount = static_cast<uint16_t>(count < 0 ? 0 : (count > 0xFFFF ? 0xFFFF : count));
    }
    try {
      for (int index = 0; index < bulk.storedCount; ++index) {
        if (const int status = DownloadItem(*context, index); status != KXCAMAPI_OK) return status;
      }
    } catch (const std::bad_alloc&) {
      return KXCAMAPI_OUT_OF_MEMORY;
    } catch (const std::exception&) {
      return static_cast<int>(KXCAMAPI_INTERNAL_ERROR);
    }
    return KXCAMAPI_OK;
  });
}
