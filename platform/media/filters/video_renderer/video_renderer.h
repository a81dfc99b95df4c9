// The Video Renderer: takes uncompressed RGB24 and RGB32 frames
// (FORMAT_VideoInfo, bottom-up or top-down) and draws each into its window
// at the frame's presentation time on the graph's clock (CBaseRenderer
// schedules; a paused graph shows the first frame as a still). The window
// takes the frame's size when the input connects and stretches frames to
// its client area. IVideoWindow sets the window's owner, style, place and
// visibility; the filter graph manager hands it on to applications. End of stream reaches the graph as EC_COMPLETE; a person
// closing the window as EC_USERABORT.
#pragma once

#include <optional>

#include "platform/media/base/renderer.h"
#include "platform/media/filters/video_renderer/video_window.h"
#include "platform/media/video_window_stubs.h"

namespace ksv::media::videorenderer {

class VideoRenderer final : public CBaseRenderer, public VideoWindowStubs {
 public:
  VideoRenderer(LPUNKNOWN outer, HRESULT* result);
  ~VideoRenderer() override;
  static CUnknown* CreateInstance(LPUNKNOWN outer, HRESULT* result);
  // "Video Renderer", preferred by intelligent connection.
  static const AMOVIESETUP_FILTER* Setup();
  const AMOVIESETUP_FILTER* GetSetupData() override { return Setup(); }

  DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;

  // CBaseRenderer
  HRESULT CheckMediaType(const CMediaType* type) override;
  HRESULT SetMediaType(const CMediaType* type) override;
  HRESULT CompleteConnect(IPin* receivePin) override;
  HRESULT DoRenderSample(IMediaSample* sample) override;
  void OnReceiveFirstSample(IMediaSample* sample) override;
  // Shows the window as the stream starts: it shows itself (AutoShow).
  HRESULT Pause() override;

  // IVideoWindow (video_window_control.cpp): the six methods the system
  // calls; the others answer E_NOTIMPL. Each answers VFW_E_NOT_CONNECTED
  // while the input is not connected.
  HRESULT put_WindowStyle(LONG style) override;
  HRESULT put_Visible(LONG visible) override;
  HRESULT put_Width(LONG width) override;
  HRESULT put_Height(LONG height) override;
  HRESULT put_Owner(OAHWND owner) override;
  HRESULT SetWindowPosition(LONG left, LONG top, LONG width, LONG height) override;

 private:
  // S_OK when the window may be worked on: the input is connected and
  // the window exists.
  HRESULT Usable() const;
  HRESULT Place(std::optional<LONG> left, std::optional<LONG> top, std::optional<LONG> width,
                std::optional<LONG> height);

  VideoWindow window_;
  // The connected type's frames; set while stopped, read by the stream.
  FrameLayout layout_;
};

}  // namespace ksv::media::videorenderer
