// MPEG Audio Decoder: MPEG audio layers 1 to 3 (MEDIASUBTYPE_MPEG1AudioPayload,
// MPEG1Payload, MPEG1Packet) into 16-bit interleaved PCM at the stream's
// rate and channels, one output sample per decoded frame. Times follow the
// input: a frame whose input sample had a time starts there when that is
// more than a millisecond away from where the samples so far lead;
// otherwise the times continue by sample count, so they have no gaps.
#pragma once

#include "platform/media/filters/mpeg1/decoder_filter.h"
#include "platform/media/filters/mpeg1/mpeg_media_types.h"

namespace ksv::media::mpeg1 {

class MpegAudioDecoder : public MpegDecoderFilter {
 public:
  MpegAudioDecoder(LPUNKNOWN outer, HRESULT* result);
  static CUnknown* CreateInstance(LPUNKNOWN outer, HRESULT* result);
  const AMOVIESETUP_FILTER* GetSetupData() override;

  HRESULT CheckInputType(const CMediaType* input) override;
  HRESULT CheckTransform(const CMediaType* input, const CMediaType* output) override;
  HRESULT GetMediaType(int position, CMediaType* type) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
  HRESULT SetMediaType(PIN_DIRECTION direction, const CMediaType* type) override;
  HRESULT BreakConnect(PIN_DIRECTION direction) override;

 protected:
  HRESULT OnFrame(AVFrame* frame) override;
  void OnRestart() override { anchored_ = false; }

 private:
  REFERENCE_TIME TimeAfter(int64_t samples) const;

  AudioFormat input_;
  bool anchored_ = false;
  REFERENCE_TIME anchor_ = 0;  // time of the first sample counted from
  int64_t samples_ = 0;        // samples delivered since the anchor
};

}  // namespace ksv::media::mpeg1
