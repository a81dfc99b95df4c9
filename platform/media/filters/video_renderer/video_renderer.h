// The Video Renderer: takes uncompressed RGB24 and RGB32 frames
// (FORMAT_VideoInfo, bottom-up or top-down) and draws each into its window
// at the frame's presentation time on the graph's clock (CBaseRenderer
// schedules; a paused graph shows the first frame as a still). The window
// takes the frame's size when the input connects and stretches frames to
// its client area. IVideoWindow sets the window's owner, style, place,
// caption and visibility; the filter graph manager hands it on to
// applications. End of stream reaches the graph as EC_COMPLETE; a person
// closing the window as EC_USERABORT.
#pragma once

#include <optional>

#include "platform/media/base/renderer.h"
#include "platform/media/control_interfaces.h"
#include "platform/media/dispatch.h"
#include "platform/media/filters/video_renderer/video_window.h"

namespace ksv::media::videorenderer {

class VideoRenderer final : public CBaseRenderer, public NoDispatch<IVideoWindow> {
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
  // Shows the window when it should show itself (AutoShow).
  HRESULT Pause() override;

  // IVideoWindow (video_window_control.cpp). Every method answers
  // VFW_E_NOT_CONNECTED while the input is not connected.
  HRESULT put_Caption(BSTR caption) override;
  HRESULT get_Caption(BSTR* caption) override;
  HRESULT put_WindowStyle(LONG style) override;
  HRESULT get_WindowStyle(LONG* style) override;
  HRESULT put_WindowStyleEx(LONG style) override;
  HRESULT get_WindowStyleEx(LONG* style) override;
  HRESULT put_AutoShow(LONG autoShow) override;
  HRESULT get_AutoShow(LONG* autoShow) override;
  HRESULT put_WindowState(LONG state) override;
  HRESULT get_WindowState(LONG* state) override;
  HRESULT put_BackgroundPalette(LONG palette) override;
  HRESULT get_BackgroundPalette(LONG* palette) override;
  HRESULT put_Visible(LONG visible) override;
  HRESULT get_Visible(LONG* visible) override;
  HRESULT put_Left(LONG left) override;
  HRESULT get_Left(LONG* left) override;
  HRESULT put_Width(LONG width) override;
  HRESULT get_Width(LONG* width) override;
  HRESULT put_Top(LONG top) override;
  HRESULT get_Top(LONG* top) override;
  HRESULT put_Height(LONG height) override;
  HRESULT get_Height(LONG* height) override;
  HRESULT put_Owner(OAHWND owner) override;
  HRESULT get_Owner(OAHWND* owner) override;
  HRESULT put_MessageDrain(OAHWND drain) override;
  HRESULT get_MessageDrain(OAHWND* drain) override;
  HRESULT get_BorderColor(LONG* color) override;
  HRESULT put_BorderColor(LONG color) override;
  HRESULT get_FullScreenMode(LONG* fullScreen) override;
  HRESULT put_FullScreenMode(LONG fullScreen) override;
  HRESULT SetWindowForeground(LONG focus) override;
  HRESULT NotifyOwnerMessage(OAHWND window, LONG message, LONG_PTR wParam,
                             LONG_PTR lParam) override;
  HRESULT SetWindowPosition(LONG left, LONG top, LONG width, LONG height) override;
  HRESULT GetWindowPosition(LONG* left, LONG* top, LONG* width, LONG* height) override;
  HRESULT GetMinIdealImageSize(LONG* width, LONG* height) override;
  HRESULT GetMaxIdealImageSize(LONG* width, LONG* height) override;
  HRESULT GetRestorePosition(LONG* left, LONG* top, LONG* width, LONG* height) override;
  HRESULT HideCursor(LONG hide) override;
  HRESULT IsCursorHidden(LONG* hidden) override;

 private:
  // S_OK when the window may be worked on: the input is connected and
  // the window exists.
  HRESULT Usable() const;
  HRESULT Place(std::optional<LONG> left, std::optional<LONG> top, std::optional<LONG> width,
                std::optional<LONG> height);

  VideoWindow window_;
  // The connected type's frames; set while stopped, read by the stream.
  FrameLayout layout_;
  // IVideoWindow's own properties (under m_InterfaceLock).
  bool autoShow_ = true;
  OAHWND owner_ = 0;
  OAHWND drain_ = 0;
  LONG borderColor_ = 0;
  LONG backgroundPalette_ = OATRUE;
  bool cursorHidden_ = false;
};

}  // namespace ksv::media::videorenderer
