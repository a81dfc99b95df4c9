// MPEG Video Decoder: MPEG-1 video (MEDIASUBTYPE_MPEG1Payload or
// MPEG1Packet) into uncompressed bottom-up RGB24 or RGB32 pictures of the
// same size, one output sample per decoded picture, in display order.
// A picture's time is the time of the input sample its coded picture
// started in; a picture without one follows the one before it by the
// frame time.
#pragma once

#include "platform/media/filters/mpeg1/decoder_filter.h"
#include "platform/media/filters/mpeg1/mpeg_media_types.h"

namespace ksv::media::mpeg1 {

class MpegVideoDecoder : public MpegDecoderFilter {
 public:
  MpegVideoDecoder(LPUNKNOWN outer, HRESULT* result);
  static CUnknown* CreateInstance(LPUNKNOWN outer, HRESULT* result);
  const AMOVIESETUP_FILTER* GetSetupData() override;

  HRESULT CheckInputType(const CMediaType* input) override;
  HRESULT CheckTransform(const CMediaType* input, const CMediaType* output) override;
  // RGB24 first, then RGB32.
  HRESULT GetMediaType(int position, CMediaType* type) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
  HRESULT SetMediaType(PIN_DIRECTION direction, const CMediaType* type) override;
  HRESULT BreakConnect(PIN_DIRECTION direction) override;

 protected:
  HRESULT OnFrame(AVFrame* frame) override;
  void OnRestart() override { nextTime_ = 0; }

 private:
  VideoFormat input_;         // its sequence header pointer is not kept
  AVPixelFormat outputFormat_ = AV_PIX_FMT_NONE;
  int outputStride_ = 0;
  bool topDown_ = false;
  LONG imageSize_ = 0;
  ScalePtr scale_;
  int64_t nextTime_ = 0;
};

}  // namespace ksv::media::mpeg1
