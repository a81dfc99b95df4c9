// The ACM Wrapper: sound through our codecs. Made plainly (as intelligent
// connect makes it) it decodes IMA ADPCM, A-law and mu-law into 16-bit PCM
// at the same rate and channels. Made through an entry of the audio
// compressor category ("IMA ADPCM", "CCITT A-Law", "CCITT u-Law"), whose
// property bag names the format tag in "AcmId", it compresses 16-bit PCM
// into that format instead.
//
// Per input sample, with the receive lock held: the bytes join those held
// from before; whole units (an IMA block, a sample frame) are converted
// into output buffers and delivered with the lock let go; the rest is held
// (its capacity reserved at connection). At the end of the stream a
// compressor completes a last partial IMA block with silence. Output times
// run on from the first input sample's time by the frames delivered.
#pragma once

#include <optional>
#include <vector>

#include "platform/com/property_bag.h"
#include "platform/media/base/transform.h"
#include "platform/media/filters/acm_wrapper/sound_converter.h"

namespace ksv::media::acm {

inline constexpr WCHAR kAcmWrapperName[] = u"ACM Wrapper";

class AcmWrapper final : public CTransformFilter, public IPersistPropertyBag {
 public:
  static CUnknown* CreateInstance(LPUNKNOWN outer, HRESULT* result);
  const AMOVIESETUP_FILTER* GetSetupData() override;

  DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;
  HRESULT GetClassID(CLSID* clsid) override { return CTransformFilter::GetClassID(clsid); }
  // IPersistPropertyBag: "AcmId" (a format tag of ours) makes a compressor;
  // without it the filter stays a decoder. Only before a pin connects.
  HRESULT InitNew() override { return S_OK; }
  HRESULT Load(IPropertyBag* bag, IErrorLog* errorLog) override;
  HRESULT Save(IPropertyBag*, BOOL, BOOL) override { return E_NOTIMPL; }

  HRESULT CheckInputType(const CMediaType* input) override;
  HRESULT CheckTransform(const CMediaType* input, const CMediaType* output) override;
  HRESULT GetMediaType(int position, CMediaType* type) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
  HRESULT SetMediaType(PIN_DIRECTION direction, const CMediaType* type) override;
  HRESULT BreakConnect(PIN_DIRECTION direction) override;

  HRESULT StartStreaming() override;
  HRESULT Receive(IMediaSample* sample) override;
  HRESULT EndOfStream() override;
  HRESULT EndFlush() override;

 private:
  AcmWrapper(LPUNKNOWN outer, HRESULT* result);

  std::optional<SoundConverter> ConverterFor(const CMediaType& input) const;
  // Converts and delivers every whole unit held; with `finish`, a partial
  // last unit too (completed with silence).
  HRESULT DeliverHeld(bool finish);
  void Restart();

  WORD compressTo_ = 0;  // 0: a decoder
  std::optional<SoundConverter> converter_;
  DWORD rate_ = 0;
  std::vector<uint8_t> held_;
  bool anchored_ = false;
  REFERENCE_TIME anchor_ = 0;
  int64_t frames_ = 0;  // delivered since the anchor
  bool discontinuity_ = true;
};

}  // namespace ksv::media::acm
