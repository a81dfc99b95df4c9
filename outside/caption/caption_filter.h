// The caption filter: copies each RGB24 or RGB32 frame from its input to
// its output and paints the caption onto the copy (see
// include/caption_control.h for what a client sets). The caption and its
// look may change while the graph runs; each frame takes them as they are
// when it arrives.
#pragma once

#include <mutex>
#include <string>

#include "include/caption_control.h"
#include "outside/caption/bitmap_font.h"
#include "platform/media/base/streams.h"

namespace ksv::media::caption {

// The layout of the frames of an accepted video type (false for a type the
// filter does not take): RGB24 or RGB32 BI_RGB, 1..16384 pixels each way.
bool FrameLayout(const CMediaType& type, Picture* layout, size_t* frameBytes);

class CaptionFilter final : public CTransformFilter, public ICaptionControl {
 public:
  CaptionFilter(LPUNKNOWN outer, HRESULT* result);
  static CUnknown* CreateInstance(LPUNKNOWN outer, HRESULT* result);
  static const AMOVIESETUP_FILTER* Setup();

  DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;
  const AMOVIESETUP_FILTER* GetSetupData() override { return Setup(); }

  // The transform: the output type is the input's.
  HRESULT CheckInputType(const CMediaType* input) override;
  HRESULT CheckTransform(const CMediaType* input, const CMediaType* output) override;
  HRESULT GetMediaType(int position, CMediaType* type) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
  HRESULT Transform(IMediaSample* input, IMediaSample* output) override;

  // ICaptionControl.
  HRESULT GetCaption(char** caption) override;
  HRESULT SetCaption(const char* caption) override;
  HRESULT IsCaptioning(BOOL* on) override;
  HRESULT SetCaptionFont(LONG height, DWORD colour, DWORD background, LONG x, LONG y) override;
  HRESULT GetStreamFromVideoText(const char* text, BYTE* bits, DWORD* size,
                                 BITMAPINFOHEADER* header) override;

 private:
  struct Settings {
    std::string caption;
    TextStyle style{kCaptionDefaultHeight / kCaptionCellHeight, kCaptionDefaultColour,
                    kCaptionDefaultBackground, true};
    int x = kCaptionDefaultX;
    int y = kCaptionDefaultY;
  };
  Settings Current();

  std::mutex settingsMutex_;  // client threads set, the streaming thread reads
  Settings settings_;
};

}  // namespace ksv::media::caption
