// The library's own state behind a QmgHandle: the handle, the graph context
// every build adds to, the list of filters the library made or found, and
// the hidden window that carries the timer and the graph's events to the
// client's callback.
#pragma once

#include <cstdint>

#include "include/avimaker.h"
#include "include/caption_control.h"
#include "include/oksv1gra.h"
#include "platform/com/com_ptr.h"
#include "platform/media/capture_interfaces.h"
#include "platform/media/filter_ids.h"
#include "platform/media/ks_property_set.h"
#include "platform/media/media.h"

namespace ksv::graph {

// What a FilterList entry holds; also what the finding and creating
// routines are told they make. Kind 0: a filter of the graph merely
// recorded, with no reference of its own.
enum FilterKind : int32_t {
  kKindRecorded = 0,
  kKindVideoDevice = 1,
  kKindAudioDevice = 2,
  kKindFileSource = 3,
  kKindAviSplitter = 6,
  kKindMpeg1Splitter = 7,
  kKindAudioCompressor = 9,
  kKindMpegAudioDecoder = 10,
  kKindAviDecompressor = 11,
  kKindVideoCompressor = 12,
  kKindMpegVideoDecoder = 13,
  kKindAviMux = 14,
  kKindWavDest = 15,
  kKindFileWriter = 16,
  kKindColourConverter = 17,
  kKindVideoRenderer = 18,
  kKindCaption = 20,
  kKindAviMaker = 22,
  kKindAudioRenderer = 23,
  kKindWaveParser = 24,
};

inline constexpr int kMaxFilters = 100;

// A nonzero kind owns one reference to the filter.
struct FilterEntry {
  int32_t kind = kKindRecorded;
  IBaseFilter* filter = nullptr;
};

// Made by CreateGraphContext, freed by TearDownGraph (routines header).
// Interface fields hold their own reference. The tails and writers point
// at filters the FilterList owns and are valid while the context lives.
struct GraphContext {
  com::ComPtr<ICaptureGraphBuilder> builder;
  com::ComPtr<IGraphBuilder> graph;
  int32_t filterCount = 0;
  FilterEntry filters[kMaxFilters];
  com::ComPtr<IBaseFilter> videoSource;
  com::ComPtr<IBaseFilter> audioSource;
  com::ComPtr<IAMStreamConfig> videoConfig;
  com::ComPtr<IAMStreamConfig> audioConfig;
  com::ComPtr<IVideoWindow> videoWindow;
  com::ComPtr<IMediaControl> control;
  com::ComPtr<IMediaEventEx> events;
  com::ComPtr<ICaptionControl> caption;
  com::ComPtr<IAviMakerControl> aviMaker;
  IBaseFilter* videoTail = nullptr;
  IBaseFilter* audioTail = nullptr;
  IBaseFilter* aviWriter = nullptr;
  IBaseFilter* wavWriter = nullptr;
  int32_t useVexel5 = 0;
  int32_t useScaling = 0;
};

// Called with a callback code (QMG_CODE_*) and the handle.
using EventHandler = void (*)(int32_t code, QmgHandle* handle);

// The hidden child window's record, kept in its 4 extra bytes' place (the
// window's pointer-sized user slot here).
struct NotifyWindow {
  HWND parent = nullptr;
  HWND window = nullptr;
  UINT_PTR timer = 0;  // 0: none
  EventHandler handler = nullptr;
  QmgHandle* owner = nullptr;
};

// The hidden window: its class, control identifier, timer and the message
// the graph posts its events with.
inline constexpr const char* kNotifyClassName = "QMGwnd hide Class";
inline constexpr int kNotifyControlId = 999;
inline constexpr UINT_PTR kNotifyTimerId = 1;
inline constexpr UINT kNotifyTimerMilliseconds = 33;
inline constexpr UINT kGraphEventMessage = 0x0400 + 1;  // WM_USER + 1

// What QmgHandle::graphKind says was built last.
enum GraphKind : int32_t {
  kGraphNone = 0,
  kGraphPreview = 1,
  kGraphCaptureVideo = 2,
  kGraphCaptureAudio = 3,
  kGraphSplit = 4,
  kGraphPlayback = 7,
  kGraphImageToAvi = 8,
  kGraphPreviewClip = 9,
};

}  // namespace ksv::graph

// The public handle (opaque in the library's header).
struct QmgHandle {
  ksv::graph::GraphContext* graph = nullptr;  // null when its creation failed
  int32_t graphKind = ksv::graph::kGraphNone;
  HINSTANCE instance = nullptr;
  HWND parentWindow = nullptr;
  ksv::graph::NotifyWindow* notify = nullptr;
  QmgCallback callback = nullptr;
  intptr_t userData = 0;
  int32_t mediaState = QMG_STATE_NONE;
  HWND viewWindow = nullptr;
  int32_t viewX = 0, viewY = 0, viewWidth = 0, viewHeight = 0;
  char deviceName[256] = {};
  QmgVideoFormat format = {};
  bool hasFormat = false;  // a format was given with the last preview or capture build
  int32_t eventFlag = 0;
  bool comInitialised = false;  // QMG_Reset undoes only an initialisation that succeeded
};
