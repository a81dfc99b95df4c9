// KXCAMAPI_GetAllImgs: the whole memory as one stream, cut into items,
// with progress after every 64-byte step.
#include <algorithm>
#include <new>

#include "camapi/burst_frames.h"
#include "camapi/clip_files.h"
#include "camapi/clip_graph.h"
#include "support/no_throw.h"
#include "include/clipmend.h"
#include "camapi/camera_context.h"
#include "camapi/item_files.h"
#include "camapi/item_headers.h"
#include "camapi/picture_resave.h"

namespace ksv::camapi {

namespace {

// What handling a complete item leads to.
enum class ItemAction { kGoOn, kStop };

// A stream clip runs 10 frames a second.
constexpr uint32_t kStreamClipFrameMs = 100;

DWORD Percent(uint64_t part, uint64_t whole) {
  if (whole == 0) return 0;
  return static_cast<DWORD>(std::min<uint64_t>(100, part * 100 / whole));
}

// Stops the stream for a reason of the library's own.
ItemAction StopWith(CameraContext& context, int status) {
  context.streamStop = status;
  return ItemAction::kStop;
}

ItemAction HandlePicture(CameraContext& context, const StoredItemHeader& header,
                         std::span<const uint8_t> data) {
  BulkContext& bulk = *context.bulk;
  const bool highQuality = header.subtype == kHighQualitySubtype;
  const int fetched = highQuality
                          ? BULK_GetJPEGHeader(bulk.handle, header.tableIndex, bulk.jpegHeader.data())
                          : BULK_GetJPEGHeader_420(bulk.handle, header.tableIndex, bulk.jpegHeader.data());
  if (fetched == 0) return StopWith(context, KXCAMAPI_STREAM_FAILED);
  const int kind = highQuality ? KXCAMAPI_KIND_HQ_PICTURE : KXCAMAPI_KIND_LQ_PICTURE;
  if (BeginItem(context, kind)) return ItemAction::kStop;
  const WriteOutcome outcome =
      WriteStuffedJpeg(context.pathBuffer, bulk.jpegHeader, data, context.fileBuffer);
  DWORD status = KXCAMAPI_OK;
  if (!outcome.ok) {
    // The picture is skipped and the stream goes on; the application hears why.
    status = DiskNearlyFull(context.pathBuffer, outcome) ? KXCAMAPI_DISK_FULL : KXCAMAPI_WRITE_FAILED;
  } else if (kind == KXCAMAPI_KIND_LQ_PICTURE &&
             ResaveCropped(context.pathBuffer) == Resaved::kSaveFailed) {
    // Cut to 160 x 120 (a smaller picture keeps its first form); a cut
    // picture that cannot be saved is no picture written.
    status = DiskNearlyFull(context.pathBuffer, {}) ? KXCAMAPI_DISK_FULL : KXCAMAPI_WRITE_FAILED;
  }
  return EndItem(context, status) ? ItemAction::kStop : ItemAction::kGoOn;
}

// Each picture of a burst becomes a JPEG file, as in the per-item download.
ItemAction HandleBurst(CameraContext& context, const StoredItemHeader& header,
                       std::span<const uint8_t> data) {
  BulkContext& bulk = *context.bulk;
  std::vector<FrameData>& frames = context.burstFrames;
  if (!BULK_GetQtable(bulk.handle, header.tableIndex, bulk.qTable.data()) ||
      !ChunkFrames(data, header.chunkCount, frames)) {
    // A burst that cannot be read is reported as one failed picture.
    if (BeginItem(context, KXCAMAPI_KIND_BURST_PICTURE)) return ItemAction::kStop;
    return EndItem(context, KXCAMAPI_ITEM_FAILED) ? ItemAction::kStop : ItemAction::kGoOn;
  }
  switch (DecodeBurstFrames(context, frames)) {
    case FramesOutcome::kDone:
      return ItemAction::kGoOn;
    case FramesOutcome::kCancelled:
      return ItemAction::kStop;
    case FramesOutcome::kDecodeFailed:
      break;
  }
  if (BeginItem(context, KXCAMAPI_KIND_BURST_PICTURE)) return ItemAction::kStop;
  return EndItem(context, KXCAMAPI_ITEM_FAILED) ? ItemAction::kStop : ItemAction::kGoOn;
}

// The AVI fix's progress routine: always go on.
int AlwaysGoOn(int) { return 1; }

// A clip becomes an AVI file with its sound through the clip graph, then
// (outside KSV mode) is re-saved by the AVI fix. Clips past the 256th of
// the context are skipped.
ItemAction HandleClip(CameraContext& context, const StoredItemHeader& header,
                      std::span<const uint8_t> item) {
  if (context.itemIndex >= kMaxClips) return ItemAction::kGoOn;
  BulkContext& bulk = *context.bulk;
  bulk.clipHeader = item.data();
  bulk.clipBytes = item.size();
  context.frameCounter = 0;
  const bool ksv = KsvMode();
  if (!ksv) WriteClipInfo(context, header.chunkCount, kStreamClipFrameMs);
  const int kind =
      header.subtype == kClipSubtype ? KXCAMAPI_KIND_STREAM_CLIP : KXCAMAPI_KIND_STREAM_LORES_CLIP;
  HRESULT result = S_OK;
  const bool cancelled = BeginItem(context, kind);
  if (!cancelled) {
    result = RunClipAviGraph(context);
    context.record.itemPercent = 100;
    if (!ksv && SUCCEEDED(result)) result = FixAVIForMCIControl(context.pathBuffer, AlwaysGoOn);
  }
  bulk.clipHeader = nullptr;
  bulk.clipBytes = 0;
  if (cancelled || EndItem(context, static_cast<DWORD>(result))) return ItemAction::kStop;
  ++context.itemIndex;
  return ItemAction::kGoOn;
}

ItemAction HandleItem(CameraContext& context, std::span<const uint8_t> item) {
  const StoredItemHeader header =
      ReadStoredItemHeader(item.first<kItemHeaderBytes>());
  const std::span<const uint8_t> data = item.subspan(kItemHeaderBytes);
  switch (header.tag) {
    case kPictureTag:
      return HandlePicture(context, header, data);
    case kBurstTag:
      return HandleBurst(context, header, data);
    case kClipTag:
      return HandleClip(context, header, item);
    default:  // clips without sound and raw recordings are not part of this download
      return ItemAction::kGoOn;
  }
}

// One 64-byte step: progress, then the item's action once it is whole.
bool OnStep(CameraContext& context, const StreamStep& step, uint32_t totalItems) {
  KXCAMAPI_ProgressRecord& record = context.record;
  record.itemSize = static_cast<DWORD>(step.itemSize);
  record.itemReceived = static_cast<DWORD>(step.received);
  record.itemPercent = Percent(step.received, step.itemSize);
  if (step.complete) {
    ++record.itemsCompleted;
    record.overallPercent = Percent(record.itemsCompleted, totalItems);
  }
  if (context.progress != nullptr && context.progress(context.userData, &record) != 0) {
    return false;
  }
  return !step.complete || HandleItem(context, step.item) == ItemAction::kGoOn;
}

int StreamCallback(intptr_t target, DWORD streamSize, const BYTE* bytes, DWORD length) {
  auto& context = *reinterpret_cast<CameraContext*>(target);
  if (bytes == nullptr && length != 0) {
    context.streamStop = KXCAMAPI_BAD_STREAM;
    return 1;
  }
  const uint32_t totalItems = context.streamItems;
  try {
    const FeedResult result = context.stream.Feed(
        {bytes, length}, streamSize,
        [&](const StreamStep& step) { return OnStep(context, step, totalItems); });
    switch (result) {
      case FeedResult::kGoOn:
        return 0;
      case FeedResult::kStopped:
        return 1;
      case FeedResult::kBadStream:
        context.streamStop = KXCAMAPI_BAD_STREAM;
        return 1;
      case FeedResult::kOutOfMemory:
        context.streamStop = KXCAMAPI_OUT_OF_MEMORY;
        return 1;
    }
  } catch (const std::bad_alloc&) {
    context.streamStop = KXCAMAPI_OUT_OF_MEMORY;
  } catch (const std::exception&) {
    context.streamStop = KXCAMAPI_STREAM_FAILED;
  }
  return 1;
}

// The counts of the progress record; false when the bulk library cannot
// give them.
bool CountStoredItems(CameraContext& context, uint32_t& bursts) {
  const BULK_HANDLE handle = context.bulk->handle;
  KXCAMAPI_ProgressRecord& record = context.record;
  record = {};
  const int types[] = {BULK_TYPE_HQ_PICTURES, BULK_TYPE_LQ_PICTURES, BULK_TYPE_CLIPS,
                       BULK_TYPE_LORES_CLIPS, BULK_TYPE_BURSTS};
  DWORD* counts[] = {&record.storedHqPictures, &record.storedLqPictures, &record.storedClips,
                     &record.storedLoResClips, &bursts};
  for (size_t i = 0; i < std::size(types); ++i) {
    const int count = BULK_GetImgCount_2(handle, types[i]);
    if (BULK_GetErrCode(handle) != BULK_ERR_NONE || count < 0) return false;
    *counts[i] = static_cast<DWORD>(count);
  }
  const int items = BULK_GetImgCount(handle);
  if (BULK_GetErrCode(handle) != BULK_ERR_NONE || items < 0) return false;
  context.streamItems = static_cast<uint32_t>(items);
  return true;
}

}  // namespace

}  // namespace ksv::camapi

