// IVideoWindow with every method answering E_NOTIMPL. The system calls six
// of its methods (put_Owner, put_WindowStyle, SetWindowPosition, put_Width,
// put_Height, put_Visible); a window derives from this and implements
// those alone, as the stand-ins implement only what the system calls.
#pragma once

#include "platform/media/control_interfaces.h"
#include "platform/media/dispatch.h"

namespace ksv::media {

class VideoWindowStubs : public NoDispatch<IVideoWindow> {
 public:
#define KSV_VIDEO_WINDOW_METHOD(name, params, args) \
  HRESULT name params override { return NotImplemented args; }
#include "platform/media/graph/video_window_methods.inc"
#undef KSV_VIDEO_WINDOW_METHOD

 protected:
  ~VideoWindowStubs() = default;

 private:
  template <class... Arguments>
  static HRESULT NotImplemented(const Arguments&...) {
    return E_NOTIMPL;
  }
};

}  // namespace ksv::media
