// The clip's video stream: its media type and one decoded frame a sample.
#include <atomic>
#include <cstring>

#include "camapi/clip_frame_files.h"
#include "camapi/clip_sample_source.h"
#include "common/bitmap_resample.h"
#include "support/no_throw.h"
#include "common/packed_bitmap.h"
#include "include/oksv1api_samples.h"
#include "platform/media/base/media_type.h"
#include "platform/memory/global_memory.h"

namespace ksv::camapi::clip {
namespace {

// The video samples' bitmap header: 24-bit RGB at the sample's size.
BITMAPINFOHEADER SampleHeader(const SampleSource& source) {
  BITMAPINFOHEADER header{};
  header.biSize = sizeof(BITMAPINFOHEADER);
  header.biWidth = static_cast<LONG>(source.width);
  header.biHeight = static_cast<LONG>(source.sampleHeight);
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biCompression = 0;
  header.biSizeImage = static_cast<DWORD>(
      common::PackedRowBytes(header.biWidth, 24) * source.sampleHeight);
  return header;
}

// Decodes the video of `chunk` into the decode buffer.
bool DecodeVideo(const SampleSource& source, const Chunk& chunk) {
  uint32_t written = 0;
  return static_cast<bool>(source.bulk->decoder.Decode(chunk.video, source.bulk->decodeBuffer,
                                                        written));
}

// Copies the decoded frame (rows bottom-up, as the bitmap keeps them) into
// a 24-bit packed bitmap of the frame's size.
void CopyFrameInto(const SampleSource& source, HGLOBAL bitmap) {
  void* locked = GlobalLock(bitmap);
  uint8_t* pixels = common::PackedBitmapPixels(locked);
  const size_t rowBytes = common::PackedRowBytes(static_cast<int32_t>(source.width), 24);
  const size_t frameRow = size_t{source.width} * 3;
  for (size_t y = 0; y < source.height; ++y) {
    std::memcpy(pixels + y * rowBytes, source.bulk->decodeBuffer.data() + y * frameRow, frameRow);
  }
  GlobalUnlock(bitmap);
}

// The clip's first frame, saved as frame 1 of its information file: the
// context's frame bitmap for 320 x 240 clips, else a bitmap of the frame's
// size (the top 160 x 120 of a 160 x 128 clip).
void SaveFirstFrame(const SampleSource& source) {
  CameraContext& context = *source.context;
  if (source.width == 320 && source.height == 240 && context.frameBitmap != nullptr) {
    CopyFrameInto(source, context.frameBitmap);
    SaveClipFrame(context, context.frameBitmap, 1);
    return;
  }
  HGLOBAL frame = common::CreatePackedBitmap(static_cast<int32_t>(source.width),
                                             static_cast<int32_t>(source.height), 24);
  if (frame == nullptr) {
    SaveClipFrame(context, context.frameBitmap, 1);
    return;
  }
  CopyFrameInto(source, frame);
  if (source.height != source.sampleHeight) {
    HGLOBAL cut = common::CropPackedBitmapTopLeft(frame, static_cast<int32_t>(source.width),
                                                  static_cast<int32_t>(source.sampleHeight));
    GlobalFree(frame);
    frame = cut;
  }
  SaveClipFrame(context, frame != nullptr ? frame : context.frameBitmap, 1);
  if (frame != nullptr) GlobalFree(frame);
}

}  // namespace
}  // namespace ksv::camapi::clip

using namespace ksv::camapi::clip;

HRESULT DoGetVideoMediaTypeForMe(int /*unused*/, CMediaType* type) {
  return ksv::support::ComNoThrow<HRESULT>(E_OUTOFMEMORY, E_FAIL, [&]() -> HRESULT {
    if (type == nullptr) return E_POINTER;
    std::shared_lock preparation(PreparationLock());
    std::lock_guard video(VideoLock());
    const SampleSource& source = Source();
    if (!source.prepared) return E_POINTER;
    // The next frame must decode: a clip whose video cannot be read offers no type.
    const std::optional<Chunk> chunk = ChunkAt(source, source.video.position);
    if (!chunk || !DecodeVideo(source, *chunk)) return E_POINTER;

    const BITMAPINFOHEADER header = SampleHeader(source);
    type->InitMediaType();
    type->SetType(&MEDIATYPE_Video);
    type->SetFormatType(&FORMAT_VideoInfo);
    auto* info = reinterpret_cast<VIDEOINFO*>(type->AllocFormatBuffer(sizeof(VIDEOINFO)));
    if (info == nullptr) return E_OUTOFMEMORY;
    std::memset(info, 0, sizeof(VIDEOINFO));
    info->rcSource = {0, 0, header.biWidth, header.biHeight};
    info->rcTarget = info->rcSource;
    info->dwBitRate = header.biSizeImage * 80;  // ten frames a second, in bits
    info->dwBitErrorRate = 0;
    info->AvgTimePerFrame = kSampleTime;
    info->bmiHeader = header;
    const GUID subtype = GetBitmapSubtype(&header);
    type->SetSubtype(&subtype);
    type->SetTemporalCompression(FALSE);
    type->SetSampleSize(header.biSizeImage);
    return S_OK;
  });
}

HRESULT ProcessVideoData(IMediaSample* sample, int* last) {
  return ksv::support::ComNoThrow<HRESULT>(E_OUTOFMEMORY, E_FAIL, [&]() -> HRESULT {
    if (sample == nullptr || last == nullptr) return E_POINTER;
    *last = 0;
    std::shared_lock preparation(PreparationLock());
    std::lock_guard video(VideoLock());
    SampleSource& source = Source();
    if (!source.prepared) return E_FAIL;
    const std::optional<Chunk> chunk = ChunkAt(source, source.video.position);
    if (!chunk || !DecodeVideo(source, *chunk)) return E_FAIL;
    std::atomic_ref<uint32_t>(source.context->frameCounter).fetch_add(1);

    // The decoder writes rows bottom-up, so the sample carries the bottom
    // rows of a 160 x 128 frame while the first frame shows the top ones.
    const size_t bytes = size_t{source.width} * source.sampleHeight * 3;
    const HRESULT copied =
        CopyIntoSample(sample, std::span<const uint8_t>(source.bulk->decodeBuffer).first(bytes));
    if (source.video.firstSample) {
      if (!ksv::camapi::KsvMode()) SaveFirstFrame(source);
      source.video.firstSample = false;
    }
    if (FAILED(copied)) return copied;

    Advance(source.video.position, *chunk);
    StampSample(sample, source.video.count);
    ++source.video.count;
    *last = source.video.count + source.syncFrames >= source.chunkCount ? 1 : 0;
    return S_OK;
  });
}
