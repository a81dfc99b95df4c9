#include "platform/media/filters/video_renderer/video_renderer.h"

#include <new>

#include "platform/media/filter_ids.h"
#include "platform/media/formats.h"
#include "platform/media/media_guids.h"

namespace ksv::media::videorenderer {
namespace {

const AMOVIESETUP_MEDIATYPE kVideo = {&MEDIATYPE_Video, &GUID_NULL};
const AMOVIESETUP_PIN kPins[] = {
    {const_cast<LPWSTR>(u"In"), TRUE, FALSE, FALSE, FALSE, nullptr, nullptr, 1, &kVideo},
};
const AMOVIESETUP_FILTER kSetup = {&CLSID_VideoRenderer, u"Video Renderer", MERIT_PREFERRED, 1,
                                   kPins};

const VIDEOINFOHEADER* VideoInfoOf(const CMediaType& type) {
  if (*type.FormatType() != FORMAT_VideoInfo || type.Format() == nullptr ||
      type.FormatLength() < sizeof(VIDEOINFOHEADER)) {
    return nullptr;
  }
  return reinterpret_cast<const VIDEOINFOHEADER*>(type.Format());
}

// The frames of an acceptable type.
std::optional<FrameLayout> FramesOf(const CMediaType& type) {
  if (*type.Type() != MEDIATYPE_Video) return std::nullopt;
  const VIDEOINFOHEADER* info = VideoInfoOf(type);
  if (info == nullptr) return std::nullopt;
  const WORD bits = *type.Subtype() == MEDIASUBTYPE_RGB24   ? 24
                    : *type.Subtype() == MEDIASUBTYPE_RGB32 ? 32
                                                            : 0;
  if (bits == 0 || info->bmiHeader.biBitCount != bits) return std::nullopt;
  return LayoutOf(info->bmiHeader);
}

}  // namespace

VideoRenderer::VideoRenderer(LPUNKNOWN outer, HRESULT* result)
    : CBaseRenderer(CLSID_VideoRenderer, "Video Renderer", outer, result),
      window_([this] { NotifyEvent(EC_USERABORT, 0, 0); }) {
  if (window_.handle() == nullptr && result != nullptr && SUCCEEDED(*result)) *result = E_FAIL;
}

VideoRenderer::~VideoRenderer() = default;

CUnknown* VideoRenderer::CreateInstance(LPUNKNOWN outer, HRESULT* result) {
  auto* renderer = new (std::nothrow) VideoRenderer(outer, result);
  if (renderer == nullptr && result != nullptr) *result = E_OUTOFMEMORY;
  return renderer;
}

const AMOVIESETUP_FILTER* VideoRenderer::Setup() { return &kSetup; }

HRESULT VideoRenderer::NonDelegatingQueryInterface(REFIID iid, void** object) {
  if (iid == IID_IVideoWindow) return GetInterface(static_cast<IVideoWindow*>(this), object);
  if (iid == IID_IDispatch) return GetInterface(static_cast<IDispatch*>(this), object);
  return CBaseRenderer::NonDelegatingQueryInterface(iid, object);
}

HRESULT VideoRenderer::CheckMediaType(const CMediaType* type) {
  return type != nullptr && FramesOf(*type) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT VideoRenderer::SetMediaType(const CMediaType* type) {
  const std::optional<FrameLayout> layout = FramesOf(*type);
  if (!layout) return VFW_E_TYPE_NOT_ACCEPTED;
  layout_ = *layout;
  return S_OK;
}

HRESULT VideoRenderer::CompleteConnect(IPin* /*receivePin*/) {
  // The window shows the video at its own size until told otherwise.
  window_.SetClientSize(layout_.width, layout_.height);
  return S_OK;
}

HRESULT VideoRenderer::DoRenderSample(IMediaSample* sample) {
  BYTE* bits = nullptr;
  if (FAILED(sample->GetPointer(&bits))) return E_POINTER;
  const LONG length = sample->GetActualDataLength();
  // A short frame is dropped; the stream goes on.
  window_.Draw(layout_, bits, length > 0 ? static_cast<size_t>(length) : 0);
  return S_OK;
}

void VideoRenderer::OnReceiveFirstSample(IMediaSample* sample) {
  // Shown as a still while paused (and again at its time when running).
  DoRenderSample(sample);
}

HRESULT VideoRenderer::Pause() {
  bool show = false;
  {
    CAutoLock lock(&m_InterfaceLock);
    show = m_State == State_Stopped && m_pInputPin->IsConnected();
  }
  if (show && window_.handle() != nullptr && !IsWindowVisible(window_.handle())) {
    ShowWindow(window_.handle(), SW_SHOWNORMAL);
  }
  return CBaseRenderer::Pause();
}

}  // namespace ksv::media::videorenderer