extern "C" int KXCAMAPI_GetAllImgs(KXCAMAPI_HANDLE context, KXCAMAPI_ProgressCallback progress) {
  return ksv::support::NoThrow<int>(static_cast<int>(KXCAMAPI_OUT_OF_MEMORY), [&]() -> int {
    using namespace ksv::camapi;
    if (context == nullptr || !context->bulk) return KXCAMAPI_NO_CONTEXT;
    uint32_t bursts = 0;
    if (!CountStoredItems(*context, bursts)) return KXCAMAPI_STREAM_FAILED;
    const KXCAMAPI_ProgressRecord& record = context->record;
    if (record.storedHqPictures == 0 && record.storedLqPictures == 0 && record.storedClips == 0 &&
        record.storedLoResClips == 0 && bursts == 0) {
      return KXCAMAPI_OK;
    }
    context->progress = progress;
    context->streamStop = 0;
    context->stream.Start();  // a download stopped mid-item leaves nothing behind
    const int result =
        BULK_GetAllImgs(context->bulk->handle, reinterpret_cast<intptr_t>(static_cast<ksv::camapi::CameraContext*>(context)),
                        StreamCallback);
    if (context->streamStop != 0) return context->streamStop;
    if (result == BULK_STREAM_STOPPED) return KXCAMAPI_CANCELLED;
    if (result != BULK_STREAM_DONE) return KXCAMAPI_STREAM_FAILED;
    // A stream that ends inside an item has lost that item.
    return context->stream.MidItem() ? KXCAMAPI_BAD_STREAM : KXCAMAPI_OK;
  });
}
