// The graph's application-facing interfaces: IMediaControl (run, pause,
// stop), IMediaEvent/IMediaEventEx (events, completion, window
// notification), IMediaPosition and IMediaSeeking (duration, position,
// rate) and IVideoWindow (the video renderer's window).
#pragma once

#include "platform/media/dispatch.h"
#include "platform/media/media_types.h"

struct IMediaControl : IDispatch {
  static constexpr IID kIid = ksv::com::Guid("56A868B1-0AD4-11CE-B03A-0020AF0BA770");
  virtual HRESULT Run() = 0;
  virtual HRESULT Pause() = 0;
  virtual HRESULT Stop() = 0;
  // VFW_S_STATE_INTERMEDIATE when a transition has not finished in time.
  virtual HRESULT GetState(LONG milliseconds, OAFilterState* state) = 0;
  virtual HRESULT RenderFile(BSTR file) = 0;
  virtual HRESULT AddSourceFilter(BSTR file, IDispatch** filterInfo) = 0;
  virtual HRESULT get_FilterCollection(IDispatch** collection) = 0;
  virtual HRESULT get_RegFilterCollection(IDispatch** collection) = 0;
  virtual HRESULT StopWhenReady() = 0;

 protected:
  ~IMediaControl() = default;
};

struct IMediaEvent : IDispatch {
  static constexpr IID kIid = ksv::com::Guid("56A868B6-0AD4-11CE-B03A-0020AF0BA770");
  virtual HRESULT GetEventHandle(OAEVENT* event) = 0;
  // The next event, waiting up to `milliseconds` (E_ABORT when none came);
  // the caller frees the parameters with FreeEventParams.
  virtual HRESULT GetEvent(LONG* code, LONG_PTR* param1, LONG_PTR* param2, LONG milliseconds) = 0;
  // Waits for EC_COMPLETE, EC_ERRORABORT or EC_USERABORT (E_ABORT after
  // `milliseconds`, or at once when the graph does not run).
  virtual HRESULT WaitForCompletion(LONG milliseconds, LONG* code) = 0;
  virtual HRESULT CancelDefaultHandling(LONG code) = 0;
  virtual HRESULT RestoreDefaultHandling(LONG code) = 0;
  virtual HRESULT FreeEventParams(LONG code, LONG_PTR param1, LONG_PTR param2) = 0;

 protected:
  ~IMediaEvent() = default;
};

// SetNotifyFlags: AM_MEDIAEVENT_NONOTIFY stops window notification.
inline constexpr LONG AM_MEDIAEVENT_NONOTIFY = 0x01;

struct IMediaEventEx : IMediaEvent {
  static constexpr IID kIid = ksv::com::Guid("56A868C0-0AD4-11CE-B03A-0020AF0BA770");
  // Posts `message` (with `instanceData` as its lParam) to `window` whenever
  // an event is queued; a null window stops it.
  virtual HRESULT SetNotifyWindow(OAHWND window, LONG message, LONG_PTR instanceData) = 0;
  virtual HRESULT SetNotifyFlags(LONG flags) = 0;
  virtual HRESULT GetNotifyFlags(LONG* flags) = 0;

 protected:
  ~IMediaEventEx() = default;
};

// Positions in seconds, for automation.
struct IMediaPosition : IDispatch {
  static constexpr IID kIid = ksv::com::Guid("56A868B2-0AD4-11CE-B03A-0020AF0BA770");
  virtual HRESULT get_Duration(REFTIME* length) = 0;
  virtual HRESULT put_CurrentPosition(REFTIME time) = 0;
  virtual HRESULT get_CurrentPosition(REFTIME* time) = 0;
  virtual HRESULT get_StopTime(REFTIME* time) = 0;
  virtual HRESULT put_StopTime(REFTIME time) = 0;
  virtual HRESULT get_PrerollTime(REFTIME* time) = 0;
  virtual HRESULT put_PrerollTime(REFTIME time) = 0;
  virtual HRESULT put_Rate(double rate) = 0;
  virtual HRESULT get_Rate(double* rate) = 0;
  virtual HRESULT CanSeekForward(LONG* canSeek) = 0;
  virtual HRESULT CanSeekBackward(LONG* canSeek) = 0;

 protected:
  ~IMediaPosition() = default;
};

// IMediaSeeking capabilities and SetPositions flags.
inline constexpr DWORD AM_SEEKING_CanSeekAbsolute = 0x1;
inline constexpr DWORD AM_SEEKING_CanSeekForwards = 0x2;
inline constexpr DWORD AM_SEEKING_CanSeekBackwards = 0x4;
inline constexpr DWORD AM_SEEKING_CanGetCurrentPos = 0x8;
inline constexpr DWORD AM_SEEKING_CanGetStopPos = 0x10;
inline constexpr DWORD AM_SEEKING_CanGetDuration = 0x20;
inline constexpr DWORD AM_SEEKING_NoPositioning = 0x0;
inline constexpr DWORD AM_SEEKING_AbsolutePositioning = 0x1;
inline constexpr DWORD AM_SEEKING_RelativePositioning = 0x2;
inline constexpr DWORD AM_SEEKING_IncrementalPositioning = 0x3;
inline constexpr DWORD AM_SEEKING_PositioningBitsMask = 0x3;
inline constexpr DWORD AM_SEEKING_SeekToKeyFrame = 0x4;
inline constexpr DWORD AM_SEEKING_ReturnTime = 0x8;

