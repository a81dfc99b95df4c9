// The handle's life, its callback, the event dispatch and the run controls.
#include <new>

#include "support/no_throw.h"
#include "graph/graph_routines.h"
#include "graph/notify_window.h"
#include "platform/com/apartment.h"
#include "platform/ui/user32.h"

using ksv::graph::GraphContext;

namespace ksv::graph {

void DispatchEvent(int32_t code, QmgHandle* handle) {
  if (handle == nullptr || code < QMG_CODE_TICK || code > QMG_CODE_BUILT) return;
  // The callback may reset the handle: what it needs is taken first.
  const QmgCallback callback = handle->callback;
  const intptr_t userData = handle->userData;
  bool completed = false, aborted = false;
  if (code == QMG_CODE_GRAPH_EVENTS && handle->graph != nullptr && handle->graph->events) {
    IMediaEventEx* events = handle->graph->events.Get();
    LONG event = 0;
    LONG_PTR first = 0, second = 0;
    while (SUCCEEDED(events->GetEvent(&event, &first, &second, 0))) {
      if (event == EC_COMPLETE && handle->eventFlag == 1) handle->eventFlag = 0;
      completed = completed || event == EC_COMPLETE;
      aborted = aborted || event == EC_ERRORABORT;
      events->FreeEventParams(event, first, second);
    }
  }
  if (callback == nullptr) return;
  // A client must learn that its graph stopped on an error (it never
  // completes then), and when it completed.
  if (aborted) callback(QMG_CODE_ERROR_ABORT, userData);
  if (completed) callback(QMG_CODE_COMPLETE, userData);
  callback(code, userData);
}

bool ApplyViewWindow(GraphContext& context, HWND owner, int32_t x, int32_t y, int32_t width,
                     int32_t height) {
  IVideoWindow* window = context.videoWindow.Get();
  if (window == nullptr) return false;
  window->put_Owner(reinterpret_cast<OAHWND>(owner));
  window->put_WindowStyle(LONG(WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN));
  // SetWindowPosition takes a width and a height, not the far corner.
  if (FAILED(window->SetWindowPosition(x, y, width, height))) return false;
  window->put_Width(width);
  window->put_Height(height);
  return true;
}

namespace {

// Frees what QMG_Init made, in the order QMG_Reset does.
void Release(QmgHandle* handle) {
  DestroyNotifyWindow(handle->notify);
  handle->notify = nullptr;
  StopAndDestroy(*handle);
  const bool uninitialise = handle->comInitialised;
  delete handle;
  if (uninitialise) CoUninitialize();
}

// Runs a control command; the handle's state follows its outcome.
int32_t Command(QmgHandle* handle, HRESULT (IMediaControl::*command)(), int32_t state) {
  if (handle == nullptr || handle->graph == nullptr || !handle->graph->control) return 0;
  IMediaControl* control = handle->graph->control.Get();
  if (FAILED((control->*command)())) {
    if (state == QMG_STATE_RUNNING) control->Stop();
    handle->mediaState = QMG_STATE_NONE;
    return 0;
  }
  handle->mediaState = state;
  return 1;
}

}  // namespace

}  // namespace ksv::graph

using namespace ksv::graph;

extern "C" {

KSV_EXPORT QmgHandle* QMG_Init(HINSTANCE instance, HWND parentWindow) {
  return ksv::support::NoThrow<QmgHandle*>(nullptr, [&]() -> QmgHandle* {
    auto* handle = new (std::nothrow) QmgHandle();
    if (handle == nullptr) return nullptr;
    handle->comInitialised = SUCCEEDED(CoInitialize(nullptr));
    handle->instance = instance;
    handle->parentWindow = parentWindow;
    handle->notify = CreateNotifyWindow(*handle, DispatchEvent);
    if (handle->notify == nullptr) {
      Release(handle);
      return nullptr;
    }
    handle->graph = CreateGraphContext();
    return handle;
  });
}

KSV_EXPORT int32_t QMG_Reset(QmgHandle* handle) {
  return ksv::support::NoThrow<int32_t>(0, [&]() -> int32_t {
    if (handle == nullptr) return 0;
    Release(handle);
    return 1;
  });
}

KSV_EXPORT int32_t QMG_SetCallbackProc(QmgHandle* handle, QmgCallback callback, intptr_t userData) {
  return ksv::support::NoThrow<int32_t>(0, [&]() -> int32_t {
    if (handle == nullptr) return 0;
    handle->callback = callback;
    handle->userData = userData;
    return 1;
  });
}

KSV_EXPORT int32_t QMG_SetEventFlag(QmgHandle* handle) {
  return ksv::support::NoThrow<int32_t>(0, [&]() -> int32_t {
    if (handle == nullptr) return 0;
    handle->eventFlag = 1;
    return 1;
  });
}

KSV_EXPORT int32_t QMG_GetEventFlag(QmgHandle* handle) {
  return ksv::support::NoThrow<int32_t>(0, [&]() -> int32_t {
    return handle != nullptr ? handle->eventFlag : 0;
  });
}

KSV_EXPORT int32_t QMG_GetMediaState(QmgHandle* handle) {
  return ksv::support::NoThrow<int32_t>(0, [&]() -> int32_t {
    return handle != nullptr ? handle->mediaState : QMG_STATE_NONE;
  });
}

KSV_EXPORT int32_t QMG_Play(QmgHandle* handle) {
  return ksv::support::NoThrow<int32_t>(0, [&]() -> int32_t {
    return Command(handle, &IMediaControl::Run, QMG_STATE_RUNNING);
  });
}

KSV_EXPORT int32_t QMG_Pause(QmgHandle* handle) {
  return ksv::support::NoThrow<int32_t>(0, [&]() -> int32_t {
    return Command(handle, &IMediaControl::Pause, QMG_STATE_PAUSED);
  });
}

KSV_EXPORT int32_t QMG_Stop(QmgHandle* handle) {
  return ksv::support::NoThrow<int32_t>(0, [&]() -> int32_t {
    return Command(handle, &IMediaControl::Stop, QMG_STATE_STOPPED);
  });
}

KSV_EXPORT int32_t QMG_SetViewWnd(QmgHandle* handle, HWND owner, int32_t x, int32_t y, int32_t width,
                                  int32_t height) {
  return ksv::support::NoThrow<int32_t>(0, [&]() -> int32_t {
    if (handle == nullptr || owner == nullptr || handle->graph == nullptr) return 0;
    if (!ApplyViewWindow(*handle->graph, owner, x, y, width, height)) return 0;
    handle->viewWindow = owner;
    handle->viewX = x;
    handle->viewY = y;
    handle->viewWidth = width;
    handle->viewHeight = height;
    return 1;
  });
}

KSV_EXPORT int32_t QMG_UseVexel5CompressionFilter(QmgHandle* handle, int32_t use) {
  return ksv::support::NoThrow<int32_t>(0, [&]() -> int32_t {
    if (handle == nullptr || handle->graph == nullptr) return 0;
    handle->graph->useVexel5 = use;
    return 1;
  });
}

KSV_EXPORT int32_t QMG_UseScalingFilter(QmgHandle* handle, int32_t use) {
  return ksv::support::NoThrow<int32_t>(0, [&]() -> int32_t {
    if (handle == nullptr || handle->graph == nullptr) return 0;
    handle->graph->useScaling = use;
    return 1;
  });
}

}  // extern "C"
