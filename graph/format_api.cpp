// Formats and settings dialogs of the live graphs.
#include <algorithm>
#include <cstring>
#include <vector>

#include "support/no_throw.h"
#include "graph/graph_routines.h"
#include "graph/live_graphs.h"
#include "platform/acm/msacm.h"
#include "platform/com/task_memory.h"
#include "platform/ui/property_frame.h"

namespace ksv::graph {

using com::ComPtr;

namespace {

// Where the property frames go relative to the view window.
constexpr UINT kFrameX = 30;
constexpr UINT kFrameY = 30;

// The pages `object` names, shown in a modal frame over the view window.
bool ShowPages(HWND owner, IUnknown* object) {
  ComPtr<ISpecifyPropertyPages> specify;
  if (object == nullptr ||
      FAILED(object->QueryInterface(IID_ISpecifyPropertyPages, reinterpret_cast<void**>(specify.GetAddressOf())))) {
    return false;
  }
  CAUUID pages{};
  if (FAILED(specify->GetPages(&pages))) return false;
  OleCreatePropertyFrame(owner, kFrameX, kFrameY, nullptr, 1, &object, pages.cElems, pages.pElems, 0, 0, nullptr);
  CoTaskMemFree(pages.pElems);
  return true;
}

bool Active(const QmgHandle& handle) {
  return handle.mediaState == QMG_STATE_RUNNING || handle.mediaState == QMG_STATE_PAUSED;
}

}  // namespace

}  // namespace ksv::graph

using namespace ksv::graph;

extern "C" {

KSV_EXPORT int32_t QMG_GetVideoFormat(QmgHandle* handle, QmgVideoFormat* format) {
  return ksv::support::NoThrow<int32_t>(0, [&]() -> int32_t {
    if (handle == nullptr || format == nullptr || handle->graph == nullptr) return 0;
    return ReadFormat(handle->graph->videoConfig.Get(), format) ? 1 : 0;
  });
}

KSV_EXPORT int32_t QMG_SetVideoFormat(QmgHandle* handle, int32_t rebuild) {
  return ksv::support::NoThrow<int32_t>(0, [&]() -> int32_t {
    if (handle == nullptr || rebuild == 0) return 0;
    const bool resume = Active(*handle);
    if (resume) QMG_Stop(handle);
    RebuildPreview(*handle, handle->hasFormat ? &handle->format : nullptr, resume);
    return 1;
  });
}

KSV_EXPORT int32_t QMG_SelectVideoFormat(QmgHandle* handle, QmgVideoFormat* format) {
  return ksv::support::NoThrow<int32_t>(0, [&]() -> int32_t {
    if (handle == nullptr || handle->graph == nullptr) return 0;
    const bool resume = Active(*handle);
    if (resume) QMG_Stop(handle);
    GraphContext& context = *handle->graph;
    // The capture pin is free to change its format once nothing follows it.
    DisconnectDownstream(context);
    if (handle->viewWindow != nullptr && format != nullptr && context.videoSource) {
      ComPtr<IAMStreamConfig> config;
      if (SUCCEEDED(context.builder->FindInterface(&PIN_CATEGORY_CAPTURE, context.videoSource.Get(),
                                                   IID_IAMStreamConfig, reinterpret_cast<void**>(config.GetAddressOf()))) &&
          ShowPages(handle->viewWindow, config.Get())) {
        ReadFormat(context.videoConfig.Get(), format);
      }
    }
    RebuildPreview(*handle, format, resume);
    return 1;
  });
}

KSV_EXPORT int32_t QMG_CaptureFilterDlg(QmgHandle* handle) {
  return ksv::support::NoThrow<int32_t>(0, [&]() -> int32_t {
    if (handle == nullptr || handle->graph == nullptr || !handle->graph->videoSource || handle->viewWindow == nullptr) {
      return 0;
    }
    return ShowPages(handle->viewWindow, handle->graph->videoSource.Get()) ? 1 : 0;
  });
}

KSV_EXPORT int32_t QMG_ChooseAudioFormat(QmgHandle* handle) {
  return ksv::support::NoThrow<int32_t>(0, [&]() -> int32_t {
    if (handle == nullptr || handle->graph == nullptr || !handle->graph->audioConfig) return 0;
    IAMStreamConfig* config = handle->graph->audioConfig.Get();
    DWORD largest = 0;
    AM_MEDIA_TYPE* type = nullptr;
    if (acmMetrics(nullptr, ACM_METRIC_MAX_SIZE_FORMAT, &largest) != MMSYSERR_NOERROR ||
        FAILED(config->GetFormat(&type)) || type == nullptr) {
      return 0;
    }
    // The current format fills the buffer the dialog starts from; a block
    // shorter than a WAVEFORMATEX is copied as far as it goes.
    const WAVEFORMATEX* current = reinterpret_cast<const WAVEFORMATEX*>(type->pbFormat);
    const size_t currentSize =
        type->cbFormat >= sizeof(WAVEFORMATEX) && current != nullptr ? sizeof(WAVEFORMATEX) + current->cbSize : 0;
    std::vector<BYTE> buffer(std::max<size_t>({largest, currentSize, sizeof(WAVEFORMATEX)}));
    std::memcpy(buffer.data(), type->pbFormat, std::min<size_t>(type->cbFormat, buffer.size()));
    ACMFORMATCHOOSEA choose{};
    choose.cbStruct = sizeof choose;
    choose.fdwStyle = ACMFORMATCHOOSE_STYLEF_INITTOWFXSTRUCT;
    choose.hwndOwner = handle->notify != nullptr ? handle->notify->window : nullptr;
    choose.pwfx = reinterpret_cast<WAVEFORMATEX*>(buffer.data());
    choose.cbwfx = DWORD(buffer.size());
    choose.fdwEnum = ACM_FORMATENUMF_HARDWARE | ACM_FORMATENUMF_INPUT;
    if (acmFormatChooseA(&choose) == MMSYSERR_NOERROR) {
      const size_t chosenSize = sizeof(WAVEFORMATEX) + choose.pwfx->cbSize;
      auto* block = chosenSize <= buffer.size() ? static_cast<BYTE*>(CoTaskMemAlloc(chosenSize)) : nullptr;
      if (block != nullptr) {
        std::memcpy(block, buffer.data(), chosenSize);
        CoTaskMemFree(type->pbFormat);
        type->pbFormat = block;
        type->cbFormat = ULONG(chosenSize);
        config->SetFormat(type);
      }
    }
    DeleteMediaType(type);
    return 1;
  });
}

}  // extern "C"
