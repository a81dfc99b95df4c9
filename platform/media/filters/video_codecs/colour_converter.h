// Color Space Converter: an uncompressed picture (bottom-up RGB24 or
// RGB32, planar I420 or IYUV) into another of the same size: RGB24, RGB32
// or I420, offered in that order, with the conversions of the codec table
// (BT.601 video range between YUV and RGB). The same form on both sides is
// a copy.
#pragma once

#include "platform/media/base/transform.h"
#include "platform/media/codecs/picture.h"
#include "platform/media/registration_interfaces.h"

namespace ksv::media::filters {

extern const AMOVIESETUP_FILTER kColourConverterSetup;

class ColourConverter final : public CTransformFilter {
 public:
  ColourConverter(LPUNKNOWN outer, HRESULT* result);
  static CUnknown* CreateInstance(LPUNKNOWN outer, HRESULT* result);

  HRESULT CheckInputType(const CMediaType* input) override;
  HRESULT CheckTransform(const CMediaType* input, const CMediaType* output) override;
  HRESULT GetMediaType(int position, CMediaType* type) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
  HRESULT SetMediaType(PIN_DIRECTION direction, const CMediaType* type) override;
  HRESULT Transform(IMediaSample* input, IMediaSample* output) override;

 private:
  codecs::PictureFormat from_{}, to_{};
};

}  // namespace ksv::media::filters