// Positions in a time format (TIME_FORMAT_MEDIA_TIME by default).
struct IMediaSeeking : IUnknown {
  static constexpr IID kIid = ksv::com::Guid("36B73880-C2C8-11CF-8B46-00805F6CEF60");
  virtual HRESULT GetCapabilities(DWORD* capabilities) = 0;
  virtual HRESULT CheckCapabilities(DWORD* capabilities) = 0;
  virtual HRESULT IsFormatSupported(const GUID* format) = 0;
  virtual HRESULT QueryPreferredFormat(GUID* format) = 0;
  virtual HRESULT GetTimeFormat(GUID* format) = 0;
  virtual HRESULT IsUsingTimeFormat(const GUID* format) = 0;
  virtual HRESULT SetTimeFormat(const GUID* format) = 0;
  virtual HRESULT GetDuration(LONGLONG* duration) = 0;
  virtual HRESULT GetStopPosition(LONGLONG* stop) = 0;
  virtual HRESULT GetCurrentPosition(LONGLONG* current) = 0;
  virtual HRESULT ConvertTimeFormat(LONGLONG* target, const GUID* targetFormat, LONGLONG source,
                                    const GUID* sourceFormat) = 0;
  virtual HRESULT SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop,
                               DWORD stopFlags) = 0;
  virtual HRESULT GetPositions(LONGLONG* current, LONGLONG* stop) = 0;
  virtual HRESULT GetAvailable(LONGLONG* earliest, LONGLONG* latest) = 0;
  virtual HRESULT SetRate(double rate) = 0;
  virtual HRESULT GetRate(double* rate) = 0;
  virtual HRESULT GetPreroll(LONGLONG* preroll) = 0;

 protected:
  ~IMediaSeeking() = default;
};

// The video renderer's window, as properties.
struct IVideoWindow : IDispatch {
  static constexpr IID kIid = ksv::com::Guid("56A868B4-0AD4-11CE-B03A-0020AF0BA770");
  virtual HRESULT put_Caption(BSTR caption) = 0;
  virtual HRESULT get_Caption(BSTR* caption) = 0;
  virtual HRESULT put_WindowStyle(LONG style) = 0;
  virtual HRESULT get_WindowStyle(LONG* style) = 0;
  virtual HRESULT put_WindowStyleEx(LONG style) = 0;
  virtual HRESULT get_WindowStyleEx(LONG* style) = 0;
  virtual HRESULT put_AutoShow(LONG autoShow) = 0;
  virtual HRESULT get_AutoShow(LONG* autoShow) = 0;
  virtual HRESULT put_WindowState(LONG state) = 0;
  virtual HRESULT get_WindowState(LONG* state) = 0;
  virtual HRESULT put_BackgroundPalette(LONG palette) = 0;
  virtual HRESULT get_BackgroundPalette(LONG* palette) = 0;
  virtual HRESULT put_Visible(LONG visible) = 0;
  virtual HRESULT get_Visible(LONG* visible) = 0;
  virtual HRESULT put_Left(LONG left) = 0;
  virtual HRESULT get_Left(LONG* left) = 0;
  virtual HRESULT put_Width(LONG width) = 0;
  virtual HRESULT get_Width(LONG* width) = 0;
  virtual HRESULT put_Top(LONG top) = 0;
  virtual HRESULT get_Top(LONG* top) = 0;
  virtual HRESULT put_Height(LONG height) = 0;
  virtual HRESULT get_Height(LONG* height) = 0;
  virtual HRESULT put_Owner(OAHWND owner) = 0;
  virtual HRESULT get_Owner(OAHWND* owner) = 0;
  virtual HRESULT put_MessageDrain(OAHWND drain) = 0;
  virtual HRESULT get_MessageDrain(OAHWND* drain) = 0;
  virtual HRESULT get_BorderColor(LONG* color) = 0;
  virtual HRESULT put_BorderColor(LONG color) = 0;
  virtual HRESULT get_FullScreenMode(LONG* fullScreen) = 0;
  virtual HRESULT put_FullScreenMode(LONG fullScreen) = 0;
  virtual HRESULT SetWindowForeground(LONG focus) = 0;
  virtual HRESULT NotifyOwnerMessage(OAHWND window, LONG message, LONG_PTR wParam,
                                     LONG_PTR lParam) = 0;
  virtual HRESULT SetWindowPosition(LONG left, LONG top, LONG width, LONG height) = 0;
  virtual HRESULT GetWindowPosition(LONG* left, LONG* top, LONG* width, LONG* height) = 0;
  virtual HRESULT GetMinIdealImageSize(LONG* width, LONG* height) = 0;
  virtual HRESULT GetMaxIdealImageSize(LONG* width, LONG* height) = 0;
  virtual HRESULT GetRestorePosition(LONG* left, LONG* top, LONG* width, LONG* height) = 0;
  virtual HRESULT HideCursor(LONG hide) = 0;
  virtual HRESULT IsCursorHidden(LONG* hidden) = 0;

 protected:
  ~IVideoWindow() = default;
};

inline constexpr IID IID_IMediaControl = IMediaControl::kIid;
inline constexpr IID IID_IMediaEvent = IMediaEvent::kIid;
inline constexpr IID IID_IMediaEventEx = IMediaEventEx::kIid;
inline constexpr IID IID_IMediaPosition = IMediaPosition::kIid;
inline constexpr IID IID_IMediaSeeking = IMediaSeeking::kIid;
inline constexpr IID IID_IVideoWindow = IVideoWindow::kIid;
