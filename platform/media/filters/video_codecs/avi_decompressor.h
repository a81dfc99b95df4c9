// AVI Decompressor: video whose FOURCC the codec table decodes (Motion
// JPEG, Cinepak, I420/IYUV) into bottom-up RGB24 (offered first) or RGB32
// pictures of the same size, one per input frame, each a key frame. A
// frame the codec cannot read is dropped (the next sample downstream is
// marked a discontinuity), not the end of the stream.
#pragma once

#include <memory>

#include "platform/media/base/transform.h"
#include "platform/media/codecs/video_codec.h"
#include "platform/media/registration_interfaces.h"

namespace ksv::media::filters {

extern const AMOVIESETUP_FILTER kAviDecompressorSetup;

class AviDecompressor final : public CTransformFilter {
 public:
  AviDecompressor(LPUNKNOWN outer, HRESULT* result);
  static CUnknown* CreateInstance(LPUNKNOWN outer, HRESULT* result);

  HRESULT CheckInputType(const CMediaType* input) override;
  HRESULT CheckTransform(const CMediaType* input, const CMediaType* output) override;
  HRESULT GetMediaType(int position, CMediaType* type) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
  HRESULT SetMediaType(PIN_DIRECTION direction, const CMediaType* type) override;
  HRESULT BreakConnect(PIN_DIRECTION direction) override;
  HRESULT Transform(IMediaSample* input, IMediaSample* output) override;

 private:
  std::unique_ptr<codecs::VideoDecoder> decoder_;
  LONG imageSize_ = 0;
};

}  // namespace ksv::media::filters
