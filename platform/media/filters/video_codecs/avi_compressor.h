// AVI Compressor: the one filter class behind every video compressor of
// the video compressor category. Its moniker's property bag names the
// codec ("FccHandler", the FOURCC as text), which IPersistPropertyBag::Load
// takes; until then (or for a FOURCC the codec table does not encode) it
// accepts no input. It compresses bottom-up RGB24 or I420/IYUV pictures
// into frames of that FOURCC, every frame a key frame, at quality 7500.
#pragma once

#include <memory>

#include "platform/com/property_bag.h"
#include "platform/media/base/transform.h"
#include "platform/media/codecs/video_codec.h"

namespace ksv::media::filters {

class AviCompressor final : public CTransformFilter, public IPersistPropertyBag {
 public:
  AviCompressor(LPUNKNOWN outer, HRESULT* result);
  static CUnknown* CreateInstance(LPUNKNOWN outer, HRESULT* result);

  DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;

  HRESULT GetClassID(CLSID* clsid) override { return CTransformFilter::GetClassID(clsid); }
  HRESULT InitNew() override { return S_OK; }
  // E_INVALIDARG without "FccHandler", E_FAIL for a codec that does not
  // encode; VFW_E_WRONG_STATE once the input is connected.
  HRESULT Load(IPropertyBag* bag, IErrorLog* errorLog) override;
  HRESULT Save(IPropertyBag* bag, BOOL clearDirty, BOOL saveAll) override;

  HRESULT CheckInputType(const CMediaType* input) override;
  HRESULT CheckTransform(const CMediaType* input, const CMediaType* output) override;
  HRESULT GetMediaType(int position, CMediaType* type) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
  HRESULT SetMediaType(PIN_DIRECTION direction, const CMediaType* type) override;
  HRESULT BreakConnect(PIN_DIRECTION direction) override;
  HRESULT Transform(IMediaSample* input, IMediaSample* output) override;

 private:
  // An encoder for the input type, or null.
  std::unique_ptr<codecs::VideoEncoder> MakeEncoder(const CMediaType& input) const;

  const codecs::VideoCodec* codec_ = nullptr;
  std::unique_ptr<codecs::VideoEncoder> encoder_;
  int quality_ = codecs::kDefaultQuality;
};

}  // namespace ksv::media::filters
